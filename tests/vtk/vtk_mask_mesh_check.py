"""Mask and mesh files between our library and the real VTK library, both ways.

Usage: vtk_mask_mesh_check.py <vtk_mask_mesh_tool program>. Exits 77 (skipped) when VTK's
Python module cannot be imported, so a machine without it never reports a pass.

- Files that our save_mask_vtk, save_image_vtk_binary_short and save_mesh_vtk write are opened
  by VTK's legacy readers with the right dimensions, geometry and values.
- Files that VTK's own legacy writers make (polygon data with triangles, short scalars on both
  grid types) are read by our load_mesh_vtk and load_mask_vtk with the right values.
"""
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

TOOL = sys.argv[1]
failures = []

# What the tool writes; keep in step with vtk_mask_mesh_tool.cpp.
SLICES, ROWS, COLUMNS = 2, 3, 5
VOXELS = [(i * 2731 % 65536) - 32768 for i in range(SLICES * ROWS * COLUMNS)]
POINT_COUNT, POLYGON_COUNT = 7, 5


def f32(value):
    return struct.unpack("<f", struct.pack("<f", value))[0]


def mesh_points():
    """The tool's Mesh points, in Mesh units."""
    return [(f32(0.25 * i * i - 3.0), f32(i + 1.0), f32(1.0 / i))
            for i in range(1, POINT_COUNT + 1)]


def mesh_polygons():
    """The tool's polygons, 1-based."""
    return [[(j + k * 2) % POINT_COUNT + 1 for k in (1, 2, 3)] for j in range(1, POLYGON_COUNT + 1)]


def tool(command, path):
    return subprocess.run([TOOL, command, path], capture_output=True, text=True, check=False)


def expect(name, condition, detail):
    if not condition:
        failures.append(f"{name}: {detail}")
    return condition


def read_with(reader_class, path):
    reader = reader_class()
    reader.SetFileName(path)
    reader.Update()
    return reader, reader.GetOutput()


def scalars_of(data):
    array = data.GetPointData().GetScalars()
    return array, [array.GetTuple1(i) for i in range(array.GetNumberOfTuples())]


def check_our_mask(workdir):
    path = os.path.join(workdir, "mask.vtk")
    run = tool("write-mask", path)
    if not expect("ascii mask", run.returncode == 0, f"writer exited {run.returncode}"):
        return
    reader, data = read_with(vtk.vtkRectilinearGridReader, path)
    array, values = scalars_of(data)
    ok = expect("ascii mask", tuple(data.GetDimensions()) == (COLUMNS, ROWS, SLICES),
                f"dimensions {data.GetDimensions()}")
    ok &= expect("ascii mask", array.GetDataTypeAsString() == "short",
                 f"type {array.GetDataTypeAsString()}")
    ok &= expect("ascii mask", values == VOXELS, f"values {values}")
    for axis, (coordinates, count) in enumerate(((data.GetXCoordinates(), COLUMNS),
                                                 (data.GetYCoordinates(), ROWS),
                                                 (data.GetZCoordinates(), SLICES))):
        got = [coordinates.GetTuple1(i) for i in range(coordinates.GetNumberOfTuples())]
        ok &= expect("ascii mask", got == [i + 1.0 for i in range(count)],
                     f"axis {axis} coordinates {got}")
    if ok:
        print(f"ok ascii mask: VTK reads {len(values)} short values and the coordinates")


def check_our_binary_short(workdir):
    path = os.path.join(workdir, "short.vtk")
    run = tool("write-short", path)
    if not expect("binary short", run.returncode == 0, f"writer exited {run.returncode}"):
        return
    reader, data = read_with(vtk.vtkStructuredPointsReader, path)
    array, values = scalars_of(data)
    # The header names the values unsigned: a negative voxel v reads as v + 65536.
    expected = [v + 65536 if v < 0 else v for v in VOXELS]
    ok = expect("binary short", tuple(data.GetDimensions()) == (COLUMNS, ROWS, SLICES),
                f"dimensions {data.GetDimensions()}")
    ok &= expect("binary short", tuple(data.GetSpacing()) == (0.5, 2.0, 3.0),
                 f"spacing {data.GetSpacing()}")
    ok &= expect("binary short", tuple(data.GetOrigin()) == (-1.0, 4.0, 0.25),
                 f"origin {data.GetOrigin()}")
    ok &= expect("binary short", reader.GetHeader() == "mask title",
                 f"title {reader.GetHeader()!r}")
    ok &= expect("binary short", array.GetDataTypeAsString() == "unsigned short",
                 f"type {array.GetDataTypeAsString()}")
    ok &= expect("binary short", values == expected, f"values {values}")
    if ok:
        print(f"ok binary short: VTK reads {len(values)} unsigned short values, spacing and origin")


def check_our_mesh(workdir):
    path = os.path.join(workdir, "mesh.vtk")
    run = tool("write-mesh", path)
    if not expect("mesh", run.returncode == 0, f"writer exited {run.returncode}"):
        return
    reader, data = read_with(vtk.vtkPolyDataReader, path)
    # The file holds each coordinate less one, printed with "%g".
    expected_points = [tuple(f32(float("%g" % (c - 1.0))) for c in point)
                       for point in mesh_points()]
    got_points = [data.GetPoint(i) for i in range(data.GetNumberOfPoints())]
    got_polygons = []
    ids = vtk.vtkIdList()
    polys = data.GetPolys()
    polys.InitTraversal()
    while polys.GetNextCell(ids):
        got_polygons.append([ids.GetId(i) + 1 for i in range(ids.GetNumberOfIds())])
    ok = expect("mesh", reader.GetHeader() == "mesh title", f"title {reader.GetHeader()!r}")
    ok &= expect("mesh", got_points == expected_points, f"points {got_points}")
    ok &= expect("mesh", got_polygons == mesh_polygons(), f"polygons {got_polygons}")
    if ok:
        print(f"ok mesh: VTK reads {len(got_points)} points and {len(got_polygons)} triangles")


def vtk_polydata(path, version, point_type):
    points = vtk.vtkPoints()
    points.SetDataType(point_type)
    coordinates = [(0.5 * i - 3.0, 0.125 * i * i, -i) for i in range(6)]
    for point in coordinates:
        points.InsertNextPoint(point)
    triangles = [(0, 1, 2), (1, 3, 2), (2, 3, 4), (3, 5, 4)]
    cells = vtk.vtkCellArray()
    for triangle in triangles:
        cells.InsertNextCell(3)
        for index in triangle:
            cells.InsertCellPoint(index)
    data = vtk.vtkPolyData()
    data.SetPoints(points)
    data.SetPolys(cells)
    writer = vtk.vtkPolyDataWriter()
    writer.SetInputData(data)
    writer.SetFileName(path)
    writer.SetFileTypeToASCII()
    if version is not None:
        writer.SetFileVersion(version)
    if writer.Write() != 1:
        raise RuntimeError("VTK could not write " + path)
    return coordinates, triangles


def check_vtk_mesh(workdir):
    path = os.path.join(workdir, "vtk_mesh.vtk")
    # The polygon layout of file version 4.2: each polygon's count, then its indices.
    coordinates, triangles = vtk_polydata(path, 42, vtk.VTK_FLOAT)
    run = tool("read-mesh", path)
    if not expect("vtk mesh", run.returncode == 0, f"exit {run.returncode}, {run.stdout!r}"):
        return
    lines = run.stdout.split("\n")
    counts = [int(word) for word in lines[0].split()]
    points = [tuple(float.fromhex(word) for word in line.split())
              for line in lines[1:1 + counts[0]]]
    polygons = [[int(word) for word in line.split()]
                for line in lines[1 + counts[0]:1 + counts[0] + counts[1]]]
    expected_points = [tuple(f32(f32(c) + 1.0) for c in point) for point in coordinates]
    ok = expect("vtk mesh", counts == [len(coordinates), len(triangles), 3], f"counts {counts}")
    ok &= expect("vtk mesh", points == expected_points, f"points {points}")
    ok &= expect("vtk mesh", polygons == [[i + 1 for i in t] for t in triangles],
                 f"polygons {polygons}")
    if ok:
        print(f"ok vtk mesh: {len(points)} points and {len(polygons)} triangles read")


def check_vtk_mesh_refused(workdir, name, version, point_type, message):
    """A VTK file that our reader refuses by design: the exact message and status 10."""
    path = os.path.join(workdir, name + ".vtk")
    vtk_polydata(path, version, point_type)
    run = tool("read-mesh", path)
    expected = f"Mesh {path}. {message}"
    if expect(name, run.returncode == 10 and run.stdout == expected,
              f"exit {run.returncode}, output {run.stdout!r}, expected 10 and {expected!r}"):
        print(f"ok {name}: refused with {message!r}")


def check_vtk_mask(workdir, name, data, writer):
    path = os.path.join(workdir, name + ".vtk")
    scalars = vtk.vtkShortArray()
    scalars.SetName("mask")
    for value in VOXELS:
        scalars.InsertNextValue(value)
    data.SetDimensions(COLUMNS, ROWS, SLICES)
    data.GetPointData().SetScalars(scalars)
    writer.SetInputData(data)
    writer.SetFileName(path)
    writer.SetFileTypeToASCII()
    if writer.Write() != 1:
        raise RuntimeError("VTK could not write " + path)
    run = tool("read-mask", path)
    if not expect(name, run.returncode == 0, f"exit {run.returncode}, {run.stdout!r}"):
        return
    lines = run.stdout.split("\n")
    dims = tuple(int(word) for word in lines[0].split())
    values = [int(line) for line in lines[1:] if line]
    ok = expect(name, dims == (COLUMNS, ROWS, SLICES), f"dimensions {dims}")
    ok &= expect(name, values == VOXELS, f"values {values}")
    if ok:
        print(f"ok {name}: {len(values)} short values read")


def rectilinear():
    data = vtk.vtkRectilinearGrid()
    data.SetDimensions(COLUMNS, ROWS, SLICES)
    for setter, count in ((data.SetXCoordinates, COLUMNS), (data.SetYCoordinates, ROWS),
                          (data.SetZCoordinates, SLICES)):
        coordinates = vtk.vtkFloatArray()
        for i in range(count):
            coordinates.InsertNextValue(0.5 * i * i - 3.0)
        setter(coordinates)
    return data


with tempfile.TemporaryDirectory() as workdir:
    check_our_mask(workdir)
    check_our_binary_short(workdir)
    check_our_mesh(workdir)
    check_vtk_mesh(workdir)
    check_vtk_mask(workdir, "vtk_mask_grid", rectilinear(), vtk.vtkRectilinearGridWriter())
    check_vtk_mask(workdir, "vtk_mask_points", vtk.vtkImageData(), vtk.vtkStructuredPointsWriter())
    # VTK 9 writes polygons by default in file version 5.1: OFFSETS and CONNECTIVITY arrays
    # instead of a count before each polygon. Our format has only the older layout.
    check_vtk_mesh_refused(workdir, "vtk_mesh_5_1", None, vtk.VTK_FLOAT,
                           "Mesh polygon vertex count is missing, negative or too large\n")
    # Points held as doubles are written as "double": our Mesh files hold floats.
    check_vtk_mesh_refused(workdir, "vtk_mesh_double", 42, vtk.VTK_DOUBLE,
                           "Mesh is not in float format\n")

for failure in failures:
    print("FAIL " + failure)
sys.exit(1 if failures else 0)
