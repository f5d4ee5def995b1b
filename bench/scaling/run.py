"""Scaling of the readers with their input: each shape of hostile input is generated at three
sizes (x1, x10, x100), run in a process of its own, and its wall time and peak memory printed,
with the ratios from x10 to x100 (linear growth gives about 10).

    python3 bench/scaling/run.py [--build build] [--only NAME] [--scales 1,10,100]

Shapes live in the shapes_*.py modules beside this file: each has SHAPES, a list of Shape.
"""

import argparse
import importlib
import os
import pathlib
import sys
import tempfile
import time

HERE = pathlib.Path(__file__).resolve().parent
TIME = pathlib.Path("/usr/bin/time")  # GNU time
sys.path.insert(0, str(HERE))

from shape import Shape  # noqa: E402


def run_once(argv, environment):
    """Wall seconds and peak resident memory (bytes) of one process.

    The peak is the process's own: a child forked from this interpreter and
    then exec'd would report the interpreter's resident size as well (the
    kernel keeps the larger of the two), some 13 MB that hide the ratio of a
    small input. GNU time, a small program, runs the command and writes its
    peak to a file; without it the fork's figure is given."""
    with tempfile.NamedTemporaryFile(mode="r") as peak_file:
        timed = argv
        if TIME.exists():
            timed = [str(TIME), "--format=%M", f"--output={peak_file.name}", *argv]
        started = time.perf_counter()
        pid = os.fork()
        if pid == 0:
            devnull = os.open(os.devnull, os.O_WRONLY)
            os.dup2(devnull, 1)
            os.dup2(devnull, 2)
            try:
                os.execvpe(timed[0], timed, environment)
            finally:
                os._exit(127)
        _, status, usage = os.wait4(pid, 0)
        seconds = time.perf_counter() - started
        code = os.waitstatus_to_exitcode(status)
        # The last line is the peak in KiB; a line before it may tell of the
        # command's exit status or signal.
        lines = peak_file.read().split()
        peak = int(lines[-1]) if timed is not argv and lines and lines[-1].isdigit() else usage.ru_maxrss
        return seconds, peak * 1024, code


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build", help="build folder (Release)")
    parser.add_argument("--only", default="", help="run the shapes whose name contains this")
    parser.add_argument("--scales", default="1,10,100")
    arguments = parser.parse_args()
    build = pathlib.Path(arguments.build).resolve()
    scales = [int(s) for s in arguments.scales.split(",")]
    shapes = []
    for module in sorted(HERE.glob("shapes_*.py")):
        shapes += importlib.import_module(module.stem).SHAPES
    environment = dict(os.environ, PYTHONPATH=str(HERE.parents[1] / "python"))
    environment.setdefault("CANXLATE_LIBRARY", str(build / "libcanxlate.so"))
    print(f"{'shape':<34} {'scale':>5} {'input MB':>9} {'seconds':>9} {'peak MB':>9} {'exit':>4}")
    for shape in shapes:
        if arguments.only not in shape.name:
            continue
        results = []
        with tempfile.TemporaryDirectory() as directory:
            for scale in scales:
                argv, input_path = shape.make(scale, pathlib.Path(directory), build)
                size = input_path.stat().st_size
                seconds, peak, code = run_once([str(a) for a in argv], environment)
                results.append((seconds, peak))
                print(f"{shape.name:<34} {scale:>5} {size / 1e6:>9.2f} {seconds:>9.3f} {peak / 1e6:>9.1f} {code:>4}")
                input_path.unlink()
        if len(results) >= 2:
            (t1, m1), (t2, m2) = results[-2], results[-1]
            print(f"{'':<34} ratio of the last two: time {t2 / t1:.1f}, memory {m2 / m1:.1f}")


if __name__ == "__main__":
    main()
