"""VTK's own readers and writers against our NRRD and MetaImage headers (run by the C++ tests).

  read nrrd|meta HEADER OUT TYPE none|gzip|zlib COUNT
      OUT = the header, then COUNT voxels 0, 1, 2, ... of TYPE (a numpy type name, little-endian),
      compressed as asked; a "CompressedDataSize = 0" line gets the true size in place, as a
      writer does once the data are out. Prints what VTK reads: dims|spacing|origin|values.
  write OUT.mha|OUT.mhd COMPRESS
      vtkMetaImageWriter writes a 3x2x2 float image of 0..11, spacing 0.5 1.25 2, origin -1 2.5 3.
Exit status 77 where VTK cannot be imported.
"""
import gzip
import re
import sys
import zlib

try:
    import numpy
    # From the modules themselves: "import vtk" would bring the MPI reader that replaces the
    # NRRD reader and fails without MPI.
    from vtkmodules.util.numpy_support import vtk_to_numpy
    from vtkmodules.vtkCommonCore import VTK_FLOAT
    from vtkmodules.vtkCommonDataModel import vtkImageData
    from vtkmodules.vtkIOImage import vtkMetaImageReader, vtkMetaImageWriter, vtkNrrdReader
except ImportError:
    sys.exit(77)


def numbers(values):
    return " ".join("%g" % v for v in values)


def read(kind, header_path, out, type_name, compression, count):
    header = open(header_path, "rb").read()
    data = numpy.arange(count, dtype=numpy.dtype(type_name).newbyteorder("<")).tobytes()
    data = {"none": data, "gzip": gzip.compress(data), "zlib": zlib.compress(data)}[compression]
    match = re.search(rb"CompressedDataSize = (0 *)\n", header)
    if match:
        size = str(len(data)).encode().ljust(len(match.group(1)))
        assert len(size) == len(match.group(1)), "the size does not fit its room"
        header = header[: match.start(1)] + size + header[match.end(1):]
    with open(out, "wb") as f:
        f.write(header + data)
    reader = vtkNrrdReader() if kind == "nrrd" else vtkMetaImageReader()
    reader.SetFileName(out)
    reader.Update()
    image = reader.GetOutput()
    values = vtk_to_numpy(image.GetPointData().GetScalars())
    print("|".join([numbers(image.GetDimensions()), numbers(image.GetSpacing()),
                    numbers(image.GetOrigin()), numbers(values.ravel())]))


def write(out, compress):
    image = vtkImageData()
    image.SetDimensions(3, 2, 2)
    image.SetSpacing(0.5, 1.25, 2)
    image.SetOrigin(-1, 2.5, 3)
    image.AllocateScalars(VTK_FLOAT, 1)
    for i in range(12):
        image.GetPointData().GetScalars().SetValue(i, i)
    writer = vtkMetaImageWriter()
    writer.SetInputData(image)
    writer.SetFileName(out)
    if out.endswith(".mhd"):
        writer.SetRAWFileName(out[:-4] + (".zraw" if compress else ".raw"))
    writer.SetCompression(compress)
    writer.Write()


if sys.argv[1] == "read":
    read(sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5], sys.argv[6], int(sys.argv[7]))
else:
    write(sys.argv[2], sys.argv[3] == "1")
