"""Files that VTK's own legacy writers make, read by our readers as VTK's readers read them."""
from vtk_support import (TOOL, expect_equal, f32, finish, path, read_voxels, read_vtk, run, values,
                         vtk)

DIMS = (4, 3, 2)  # columns, rows, slices: VTK x, y, z
FLOATS = [(i * 37 % 29 - 14) * 0.375 for i in range(24)]
FLOATS[1:3] = 3.4e38, -1.5e-39  # near the top, and a subnormal (kept in binary only)
ARRAYS = {  # values that exercise sign, fractions and range
    "float": (vtk.vtkFloatArray, FLOATS),
    "short": (vtk.vtkShortArray, [i * 2731 % 65536 - 32768 for i in range(24)]),
    "unsigned_short": (vtk.vtkUnsignedShortArray, [i * 2731 % 65536 for i in range(24)]),
}


def array(vtk_class, numbers):
    result = vtk_class()
    result.SetName("values")
    for number in numbers:
        result.InsertNextValue(number)
    return result


def write(name, writer, data, binary=False):
    writer.SetInputData(data)
    writer.SetFileName(path(name))
    writer.SetFileTypeToBinary() if binary else writer.SetFileTypeToASCII()
    assert writer.Write() == 1, "VTK could not write " + name


def vtk_image(name, dataset, kind, binary):
    """VTK writes the file; returns what VTK's own reader takes from it."""
    if dataset == "grid":
        data, writer = vtk.vtkRectilinearGrid(), vtk.vtkRectilinearGridWriter()
        for axis, count in zip("XYZ", DIMS):  # unevenly spaced
            coordinates = array(vtk.vtkFloatArray, [0.5 * i * i - 3.0 for i in range(count)])
            getattr(data, f"Set{axis}Coordinates")(coordinates)
    else:
        data, writer = vtk.vtkImageData(), vtk.vtkStructuredPointsWriter()
        data.SetSpacing(0.5, 2.0, 3.0)
        data.SetOrigin(-1.0, 4.0, 0.25)
    data.SetDimensions(*DIMS)
    data.GetPointData().SetScalars(array(*ARRAYS[kind]))
    write(name, writer, data, binary)
    data = read_vtk(path(name)).GetOutput()
    return data.GetDimensions(), [f32(value) for value in values(data.GetPointData().GetScalars())]


# Binary structured points of every type, binary grids of floats (VTK ends each coordinate array
# with a line feed); ASCII floats and shorts on both grid types.
for dataset, encoding, kind in [("points", "binary", kind) for kind in ARRAYS] + [
        ("grid", "binary", "float")] + [
        (dataset, "ascii", kind) for dataset in ("points", "grid") for kind in ("float", "short")]:
    name = f"{dataset}_{encoding}_{kind}"
    expected = vtk_image(name, dataset, kind, encoding == "binary")
    expect_equal(name, "dimensions VTK read", expected[0], DIMS)
    # Our image reader for the encoding; an ASCII file of shorts is a Mask file as well.
    for command in ["read-" + encoding] + (["read-mask"] if name.endswith("ascii_short") else []):
        expect_equal(name, command, read_voxels(name, command, path(name)), expected)

COORDINATES = [(0.5 * i - 3.0, 0.125 * i * i, -i) for i in range(6)]
TRIANGLES = [(0, 1, 2), (1, 3, 2), (2, 3, 4), (3, 5, 4)]
for name, version, point_type, message in (
        # File version 4.2 writes each polygon's count, then its indices: our layout.
        ("mesh", 42, vtk.VTK_FLOAT, None),
        # VTK 9 writes version 5.1 by default: OFFSETS and CONNECTIVITY arrays instead.
        ("mesh_5_1", 51, vtk.VTK_FLOAT, None),
        # Points held as doubles are written as "double": our Mesh files hold floats.
        ("mesh_double", 42, vtk.VTK_DOUBLE, "is not in float format")):
    data, points, cells, writer = (vtk.vtkPolyData(), vtk.vtkPoints(), vtk.vtkCellArray(),
                                   vtk.vtkPolyDataWriter())
    points.SetDataType(point_type)
    for point in COORDINATES:
        points.InsertNextPoint(point)
    for triangle in TRIANGLES:
        cells.InsertNextCell(3, triangle)
    data.SetPoints(points)
    data.SetPolys(cells)
    writer.SetFileVersion(version)
    write(name, writer, data)
    numbers = run(name, TOOL, "read-mesh", path(name), status=10 if message else 0)
    if message:
        expect_equal(name, "refusal", numbers, f"Mesh {path(name)}. Mesh {message}\n")
        continue
    numbers = numbers.split()
    expect_equal(name, "counts, points, polygons",
                 ([int(n) for n in numbers[:3]], [float.fromhex(n) for n in numbers[3:21]],
                  [int(n) for n in numbers[21:]]),
                 ([6, 4, 3], [f32(f32(c) + 1.0) for point in COORDINATES for c in point],
                  [i + 1 for triangle in TRIANGLES for i in triangle]))
finish()
