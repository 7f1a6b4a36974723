"""A multi-frame image that brintom converts: each frame file opened by VTK's legacy reader, and
the series file in ParaView's exact form."""
import json
import random
import struct
import sys

from vtk_support import expect_equal, finish, path, read_vtk, run, values

BRINTOM = sys.argv[3]
dims, frames = (5, 4, 3), 4
count = dims[0] * dims[1] * dims[2]
rng = random.Random("series")
voxels = [rng.uniform(-1000.0, 1000.0) for _ in range(count * frames)]
image = struct.pack(f"<4i{count * frames}f", *dims, frames, *voxels)
voxels = struct.unpack(f"<{count * frames}f", image[16:])
with open(path("dynamic.image"), "wb") as file:
    file.write(image)
run("convert", BRINTOM, "convert", path("dynamic.image"), path("out.vtk"))
names = [f"out_{n:03d}.vtk" for n in range(frames)]
expect_equal("series", "text", open(path("out.vtk.series")).read(), json.dumps(
    {"file-series-version": "1.0", "files": [{"name": name, "time": n}
                                              for n, name in enumerate(names)]}) + "\n")
for n, name in enumerate(names):
    data = read_vtk(path(name)).GetOutput()
    expect_equal(name, "dimensions", data.GetDimensions(), dims)
    expect_equal(name, "values", list(map(float.hex, values(data.GetPointData().GetScalars()))),
                 list(map(float.hex, voxels[n * count:(n + 1) * count])))
finish()
