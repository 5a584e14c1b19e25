"""Gradeshift from Python: render looks and LUT files into NumPy arrays, read
looks and LUTs, and convert files as the command line does."""

import os
from typing import Any, Iterable, Literal, Optional, Union

import numpy
import numpy.typing

_Path = Union[str, bytes, os.PathLike[str], os.PathLike[bytes]]

__version__: str

class Error(RuntimeError):
    """A call that could not be carried out; the text says why."""

class FileNotFound(Error, FileNotFoundError):
    """A file or folder that the call needs is not there; filename names it."""

class BadArgument(Error, ValueError):
    """An argument out of range: a size, jobs, a format, two formats at once."""

class Lut:
    """A LUT file as read: a 3D lattice or a 1D table."""

    @property
    def size(self) -> int:
        """Points per axis (lattice) or entries (1D table)."""
    @property
    def dimension(self) -> Literal[1, 3]: ...
    @property
    def domain(self) -> tuple[tuple[float, float, float], tuple[float, float, float]]:
        """((min_r, min_g, min_b), (max_r, max_g, max_b)): the input range."""
    @property
    def table(self) -> numpy.typing.NDArray[numpy.float32]:
        """(n, n, n, 3) indexed [r, g, b] for a lattice, (n, 3) for a 1D table."""
    @property
    def pre_lut(self) -> Optional[Lut]:
        """The 1D Lut applied to the input first, or None."""

class Layer:
    """One shader layer of a look."""

    @property
    def shader(self) -> str: ...
    @property
    def enabled(self) -> bool: ...
    @property
    def visible(self) -> bool: ...
    @property
    def opacity(self) -> float: ...
    @property
    def parameters(self) -> dict[str, Union[float, str]]:
        """Parameter name to value: a float, or a str for a text value."""

class Cdl:
    """Slope, offset and power per channel (r, g, b)."""

    @property
    def slope(self) -> tuple[float, float, float]: ...
    @property
    def offset(self) -> tuple[float, float, float]: ...
    @property
    def power(self) -> tuple[float, float, float]: ...

class Look:
    """What a look file holds."""

    @property
    def layers(self) -> list[Layer]:
        """The layers, bottom first; the base grading counts as one."""
    @property
    def base(self) -> Optional[list[dict[str, Union[float, str]]]]:
        """The base grading's values, one dict per sublayer, or None."""
    @property
    def lut_size(self) -> int:
        """Points per axis of the stored 3D LUT, 0 when none is stored."""
    @property
    def per_channel(self) -> bool:
        """True when every channel goes through its own curve."""
    @property
    def cdl(self) -> Optional[Cdl]:
        """The ASC CDL that holds the look within one 10-bit code, as -to cc
        writes it; None when the look is no CDL."""
    @property
    def cdl_refusal(self) -> Optional[str]:
        """Why the look is no ASC CDL, as -to cc says it; None when it is one."""

class Result:
    """What became of one input file of convert()."""

    @property
    def input(self) -> str: ...
    @property
    def output(self) -> Optional[str]:
        """The file written, or None."""
    @property
    def status(
        self,
    ) -> Literal["converted", "from stored LUT", "unchanged", "failed", "refused"]:
        """"from stored LUT": a look that did not render, converted from its
        stored LUT (warnings say why); "refused": the run declined to write
        it (its output is another file's, the format cannot hold it; cause
        says which)."""
    @property
    def messages(self) -> list[str]:
        """The file's message lines, as the command line prints them."""
    @property
    def cause(self) -> Optional[str]:
        """Why the file failed, or None."""
    @property
    def warnings(self) -> list[str]:
        """Why a look was converted from its stored LUT: each LUT file not found
        or not loaded, each shader not installed; empty otherwise."""

class Comparison:
    """How two transforms differ, as gradeshift -compare -json prints it
    (docs/comparing-and-previewing.md): figures for the lattice's nodes, the
    centres of its cells and all colours."""

    @property
    def a(self) -> str: ...
    @property
    def b(self) -> str: ...
    @property
    def size(self) -> int: ...
    @property
    def colours(self) -> dict[str, int]:
        """{'nodes': n, 'centres': n, 'all': n}."""
    @property
    def codes(self) -> dict[str, dict[str, dict[str, float]]]:
        """codes[set][channel][figure]: differences in 10-bit codes, |a - b| x
        1023, not rounded; set 'nodes', 'centres', 'all'; channel 'r', 'g',
        'b', 'rgb'; figure 'max', 'mean', 'p99_9'."""
    @property
    def delta_e00(self) -> dict[str, dict[str, float]]:
        """delta_e00[set][figure]: CIEDE2000, RGB read as sRGB display values
        (IEC 61966-2-1, D65) clamped to 0..1."""
    @property
    def worst_inputs(self) -> numpy.typing.NDArray[numpy.float32]:
        """(k, 3): the inputs of largest dE00, largest first (k <= 5)."""
    @property
    def worst_a(self) -> numpy.typing.NDArray[numpy.float32]: ...
    @property
    def worst_b(self) -> numpy.typing.NDArray[numpy.float32]: ...
    @property
    def worst_delta_e00(self) -> numpy.typing.NDArray[numpy.float64]: ...
    @property
    def tolerance(self) -> float: ...
    @property
    def tolerance_delta_e00(self) -> Optional[float]: ...
    @property
    def within_tolerance(self) -> bool: ...

def compare(
    a: _Path, b: _Path, size: int = 33, tolerance: float = 1.0, tolerance_de: Optional[float] = None
) -> Comparison:
    """Compares two files' transforms (looks and LUT files of any format) as
    gradeshift -compare does, at the nodes of a size-point lattice (2 to 129)
    and the centres of its cells. Raises Error when a file cannot be read."""

def describe(path: _Path) -> dict[str, Any]:
    """What a look or LUT file is: the object gradeshift -info -json prints
    for it (docs/comparing-and-previewing.md lists its keys)."""

def render(path: _Path, size: int = 33) -> numpy.typing.NDArray[numpy.float32]:
    """The transform of a look or LUT file at a size-point lattice, shape
    (size, size, size, 3) indexed [r, g, b]: a look rendered, the values Cubrel
    mode quantises; a LUT file applied at the nodes as tools apply it (linear
    in its 1D tables, trilinear in its lattice), what -to writes, not Cubrel
    mode's resampling. A look that does not render gives its stored LUT,
    applied at the nodes likewise. Raises FileNotFound when the file is not
    there, BadArgument for a size out of 2..256, Error when the file cannot be
    read, or the look neither renders nor holds a stored LUT."""

def apply(
    path: _Path, image: numpy.typing.NDArray[numpy.float32], size: int = 65
) -> numpy.typing.NDArray[numpy.float32]:
    """The colours of image, float32 of shape (..., 3) (an RGB picture or a
    list of colours), through the transform of a look or LUT file as -preview
    applies it: the file at a size-point lattice as render() gives it, then
    trilinear interpolation, inputs clamped to 0..1. A new array of the same
    shape and dtype; image is left as it is. Raises TypeError for another
    dtype, BadArgument for another shape or size, FileNotFound when the file
    is not there, Error when it cannot be read."""

def load_lut(path: _Path) -> Lut:
    """Reads a LUT file as it is, without resampling."""

def read_look(path: _Path) -> Look:
    """Reads a look: layers, base grading, stored LUT size, CDL."""

def convert(
    inputs: Union[_Path, Iterable[_Path]],
    *,
    cubrel: bool = False,
    to: Optional[str] = None,
    size: Optional[int] = None,
    out: Optional[_Path] = None,
    jobs: Optional[int] = None,
    resampling: bool = True,
) -> list[Result]:
    """Converts files as the command line does, printing nothing; one Result
    per file. inputs: a file, folder or wildcard, or several; out: the folder
    the outputs go into (beside the inputs when None); to: a format as -to
    takes it (cubrel=True is to="cubrel").
    Raises Error where the command line exits with 1: BadArgument for a bad
    size, jobs or to, FileNotFound for an input or output folder that is not
    there. Ctrl-C stops the run within a second and raises KeyboardInterrupt;
    the outputs already written are whole, none is left half made."""
