"""The mesh files, both ways, against VTK 9 and meshio: what their writers make (STL, PLY, OBJ,
meshio's legacy .vtk grids) our readers read as their own readers do, and what ours make their
readers read as ours do. Run as `python3 mesh_formats_check.py <brintom2vtk> <brintom>`; exits 77
(ctest: skipped) when VTK or meshio cannot be imported.

Meshes are compared as their point count and each polygon's corners' coordinates, so that a
reader's own numbering of points (meshio sorts STL's joined points) does not matter. Coordinates
are the Mesh's: the file's, rounded to float, plus 1."""
import contextlib
import io
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "vtk"))
try:
    import meshio
    import numpy
except ImportError as error:
    print(f"skipped: meshio cannot be imported ({error})")
    sys.exit(77)
from vtk_support import BRINTOM, expect_equal, f32, finish, path, read_native, run, vtk  # noqa: E402


def meshio_write(*args, **kwargs):
    """meshio.write without its warnings (ASCII files, 64-bit indices cast down)."""
    with contextlib.redirect_stderr(io.StringIO()):
        meshio.write(*args, **kwargs)



def mesh_value(c):
    """A file coordinate as the Mesh holds it."""
    return f32(f32(c) + 1.0)


def shape(points, polygons):
    """The point count and each polygon's corners, from file coordinates and 0-based indices."""
    moved = [tuple(mesh_value(c) for c in point) for point in points]
    return len(moved), [tuple(moved[i] for i in polygon) for polygon in polygons]


def ours(name, file, status=0):
    """What brintom reads from a file, as its native mesh holds it; a refusal's message."""
    got = read_native(name, file, "mesh", status)
    if status:
        return got
    (count, _, _), coordinates, vertices = got
    per = len(vertices) // got[0][1] if got[0][1] else 0
    points = [tuple(coordinates[3 * i:3 * i + 3]) for i in range(count)]
    return count, [tuple(points[v - 1] for v in vertices[j:j + per])
                   for j in range(0, len(vertices), per or 1)]


def vtk_reads(reader_class, file):
    reader = reader_class()
    reader.SetFileName(file)
    reader.Update()
    data = reader.GetOutput()
    polygons = []
    for j in range(data.GetNumberOfCells()):
        ids = data.GetCell(j).GetPointIds()
        polygons.append([ids.GetId(k) for k in range(ids.GetNumberOfIds())])
    return shape([data.GetPoint(i) for i in range(data.GetNumberOfPoints())], polygons)


def meshio_reads(file, file_format=None):
    mesh = meshio.read(file, file_format=file_format)
    return shape(mesh.points.tolist(),
                 [list(cell) for block in mesh.cells for cell in block.data.tolist()])


# A tent of triangles and a strip of quadrilaterals, every point used in order of first use;
# coordinates with few digits and with many, no -0 (which meshio's unique takes for 0).
POINTS = [(0.0, 0.0, 0.0), (1.0, 0.0, 0.25), (0.0, 1.0, -1.5), (1.0, 1.0, 1.0 / 3.0),
          (2.0, 0.5, 123.456), (2.0, 1.5, -7e-3), (0.5, 2.0, 1e6)]
TRIANGLES = [(0, 1, 2), (1, 3, 2), (1, 4, 3), (4, 5, 3), (3, 5, 6)]
QUADS = [(0, 1, 3, 2), (1, 4, 5, 3)]

# Files that VTK's writers make, and that meshio's make, read by ours as by their own readers.
polydata = {}
for kind, cells in (("triangles", TRIANGLES), ("quads", QUADS)):
    points, polys = vtk.vtkPoints(), vtk.vtkCellArray()
    for point in POINTS[:max(max(c) for c in cells) + 1]:
        points.InsertNextPoint(point)
    for cell in cells:
        polys.InsertNextCell(len(cell), cell)
    polydata[kind] = vtk.vtkPolyData()
    polydata[kind].SetPoints(points)
    polydata[kind].SetPolys(polys)

VTK_FILES = [  # name, writer, binary, reader, mesh
    ("vtk_binary.stl", vtk.vtkSTLWriter, True, vtk.vtkSTLReader, "triangles"),
    ("vtk_ascii.stl", vtk.vtkSTLWriter, False, vtk.vtkSTLReader, "triangles"),
    ("vtk_binary.ply", vtk.vtkPLYWriter, True, vtk.vtkPLYReader, "triangles"),
    ("vtk_ascii.ply", vtk.vtkPLYWriter, False, vtk.vtkPLYReader, "quads"),
    ("vtk_triangles.obj", vtk.vtkOBJWriter, None, vtk.vtkOBJReader, "triangles"),
    ("vtk_quads.obj", vtk.vtkOBJWriter, None, vtk.vtkOBJReader, "quads"),
]
for name, writer_class, binary, reader_class, kind in VTK_FILES:
    writer = writer_class()
    writer.SetInputData(polydata[kind])
    writer.SetFileName(path(name))
    if binary is not None:
        writer.SetFileTypeToBinary() if binary else writer.SetFileTypeToASCII()
    assert writer.Write() == 1, "VTK could not write " + name
    expect_equal(name, "mesh", ours(name, path(name)), vtk_reads(reader_class, path(name)))

# VTK's unstructured grids, as version 5.1 and 4.2, binary and ASCII.
for version in (51, 42):
    for binary in (True, False):
        name = f"vtk_grid_{version}_{'binary' if binary else 'ascii'}.vtk"
        grid = vtk.vtkAppendFilter()
        grid.SetInputData(polydata["triangles"])
        writer = vtk.vtkUnstructuredGridWriter()
        writer.SetInputConnection(grid.GetOutputPort())
        writer.SetFileName(path(name))
        writer.SetFileVersion(version)
        writer.SetFileTypeToBinary() if binary else writer.SetFileTypeToASCII()
        assert writer.Write() == 1, "VTK could not write " + name
        expect_equal(name, "mesh", ours(name, path(name)),
                     vtk_reads(vtk.vtkUnstructuredGridReader, path(name)))

MESHIO_FILES = [  # name, meshio format, options, cells
    ("meshio_binary.stl", "stl", {"binary": True}, "triangle"),
    ("meshio_ascii.stl", "stl", {"binary": False}, "triangle"),
    ("meshio_binary.ply", "ply", {"binary": True}, "triangle"),
    ("meshio_ascii.ply", "ply", {"binary": False}, "quad"),
    ("meshio_binary_quads.ply", "ply", {"binary": True}, "quad"),
    ("meshio.obj", "obj", {}, "triangle"),
    ("meshio_quads.obj", "obj", {}, "quad"),
    ("meshio_binary.vtk", "vtk", {"binary": True}, "triangle"),
    ("meshio_ascii.vtk", "vtk", {"binary": False}, "quad"),
    ("meshio_42_binary.vtk", "vtk42", {"binary": True}, "triangle"),
    ("meshio_42_ascii.vtk", "vtk42", {"binary": False}, "quad"),
]
for name, file_format, options, cell_type in MESHIO_FILES:
    cells = TRIANGLES if cell_type == "triangle" else QUADS
    used = max(max(c) for c in cells) + 1
    mesh = meshio.Mesh(numpy.array(POINTS[:used]), [(cell_type, numpy.array(cells))],
                       point_data={"p": numpy.arange(used, dtype=float)})
    meshio_write(path(name), mesh, file_format=file_format, **options)
    expect_equal(name, "mesh", ours(name, path(name)),
                 meshio_reads(path(name), "vtk" if file_format == "vtk42" else None))

# A volume mesh is named by its first cell that is not a polygon.
tetra = meshio.Mesh(numpy.array(POINTS[:4]), [("triangle", numpy.array([[0, 1, 2]])),
                                              ("tetra", numpy.array([[0, 1, 2, 3]]))])
meshio_write(path("tetra.vtk"), tetra)
expect_equal("tetra.vtk", "refusal", ours("tetra.vtk", path("tetra.vtk"), 10),
             f"Mesh {path('tetra.vtk')}. Mesh cells are not polygons: cell type 10 (tetra)\n")

# Our files, read by VTK's readers and by meshio as by ours. A native mesh: each matrix's
# columns and rows, then its rows; quadrilaterals become fans of triangles in STL.
for kind, cells in (("triangles", TRIANGLES), ("quads", QUADS)):
    used = max(max(c) for c in cells) + 1
    points = [tuple(mesh_value(c) for c in point) for point in POINTS[:used]]
    for weights in ((1.0,) * len(cells), tuple(0.5 - j for j in range(len(cells)))):
        native = path(f"{kind}_{weights[-1]}.mesh")
        with open(native, "wb") as file:
            file.write(struct.pack("<2i", used, 3) +
                       struct.pack(f"<{3 * used}f", *(p[k] for k in range(3) for p in points)) +
                       struct.pack("<2i", len(cells), len(cells[0])) +
                       struct.pack(f"<{len(cells) * len(cells[0])}i",
                                   *(c[k] + 1 for k in range(len(cells[0])) for c in cells)) +
                       struct.pack(f"<i{len(cells)}f", len(cells), *weights))
        weighted = weights[0] != 1.0
        expected = shape(POINTS[:used], cells)
        for ending, options, reader_class in (
                ("binary.stl", [], vtk.vtkSTLReader),
                ("ascii.stl", ["--format", "ascii"], vtk.vtkSTLReader),
                ("binary.ply", [], vtk.vtkPLYReader),
                ("ascii.ply", ["--format", "ascii"], vtk.vtkPLYReader),
                ("ascii.obj", [], vtk.vtkOBJReader),
                ("ascii.vtk", [], vtk.vtkPolyDataReader)):
            if weighted and "ply" not in ending:
                continue
            name = f"ours_{kind}_{'weighted_' if weighted else ''}{ending}"
            file = path(name)
            run(name, BRINTOM, "convert", *options, native, file)
            mine = ours(name, file)
            # STL holds fans of triangles; the legacy .vtk writer prints "%g", six digits.
            if "stl" not in name and "vtk" not in name:
                expect_equal(name, "ours", mine, expected)
            expect_equal(name, "VTK", vtk_reads(reader_class, file), mine)
            # meshio 5.0 reads no binary PLY face that holds a property besides its list, and no
            # legacy POLYDATA file.
            if not (weighted and "binary" in name) and "vtk" not in name:
                expect_equal(name, "meshio", meshio_reads(file), mine)
            if weighted and "ascii" in name:
                expect_equal(name, "meshio weights",
                             meshio.read(file).cell_data["weight"][0].tolist(),
                             [f32(w) for w in weights])
finish()
