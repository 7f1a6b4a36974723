"""What the checks against the real VTK library share. Each runs as `python3 CHECK.py <brintom2vtk>
<brintom>` and exits 77 (ctest: skipped) when VTK's Python module cannot be imported, so a machine
without VTK never reports a pass; else 1 after any failed comparison, 0 when all held.
"""
import os
import struct
import subprocess
import sys
import tempfile

try:
    import vtk
except ImportError as error:
    print(f"skipped: VTK's Python module cannot be imported ({error})")
    sys.exit(77)

CONVERTER, BRINTOM = sys.argv[1:3]
SCRATCH = tempfile.TemporaryDirectory()
cases, failures = set(), set()


def path(name):
    return os.path.join(SCRATCH.name, name)


def f32(value):
    """The value as a float in a file holds it."""
    return struct.unpack("<f", struct.pack("<f", value))[0]


def expect_equal(name, what, got, want):
    """Prints a failure at once, so that a later exception cannot hide it."""
    cases.add(name)
    if got != want:
        detail = f"{got!r}, expected {want!r}"
        if isinstance(got, list) and isinstance(want, list) and len(got) == len(want):
            i = next(i for i, pair in enumerate(zip(got, want)) if pair[0] != pair[1])
            detail = f"[{i}] is {got[i]!r}, expected {want[i]!r}"
        print(f"FAIL {name}: {what} {detail}"[:2000])
        failures.add(name)


def run(name, *command, status=0):
    """The program's standard output; a failure unless it exits with this status."""
    result = subprocess.run(command, capture_output=True, text=True, check=False)
    expect_equal(name, f"{command} printed {result.stdout[:200]!r} {result.stderr!r}; status",
                 result.returncode, status)
    return result.stdout


def read_native(name, file, kind, status=0):
    """What our reader for the kind takes from a VTK file, as brintom converts it to a native file
    (images by the file's encoding): for an image or mask ((columns, rows, slices), voxels); for a
    mesh ((points, polygons, vertices), each point's x y z, each polygon's indices). A refusal
    gives its message. Unpacking the whole file fails on any byte too many or too few."""
    out = path(f"{os.path.basename(file)}.{kind}")
    printed = run(name, BRINTOM, "convert", file, out, status=status)
    if status or not os.path.exists(out):
        return printed
    data = open(out, "rb").read()
    if kind == "mesh":
        points = struct.unpack_from("<i", data)[0]
        polygons, vertices = struct.unpack_from("<2i", data, 8 + 12 * points)
        weights = struct.unpack_from("<i", data, 16 + 12 * points + 4 * polygons * vertices)[0]
        words = struct.unpack(f"<2i{3 * points}f2i{polygons * vertices}i1i{weights}f", data)
        rows = words[2:2 + 3 * points], words[4 + 3 * points:4 + 3 * points + polygons * vertices]
        return ((points, polygons, vertices), [rows[0][r * points + i] for i in range(points)
                                               for r in range(3)],
                [rows[1][k * polygons + j] for j in range(polygons) for k in range(vertices)])
    header, letter = ("<4i", "f") if kind == "image" else ("<3i", "h")
    dims = struct.unpack_from(header, data)
    count = dims[0] * dims[1] * dims[2] * (dims[3] if kind == "image" else 1)
    return dims[:3], list(struct.unpack(f"{header}{count}{letter}", data)[len(dims):])


def read_vtk(file):
    """VTK's legacy reader for whatever dataset the file holds, after reading it."""
    reader = vtk.vtkDataSetReader()
    reader.SetFileName(file)
    reader.Update()
    return reader


def values(array):
    return [array.GetTuple1(i) for i in range(array.GetNumberOfTuples())] if array else []


def finish():
    print(f"{len(cases) - len(failures)} cases passed, {len(failures)} failed")
    sys.exit(1 if failures else 0)
