#!/usr/bin/env python3
"""Writes examples/phantom.image: a synthetic head-like phantom in the native image format.

Three nested ellipsoids (skull, brain, ventricle) and two small spheres, 64 columns x 64 rows
x 48 slices, one frame. Only the standard library is needed.
"""
import os
import struct

COLUMNS, ROWS, SLICES = 64, 64, 48

# (centre x, y, z in the unit cube [-1, 1]^3, semi-axes a, b, c, value added inside)
SHAPES = [
    ((0.0, 0.0, 0.0), (0.90, 0.80, 0.85), 1000.0),   # skull
    ((0.0, 0.0, 0.0), (0.80, 0.70, 0.75), -600.0),   # brain, inside the skull
    ((0.0, 0.1, 0.0), (0.15, 0.30, 0.25), -250.0),   # ventricle
    ((0.35, -0.3, 0.2), (0.10, 0.10, 0.10), 300.5),  # lesion
    ((-0.4, 0.2, -0.3), (0.08, 0.08, 0.08), 120.25),  # small lesion
]


def value_at(x, y, z):
    total = 0.0
    for (cx, cy, cz), (a, b, c), v in SHAPES:
        if ((x - cx) / a) ** 2 + ((y - cy) / b) ** 2 + ((z - cz) / c) ** 2 <= 1.0:
            total += v
    return total


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    voxels = []
    for k in range(SLICES):
        z = 2.0 * (k + 0.5) / SLICES - 1.0
        for j in range(ROWS):
            y = 2.0 * (j + 0.5) / ROWS - 1.0
            for i in range(COLUMNS):
                x = 2.0 * (i + 0.5) / COLUMNS - 1.0
                voxels.append(value_at(x, y, z))
    with open(os.path.join(here, "phantom.image"), "wb") as f:
        f.write(struct.pack("<4i", COLUMNS, ROWS, SLICES, 1))
        f.write(struct.pack("<%df" % len(voxels), *voxels))


if __name__ == "__main__":
    main()
