"""The Python side of bench/run: python_io.py OPERATION ARGUMENT..., one of OPERATIONS below, one
per process under /usr/bin/python3 (the bench build's module on PYTHONPATH; numpy, nibabel, meshio
and VTK from Debian's packages). Each operation imports only what it uses, so that a row less the
row of `import MODULE...` is the operation alone. bench/README.md tells what each row runs."""
import sys

import numpy


def fromfile(image):
    header = numpy.fromfile(image, numpy.int32, 4)
    return numpy.fromfile(image, numpy.float32, offset=16).reshape(header[::-1][1:])


def nibabel_load(base):
    import nibabel

    voxels = fromfile(base + ".image")
    with open(base + ".txt") as text:
        settings = dict(line.split(None, 1) for line in text)
    # Our x and y run the other way from NIfTI's, as brintom's writer places them: the same
    # placement in both files, so that either reader streams the other's voxels in file order.
    affine = numpy.eye(4)
    for axis, (name, flip) in enumerate((("Column", -1), ("Row", -1), ("Slice", 1))):
        affine[axis, axis] = flip * float(settings[name + "Spacing"])
        affine[axis, 3] = flip * float(settings[name + "Origin"])
    return nibabel.Nifti1Image(voxels.T, affine)


def nibabel_save(base, out, order=None):
    import nibabel

    image = nibabel_load(base)
    nibabel.save(nibabel.as_closest_canonical(image) if order == "ras" else image, out)


def nibabel_read(nii, out=None):
    import nibabel

    voxels = nibabel.load(nii).get_fdata(dtype=numpy.float32)
    if out is not None:
        with open(out, "wb") as file:
            file.write(numpy.array(voxels.shape + (1,), numpy.int32).tobytes())
            voxels.T.tofile(file)  # the transpose of nibabel's Fortran-order array: no copy


def meshio_grid(mesh, out):
    import brintom
    import meshio

    ours = brintom.read(mesh)
    meshio.write(out, meshio.Mesh(ours.points, [("triangle", ours.polygons)]), binary=True)


def vtk_make(base):
    import vtk

    plane = vtk.vtkPlaneSource()
    plane.SetResolution(999, 999)
    triangles = vtk.vtkTriangleFilter()
    triangles.SetInputConnection(plane.GetOutputPort())
    for suffix, writer in ((".vtk", vtk.vtkPolyDataWriter()), (".stl", vtk.vtkSTLWriter()),
                           (".ply", vtk.vtkPLYWriter())):
        writer.SetInputConnection(triangles.GetOutputPort())
        writer.SetFileName(base + suffix)
        writer.SetFileTypeToBinary()
        if writer.Write() != 1:
            sys.exit(1)


def vtk_read(path):
    import vtk

    readers = {"vtk": vtk.vtkPolyDataReader, "stl": vtk.vtkSTLReader, "ply": vtk.vtkPLYReader}
    reader = readers[path.rsplit(".", 1)[1]]()
    reader.SetFileName(path)
    reader.Update()
    sys.exit(0 if reader.GetOutput().GetNumberOfCells() > 0 else 1)


def vtk_load(base, out=None):
    import vtk
    from vtk.util import numpy_support

    voxels = fromfile(base + ".image")
    image = vtk.vtkImageData()
    image.SetDimensions(*voxels.shape[::-1])
    image.GetPointData().SetScalars(numpy_support.numpy_to_vtk(voxels.ravel()))
    if out is not None:
        writer = vtk.vtkXMLImageDataWriter()
        writer.SetInputData(image)
        writer.SetFileName(out)
        sys.exit(0 if writer.Write() == 1 else 1)


def brintom_read(path, how=None):
    import brintom

    brintom.read(path, mmap=how == "mmap")


def brintom_write(image, out):
    import brintom

    brintom.write(out, brintom.read(image))


OPERATIONS = {
    "import": lambda *modules: [__import__(module) for module in modules],
    "fromfile": fromfile,
    "read": brintom_read,
    "write": brintom_write,
    "nibabel-load": nibabel_load,
    "nibabel-save": nibabel_save,
    "nibabel-read": nibabel_read,
    "meshio-read": lambda mesh: __import__("meshio").read(mesh),
    "meshio-grid": meshio_grid,
    "vtk-make": vtk_make,
    "vtk-read": vtk_read,
    "vtk-load": vtk_load,
    "vtk-write-vti": vtk_load,
}
OPERATIONS[sys.argv[1]](*sys.argv[2:])
