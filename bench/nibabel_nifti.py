"""The NIfTI rows' nibabel side, run by /usr/bin/python3 (Debian's python3-nibabel):
nibabel_nifti.py import  only starts Python and imports numpy and nibabel;  nibabel_nifti.py load
BASE  also reads the native image BASE.image with numpy.fromfile and its placement from BASE.txt
into a Nifti1Image;  nibabel_nifti.py save BASE OUT  also saves it as OUT (a .nii.gz at nibabel's
default level, 1, as ours), and  save-ras BASE OUT  with its voxels stored in RAS order, as most
tools store them;  nibabel_nifti.py read NII OUT  loads NII, takes get_fdata(dtype=numpy.float32)
and writes it as the native image OUT (its 16-byte header, then tofile)."""
import sys

import nibabel
import numpy


def load(base):
    columns, rows, slices, _ = numpy.fromfile(base + ".image", numpy.int32, 4)
    voxels = numpy.fromfile(base + ".image", numpy.float32, offset=16)
    with open(base + ".txt") as text:
        settings = dict(line.split(None, 1) for line in text)
    # Our x and y run the other way from NIfTI's, as brintom's writer places them: the same
    # placement in both files, so that either reader streams the other's voxels in file order.
    flip = (-1, -1, 1)
    affine = numpy.eye(4)
    for axis, name in enumerate(("Column", "Row", "Slice")):
        affine[axis, axis] = flip[axis] * float(settings[name + "Spacing"])
        affine[axis, 3] = flip[axis] * float(settings[name + "Origin"])
    return nibabel.Nifti1Image(voxels.reshape(slices, rows, columns).T, affine)


if sys.argv[1] == "load":
    load(sys.argv[2])
elif sys.argv[1] == "save":
    nibabel.save(load(sys.argv[2]), sys.argv[3])
elif sys.argv[1] == "save-ras":
    nibabel.save(nibabel.as_closest_canonical(load(sys.argv[2])), sys.argv[3])
elif sys.argv[1] == "read":
    voxels = nibabel.load(sys.argv[2]).get_fdata(dtype=numpy.float32)
    with open(sys.argv[3], "wb") as out:
        out.write(numpy.array(voxels.shape + (1,), numpy.int32).tobytes())
        voxels.T.tofile(out)  # the transpose of nibabel's Fortran-order array: no copy
