"""Every input of the fuzz corpora and every input that once made a reader fail, read through
the module as each kind and described: each returns or raises brintom.Error, and never ends
the interpreter."""
import os
import shutil
import warnings

import pytest

import brintom

FUZZ = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "fuzz")
# The name each target's inputs take, so that the module picks that target's reader.
SUFFIX = {
    "native_image": ".image", "native_mask": ".mask", "native_mesh": ".mesh",
    "vtk_preamble": ".vtk", "vtk_image_binary": ".vtk", "vtk_image_ascii": ".vtk",
    "vtk_mask": ".vtk", "vtk_mesh": ".vtk", "stl_mesh": ".stl", "ply_mesh": ".ply",
    "obj_mesh": ".obj", "nifti_header": ".nii", "vti": ".vti", "vtp": ".vtp",
    "inflate": ".nii.gz", "geometry_header": ".txt", "field_volume": "", "nrrd_header": "",
    "metaimage_header": "",
}


def inputs():
    for folder in ("corpus", "regressions"):
        for target in sorted(os.listdir(os.path.join(FUZZ, folder))):
            for name in sorted(os.listdir(os.path.join(FUZZ, folder, target))):
                yield pytest.param(target, os.path.join(FUZZ, folder, target, name),
                                   id=f"{folder}/{target}/{name}")


@pytest.mark.parametrize("target, source", inputs())
def test_fuzz_input_reads_or_raises(tmp_path, target, source):
    # Detached voxel files lie beside their headers: the whole folder comes along.
    for name in os.listdir(os.path.dirname(source)):
        shutil.copy(os.path.join(os.path.dirname(source), name), tmp_path / name)
    path = str(tmp_path / os.path.basename(source)) + SUFFIX[target]
    if target == "geometry_header":  # the NAME.txt of a native image
        path = path[:-len(".txt")] + ".image"
        brintom.write(path, brintom.read(os.path.join(FUZZ, "..", "examples", "phantom.image")))
    shutil.copy(source, path.replace(".image", ".txt") if target == "geometry_header" else path)
    calls = [lambda: brintom.read(path), lambda: brintom.info(path),
             lambda: brintom.read(path, kind="image"), lambda: brintom.read(path, kind="mask")]
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        for call in calls:
            try:
                call()
            except brintom.Error:
                pass
