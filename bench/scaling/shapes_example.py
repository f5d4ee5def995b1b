"""The shipped example log, repeated: a reference for linear growth."""

from shape import Shape, program

EXAMPLES = __import__("pathlib").Path(__file__).resolve().parents[2] / "examples"


def repeated_example_log(scale, directory, build):
    path = directory / "repeated.log"
    text = (EXAMPLES / "powertrain.log").read_text()
    path.write_text(text * (20 * scale))
    return [program(build), "decode", EXAMPLES / "powertrain.dbc", path, "--csv"], path


SHAPES = [Shape("candump: example log repeated", repeated_example_log)]
