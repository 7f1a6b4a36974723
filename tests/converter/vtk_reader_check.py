#!/usr/bin/env python3
"""Opens what brintom2vtk writes with the real VTK library's legacy reader.

Usage: vtk_reader_check.py <brintom2vtk>. Exits 77 (reported as skipped) when VTK's Python
module cannot be imported, 0 when every check holds, 1 otherwise.
"""
import math
import os
import random
import struct
import subprocess
import sys
import tempfile

try:
    import vtk
except ImportError as error:
    print(f"skipped: VTK's Python module cannot be imported ({error})")
    sys.exit(77)


def write_case(base, columns, rows, slices, voxels, header_text):
    with open(base + ".image", "wb") as f:
        f.write(struct.pack("<4i", columns, rows, slices, 1))
        f.write(struct.pack("<%df" % len(voxels), *voxels))
    with open(base + ".txt", "w") as f:
        f.write(header_text)


def check(converter, workdir, name, columns, rows, slices, geometry, mode):
    rng = random.Random(name)
    count = columns * rows * slices
    voxels = [rng.uniform(-3000.0, 3000.0) for _ in range(count)]
    voxels[0] = -0.0
    if count > 2:
        voxels[1], voxels[2] = 1e-30, 3.0e38
    # Round through float32 so the expected values are the stored ones.
    voxels = list(struct.unpack("<%df" % count, struct.pack("<%df" % count, *voxels)))
    spacing, origin = geometry
    header = "Label {%s}\n" % name
    for key, value in zip(("ColumnSpacing", "RowSpacing", "SliceSpacing"), spacing):
        header += "%s %r\n" % (key, value)
    for key, value in zip(("ColumnOrigin", "RowOrigin", "SliceOrigin"), origin):
        header += "%s %r\n" % (key, value)
    base = os.path.join(workdir, name)
    write_case(base, columns, rows, slices, voxels, header)
    out = base + "-" + mode + ".vtk"
    run = subprocess.run([converter, base, out, mode], capture_output=True)
    if run.returncode != 0:
        return [f"{name}: converter exited {run.returncode}: {run.stdout!r}"]

    reader = vtk.vtkStructuredPointsReader()
    reader.SetFileName(out)
    reader.Update()
    data = reader.GetOutput()
    problems = []
    if reader.GetHeader() != name:
        problems.append(f"{name}: title {reader.GetHeader()!r}")
    if tuple(data.GetDimensions()) != (columns, rows, slices):
        problems.append(f"{name}: dimensions {data.GetDimensions()}")
    for what, got, want in (("spacing", data.GetSpacing(), spacing), ("origin", data.GetOrigin(), origin)):
        # The file carries six decimals ("%f").
        if any(abs(g - float("%f" % w)) > 1e-9 for g, w in zip(got, want)):
            problems.append(f"{name}: {what} {got} instead of {want}")
    scalars = data.GetPointData().GetScalars()
    if scalars is None:
        return problems + [f"{name}: no scalars read"]
    if scalars.GetNumberOfTuples() != count or scalars.GetNumberOfComponents() != 1:
        return problems + [f"{name}: {scalars.GetNumberOfTuples()} values instead of {count}"]
    values = [scalars.GetValue(i) for i in range(count)]
    if mode == "binary":
        wrong = [i for i in range(count)
                 if struct.pack("<f", float(values[i])) != struct.pack("<f", voxels[i])]
    else:
        # The ASCII file carries each value with two decimals ("%8.2f ").
        wrong = [i for i in range(count) if float("%.2f" % values[i]) != float("%.2f" % voxels[i])]
    if wrong:
        i = wrong[0]
        problems.append(f"{name}: {len(wrong)} values differ, first at {i}: {values[i]} != {voxels[i]}")
    return problems


def main():
    converter = sys.argv[1]
    cases = [
        ("cube", 4, 4, 4, ((1.0, 1.0, 1.0), (0.0, 0.0, 0.0))),
        ("anisotropic", 7, 5, 3, ((0.5, 0.25, 2.5), (-10.0, 3.5, 100.0))),
        ("single", 1, 1, 1, ((1.0, 1.0, 1.0), (0.0, 0.0, 0.0))),
        ("larger", 64, 48, 33, ((0.9375, 0.9375, 1.25), (-30.0, -22.5, 0.0))),
    ]
    problems = []
    runs = 0
    with tempfile.TemporaryDirectory() as workdir:
        for mode in ("binary", "ascii-structured"):
            for name, columns, rows, slices, geometry in cases:
                found = check(converter, workdir, name, columns, rows, slices, geometry, mode)
                problems += [f"{mode} {problem}" for problem in found]
                runs += 1
    for problem in problems:
        print(problem)
    failed = len({p.split(":")[0] for p in problems})
    print(f"{runs - failed} passed, {failed} failed")
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
