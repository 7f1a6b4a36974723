"""Files that brintom2vtk and brintom write, opened by VTK's legacy reader; brintom's series file
in ParaView's exact form."""
import json
import random
import struct

from vtk_support import BRINTOM, CONVERTER, expect_equal, finish, path, read_vtk, run, values

KEYS = ("ColumnSpacing", "RowSpacing", "SliceSpacing", "ColumnOrigin", "RowOrigin", "SliceOrigin")
for name, dims, geometry in (  # columns rows slices; spacing, then origin
        ("cube", (4, 4, 4), (1.0, 1.0, 1.0, 0.0, 0.0, 0.0)),
        ("anisotropic", (7, 5, 3), (0.5, 0.25, 2.5, -10.0, 3.5, 100.0)),
        ("single", (1, 1, 1), (1.0, 1.0, 1.0, 0.0, 0.0, 0.0)),
        ("larger", (64, 48, 33), (0.9375, 0.9375, 1.25, -30.0, -22.5, 0.0))):
    count = dims[0] * dims[1] * dims[2]
    rng = random.Random(name)
    voxels = [rng.uniform(-3000.0, 3000.0) for _ in range(count)]
    voxels[:3] = [-0.0, 1e-30, 3.0e38][:count]
    image = struct.pack(f"<4i{count}f", *dims, 1, *voxels)
    voxels = struct.unpack(f"<{count}f", image[16:])  # the values the file stores
    with open(path(name + ".image"), "wb") as file:
        file.write(image)
    with open(path(name + ".txt"), "w") as file:
        file.write(f"Label {{{name}}}\n" + "".join(f"{k} {v!r}\n" for k, v in zip(KEYS, geometry)))
    for mode in ("binary", "ascii-structured"):
        case, out = f"{mode} {name}", path(f"{name}-{mode}.vtk")
        run(case, CONVERTER, path(name), out, mode)
        reader = read_vtk(out)
        data = reader.GetOutput()
        scalars = data.GetPointData().GetScalars()
        expect_equal(case, "title, class, dimensions, components",
                     (reader.GetHeader(), data.GetClassName(), data.GetDimensions(),
                      scalars and scalars.GetNumberOfComponents()),
                     (name, "vtkStructuredPoints", dims, 1))
        # Spacing and origin carry six decimals ("%f").
        expect_equal(case, "spacing, origin", data.GetSpacing() + data.GetOrigin(),
                     tuple(float("%f" % value) for value in geometry))
        # What the file keeps of a value: every bit in binary (hex tells -0.0 from 0.0), two
        # decimals in ASCII ("%8.2f ").
        kept = float.hex if mode == "binary" else lambda value: float("%.2f" % value)
        expect_equal(case, "values", list(map(kept, values(scalars))), list(map(kept, voxels)))

# brintom converts a multi-frame image to one file a frame, named in the series file.
dims, count, frames = (5, 4, 3), 60, 4
voxels = [(n * 37 % 1999 - 999) * 0.5 for n in range(count * frames)]  # exact as floats, distinct
with open(path("dynamic.image"), "wb") as file:
    file.write(struct.pack(f"<4i{count * frames}f", *dims, frames, *voxels))
run("convert", BRINTOM, "convert", path("dynamic.image"), path("out.vtk"))
names = [f"out_{n:03d}.vtk" for n in range(frames)]
expect_equal("series", "text", open(path("out.vtk.series")).read(), json.dumps(
    {"file-series-version": "1.0", "files": [{"name": name, "time": n}
                                              for n, name in enumerate(names)]}) + "\n")
for n, name in enumerate(names):
    data = read_vtk(path(name)).GetOutput()
    expect_equal(name, "dimensions, values", (data.GetDimensions(), values(
        data.GetPointData().GetScalars())), (dims, voxels[n * count:(n + 1) * count]))
finish()
