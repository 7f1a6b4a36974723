"""Every kind through every writable format and back from Python: voxels, points and polygons
bit for bit, and the grid and title where the format keeps them."""
import json
import os
import resource

import numpy as np
import pytest

import brintom
from conftest import COMMAND, command, image, mask, needs_command, same_bits

GRID = {"spacing": (0.5, 2.0, 3.0), "origin": (1.5, -2.0, 7.0), "label": "Head scan"}

# clang-format would not touch this; each row: suffix, the kinds it holds, and how it takes
# several frames: "all" in one file, "series" one file a frame, "one" not at all.
VOLUME_FORMATS = [
    (".image", ["image"], "all"),           # native: the grid in NAME.txt
    (".mask", ["mask"], "one"),             # native mask: one frame
    (".vtk", ["image", "mask"], "series"),  # legacy VTK: binary floats, unsigned shorts
    (".vti", ["image", "mask"], "series"),  # VTK XML, zlib blocks
    (".nii", ["image", "mask"], "all"),     # NIfTI, the grid turned to RAS and back
    (".nii.gz", ["image", "mask"], "all"),  # NIfTI compressed
    (".nrrd", ["image", "mask"], "all"),    # NRRD, gzip
    (".mha", ["image", "mask"], "all"),     # MetaImage, zlib
    (".mhd", ["image", "mask"], "all"),     # MetaImage, voxels in a .zraw file beside it
]
MAKERS = {"image": image, "mask": mask}


@pytest.mark.parametrize("suffix, kinds, frames", VOLUME_FORMATS)
def test_volume_round_trip(path, suffix, kinds, frames):
    for kind in kinds:
        for shape in [(3, 4, 5), (2, 3, 4, 5)]:
            data = MAKERS[kind](shape)
            name = path(f"{kind}{len(shape)}{suffix}")
            if len(shape) == 4 and frames == "one":
                with pytest.raises(ValueError, match="holds one frame"):
                    brintom.write(name, data, **GRID)
                continue
            brintom.write(name, data, **GRID)
            if len(shape) == 4 and frames == "series":
                parts = [brintom.read(name.replace(suffix, f"_00{n}{suffix}")) for n in (0, 1)]
                assert json.load(open(name + ".series"))["files"][1]["time"] == 1
                got = brintom.Volume(np.stack([p.data for p in parts]), parts[0].spacing,
                                     parts[0].origin, parts[0].label)
            else:
                got = brintom.read(name)
            assert got.kind == kind and same_bits(got.data, data), name
            assert (got.spacing, got.origin, got.label) == (GRID["spacing"], GRID["origin"],
                                                            GRID["label"]), name


def test_volume_object_and_kind_conversions(path):
    labels = mask((4, 5, 6))
    brintom.write(path("m.nii.gz"), labels)
    read_as_image = brintom.read(path("m.nii.gz"), kind="image")  # a mask file's values as floats
    assert read_as_image.kind == "image" and np.array_equal(read_as_image.data, labels)
    brintom.write(path("f.nrrd"), read_as_image, kind="mask")  # integral floats written as a mask
    assert same_bits(brintom.read(path("f.nrrd")).data, labels)
    brintom.write(path("u.vtk"), labels.clip(0).astype(np.uint16))  # uint16 is a mask's too
    assert same_bits(brintom.read(path("u.vtk")).data, labels.clip(0))
    # A Volume keeps its grid; keywords replace it; frame_step lives in NIfTI's pixdim[4].
    volume = brintom.Volume(image((2, 2, 3, 4)), (2, 2, 2), (0, 0, 0), "four", frame_step=2.5)
    brintom.write(path("t.nii"), volume, origin=(5, 6, 7))
    got = brintom.read(path("t.nii"))
    assert (got.spacing, got.origin, got.label, got.frame_step) == ((2, 2, 2), (5, 6, 7), "four",
                                                                    2.5)


# Each row: suffix, whether weights other than 1.0 survive, whether quadrilaterals do.
MESH_FORMATS = [
    (".mesh", True, True),   # native, counts and rows
    (".vtk", False, True),   # legacy POLYDATA
    (".vtp", True, True),    # VTK XML, weights as cell data
    (".stl", False, False),  # triangles only: quadrilaterals become fans, with a warning
    (".ply", True, True),    # binary, a weight property when one differs from 1.0
    (".obj", False, True),   # v and f lines
]


@pytest.mark.parametrize("suffix, weights_kept, quads_kept", MESH_FORMATS)
def test_mesh_round_trip(path, suffix, weights_kept, quads_kept):
    # Coordinates of few digits: exact through the library's grid units (the point plus 1) and
    # through a .vtk mesh's ASCII numbers of 6 significant digits.
    points = (np.random.default_rng(5).integers(-1024, 1024, (40, 3)) / 4).astype(np.float32)
    for vertices in (3, 4):
        polygons = np.random.default_rng(vertices).permutation(40)[:36].reshape(-1, vertices)
        weights = np.arange(len(polygons), dtype=np.float32) / 4
        name = path(f"m{vertices}{suffix}")
        if vertices == 4 and not quads_kept:
            with pytest.warns(brintom.BrintomWarning, match="written as 2 triangles"):
                brintom.write(name, brintom.Mesh(points, polygons, weights))
            assert len(brintom.read(name).polygons) == 2 * len(polygons)
            continue
        brintom.write(name, brintom.Mesh(points, polygons, weights))
        got = brintom.read(name)
        # STL numbers points in the order the triangles first name them: compare the corners.
        assert same_bits(got.points[got.polygons], points[polygons]), name
        assert got.polygons.dtype == np.int32 and got.points.shape[1] == 3
        assert same_bits(got.weights, weights if weights_kept else np.ones_like(weights)), name


def test_mesh_coordinates_near_zero_come_back_within_a_float_step(path):
    points = np.random.default_rng(9).uniform(-2, 2, (30, 3)).astype(np.float32)
    brintom.write(path("n.ply"), brintom.Mesh(points, np.arange(30).reshape(10, 3)))
    assert np.abs(brintom.read(path("n.ply")).points - points).max() <= 1.2e-7


def test_mmap_maps_without_reading(path):
    data = image((2, 3, 4, 5))
    brintom.write(path("v.image"), data, **GRID)
    mapped = brintom.read(path("v.image"), mmap=True)
    assert isinstance(mapped.data, np.memmap) and not mapped.data.flags.writeable
    assert same_bits(mapped.data, data) and mapped.label == GRID["label"]
    brintom.write(path("m.mask"), mask((3, 4, 5)))
    assert brintom.read(path("m.mask"), mmap=True).data.dtype == np.int16
    # 2 GiB that the disk does not hold (a sparse file) map in no memory (and within an address
    # space limited to a few GiB, as a test harness may set it).
    with open(path("huge.image"), "wb") as out:
        out.write(np.array([1024, 1024, 512, 1], np.int32).tobytes())
        out.truncate(16 + 4 * 1024 * 1024 * 512)
    before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    huge = brintom.read(path("huge.image"), mmap=True)
    assert huge.data.shape == (512, 1024, 1024) and huge.data[511, 1023, 1023] == 0
    assert resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before < 64 * 1024  # KiB
    with pytest.raises(ValueError, match="native"):
        brintom.read(path("v.image").replace(".image", ".txt"), mmap=True)


def test_reads_own_their_voxels_without_a_copy(path):
    brintom.write(path("v.vtk"), image((3, 4, 5)))  # loaded whole: the array is the library's
    brintom.write(path("v.nii"), image((3, 4, 5)))  # read a block at a time into the array
    for name in ("v.vtk", "v.nii"):
        data = brintom.read(path(name)).data
        assert data.base is not None and not isinstance(data.base, np.ndarray)
        data[0, 0, 0] = 1.0  # the caller's to change


@needs_command
def test_info_is_the_command_s_description(path):
    brintom.write(path("v.image"), image((2, 3, 4, 5)), **GRID)
    brintom.write(path("m.nii.gz"), mask((3, 4, 5)))
    brintom.write(path("s.ply"), brintom.Mesh(np.eye(3), [[0, 1, 2]]))
    for name in ("v.image", "m.nii.gz", "s.ply"):
        status, text = command("info", "--json", path(name))
        assert status == 0 and brintom.info(path(name)) == json.loads(text)[0], name
    assert os.path.exists(COMMAND)
