"""What the checks against the real VTK library share. Each runs as `python3 CHECK.py <vtk_tool>
<brintom2vtk> <brintom>` and exits 77 (ctest: skipped) when VTK's Python module cannot be
imported, so a machine without VTK never reports a pass; else 1 after any failed comparison, 0
when all held.
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

TOOL, CONVERTER, BRINTOM = sys.argv[1:4]
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


def read_voxels(name, command, file):
    """(columns, rows, slices) and the voxels that our reader takes from the file."""
    words = run(name, TOOL, command, file).split()
    return tuple(int(word) for word in words[:3]), [float.fromhex(word) for word in words[3:]]


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
