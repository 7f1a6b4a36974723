#!/usr/bin/env python3
"""The hand-written numpy way of doing what brintom2vtk does by default, as a speed floor.

Usage: numpy_convert.py <base> <output>. Reads <base>.image, writes a binary big-endian
STRUCTURED_POINTS file with default geometry. Not part of the toolkit: bench/run times it.
"""
import sys

import numpy as np


def main():
    base, output = sys.argv[1], sys.argv[2]
    with open(base + ".image", "rb") as f:
        columns, rows, slices, _ = np.frombuffer(f.read(16), dtype="<i4")
        voxels = np.fromfile(f, dtype="<f4", count=int(columns) * int(rows) * int(slices))
    n = voxels.size
    header = (
        "# vtk DataFile Version 3.0\nLabel\nBINARY\nDATASET STRUCTURED_POINTS\n"
        f"DIMENSIONS {columns} {rows} {slices}\nSPACING 1.000000 1.000000 1.000000\n"
        f"ORIGIN 0.000000 0.000000 0.000000\nPOINT_DATA {n}\n"
        "SCALARS scalars float\nLOOKUP_TABLE default\n"
    )
    with open(output, "wb") as f:
        f.write(header.encode())
        voxels.astype(">f4").tofile(f)
        f.write(b"\n")


if __name__ == "__main__":
    main()
