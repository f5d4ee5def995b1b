"""One shape of input for the scaling benchmark."""

import dataclasses
import pathlib
from typing import Callable, List, Tuple


@dataclasses.dataclass
class Shape:
    name: str
    # make(scale, directory, build) writes the input for that scale into directory and returns
    # the command to run (argv) and the input's path.
    make: Callable[[int, pathlib.Path, pathlib.Path], Tuple[List, pathlib.Path]]


def program(build):
    """The canxlate program of a build folder."""
    return build / "tools" / "canxlate"
