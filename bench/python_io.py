"""The Python module's rows of bench/run, under /usr/bin/python3 with the module of the bench build
on PYTHONPATH (and nibabel and meshio from Debian's packages):

  python_io.py import              only starts Python and imports numpy, brintom and the peer
                                   named after it, if any (nibabel, meshio);
  python_io.py fromfile IMAGE      also reads a native image with numpy.fromfile: its 16-byte
                                   header, then its voxels as float32 of the header's shape;
  python_io.py read PATH [mmap]    also brintom.read of any file (mmap: mapped, mmap=True);
  python_io.py write IMAGE OUT     also brintom.read of a native image and brintom.write of it
                                   as OUT (a .nii.gz at the default level, 1, as nibabel's);
  python_io.py nibabel-read NII    also nibabel.load(NII).get_fdata(dtype=numpy.float32);
  python_io.py meshio-read MESH    also meshio.read(MESH);
  python_io.py meshio-grid MESH OUT  writes MESH's triangles as meshio's BINARY legacy grid OUT
                                   (meshio reads no legacy POLYDATA, only such grids)."""
import sys

import numpy

import brintom


def fromfile(image):
    header = numpy.fromfile(image, numpy.int32, 4)
    return numpy.fromfile(image, numpy.float32, offset=16).reshape(header[::-1][1:])


def nibabel_read(nii):
    return sys.modules["nibabel"].load(nii).get_fdata(dtype=numpy.float32)


def meshio_read(mesh):
    return sys.modules["meshio"].read(mesh)


def meshio_grid(mesh, out):
    meshio = sys.modules["meshio"]
    ours = brintom.read(mesh)
    meshio.write(out, meshio.Mesh(ours.points, [("triangle", ours.polygons)]), binary=True)


OPERATIONS = {
    "import": lambda: None,
    "fromfile": lambda: fromfile(sys.argv[2]),
    "read": lambda: brintom.read(sys.argv[2], mmap=sys.argv[3:] == ["mmap"]),
    "write": lambda: brintom.write(sys.argv[3], brintom.read(sys.argv[2])),
    "nibabel-read": lambda: nibabel_read(sys.argv[2]),
    "meshio-read": lambda: meshio_read(sys.argv[2]),
    "meshio-grid": lambda: meshio_grid(sys.argv[2], sys.argv[3]),
}

# The peer's import belongs to the import, not to the operation.
PEERS = {"nibabel-read": "nibabel", "meshio-read": "meshio", "meshio-grid": "meshio"}
operation = OPERATIONS[sys.argv[1]]
if sys.argv[1] in PEERS or sys.argv[1] == "import" and sys.argv[2:]:
    __import__(PEERS.get(sys.argv[1]) or sys.argv[2])
operation()
