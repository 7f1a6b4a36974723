"""The mesh rows' VTK side:  vtk_mesh.py make PATH  writes a BINARY 5.1 mesh of 1000 x 1000 points
and their 1,996,002 triangles, as ParaView saves one;  vtk_mesh.py read PATH  loads it with VTK's
vtkPolyDataReader;  vtk_mesh.py import  only starts Python and imports VTK."""
import sys

import vtk

if sys.argv[1] == "make":
    plane = vtk.vtkPlaneSource()
    plane.SetResolution(999, 999)
    triangles = vtk.vtkTriangleFilter()
    triangles.SetInputConnection(plane.GetOutputPort())
    writer = vtk.vtkPolyDataWriter()
    writer.SetInputConnection(triangles.GetOutputPort())
    writer.SetFileName(sys.argv[2])
    writer.SetFileTypeToBinary()
    sys.exit(0 if writer.Write() == 1 else 1)
if sys.argv[1] == "read":
    reader = vtk.vtkPolyDataReader()
    reader.SetFileName(sys.argv[2])
    reader.Update()
    sys.exit(0 if reader.GetOutput().GetNumberOfCells() > 0 else 1)
