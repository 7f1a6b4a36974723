"""VTK against our headers for the C++ tests (header_support.hpp); exit status 77 without VTK."""
import gzip, re, sys, zlib

try:
    import numpy
    # The modules themselves: "import vtk" brings an MPI NRRD reader that fails without MPI.
    from vtkmodules.util.numpy_support import vtk_to_numpy
    from vtkmodules.vtkCommonCore import VTK_FLOAT
    from vtkmodules.vtkCommonDataModel import vtkImageData
    from vtkmodules.vtkIOImage import vtkMetaImageReader, vtkMetaImageWriter, vtkNrrdReader
except ImportError:
    sys.exit(77)

if sys.argv[1] == "read":  # nrrd|meta HEADER OUT TYPE none|gzip|zlib COUNT: HEADER + 0..COUNT-1
    kind, header_path, out, type_name, compression, count = sys.argv[2:]
    header = open(header_path, "rb").read()
    data = numpy.arange(int(count), dtype=numpy.dtype(type_name).newbyteorder("<")).tobytes()
    data = {"none": data, "gzip": gzip.compress(data), "zlib": zlib.compress(data)}[compression]
    room = re.search(rb"CompressedDataSize = (0 *)\n", header)
    if room:  # the true size in the room of "0", as a writer puts it once the data are out
        size = str(len(data)).encode().ljust(len(room.group(1)))
        header = header[: room.start(1)] + size + header[room.end(1):]
    open(out, "wb").write(header + data)
    reader = vtkNrrdReader() if kind == "nrrd" else vtkMetaImageReader()
    reader.SetFileName(out), reader.Update()
    image = reader.GetOutput()
    values = vtk_to_numpy(image.GetPointData().GetScalars()).ravel()
    print("|".join(" ".join("%g" % v for v in part) for part in (
        image.GetDimensions(), image.GetSpacing(), image.GetOrigin())) +
        ("|0..%d" % (int(count) - 1) if (values == numpy.arange(int(count))).all() else str(values)))
else:  # OUT.mha|OUT.mhd 0|1 (compressed): 3x2x2 floats 0..11, spacing 0.5 1.25 2, origin -1 2.5 3
    out, compress = sys.argv[2], sys.argv[3] == "1"
    image = vtkImageData()
    image.SetDimensions(3, 2, 2), image.SetSpacing(0.5, 1.25, 2), image.SetOrigin(-1, 2.5, 3)
    image.AllocateScalars(VTK_FLOAT, 1)
    vtk_to_numpy(image.GetPointData().GetScalars())[:] = numpy.arange(12)
    writer = vtkMetaImageWriter()
    writer.SetInputData(image), writer.SetFileName(out), writer.SetCompression(compress)
    if out.endswith(".mhd"):
        writer.SetRAWFileName(out[:-4] + (".zraw" if compress else ".raw"))
    writer.Write()
