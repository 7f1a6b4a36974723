"""The mesh rows' meshio side, run by /usr/bin/python3 (Debian's python3-meshio):
meshio_mesh.py import  only starts Python and imports meshio;  meshio_mesh.py read PATH  also
reads PATH with meshio.read."""
import sys

import meshio

if sys.argv[1] == "read":
    mesh = meshio.read(sys.argv[2])
    sys.exit(0 if len(mesh.points) > 0 else 1)
