"""Failures raise and warnings warn, in Python's ways; the interpreter never ends. A library
failure's message is the one the brintom command prints."""
import os
import struct
import subprocess

import numpy as np
import pytest

import brintom
from conftest import COMMAND, command, image, mask

# Each row: a file the library refuses, by its name and bytes.
REFUSED = [
    ("short.image", b"abc"),                                    # shorter than the header
    ("negative.image", struct.pack("<4i", 2, -2, 2, 1)),        # impossible dimensions
    ("zero.mask", bytes(12)),                                   # mask dimensions outside 1..32767
    ("stray.vtk", b"# vtk DataFile Version 3.0\nt\nASCII\nDATASET POLYDATA\nPOINTS 2 float\n"
                  b"0 0 0 1 1 1\nPOLYGONS 1 4\n3 0 1 5\n"),   # a polygon names a missing point
    ("magic.nii", bytes(348)),                                  # no NIfTI magic
    ("plain.nii.gz", b"not a gzip stream at all"),             # not compressed
    ("empty.vti", b"<VTKFile/>"),                               # no ImageData
    ("open.ply", b"ply\nformat ascii 1.0\n"),                   # no end_header
    ("text.dat", b"neither VTK nor a native name\n"),          # no format at all
]


@pytest.mark.parametrize("name, content", REFUSED)
def test_library_failure_raises_error_with_the_command_s_message(path, name, content):
    with open(path(name), "wb") as out:
        out.write(content)
    with pytest.raises(brintom.Error) as raised:
        brintom.read(path(name))
    assert isinstance(raised.value, RuntimeError)
    if COMMAND:
        status, text = command("convert", path(name), path("out.vtk"))
        assert status == 10 and str(raised.value) == text


def test_missing_files_are_file_not_found(path):
    for call in (lambda: brintom.read(path("none.image")), lambda: brintom.info(path("x.nii")),
                 lambda: brintom.write(path("no/such/folder/v.nii"), image((2, 2, 2)))):
        with pytest.raises(FileNotFoundError):
            call()


# Each row: what write is given, the exception, words of its message.
BAD_WRITES = [
    (np.zeros((2, 2, 2)), {}, TypeError, "not float64"),            # float64 is not converted
    (np.zeros((2, 2, 2), np.int32), {}, TypeError, "int16"),        # nor int32
    (np.zeros((2, 2), np.float32), {}, ValueError, "3 dimensions"),  # a plane is no volume
    (np.zeros((0, 2, 2), np.float32), {}, ValueError, "holds voxels"),  # empty
    (np.zeros((2, 2, 2), np.float32), {"spacing": (1, 1)}, ValueError, "3 numbers"),
    (np.full((2, 2, 2), 0.5, np.float32), {"kind": "mask"}, ValueError, "value 0.5"),
    (np.full((2, 2, 2), 40000, np.uint16), {}, ValueError, "value 40000"),  # beyond int16
    (np.zeros((2, 2, 2), np.float32), {"label": "two\nlines"}, ValueError, "one line"),
    (np.zeros((2, 2, 2), np.float32), {"format": "ascii"}, ValueError, "format= is for"),
    (np.zeros((2, 2, 2), np.float32), {"compress": 10}, ValueError, "0 to 9"),
]


@pytest.mark.parametrize("data, keywords, exception, words", BAD_WRITES)
def test_bad_writes_are_refused_before_a_file_is_made(path, data, keywords, exception, words):
    with pytest.raises(exception, match=words):
        brintom.write(path("v.nii"), data, **keywords)
    assert not os.path.exists(path("v.nii"))


def test_format_and_kind_mismatches(path):
    with pytest.raises(ValueError, match="holds no mask"):
        brintom.write(path("m.image"), mask((2, 2, 2)))
    with pytest.raises(ValueError, match="must end in"):
        brintom.write(path("v.xyz"), image((2, 2, 2)))
    with pytest.raises(ValueError, match="format= for a mask: binary or ascii"):
        brintom.write(path("m.vtk"), mask((2, 2, 2)), format="ascii-structured")
    brintom.write(path("s.stl"), brintom.Mesh(np.eye(3), [[0, 1, 2]]))
    with pytest.raises(brintom.Error, match="holds a mesh, not a volume"):
        brintom.read(path("s.stl"), kind="image")
    with pytest.raises(brintom.Error, match="names point 7 of 3"):
        brintom.write(path("t.ply"), brintom.Mesh(np.eye(3), [[0, 1, 7]]))
    mesh = brintom.Mesh(np.eye(3), [[0, 1, 2]])
    mesh.points, mesh.polygons = np.eye(3)[::-1], np.array([[2, 1, 0]])  # float64, int64, reversed
    brintom.write(path("r.ply"), mesh)
    assert np.array_equal(brintom.read(path("r.ply")).points, np.eye(3)[::-1])


# Each row: the file written, how many bytes to cut from its end, the voxels that go missing.
CUT_SHORT = [
    ("cut.image", 8, 2),    # native floats
    ("cut.mask", 2, 1),     # native 16-bit
    ("cut.nii.gz", 40, None),  # a gzip stream that ends early: some voxels
]


@pytest.mark.parametrize("name, cut, missing", CUT_SHORT)
def test_cut_short_files_warn_and_read_as_zero(path, capfd, name, cut, missing):
    data = (mask if name.endswith(".mask") else image)((3, 4, 5))
    brintom.write(path(name), np.abs(data) if data.dtype == np.int16 else data, compress=9
                  if name.endswith(".gz") else None)
    size = len(open(path(name), "rb").read())
    with open(path(name), "r+b") as out:
        out.truncate(size - cut)
    with pytest.warns(brintom.TruncatedWarning, match="is truncated") as caught:
        got = brintom.read(path(name))
    assert got.data.shape == data.shape and capfd.readouterr().err == ""
    if missing:
        assert not got.data.flat[-missing:].any() and got.data.flat[-missing - 1] != 0
    if COMMAND and missing:
        lines = subprocess.run([COMMAND, "info", path(name)], capture_output=True, text=True,
                               check=False).stderr.splitlines()
        assert [str(w.message) for w in caught] == [lines[0].replace("warning: ", "", 1)]
