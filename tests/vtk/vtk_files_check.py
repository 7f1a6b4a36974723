"""Files written by VTK's own legacy writers, read by our image readers.

Usage: vtk_files_check.py <vtk_image_dump program>. Exits 77 (skipped) when VTK's Python
module cannot be imported, so a machine without it never reports a pass.
"""
import math
import os
import struct
import subprocess
import sys
import tempfile

try:
    import vtk
except ImportError:
    print("VTK's Python module is not installed: skipped")
    sys.exit(77)

DUMP = sys.argv[1]
DIMS = (4, 3, 2)  # columns, rows, slices: VTK x, y, z
COUNT = DIMS[0] * DIMS[1] * DIMS[2]
failures = []


def array_of(kind):
    """A scalar array with values that exercise sign, fractions and range."""
    if kind == "float":
        array = vtk.vtkFloatArray()
        values = [(i * 37 % 29 - 14) * 0.375 for i in range(COUNT)]
        values[1], values[2] = 3.4e38, -1.5e-39  # near the top, and a subnormal (binary only)
    elif kind == "short":
        array = vtk.vtkShortArray()
        values = [(i * 2731 % 65536) - 32768 for i in range(COUNT)]
    else:
        array = vtk.vtkUnsignedShortArray()
        values = [i * 2731 % 65536 for i in range(COUNT)]
    array.SetName("values")
    for value in values:
        array.InsertNextValue(value)
    return array


def structured_points(kind):
    data = vtk.vtkImageData()
    data.SetDimensions(*DIMS)
    data.SetSpacing(0.5, 2.0, 3.0)
    data.SetOrigin(-1.0, 4.0, 0.25)
    data.GetPointData().SetScalars(array_of(kind))
    return data, vtk.vtkStructuredPointsWriter(), vtk.vtkStructuredPointsReader()


def rectilinear_grid(kind):
    data = vtk.vtkRectilinearGrid()
    data.SetDimensions(*DIMS)
    for setter, count in ((data.SetXCoordinates, DIMS[0]), (data.SetYCoordinates, DIMS[1]),
                          (data.SetZCoordinates, DIMS[2])):
        coordinates = vtk.vtkFloatArray()
        for i in range(count):
            coordinates.InsertNextValue(0.5 * i * i - 3.0)  # unevenly spaced
        setter(coordinates)
    data.GetPointData().SetScalars(array_of(kind))
    return data, vtk.vtkRectilinearGridWriter(), vtk.vtkRectilinearGridReader()


def write(path, make, kind, binary):
    data, writer, reader = make(kind)
    writer.SetInputData(data)
    writer.SetFileName(path)
    if binary:
        writer.SetFileTypeToBinary()
    else:
        writer.SetFileTypeToASCII()
    if writer.Write() != 1:
        raise RuntimeError("VTK could not write " + path)
    # What VTK itself reads from its file is what ours must read.
    reader.SetFileName(path)
    reader.Update()
    output = reader.GetOutput()
    scalars = output.GetPointData().GetScalars()
    values = [scalars.GetTuple1(i) for i in range(scalars.GetNumberOfTuples())]
    return tuple(output.GetDimensions()), values


def as_float32(value):
    return struct.unpack("<f", struct.pack("<f", value))[0]


def check(name, make, kind, binary):
    path = os.path.join(workdir, name + ".vtk")
    dims, expected = write(path, make, kind, binary)
    result = subprocess.run([DUMP, "binary" if binary else "ascii", path],
                            capture_output=True, text=True, check=False)
    if result.returncode != 0:
        failures.append(f"{name}: exit {result.returncode}, output {result.stdout!r}")
        return
    lines = result.stdout.split("\n")
    got_dims = tuple(int(word) for word in lines[0].split())
    got = [float.fromhex(line) for line in lines[1:] if line]
    if got_dims != dims or dims != DIMS:
        failures.append(f"{name}: dimensions {got_dims}, VTK {dims}")
    if len(got) != len(expected):
        failures.append(f"{name}: {len(got)} values, VTK {len(expected)}")
        return
    for i, (ours, theirs) in enumerate(zip(got, expected)):
        same = (math.isnan(ours) and math.isnan(theirs)) or ours == as_float32(theirs)
        if not same:
            failures.append(f"{name}: value {i} is {ours!r}, VTK {theirs!r}")
            return
    print(f"ok {name}: {len(got)} values")


def check_refused(name, make, kind, binary, message):
    """A file that our reader refuses by design: the exact message and status 10."""
    path = os.path.join(workdir, name + ".vtk")
    write(path, make, kind, binary)
    result = subprocess.run([DUMP, "binary" if binary else "ascii", path],
                            capture_output=True, text=True, check=False)
    if result.returncode != 10 or result.stdout != message:
        failures.append(f"{name}: exit {result.returncode}, output {result.stdout!r}, "
                        f"expected 10 and {message!r}")
    else:
        print(f"ok {name}: refused with {message!r}")


with tempfile.TemporaryDirectory() as workdir:
    for kind in ("float", "short", "unsigned_short"):
        check("points_binary_" + kind, structured_points, kind, True)
    for kind in ("float", "short"):
        check("points_ascii_" + kind, structured_points, kind, False)
        check("grid_ascii_" + kind, rectilinear_grid, kind, False)
    # VTK ends each binary coordinate array with a line feed; our binary reader wants the next
    # keyword line directly after the array's last byte, so that line feed is an empty line.
    check_refused("grid_binary_float", rectilinear_grid, "float", True, "empty line\n")

for failure in failures:
    print("FAIL " + failure)
sys.exit(1 if failures else 0)
