"""Types of the compiled part of brintom; use the package's read, write and info."""
from typing import Any, List, Sequence, Tuple, Union

from numpy.typing import NDArray

__version__: str

class Error(RuntimeError):
    """A failure of the brintom library, with the library's message."""

Warnings = List[Tuple[bool, str]]
Triple = Tuple[float, float, float]
VolumeRead = Tuple[str, NDArray[Any], Triple, Triple, str, float, Warnings]
MeshRead = Tuple[str, NDArray[Any], NDArray[Any], NDArray[Any], Warnings]

def read(path: str, kind: str, drop_oblique: bool) -> Union[VolumeRead, MeshRead]:
    """Reads a file: ('image' or 'mask', voxels, spacing, origin, label, frame_step, warnings)
    or ('mesh', points, polygons, weights, warnings)."""

def write_volume(path: str, data: NDArray[Any], kind: str, spacing: Sequence[float],
                 origin: Sequence[float], label: str, frame_step: float, format: str,
                 level: int) -> Tuple[str, Warnings]:
    """Writes a volume array: (complaint or '', warnings)."""

def write_mesh(path: str, points: NDArray[Any], polygons: NDArray[Any], weights: NDArray[Any],
               format: str, level: int) -> Tuple[str, Warnings]:
    """Writes mesh arrays: (complaint or '', warnings)."""

def info(path: str) -> Tuple[str, Warnings]:
    """The JSON object `brintom info --json` shows for a file, and the warnings."""

def mapped_span(path: str, kind: str) -> Tuple[int, List[int], Triple, Triple, str]:
    """Where a native image's or mask's voxels lie, and its geometry: (offset, shape, spacing,
    origin, label)."""

def leak_check() -> int:
    """The sanitizer build only: LeakSanitizer's check now, nonzero when memory leaked."""
