"""The rows' VTK side, run by /usr/bin/python3 (Debian's python3-vtk9):
vtk_files.py import  only starts Python and imports VTK;  vtk_files.py make BASE  writes a mesh of
1000 x 1000 points and their 1,996,002 triangles as BASE.vtk (BINARY 5.1, as ParaView saves one),
BASE.stl and BASE.ply (binary, VTK's writers at their defaults);  vtk_files.py read PATH  loads
PATH with VTK's reader for its name (vtkPolyDataReader, vtkSTLReader, vtkPLYReader);
vtk_files.py load BASE  reads the native image BASE.image with numpy into a vtkImageData;
vtk_files.py write-vti BASE OUT  also writes it with vtkXMLImageDataWriter at its defaults."""
import sys

import numpy
import vtk
from vtk.util import numpy_support


def load(base):
    columns, rows, slices, _ = numpy.fromfile(base + ".image", numpy.int32, 4)
    voxels = numpy.fromfile(base + ".image", numpy.float32, offset=16)
    image = vtk.vtkImageData()
    image.SetDimensions(columns, rows, slices)
    image.GetPointData().SetScalars(numpy_support.numpy_to_vtk(voxels))
    return image, voxels  # the array backs the image's scalars


command = sys.argv[1]
if command == "make":
    plane = vtk.vtkPlaneSource()
    plane.SetResolution(999, 999)
    triangles = vtk.vtkTriangleFilter()
    triangles.SetInputConnection(plane.GetOutputPort())
    for suffix, writer in ((".vtk", vtk.vtkPolyDataWriter()), (".stl", vtk.vtkSTLWriter()),
                           (".ply", vtk.vtkPLYWriter())):
        writer.SetInputConnection(triangles.GetOutputPort())
        writer.SetFileName(sys.argv[2] + suffix)
        writer.SetFileTypeToBinary()
        if writer.Write() != 1:
            sys.exit(1)
elif command == "read":
    readers = {"vtk": vtk.vtkPolyDataReader, "stl": vtk.vtkSTLReader, "ply": vtk.vtkPLYReader}
    reader = readers[sys.argv[2].rsplit(".", 1)[1]]()
    reader.SetFileName(sys.argv[2])
    reader.Update()
    sys.exit(0 if reader.GetOutput().GetNumberOfCells() > 0 else 1)
elif command in ("load", "write-vti"):
    image, voxels = load(sys.argv[2])
    if command == "write-vti":
        writer = vtk.vtkXMLImageDataWriter()
        writer.SetInputData(image)
        writer.SetFileName(sys.argv[3])
        sys.exit(0 if writer.Write() == 1 else 1)
