"""Our NIfTI, NRRD and MetaImage files opened by the field's own readers (nibabel, VTK's readers,
nifti_tool), and the files nibabel and VTK's writers make read back by brintom with every voxel at
its world position. Runs as `python3 medical_check.py <brintom>`; exits 77 (ctest: skipped) when
nibabel or VTK cannot be imported, else 1 after any failed comparison, 0 when all held.
"""
import contextlib
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

try:
    import numpy as np
    import nibabel as nib
    # VTK's modules one by one: `import vtk` also loads the parallel readers, whose factory
    # replaces vtkNrrdReader with one that needs MPI.
    from vtkmodules import vtkIOImage
    from vtkmodules.util.numpy_support import numpy_to_vtk, vtk_to_numpy
    from vtkmodules.vtkCommonDataModel import vtkImageData
except ImportError as error:
    print(f"skipped: nibabel or VTK cannot be imported ({error})")
    sys.exit(77)

BRINTOM = sys.argv[1]
SCRATCH = tempfile.TemporaryDirectory()
KEYS = ("ColumnSpacing", "RowSpacing", "SliceSpacing", "ColumnOrigin", "RowOrigin", "SliceOrigin")
LPS = np.diag([-1.0, -1.0, 1.0])  # LPS to RAS and back
cases, failures, current = set(), set(), [""]
described = []  # (file, format, our voxels) for `brintom info`


def path(name):
    return os.path.join(SCRATCH.name, name)


@contextlib.contextmanager
def case(name):
    """One case: its expectations, and any exception raised in it, count against its name."""
    current[0] = name
    cases.add(name)
    try:
        yield
    except Exception as error:  # pylint: disable=broad-except
        expect("ran", False, repr(error))


def expect(what, held, detail=""):
    if not held:
        print(f"FAIL {current[0]}: {what} {detail}"[:2000])
        failures.add(current[0])
    return held


def brintom(*args, status=0):
    result = subprocess.run((BRINTOM,) + args, capture_output=True, text=True, check=False)
    expect(f"brintom {' '.join(args)}: status", result.returncode == status,
           f"{result.returncode}, expected {status}; printed {result.stdout!r} {result.stderr!r}")
    return result


def write_native(name, voxels, spacing, origin, label):
    """voxels[x, y, z(, frame)]: float32 as NAME.image, int16 as NAME.mask; with NAME.txt."""
    image = voxels.dtype == np.float32
    dims = voxels.shape[:3] + ((voxels.shape[3] if voxels.ndim == 4 else 1,) if image else ())
    file = path(name + (".image" if image else ".mask"))
    with open(file, "wb") as out:
        out.write(struct.pack(f"<{len(dims)}i", *dims) + voxels.tobytes(order="F"))
    with open(path(name + ".txt"), "w") as out:
        out.write(f"Label {{{label}}}\n" +
                  "".join(f"{k} {v!r}\n" for k, v in zip(KEYS, spacing + origin)))
    return file


def read_native(file):
    """A native .image ([x, y, z, frame], float32) or .mask ([x, y, z], int16), columns fastest,
    with spacing, origin and Label from its NAME.txt."""
    data, image = open(file, "rb").read(), file.endswith(".image")
    words, dtype = (4, "<f4") if image else (3, "<i2")
    dims = struct.unpack_from(f"<{words}i", data)
    voxels = np.frombuffer(data, dtype, offset=4 * words).reshape(dims, order="F")
    fields = dict(re.findall(r"^(\w+) (.*)$", open(file[:file.rindex(".")] + ".txt").read(), re.M))
    return (voxels, np.array([float(fields[k]) for k in KEYS[:3]]),
            np.array([float(fields[k]) for k in KEYS[3:]]), fields["Label"].strip("{}"))


def affine(axes, origin):
    """The 4x4 matrix taking voxel (i, j, k) to origin + i axes[0] + j axes[1] + k axes[2]."""
    result = np.eye(4)
    result[:3, :3], result[:3, 3] = np.array(axes, float).T, origin
    return result


def stated_affine(file):
    """The RAS placement a NIfTI header gives: its sform when coded, else its qform."""
    header = nib.load(file).header
    matrix, code = header.get_sform(coded=True)
    return matrix if code else header.get_qform()


def same_values(got, want):
    """Exact for integers; floats to float32's precision (a file's float64 or scaled values)."""
    if np.issubdtype(got.dtype, np.integer):
        return np.array_equal(got.astype(np.int64), want.astype(np.int64))
    return np.allclose(got, want, rtol=1e-6, atol=0, equal_nan=True)


def check_world(file, kind, placement, want):
    """Converts file to a native kind; our voxel (x, y, z) at LPS origin + (x, y, z) * spacing
    must be the voxel of want ([i, j, k(, frame)]) that the RAS placement puts at that point."""
    out = path(os.path.basename(file).replace(".", "_") + "." + kind)
    brintom("convert", file, out)
    ours, spacing, origin, _ = read_native(out)
    grid = np.indices(ours.shape[:3]).reshape(3, -1).T
    ras = (origin + grid * spacing) @ LPS
    ijk = (np.linalg.inv(placement) @ np.c_[ras, np.ones(len(ras))].T)[:3].T
    index = np.rint(ijk).astype(int)
    miss = np.abs(ijk - index).max()
    if expect("voxels on the file's grid", miss < 1e-3 and (index >= 0).all() and
              (index < want.shape[:3]).all() and
              len(np.unique(index, axis=0)) == np.prod(want.shape[:3]),
              f"off by up to {miss:.3g}, from {index.min(0)} to {index.max(0)}"):
        got, wanted = ours.reshape(len(grid), -1), want[tuple(index.T)].reshape(len(grid), -1)
        expect("values at their world positions", same_values(got, wanted))
    return ours


# Our files from native volumes, read by nibabel, VTK's readers and nifti_tool.
rng = np.random.default_rng(20261207)
SHAPE = (11, 7, 5)  # VTK's NRRD reader takes a first axis of 9 or fewer for components


def random_voxels(stored, shape=SHAPE, nan_at=None):
    """Integers to both ends of their type; floats of both signs, with a NaN where asked."""
    if np.dtype(stored).kind in "iu":
        limits = np.iinfo(stored)
        return rng.integers(limits.min, limits.max, shape, endpoint=True).astype(stored)
    voxels = rng.uniform(-1e4, 1e4, shape).astype(stored)
    if nan_at:
        voxels[nan_at] = np.nan
    return voxels


SOURCES = {  # voxels [x, y, z(, frame)], spacing, origin, Label
    # a float image of one frame
    "head": (random_voxels(np.float32), (0.75, 0.5, 2.5), (-40.5, 12.25, 100.0), "Head scan"),
    # two frames, one NaN
    "dynamic": (random_voxels(np.float32, SHAPE + (2,), (3, 2, 1, 1)), (1.5, 1.5, 3.0),
                (0.0, -20.0, -7.5), "Two frames"),
    # a mask to both ends of int16, its Label too long for descrip's 79 bytes
    "labels": (random_voxels(np.int16), (0.9375, 0.9375, 1.25), (10.0, 20.0, -30.0),
               "Segmentation " + "0123456789" * 10),
}
OURS = [  # output, options, format, header fields that say how the voxels are stored
    ("a.nii", (), "nifti", {}),  # uncompressed
    ("b.nii.gz", ("--compress", "9"), "nifti", {}),  # gzip, header inside
    ("a.nrrd", ("--compress", "0"), "nrrd", {"encoding": "raw"}),
    ("b.nrrd", (), "nrrd", {"encoding": "gzip"}),  # after a plain header
    ("a.mha", ("--compress", "0"), "metaimage", {"CompressedData": "False",
                                                 "ElementDataFile": "LOCAL"}),
    ("b.mhd", (), "metaimage", {"CompressedData": "True",  # zlib, beside the header
                                "ElementDataFile": "{source}_b.zraw"}),
]
VTK_READERS = {"nifti": vtkIOImage.vtkNIFTIImageReader, "nrrd": vtkIOImage.vtkNrrdReader,
               "metaimage": vtkIOImage.vtkMetaImageReader}
NIFTI_TOOL = shutil.which("nifti_tool")


def numbers(text):
    return [float(x) for x in re.findall(r"[-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?", text)]


def check_nibabel(file, voxels, spacing, origin, label):
    """The header as we state it (affine diag(-sx, -sy, sz), translation (-ox, -oy, oz)) and the
    voxels, nibabel's array [i, j, k] being ours [x, y, z]."""
    image = nib.load(file)
    header = image.header
    expected = affine(np.diag(spacing) @ LPS, np.array(origin) @ LPS)
    frames = voxels.ndim == 4
    for form, (matrix, code) in (("sform", header.get_sform(coded=True)),
                                 ("qform", header.get_qform(coded=True))):
        expect(form, code == 1 and np.allclose(matrix, expected), f"code {code}, {matrix}")
    got = (header.get_zooms(), header["pixdim"][0], int(header["xyzt_units"]),
           header["descrip"].item().decode(), header.get_data_dtype(),
           nib.Nifti1Header.diagnose_binaryblock(header.binaryblock))
    want = (spacing + (1.0,) * frames, 1.0, 2 + 8 * frames, label[:79], voxels.dtype, "")
    expect("zooms, qfac, units, descrip, type, nibabel's diagnosis",
           np.allclose(got[0], want[0]) and got[1:] == want[1:], f"{got}, expected {want}")
    expect("voxels", np.array_equal(np.asanyarray(image.dataobj), voxels, equal_nan=True))


def check_vtk(file, form, voxels, spacing, origin):
    """Dimensions, values and spacing as VTK's reader takes them; the origin where the reader
    keeps one (NRRD, MetaImage), else the qform and sform matrices VTK's NIfTI reader makes."""
    reader = VTK_READERS[form]()
    reader.SetFileName(file)
    reader.Update()
    data = reader.GetOutput()
    scalars = data.GetPointData().GetScalars()
    expect("dimensions, spacing", data.GetDimensions() == voxels.shape and
           np.allclose(data.GetSpacing(), spacing), f"{data.GetDimensions()} {data.GetSpacing()}")
    expect("values", scalars is not None and scalars.GetNumberOfComponents() == 1 and
           np.array_equal(vtk_to_numpy(scalars), voxels.ravel(order="F")))
    if form != "nifti":
        expect("origin", np.allclose(data.GetOrigin(), origin), f"{data.GetOrigin()}")
        return
    for matrix in (reader.GetQFormMatrix(), reader.GetSFormMatrix()):
        got = [[matrix.GetElement(r, c) for c in range(4)] for r in range(4)] if matrix else None
        expect("VTK's qform and sform", got is not None and
               np.allclose(got, affine(LPS, np.array(origin) @ LPS)), f"{got}")


def check_header_text(file, form, storage, voxels, spacing, origin, label):
    """The storage fields; NRRD's space, directions, origin and content; MetaImage's matrix,
    offset, spacing and comment."""
    data = open(file, "rb").read()
    end = data.index(b"\n\n") if form == "nrrd" else data.index(b"\n", data.index(b"DataFile"))
    fields = dict(re.findall(r"^(\w[\w ]*?) ?[:=] (.*)$", data[:end].decode("latin-1"), re.M))
    expect("storage", all(fields.get(key) == value for key, value in storage.items()), fields)
    if form == "nrrd":
        directions = np.diag(spacing).ravel()
        got = (fields.get("space"), numbers(fields.get("space directions", "")),
               numbers(fields.get("space origin", "")), fields.get("content"))
        held = (got[0] == "left-posterior-superior" and np.allclose(got[1], directions) and
                np.allclose(got[2], origin) and got[3] == label)
    else:
        got = [numbers(fields.get(key, ""))
               for key in ("TransformMatrix", "Offset", "ElementSpacing")] + [fields.get("Comment")]
        held = (np.allclose(got[0], np.eye(voxels.ndim).ravel()) and
                np.allclose(got[1][:3], origin) and np.allclose(got[2][:3], spacing) and
                got[3] == label)
    expect("header fields", held, f"{got}")


for source, (voxels, spacing, origin, label) in SOURCES.items():
    native = write_native(source, voxels, spacing, origin, label)
    for output, options, form, storage in OURS:
        with case(f"{source} {output} {' '.join(options)}"):
            file = path(f"{source}_{output}")
            brintom("convert", *options, native, file)
            if form == "nifti":
                check_nibabel(file, voxels, spacing, origin, label)
                described.append((file, form, voxels))
            else:
                storage = {key: value.format(source=source) for key, value in storage.items()}
                check_header_text(file, form, storage, voxels, spacing, origin, label)
            if voxels.ndim == 3:  # VTK's readers take a 4-D file's frames for components
                check_vtk(file, form, voxels, spacing, origin)
            if NIFTI_TOOL and form == "nifti":  # nifti_tool exits 0 either way: its words tell
                result = subprocess.run((NIFTI_TOOL, "-check_hdr", "-check_nim", "-infiles", file),
                                        capture_output=True, text=True, check=False)
                lines = (result.stdout + result.stderr).splitlines()
                expect("nifti_tool's checks", result.returncode == 0 and lines == [
                    f"header IS GOOD for file {file}", f"nifti_image IS GOOD for file {file}"],
                       f"{lines}")
with case("dynamic --frame 1 a.nii"):
    voxels, spacing, origin, label = SOURCES["dynamic"]
    brintom("convert", "--frame", "1", path("dynamic.image"), path("frame.nii"))
    check_nibabel(path("frame.nii"), voxels[..., 1], spacing, origin, label)

# Files that nibabel and VTK's writers make, each voxel where their headers place it.
def shifted(matrix):
    """A decoy placement, in the form a row's reader must pass over."""
    return matrix + np.pad(np.full((3, 1), 25.0), ((0, 1), (3, 0)))


TILT = np.radians(12.5)
FIELD = [  # file, stored type, voxel axes in RAS, origin, header change, our kind
    # our own axes: nothing to reorder
    ("ours.nii", "f4", [(-0.75, 0, 0), (0, -0.5, 0), (0, 0, 2.5)], (30, 20, 5), None, "image"),
    # nibabel's usual diag(sx, sy, sz): x and y run against ours
    ("neuro.nii.gz", "f4", [(0.75, 0, 0), (0, 0.5, 0), (0, 0, 2.5)], (-30, -20, 5), None, "image"),
    # radiological storage, slices from the top: y and z run against ours
    ("radio.nii", "i2", [(-0.75, 0, 0), (0, 0.5, 0), (0, 0, -2.5)], (30, -20, 5), None, "mask"),
    # sagittal: i runs posterior, j inferior, k right
    ("sagittal.nii", "u1", [(0, -0.9, 0), (0, 0, -1.1), (1.2, 0, 0)], (-9, 40, 30), None, "mask"),
    # uint16 to 65535, as scanners store MR: no mask holds it, so `brintom info` describes an
    # image (a mask by the default rule: refused with "a mask (16-bit integers) cannot hold")
    ("uint16.nii", "u2", [(-1, 0, 0), (0, -1, 0), (0, 0, 1)], (0, 0, 0), None, "image"),
    # coronal, float64: j runs inferior, k anterior
    ("coronal.nii.gz", "f8", [(1, 0, 0), (0, 0, -2), (0, 0.8, 0)], (-5, 7, 9), None, "image"),
    # three frames 2.5 s apart, one NaN
    ("frames.nii.gz", "f4", [(-2, 0, 0), (0, 2, 0), (0, 0, 3)], (1, 2, 3), "frames", "image"),
    # int16 with scl_slope and scl_inter: an image of the scaled values
    ("scaled.nii", "i2", [(0.5, 0, 0), (0, 0.5, 0), (0, 0, 1)], (0, 0, 0), "scaled", "image"),
    # big-endian floats and shorts
    ("big.nii", ">f4", [(1, 0, 0), (0, -1, 0), (0, 0, 1)], (3, 2, 1), None, "image"),
    ("big_mask.nii.gz", ">i2", [(1, 0, 0), (0, -1, 0), (0, 0, 1)], (3, 2, 1), None, "mask"),
    # rows and columns swapped, slices from the top; sform alone coded, a decoy qform beside it
    ("sform.nii", "f4", [(0, 1, 0), (-1, 0, 0), (0, 0, -1)], (4, 5, 6), "sform", "image"),
    # the same from the qform alone (qfac -1), a decoy sform beside it
    ("qform.nii", "f4", [(0, 1, 0), (-1, 0, 0), (0, 0, -1)], (4, 5, 6), "qform", "image"),
    # neither coded: pixdim along our axes from 0, the grid as stored
    ("neither.nii", "f4", [(-0.5, 0, 0), (0, -0.5, 0), (0, 0, 2)], (0, 0, 0), "neither", "image"),
    # both coded and different: the sform is the one
    ("sform_wins.nii", "f4", [(1, 0, 0), (0, 0, 1), (0, -1, 0)], (4, 5, 6), "both", "image"),
    # turned 12.5 degrees about the superior axis
    ("oblique.nii", "f4", [(np.cos(TILT), np.sin(TILT), 0), (-np.sin(TILT), np.cos(TILT), 0),
                           (0, 0, 1)], (1, 2, 3), "oblique", "image"),
]
HEADER_CHANGES = {  # how nibabel places a file beyond Nifti1Image(voxels, placement)
    "sform": lambda image, a: image.set_qform(shifted(a), code=0),  # a decoy qform, uncoded
    "qform": lambda image, a: (image.set_qform(a, code=1), image.set_sform(shifted(a), code=0)),
    "both": lambda image, a: (image.set_qform(shifted(a), code=1), image.set_sform(a, code=1)),
    "neither": lambda image, a: (image.set_sform(None, code=0), image.set_qform(None, code=0)),
    "frames": lambda image, a: image.header.set_zooms(image.header.get_zooms()[:3] + (2.5,)),
    "scaled": lambda image, a: image.set_data_dtype(np.int16),  # nibabel picks slope and inter
}
for name, stored, axes, origin, change, kind in FIELD:
    with case(f"nibabel {name}"):
        values = (random_voxels(np.float64) if change == "scaled" else
                  random_voxels(stored, SHAPE + (3,), (1, 2, 3, 1)) if change == "frames" else
                  random_voxels(stored))
        placement = affine(axes, origin)
        header = nib.Nifti1Header(endianness=">" if stored.startswith(">") else "<")
        header.set_data_dtype(values.dtype)  # else the header's float32 wins over the array's
        image = nib.Nifti1Image(values, placement, header)
        HEADER_CHANGES.get(change, lambda *_: None)(image, placement)
        image.to_filename(path(name))
        written = nib.load(path(name))
        want = written.get_fdata() if kind == "image" else np.asanyarray(written.dataobj)
        if change == "oblique":  # refused with its angle; with --oblique drop, the grid kept
            refusal = brintom("convert", path(name), path("refused.image"), status=10)
            expect("refusal", "is oblique: an axis lies 12.50 degrees off the volume axes" in
                   refusal.stdout, refusal.stdout)
            brintom("convert", "--oblique", "drop", path(name), path("dropped.image"))
            ours, spacing, at, _ = read_native(path("dropped.image"))
            expect("the stored grid kept", same_values(ours[..., 0], want) and
                   np.allclose(spacing, 1.0) and np.allclose(at, np.array(origin) @ LPS),
                   f"{spacing} {at}")
            continue
        described.append((path(name), "nifti", check_world(path(name), kind, placement, want)))
        if change == "frames":  # the frame step goes on through a MetaImage to a NIfTI file
            brintom("convert", path(name), path("frames.mha"))
            brintom("convert", path("frames.mha"), path("frames_again.nii"))
            expect("frame step", nib.load(path("frames_again.nii")).header.get_zooms()[3] == 2.5)

VTK_WRITTEN = [  # file, VTK writer, compression, stored type
    ("vtk.nii", vtkIOImage.vtkNIFTIImageWriter, None, np.float32),
    ("vtk_mask.nii.gz", vtkIOImage.vtkNIFTIImageWriter, None, np.int16),
    ("vtk.mhd", vtkIOImage.vtkMetaImageWriter, False, np.float32),  # vtk.raw beside it
    ("vtk_mask.mha", vtkIOImage.vtkMetaImageWriter, True, np.int16),  # zlib inside
    ("vtk_double.mhd", vtkIOImage.vtkMetaImageWriter, True, np.float64),  # vtk_double.zraw
]
for name, writer_class, compression, stored in VTK_WRITTEN:
    with case(f"VTK {name}"):
        values = random_voxels(stored)
        data, writer = vtkImageData(), writer_class()
        data.SetDimensions(*SHAPE)
        data.SetSpacing(0.5, 0.75, 2.0)
        data.SetOrigin(10.0, -5.0, 3.0)
        data.GetPointData().SetScalars(numpy_to_vtk(values.ravel(order="F"), deep=1))
        writer.SetInputData(data)
        writer.SetFileName(path(name))
        if compression is not None:
            writer.SetCompression(compression)
        writer.Write()
        # A MetaImage's identity matrix and Offset place VTK's x, y, z as LPS.
        nifti = name.endswith((".nii", ".nii.gz"))
        placement = (stated_affine(path(name)) if nifti else
                     affine(np.diag([0.5, 0.75, 2.0]) @ LPS, np.array([10.0, -5.0, 3.0]) @ LPS))
        kind = "mask" if stored == np.int16 else "image"
        described.append((path(name), "nifti" if nifti else "metaimage",
                          check_world(path(name), kind, placement, values)))

# `brintom info --json`: format, kind, our dimensions and frames, and statistics or labels.
descriptions = []
with case("info"):
    descriptions = json.loads(brintom("info", "--json", *(f for f, _, _ in described)).stdout)
    expect("one description a file", len(descriptions) == len(described))
for (file, form, ours), facts in zip(described, descriptions):
    with case(f"info {os.path.basename(file)}"):
        frames, mask = ours.reshape(ours.shape[:3] + (-1,)), ours.dtype == np.int16
        got = tuple(facts.get(key) for key in ("format", "kind", "dimensions", "frames"))
        expect("format, kind, dimensions, frames", got == (
            form, "mask" if mask else "image", list(ours.shape[:3]), frames.shape[3]), f"{facts}")
        if mask:
            labels, counts = np.unique(ours, return_counts=True)
            order = sorted(zip(-counts, labels))
            expect("labels", facts.get("labels") == [{"label": int(v), "voxels": int(-c)}
                                                     for c, v in order[:20]] and
                   facts.get("more_labels") == max(0, len(order) - 20), f"{facts.get('labels')}")
        else:
            # Minimum and maximum exact; the mean, summed in float lanes, to 1e-5 of the
            # voxels' mean size.
            got = [(np.float32(s["min"]), np.float32(s["max"]), s["nan"], s["mean"])
                   for s in facts.get("statistics", [])]
            want = [(np.nanmin(f), np.nanmax(f), np.isnan(f).sum(), np.nanmean(f, dtype=float))
                    for f in np.moveaxis(frames, 3, 0)]
            expect("statistics", len(got) == len(want) and all(
                g[:3] == w[:3] and abs(g[3] - w[3]) <= 1e-5 * np.nanmean(abs(f))
                for g, w, f in zip(got, want, np.moveaxis(frames, 3, 0))),
                   f"{got}, expected {want}")

print(f"{len(cases) - len(failures)} cases passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
