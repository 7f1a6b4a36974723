"""VTK's XML files both ways, against VTK 9.1: our .vti and .vtp files (every level, a series of
frames) read by vtkXMLImageDataReader and vtkXMLPolyDataReader with the values we wrote, and the
files VTK's writers make in each of their modes read by brintom with the values VTK reads."""
import itertools
import json
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "vtk"))
from vtk_support import BRINTOM, expect_equal, f32, finish, path, read_native, run, values, vtk

DIMS = (5, 3, 2)  # columns, rows, slices
FLOATS = [f32((i * 37 % 29 - 14) * 0.375) for i in range(30)]
FLOATS[1:3] = f32(3.4e38), f32(-1.5e-39)  # near the top, and a subnormal
SHORTS = [i * 2731 % 65536 - 32768 for i in range(30)]
GEOMETRY = ("Label {A title <&> é}\nColumnSpacing 0.5\nRowSpacing 2\nSliceSpacing 3\n"
            "ColumnOrigin -1\nRowOrigin 4\nSliceOrigin 0.25\n")
POINTS = [(f32(0.25 * i * i - 3.0), f32(i + 1.0), f32(1.0 / i)) for i in range(1, 8)]
POLYGONS = [[(j + k * 2) % 7 + 1 for k in (1, 2, 3)] for j in range(1, 6)]  # 1-based
WEIGHTS = [f32(0.5 * j - 1.0) for j in range(5)]


def native(name, data):
    with open(path(name), "wb") as file:
        file.write(data)
    with open(path(os.path.splitext(name)[0] + ".txt"), "w") as file:
        file.write(GEOMETRY)


native("i.image", struct.pack("<4i30f", *DIMS, 1, *FLOATS))
native("m.mask", struct.pack("<3i30h", *DIMS, *SHORTS))
HALVES = [f32(v * 0.5) for v in FLOATS]
native("f.image", struct.pack("<4i60f", *DIMS, 2, *FLOATS, *HALVES))
with open(path("s.mesh"), "wb") as file:
    file.write(struct.pack("<2i21f2i15i1i5f", 7, 3, *(p[k] for k in range(3) for p in POINTS), 5, 3,
                           *(polygon[k] for k in range(3) for polygon in POLYGONS), 5, *WEIGHTS))


def xml_reader(reader_class, file):
    reader = reader_class()
    reader.SetFileName(file)
    reader.Update()
    return reader.GetOutput()


# Our .vti files, stored and compressed, as VTK reads them: grid, voxels, the Label.
for kind, name, voxels, type_name in (("image", "i.image", FLOATS, "float"),
                                      ("mask", "m.mask", SHORTS, "short")):
    for level in ("0", "1", "9"):
        case = f"our {kind} .vti at level {level}"
        run(case, BRINTOM, "convert", "--compress", level, path(name), path("our.vti"))
        data = xml_reader(vtk.vtkXMLImageDataReader, path("our.vti"))
        scalars = data.GetPointData().GetScalars()
        label = data.GetFieldData().GetAbstractArray("Label")
        expect_equal(case, "grid, type, voxels, Label",
                     (data.GetDimensions(), data.GetSpacing(), data.GetOrigin(),
                      scalars.GetDataTypeAsString(), values(scalars), label.GetValue(0)),
                     (DIMS, (0.5, 2.0, 3.0), (-1.0, 4.0, 0.25), type_name, voxels,
                      "A title <&> é"))

# Several frames: one .vti a frame and a series file that names them.
run("series", BRINTOM, "convert", path("f.image"), path("frames.vti"))
series = json.load(open(path("frames.vti.series")))
expect_equal("series", "names", [entry["name"] for entry in series["files"]],
             ["frames_000.vti", "frames_001.vti"])
for n in range(2):
    data = xml_reader(vtk.vtkXMLImageDataReader, path(f"frames_00{n}.vti"))
    expect_equal("series", f"frame {n}", values(data.GetPointData().GetScalars()),
                 (FLOATS, HALVES)[n])

# Our .vtp files: points less 1, 0-based polygons, the weights as cell data.
for level in ("0", "1"):
    case = f"our .vtp at level {level}"
    run(case, BRINTOM, "convert", "--compress", level, path("s.mesh"), path("our.vtp"))
    data = xml_reader(vtk.vtkXMLPolyDataReader, path("our.vtp"))
    polygons, ids = [], vtk.vtkIdList()
    for j in range(data.GetNumberOfCells()):
        data.GetCellPoints(j, ids)
        polygons.append([ids.GetId(k) + 1 for k in range(ids.GetNumberOfIds())])
    expect_equal(case, "points, polygons, weights",
                 ([data.GetPoint(i) for i in range(data.GetNumberOfPoints())], polygons,
                  values(data.GetCellData().GetArray("weight"))),
                 ([tuple(f32(c - 1.0) for c in point) for point in POINTS], POLYGONS, WEIGHTS))


def configure(writer, data, name, mode, encoded, header, compressed, big_endian):
    writer.SetInputData(data)
    writer.SetFileName(path(name))
    getattr(writer, "SetDataModeTo" + mode)()
    writer.SetEncodeAppendedData(encoded)
    writer.SetHeaderType(header)
    if not compressed:
        writer.SetCompressorTypeToNone()
    if big_endian:
        writer.SetByteOrderToBigEndian()
    writer.SetBlockSize(64)  # many blocks in a small file
    assert writer.Write() == 1, "VTK could not write " + name


# VTK's writers in each mode: appended (base64, VTK's default, or raw), inline binary and ascii;
# UInt32 or UInt64 headers; zlib or none; either byte order.
MODES = [(mode, encoded, header, compressed, big_endian)
         for mode, encoded in (("Appended", True), ("Appended", False), ("Binary", True),
                               ("Ascii", True))
         for header, compressed, big_endian in itertools.product((32, 64), (True, False),
                                                                 (False, True))]
ARRAYS = (("float", vtk.vtkFloatArray, "image"), ("double", vtk.vtkDoubleArray, "image"),
          ("short", vtk.vtkShortArray, "mask"), ("int", vtk.vtkIntArray, "image"))
for (mode, encoded, header, compressed, big_endian), (kind, array_class, ours) in \
        itertools.product(MODES, ARRAYS):
    name = f"vtk_{mode}{'' if encoded else '_raw'}_{header}_{compressed}_{big_endian}_{kind}.vti"
    image = vtk.vtkImageData()
    image.SetDimensions(*DIMS)
    image.SetSpacing(0.5, 2.0, 3.0)
    image.SetOrigin(-1.0, 4.0, 0.25)
    scalars = array_class()
    scalars.SetName("v")
    for v in (SHORTS if kind in ("short", "int") else FLOATS):
        scalars.InsertNextValue(v)
    image.GetPointData().SetScalars(scalars)
    configure(vtk.vtkXMLImageDataWriter(), image, name, mode, encoded, header, compressed,
              big_endian)
    data = xml_reader(vtk.vtkXMLImageDataReader, path(name))
    want = values(data.GetPointData().GetScalars())
    expect_equal(name, "voxels", read_native(name, path(name), ours),
                 (DIMS, [f32(v) for v in want] if ours == "image" else want))

for (mode, encoded, header, compressed, big_endian), (precision, ids) in itertools.product(
        MODES, (("float", 64), ("double", 32))):
    name = f"vtk_{mode}{'' if encoded else '_raw'}_{header}_{compressed}_{big_endian}_{precision}_{ids}.vtp"
    mesh, points, cells = vtk.vtkPolyData(), vtk.vtkPoints(), vtk.vtkCellArray()
    points.SetDataType(vtk.VTK_FLOAT if precision == "float" else vtk.VTK_DOUBLE)
    for point in POINTS:
        points.InsertNextPoint([0.1 * c for c in point])  # doubles that round
    for polygon in POLYGONS:
        cells.InsertNextCell(3, [v - 1 for v in polygon])
    mesh.SetPoints(points)
    mesh.SetPolys(cells)
    writer = vtk.vtkXMLPolyDataWriter()
    writer.SetIdType(ids)
    configure(writer, mesh, name, mode, encoded, header, compressed, big_endian)
    data = xml_reader(vtk.vtkXMLPolyDataReader, path(name))
    expect_equal(name, "mesh", read_native(name, path(name), "mesh"),
                 ((7, 5, 3), [f32(f32(data.GetPoint(i)[k]) + 1.0) for i in range(7)
                              for k in range(3)], [v for polygon in POLYGONS for v in polygon]))
finish()
