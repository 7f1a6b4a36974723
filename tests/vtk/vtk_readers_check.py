"""Files that VTK's own legacy writers make, read by our readers as VTK's readers read them."""
from vtk_support import expect_equal, f32, finish, path, read_native, read_vtk, values, vtk

DIMS = (4, 3, 2)  # columns, rows, slices: VTK x, y, z
FLOATS = [(i * 37 % 29 - 14) * 0.375 for i in range(24)]
FLOATS[1:3] = 3.4e38, -1.5e-39  # near the top, and a subnormal (kept in binary only)
ARRAYS = {  # values that exercise sign, fractions and range
    "float": (vtk.vtkFloatArray, FLOATS),
    "short": (vtk.vtkShortArray, [i * 2731 % 65536 - 32768 for i in range(24)]),
    "unsigned_short": (vtk.vtkUnsignedShortArray, [i * 2731 % 65536 for i in range(24)]),
}


def array(vtk_class, numbers, name="values"):
    result = vtk_class()
    result.SetName(name)
    for number in numbers:
        result.InsertNextValue(number)
    return result


def write(name, writer, data, binary=False):
    writer.SetInputData(data)
    writer.SetFileName(path(name))
    writer.SetFileTypeToBinary() if binary else writer.SetFileTypeToASCII()
    assert writer.Write() == 1, "VTK could not write " + name


def with_metadata(vtk_array):
    """Names the components and caches a range, so that VTK writes a METADATA block after it."""
    for component in range(vtk_array.GetNumberOfComponents()):
        vtk_array.SetComponentName(component, f"part {component}")
    vtk_array.GetRange(-1)
    return vtk_array


def vtk_image(name, dataset, kind, binary, coordinates=vtk.vtkFloatArray, blocks=False):
    """VTK writes the file at its default settings; returns what VTK's own reader takes from it.
    With blocks: dataset field data holding 8.625 (a float whose bytes include a line feed), cell
    data, a second point-data array, METADATA."""
    if dataset == "grid":
        data, writer = vtk.vtkRectilinearGrid(), vtk.vtkRectilinearGridWriter()
        for axis, count in zip("XYZ", DIMS):  # unevenly spaced
            axis_values = array(coordinates, [0.5 * i * i - 3.0 for i in range(count)])
            getattr(data, f"Set{axis}Coordinates")(axis_values)
    else:
        data, writer = vtk.vtkImageData(), vtk.vtkStructuredPointsWriter()
        data.SetSpacing(0.5, 2.0, 3.0)
        data.SetOrigin(-1.0, 4.0, 0.25)
    data.SetDimensions(*DIMS)
    data.GetPointData().SetScalars(array(*ARRAYS[kind]))
    if blocks:
        data.GetFieldData().AddArray(with_metadata(array(vtk.vtkFloatArray, [8.625, 10.0])))
        data.GetPointData().AddArray(with_metadata(array(vtk.vtkDoubleArray, FLOATS, "second")))
        cells = (DIMS[0] - 1) * (DIMS[1] - 1) * (DIMS[2] - 1)
        data.GetCellData().SetScalars(array(vtk.vtkFloatArray, [8.625] * cells, "cell values"))
        data.GetCellData().AddArray(array(vtk.vtkIntArray, range(cells), "cell ids"))
        with_metadata(data.GetPointData().GetScalars())
    write(name, writer, data, binary)
    data = read_vtk(path(name)).GetOutput()
    return data.GetDimensions(), [f32(value) for value in values(data.GetPointData().GetScalars())]


# Structured points of every type our readers take, binary and ASCII, with and without the
# blocks (binary FIELD arrays holding a line feed byte); rectilinear grids with float and double
# coordinates (VTK ends each binary coordinate array with a line feed).
CASES = [("points", "binary", kind, vtk.vtkFloatArray, blocks)
         for kind in ARRAYS for blocks in (False, True)]
CASES += [("points", "ascii", kind, vtk.vtkFloatArray, blocks)
          for kind in ("float", "short") for blocks in (False, True)]
CASES += [("grid", encoding, kind, coordinates, False) for encoding in ("binary", "ascii")
          for kind in ("float", "short") for coordinates in (vtk.vtkFloatArray, vtk.vtkDoubleArray)]
for dataset, encoding, kind, coordinates, blocks in CASES:
    name = (f"{dataset}_{encoding}_{kind}_{coordinates.__name__[3:]}" +
            ("_blocks" if blocks else ""))
    expected = vtk_image(name, dataset, kind, encoding == "binary", coordinates, blocks)
    expect_equal(name, "dimensions VTK read", expected[0], DIMS)
    # Our image reader for the encoding; a file of shorts is a Mask file as well, and so is a
    # binary one of unsigned shorts, whose 16-bit patterns come back as the shorts that wrote them.
    expect_equal(name, "image read", read_native(name, path(name), "image"), expected)
    if "short" in kind and (encoding == "binary" or kind == "short"):
        patterns = [v - 65536 if v > 32767 else v for v in expected[1]]
        expect_equal(name, "mask read", read_native(name, path(name), "mask"),
                     (expected[0], patterns))
    if blocks:  # the check would prove less if VTK had left any block out
        text = open(path(name), "rb").read()
        expect_equal(name, "blocks written", [word in text for word in (
            b"METADATA", b"FIELD", b"CELL_DATA", b"\x41\x0a\x00\x00" if encoding == "binary" else
            b"8.625")], [True] * 4)

COORDINATES = [(0.5 * i - 3.0, 0.125 * i * i + 0.1, -i / 3) for i in range(6)]  # doubles round
TRIANGLES = [(0, 1, 2), (1, 3, 2), (2, 3, 4), (3, 5, 4)]
QUADS = [(0, 1, 3, 2), (2, 3, 5, 4)]
MIXED = "polygons differ in vertex count"
MESHES = [  # ParaView saves BINARY 5.1; VTK's writers default to ASCII 5.1
    (f"mesh_{version}_{encoding}_{kind}_{shape}", version, encoding == "binary", point_type, polygons)
    for version in (42, 51) for encoding in ("ascii", "binary")
    for kind, point_type in (("float", vtk.VTK_FLOAT), ("double", vtk.VTK_DOUBLE))
    for shape, polygons in (("triangles", TRIANGLES), ("quads", QUADS), ("mixed", TRIANGLES[:1] + QUADS))]
for name, version, binary, point_type, polygons in MESHES:
    # Version 4.2 writes each polygon's count, then its indices; 5.1 OFFSETS and CONNECTIVITY.
    # Points held as doubles are rounded to the Mesh's floats; a Mesh holds one vertex count.
    message = MIXED if name.endswith("mixed") else None
    data, points, cells, writer = (vtk.vtkPolyData(), vtk.vtkPoints(), vtk.vtkCellArray(),
                                   vtk.vtkPolyDataWriter())
    points.SetDataType(point_type)
    for point in COORDINATES:
        points.InsertNextPoint(point)
    with_metadata(points.GetData())  # METADATA follows POINTS
    for polygon in polygons:
        cells.InsertNextCell(len(polygon), polygon)
    data.SetPoints(points)
    data.SetPolys(cells)
    data.GetFieldData().AddArray(array(vtk.vtkFloatArray, [8.625]))
    writer.SetFileVersion(version)
    write(name, writer, data, binary)
    ours = read_native(name, path(name), "mesh", status=10 if message else 0)
    if message:
        expect_equal(name, "refusal", ours, f"Mesh {path(name)}. Mesh {message}\n")
        continue
    read = read_vtk(path(name)).GetOutput()  # what VTK's own reader takes from the file
    vtk_points = [read.GetPoint(i) for i in range(read.GetNumberOfPoints())]
    vtk_polygons = []
    for j in range(read.GetNumberOfCells()):
        ids = read.GetCell(j).GetPointIds()
        vtk_polygons += [ids.GetId(k) + 1 for k in range(ids.GetNumberOfIds())]
    expect_equal(name, "counts, points, polygons", ours,
                 ((6, len(polygons), len(polygons[0])),
                  [f32(f32(c) + 1.0) for point in vtk_points for c in point], vtk_polygons))
    expect_equal(name, "METADATA and FIELD written", [b"METADATA" in open(path(name), "rb").read(),
                                                      b"FIELD" in open(path(name), "rb").read()],
                 [True, True])
finish()
