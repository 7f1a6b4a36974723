"""Volumes and meshes in every file format the brintom library knows, as numpy arrays.

>>> import brintom
>>> v = brintom.read("scan.image")            # any volume format, by its name
>>> v.data.shape, v.spacing, v.origin, v.label
>>> brintom.write("scan.nii.gz", v)
>>> brintom.write("seg.mask", labels, spacing=(0.9, 0.9, 2.5))   # an int16 array
>>> s = brintom.read("surface.stl")           # a Mesh: points, polygons, weights
>>> brintom.info("scan.nii.gz")               # what `brintom info --json` shows, as a dict

Formats, by the end of a file's name: .image, .mask, .mesh (native; NAME.txt holds a native
volume's geometry), .vtk (legacy VTK: a volume or a mesh), .vti and .vtp (VTK XML), .nii and
.nii.gz (NIfTI), .nrrd and .nhdr (NRRD; .nhdr is read only), .mha and .mhd (MetaImage), and the
meshes .stl, .ply and .obj.

A failure of the library raises brintom.Error with its message; a missing file raises
FileNotFoundError. A file cut short is still read, what it lacks as zero, with a
brintom.TruncatedWarning.
"""
from __future__ import annotations

import json
import os
import warnings
from typing import Any, Dict, Optional, Sequence, Tuple, Union, cast

import numpy as np
from numpy.typing import NDArray

from . import _brintom
from ._brintom import Error, __version__

__all__ = ["Volume", "Mesh", "read", "write", "info", "Error", "BrintomWarning",
           "TruncatedWarning", "__version__"]

Error.__module__ = __name__
Error.__doc__ = ("A failure of the brintom library (a file it cannot read or write), with the "
                 "library's message.")

PathLike = Union[str, "os.PathLike[str]"]
Triple = Tuple[float, float, float]

# The dtypes a volume array may have, and the kind each gives.
_VOLUME_DTYPES = {np.dtype(np.float32): "image", np.dtype(np.int16): "mask",
                  np.dtype(np.uint16): "mask"}
_MASK_RANGE = (-32768, 32767)


class BrintomWarning(UserWarning):
    """Something the library did anyway: a rotation dropped, polygons written as fans, ..."""


class TruncatedWarning(BrintomWarning):
    """A file was cut short: the values it lacked were read as zero."""


class Volume:
    """A volume: its voxels and the grid they lie on.

    data: a numpy array in C order, (slices, rows, columns), or (frames, slices, rows,
    columns) for several frames; float32 for an image, int16 for a mask (uint16 is written as
    a mask too, when every value fits in int16).
    spacing, origin: x, y, z, that is along columns, rows and slices (VTK's and ITK's order).
    label: the title (a VTK file's title line, a NIfTI file's description).
    frame_step: the time between frames, where the format keeps it (NIfTI's pixdim[4]).
    """

    __slots__ = ("data", "spacing", "origin", "label", "frame_step")

    def __init__(self, data: NDArray[Any], spacing: Sequence[float] = (1.0, 1.0, 1.0),
                 origin: Sequence[float] = (0.0, 0.0, 0.0), label: str = "Label",
                 frame_step: float = 1.0) -> None:
        """A volume of data (an array, kept as it is) and its grid."""
        self.data = data
        self.spacing: Triple = _triple(spacing, "spacing")
        self.origin: Triple = _triple(origin, "origin")
        self.label = label
        self.frame_step = float(frame_step)

    @property
    def kind(self) -> str:
        """'image' for float voxels, 'mask' for 16-bit integers."""
        return _VOLUME_DTYPES.get(np.asarray(self.data).dtype, "unknown")

    @property
    def frames(self) -> int:
        """How many frames the volume has: 1 for a three-dimensional array."""
        return self.data.shape[0] if self.data.ndim == 4 else 1

    def __array__(self, dtype: Any = None) -> NDArray[Any]:
        """The voxels, so that numpy functions take a Volume as they take its data."""
        return np.asarray(self.data, dtype=dtype)

    def __repr__(self) -> str:
        """The kind, shape and grid, without the voxels."""
        return (f"Volume({self.kind}, shape={tuple(self.data.shape)}, spacing={self.spacing}, "
                f"origin={self.origin}, label={self.label!r})")


class Mesh:
    """A polygon mesh.

    points: (P, 3) float32, x, y, z of each point as the mesh files hold them (a native .mesh
    file stores them plus 1, in grid units counted from 1).
    polygons: (Q, V) int32, each row the 0-based numbers of a polygon's V points.
    weights: (Q,) float32, one per polygon (1.0 where a format keeps none).

    Points pass through the library's grid units (the point plus 1, in float) on their way to
    and from a file, so a coordinate within about 1 of zero comes back to within 6e-8, not
    always to the bit.

    The arrays are meshio's for triangles as they stand:
    ``meshio.Mesh(s.points, [("triangle", s.polygons)])``; to_meshio() and from_meshio() convert
    any polygons.
    """

    __slots__ = ("points", "polygons", "weights")

    def __init__(self, points: Any, polygons: Any, weights: Any = None) -> None:
        """A mesh of points (P, 3) and polygons (Q, V); weights default to 1.0. Points become
        float32 and polygons int32, as every mesh file here holds them; a point number outside
        int32 is refused."""
        self.points = np.ascontiguousarray(points, dtype=np.float32)
        if self.points.ndim != 2 or self.points.shape[1] != 3:
            raise ValueError(f"points must be of shape (P, 3), not {self.points.shape}")
        numbers = np.asarray(polygons)
        if numbers.ndim != 2:
            raise ValueError(f"polygons must be of shape (Q, V), not {numbers.shape}")
        if numbers.dtype.kind not in "iu":
            raise TypeError(f"polygons must be integers, not {numbers.dtype}")
        if numbers.size and (numbers.min() < np.iinfo(np.int32).min
                             or numbers.max() > np.iinfo(np.int32).max):
            raise ValueError("polygons name points beyond what int32 numbers")
        self.polygons = np.ascontiguousarray(numbers, dtype=np.int32)
        if weights is None:
            weights = np.ones(len(self.polygons), dtype=np.float32)
        self.weights = np.ascontiguousarray(weights, dtype=np.float32)
        if self.weights.ndim != 1:
            raise ValueError(f"weights must be of shape (Q,), not {self.weights.shape}")

    def to_meshio(self) -> Any:
        """The mesh as a meshio.Mesh: triangles, quads or polygons by the vertex count, the
        weights as cell data "weight"."""
        import meshio  # type: ignore[import]  # only where meshio is wanted

        cell_type = {3: "triangle", 4: "quad"}.get(self.polygons.shape[1], "polygon")
        return meshio.Mesh(self.points, [(cell_type, self.polygons)],
                           cell_data={"weight": [self.weights]})

    @classmethod
    def from_meshio(cls, mesh: Any) -> "Mesh":
        """A Mesh from a meshio.Mesh whose cells are polygons of one vertex count (triangles,
        quads or polygons); other cells (lines, tetrahedra, ...) are refused."""
        polygons = [block for block in mesh.cells
                    if block.type in ("triangle", "quad") or block.type.startswith("polygon")]
        if len(polygons) != len(mesh.cells) or len({b.data.shape[1] for b in polygons}) > 1:
            kinds = ", ".join(block.type for block in mesh.cells)
            raise ValueError(f"a Mesh holds polygons of one vertex count, not cells {kinds}")
        if not polygons:
            return cls(mesh.points, np.zeros((0, 3), dtype=np.int32))
        return cls(mesh.points, np.concatenate([block.data for block in polygons]))

    def __repr__(self) -> str:
        """The counts, without the arrays."""
        return (f"Mesh(points={len(self.points)}, polygons={len(self.polygons)}, "
                f"vertices_per_polygon={self.polygons.shape[1]})")


def read(path: PathLike, kind: Optional[str] = None, *, mmap: bool = False,
         oblique: str = "refuse") -> Union[Volume, Mesh]:
    """Reads a volume (Volume) or a mesh (Mesh) from any format, told by the file's name.

    kind: 'image' or 'mask' reads a NIfTI, NRRD, MetaImage, VTK or VTK XML volume as that kind
    (by default a mask when its voxels are integers of 16 bits or fewer), and reads a file of
    another name as a native file of that kind; 'mesh' asks for a mesh.
    mmap: map an uncompressed native image or mask instead of reading it: a read-only array, no
    copy and no memory of the volume's size (for volumes larger than memory, or for Dask). The
    file must stay as it is while the array is used.
    oblique: 'drop' reads a volume whose axes are rotated off x, y and z by keeping its voxel
    grid and dropping the rotation, with a warning; by default it is refused.
    """
    path = _existing(path)
    if kind not in (None, "image", "mask", "mesh"):
        raise ValueError(f"kind must be 'image', 'mask' or 'mesh', not {kind!r}")
    if oblique not in ("refuse", "drop"):
        raise ValueError(f"oblique must be 'refuse' or 'drop', not {oblique!r}")
    if mmap:
        return _mapped(path, kind)
    got = _brintom.read(path, kind or "", oblique == "drop")
    _warn(got[-1])
    if got[0] == "mesh":
        mesh = Mesh.__new__(Mesh)
        _, mesh.points, mesh.polygons, mesh.weights, _ = cast("_brintom.MeshRead", got)
        return mesh
    _, data, spacing, origin, label, frame_step, _ = cast("_brintom.VolumeRead", got)
    return Volume(data, spacing, origin, label, frame_step)


def write(path: PathLike, data: Union[Volume, Mesh, NDArray[Any]], *, kind: Optional[str] = None,
          spacing: Optional[Sequence[float]] = None, origin: Optional[Sequence[float]] = None,
          label: Optional[str] = None, frame_step: Optional[float] = None,
          format: Optional[str] = None, compress: Optional[int] = None) -> None:
    """Writes a Volume, a volume array or a Mesh in the format the file's name tells.

    An array is a volume of 3 dimensions (slices, rows, columns) or 4 (frames first): float32
    is an image, int16 or uint16 a mask; no other dtype is taken (convert it first). kind=
    'image' or 'mask' writes it as the other kind (a mask's values must then be integers that
    int16 holds). spacing, origin (x, y, z), label and frame_step replace a Volume's own, and
    default to 1, 0, 'Label' and 1 for an array. A volume of several frames is written to a
    .vtk or .vti name as one file a frame and a .series file, as the brintom command does.
    format: 'binary', 'ascii' or 'ascii-structured' for .vtk, 'binary' or 'ascii' for .stl and
    .ply; compress: 0 to 9 for .nii.gz, .nrrd, .mha, .mhd, .vti and .vtp (default 1).
    """
    path = _output(path)
    options = (format or "", -1 if compress is None else _level(compress))
    if isinstance(data, Mesh):
        if kind not in (None, "mesh") or any(v is not None for v in
                                             (spacing, origin, label, frame_step)):
            raise ValueError("a Mesh takes no kind, spacing, origin, label or frame_step")
        mesh = Mesh(data.points, data.polygons, data.weights)  # its arrays may have been replaced
        result = _brintom.write_mesh(path, mesh.points, mesh.polygons, mesh.weights, *options)
    else:
        volume = data if isinstance(data, Volume) else Volume(data)
        voxels = _volume_array(volume.data, kind)
        label = volume.label if label is None else label
        if not label or "\n" in label or "\r" in label:
            raise ValueError(f"a label is one line of text, not {label!r}")
        result = _brintom.write_volume(
            path, voxels, kind or "", _triple(volume.spacing if spacing is None else spacing,
                                              "spacing"),
            _triple(volume.origin if origin is None else origin, "origin"), label,
            float(volume.frame_step if frame_step is None else frame_step), *options)
    complaint, notes = result
    _warn(notes)
    if complaint:
        raise ValueError(complaint.replace("--format", "format=").replace("--compress",
                                                                          "compress="))


def info(path: PathLike) -> Dict[str, Any]:
    """What `brintom info --json` shows for a file, as a dict: format, kind, dimensions,
    frames, voxel type, geometry, each frame's statistics or a mask's labels, a mesh's counts
    and bounding box, and the header fields of the field's formats."""
    text, notes = _brintom.info(_existing(path))
    _warn(notes)
    described: Dict[str, Any] = json.loads(text)
    return described


def _existing(path: PathLike) -> str:
    """The path as text; FileNotFoundError (or another OSError) when it cannot be reached."""
    path = os.fsdecode(os.fspath(path))
    os.stat(path)
    return path


def _output(path: PathLike) -> str:
    """The path as text; FileNotFoundError when its folder is missing."""
    path = os.fsdecode(os.fspath(path))
    os.stat(os.path.dirname(path) or ".")
    return path


def _warn(notes: Sequence[Tuple[bool, str]]) -> None:
    """The library's warning lines as Python warnings, from the caller's caller."""
    for truncated, line in notes:
        text = line.strip()
        text = text[len("warning: "):] if text.startswith("warning: ") else text
        warnings.warn(text, TruncatedWarning if truncated else BrintomWarning, stacklevel=3)


def _triple(values: Sequence[float], name: str) -> Triple:
    """Three numbers, x, y, z."""
    numbers = tuple(float(v) for v in values)
    if len(numbers) != 3:
        raise ValueError(f"{name} takes 3 numbers (x, y, z), not {len(numbers)}")
    return numbers  # type: ignore[return-value]


def _level(compress: int) -> int:
    """A compression level, 0 to 9."""
    if isinstance(compress, bool) or not isinstance(compress, (int, np.integer)) \
            or not 0 <= compress <= 9:
        raise ValueError(f"compress takes a level from 0 to 9, not {compress!r}")
    return int(compress)


def _volume_array(data: Any, kind: Optional[str]) -> NDArray[Any]:
    """The voxels as the library takes them: C order, refused unless of a volume dtype."""
    array = np.asarray(data)
    if array.dtype not in _VOLUME_DTYPES:
        raise TypeError(f"a volume array is float32 (an image), int16 or uint16 (a mask), "
                        f"not {array.dtype}: convert it first")
    if array.ndim not in (3, 4):
        raise ValueError(f"a volume array has 3 dimensions (slices, rows, columns) or 4 "
                         f"(frames first), not {array.ndim}")
    if array.size == 0:
        raise ValueError(f"a volume array holds voxels, not shape {array.shape}")
    if kind not in (None, "image", "mask"):
        raise ValueError(f"kind must be 'image' or 'mask' for a volume, not {kind!r}")
    if array.dtype == np.uint16 or kind == "mask" and array.dtype == np.float32:
        _check_mask_values(array)
    if array.dtype == np.uint16:
        array = array.view(np.int16)
    return np.ascontiguousarray(array)


def _check_mask_values(array: NDArray[Any]) -> None:
    """Refuses a value that a mask's int16 cannot hold."""
    low, high = _MASK_RANGE
    bad = (array < low) | (array > high)
    if array.dtype.kind == "f":
        bad |= array != np.round(array)
    if bad.any():
        value = array[bad].flat[0]
        raise ValueError(f"the array holds the value {value}, which a mask (int16) cannot hold")


def _mapped(path: str, kind: Optional[str]) -> Volume:
    """A native image or mask file mapped into memory, read-only."""
    native = {".image": "image", ".mask": "mask"}
    named = next((k for suffix, k in native.items() if path.endswith(suffix)), None)
    kind = kind or named
    if kind not in ("image", "mask"):
        raise ValueError("mmap=True maps native .image and .mask files (or kind='image' or "
                         "'mask' for a native file named otherwise)")
    offset, shape, spacing, origin, label = _brintom.mapped_span(path, kind)
    data = np.memmap(path, dtype=np.float32 if kind == "image" else np.int16, mode="r",
                     offset=offset, shape=tuple(shape))
    return Volume(data, spacing, origin, label)
