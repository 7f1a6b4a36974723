"""Reads and writes from several threads at once give what they give one at a time: the
library's process-wide geometry settings and ledger are guarded, and the GIL is let go while
files are read."""
import os
import threading
from concurrent.futures import ThreadPoolExecutor

import numpy as np

import brintom
from conftest import image, mask, same_bits

SUFFIXES = [".image", ".mask", ".vtk", ".vti", ".nii.gz", ".nrrd", ".mha", ".stl", ".ply"]


def volume_or_mesh(n, suffix):
    """The n-th file's content: each with its own grid and title, so that a mix-up shows."""
    if suffix in (".stl", ".ply"):
        points = (np.arange(3 * (n + 3)).reshape(-1, 3) / 4).astype(np.float32)
        return brintom.Mesh(points, np.arange(len(points) // 3 * 3).reshape(-1, 3))
    data = mask((4, 5, 6 + n)) if suffix == ".mask" else image((4, 5, 6 + n))
    return brintom.Volume(data, (1 + n, 2, 3), (n, -n, 0.5), f"volume {n}")


def summary(got):
    if isinstance(got, brintom.Mesh):
        return got.points.tobytes(), got.polygons.tobytes()
    return got.data.tobytes(), got.spacing, got.origin, got.label


def test_thread_pool_reads_and_writes_as_one_thread_does(path):
    # Stems of their own: NAME.image and NAME.mask would share NAME.txt.
    names = [path(f"{suffix[1:]}{n}{suffix}") for n in range(4) for suffix in SUFFIXES]
    contents = [volume_or_mesh(n, os.path.splitext(name)[1]) for n, name in enumerate(names)]
    with ThreadPoolExecutor(8) as pool:
        list(pool.map(brintom.write, names, contents))
    alone = [summary(brintom.read(name)) for name in names]
    assert alone[0][1:] == ((1, 2, 3), (0, 0, 0.5), "volume 0")
    with ThreadPoolExecutor(8) as pool:
        for _ in range(3):
            assert list(pool.map(lambda name: summary(brintom.read(name)), names)) == alone
            assert list(pool.map(brintom.info, names)) == [brintom.info(name) for name in names]


def test_gil_is_let_go_while_a_file_is_read(path):
    # The reader waits in the library for a pipe that only this thread fills: with the GIL
    # held there, neither would ever go on.
    data = image((3, 4, 5))
    brintom.write(path("v.image"), data)
    os.mkfifo(path("pipe.image"))
    got = {}
    reader = threading.Thread(target=lambda: got.update(v=brintom.read(path("pipe.image"))))
    reader.start()
    with open(path("pipe.image"), "wb") as pipe:
        pipe.write(open(path("v.image"), "rb").read())
    reader.join()
    assert same_bits(got["v"].data, data)
