"""nibabel and meshio read what the module writes, and the module reads what they write, with
equal values: NIfTI volumes, and STL, PLY, OBJ and meshio's legacy .vtk meshes."""
import numpy as np
import pytest

import brintom
from conftest import image, mask, same_bits

nibabel = pytest.importorskip("nibabel")
meshio = pytest.importorskip("meshio")

# nibabel's arrays are indexed x, y, z; ours slices, rows, columns along LPS, and NIfTI's
# affines map to RAS: x and y turn round.
LPS_TO_RAS = np.diag([-1.0, -1.0, 1.0, 1.0])


@pytest.mark.parametrize("suffix", [".nii", ".nii.gz"])
def test_nibabel_reads_ours(path, suffix):
    for data in (image((3, 4, 5)), mask((3, 4, 5)), image((2, 3, 4, 5))):
        brintom.write(path("v" + suffix), data, spacing=(0.5, 2, 3), origin=(1, 2, 3))
        theirs = nibabel.load(path("v" + suffix))
        assert same_bits(np.asanyarray(theirs.dataobj), data.T)
        grid = np.diag([0.5, 2, 3, 1.0])
        grid[:3, 3] = (1, 2, 3)
        assert np.array_equal(theirs.affine, LPS_TO_RAS @ grid)


@pytest.mark.parametrize("suffix", [".nii", ".nii.gz"])
def test_we_read_nibabel_s(path, suffix):
    for data in (image((5, 4, 3)), mask((5, 4, 3))):
        affine = np.diag([0.5, 2, 3, 1.0])
        affine[:3, 3] = (10, 20, 30)  # RAS, voxels along x, y, z
        nibabel.save(nibabel.Nifti1Image(data, affine), path("n" + suffix))
        ours = brintom.read(path("n" + suffix))
        # Stored along RAS, read along LPS: x and y reversed, the origin at their other end.
        assert same_bits(ours.data, data.T[:, ::-1, ::-1])
        assert ours.spacing == (0.5, 2, 3) and ours.origin == (-12, -26, 30)
    # What nibabel's get_fdata gives is what we give as float32.
    scaled = nibabel.Nifti1Image(mask((4, 4, 4)), np.eye(4))
    scaled.header.set_slope_inter(0.5, 3)
    nibabel.save(scaled, path("s" + suffix))
    expected = nibabel.load(path("s" + suffix)).get_fdata(dtype=np.float32)
    assert same_bits(brintom.read(path("s" + suffix)).data, expected.T[:, ::-1, ::-1].copy())


def corners(mesh):
    """Each triangle's corners: meshes compare so whichever way their points are numbered."""
    return np.asarray(mesh.points, np.float32)[mesh.cells_dict["triangle"]
                                               if hasattr(mesh, "cells_dict") else mesh.polygons]


def their_mesh():
    points = (np.random.default_rng(2).integers(-512, 512, (30, 3)) / 8).astype(np.float64)
    triangles = np.random.default_rng(3).permutation(30)[:27].reshape(9, 3)
    return meshio.Mesh(points, [("triangle", triangles)])


# Each row: the file, meshio's options for it.
MESHIO_FILES = [
    ("a.stl", {"binary": True}),       # binary STL
    ("b.stl", {"binary": False}),      # ASCII STL
    ("c.ply", {"binary": True}),       # binary little-endian PLY
    ("d.ply", {"binary": False}),      # ASCII PLY
    ("e.obj", {}),                     # v and f lines
    ("f.vtk", {"binary": True}),       # legacy UNSTRUCTURED_GRID, version 5.1
    ("g.vtk", {"binary": False}),      # the same in ASCII
]


@pytest.mark.parametrize("name, options", MESHIO_FILES)
def test_we_read_meshio_s(path, name, options):
    mesh = their_mesh()
    meshio.write(path(name), mesh, **options)
    ours = brintom.read(path(name))
    assert same_bits(corners(ours), corners(mesh))


@pytest.mark.parametrize("name", ["a.stl", "c.ply", "e.obj"])
def test_meshio_reads_ours(path, name):
    mesh = their_mesh()
    ours = brintom.Mesh.from_meshio(mesh)
    brintom.write(path(name), ours)
    assert same_bits(corners(meshio.read(path(name))), corners(ours))
    # As the Mesh's docstring says: meshio takes our arrays as they stand.
    assert same_bits(corners(meshio.Mesh(ours.points, [("triangle", ours.polygons)])),
                     corners(ours))
    assert same_bits(corners(ours.to_meshio()), corners(ours))
