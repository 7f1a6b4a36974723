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
                                   (meshio reads no legacy POLYDATA, only such grids).

With BRINTOM_BENCH_TIMES=1 each prints the time of what it does beyond the import and its peak
memory beyond the import less the arrays' size, in MiB: the README's in-process figures. One run
a process: a second would find the first's pages already mapped."""
import os
import resource
import sys
import time

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


def size(result):
    """The bytes of the arrays an operation gave."""
    if isinstance(result, numpy.ndarray):
        return result.nbytes
    if isinstance(result, brintom.Volume):
        return 0 if isinstance(result.data, numpy.memmap) else result.data.nbytes
    if isinstance(result, brintom.Mesh):
        return result.points.nbytes + result.polygons.nbytes + result.weights.nbytes
    return result.points.nbytes + sum(block.data.nbytes for block in result.cells)  # meshio


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
if os.environ.get("BRINTOM_BENCH_TIMES") != "1":
    operation()
    sys.exit(0)
before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
start = time.perf_counter()
got = operation()
seconds = time.perf_counter() - start
extra = (resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before) / 1024 - (
    size(got) / 2**20 if got is not None else 0)
print(f"{sys.argv[1]} {' '.join(sys.argv[2:])}: {seconds:.4f} s, peak {extra:.1f} MiB beyond "
      f"the import and the arrays")
