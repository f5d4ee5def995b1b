"""The canxlate program against cantools' own decode command, whole process, in one run.

    python3 bench/program_vs_cantools.py --cantools /path/to/cantools/src[:more paths] [--build build]

A candump log of --frames random frames of vw_mqb's messages (8 bytes or fewer, chosen at random as
a bus delivers them) is decoded into default text by `canxlate decode` and by `cantools decode`
(standard input), each with its output thrown away; the best wall time of --runs runs each and the
ratio are printed. cantools' source tree and its dependencies (textparser, argparse_addons; Debian's
python3-bitstruct, python3-can, python3-crccheck) go on --cantools."""

import argparse
import os
import pathlib
import random
import re
import subprocess
import sys
import tempfile
import time

HERE = pathlib.Path(__file__).resolve().parent
VW_MQB = HERE.parent / "tests" / "data" / "opendbc" / "vw_mqb.dbc"

# cantools' command line, run from a source tree that has no installed version.
CANTOOLS_MAIN = "import sys, cantools; cantools.__version__ = 'source'; sys.argv[0] = 'cantools'; cantools._main()"


def write_log(path, frames):
    messages = [
        (int(frame_id), int(length))
        for frame_id, length in re.findall(r"^BO_ (\d+) \w+: (\d+)", VW_MQB.read_text(), re.MULTILINE)
        if int(length) <= 8 and int(frame_id) <= 0x7FF
    ]
    generator = random.Random(5)
    with open(path, "w") as log:
        for i in range(frames):
            frame_id, length = generator.choice(messages)
            payload = bytes(generator.getrandbits(8) for _ in range(length)).hex().upper()
            log.write(f"({1600000000 + i / 10000:.6f}) can0 {frame_id:03X}#{payload}\n")


def best_wall(argv, runs, stdin_path=None, environment=None):
    best = float("inf")
    for _ in range(runs):
        with open(stdin_path or os.devnull) as stdin:
            started = time.perf_counter()
            subprocess.run(
                argv, stdin=stdin, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True, env=environment
            )
            best = min(best, time.perf_counter() - started)
    return best


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cantools", required=True, help="PYTHONPATH for cantools' source tree")
    parser.add_argument("--build", default="build", help="build folder (Release)")
    parser.add_argument("--frames", type=int, default=200000)
    parser.add_argument("--runs", type=int, default=10)
    parser.add_argument("--cantools-runs", type=int, default=2)
    arguments = parser.parse_args()
    program = pathlib.Path(arguments.build).resolve() / "tools" / "canxlate"
    environment = dict(os.environ, PYTHONPATH=arguments.cantools)
    with tempfile.TemporaryDirectory() as directory:
        log = os.path.join(directory, "vw_mqb.log")
        write_log(log, arguments.frames)
        ours = best_wall([program, "decode", VW_MQB, log], arguments.runs)
        theirs = best_wall(
            [sys.executable, "-c", CANTOOLS_MAIN, "decode", "--no-strict", VW_MQB],
            arguments.cantools_runs,
            stdin_path=log,
            environment=environment,
        )
    print(f"{arguments.frames} frames of vw_mqb, default text, best wall time of whole processes")
    print(f"  canxlate decode  {ours * 1000:8.1f} ms")
    print(f"  cantools decode  {theirs * 1000:8.1f} ms")
    print(f"  ratio            {theirs / ours:8.1f}x")


if __name__ == "__main__":
    main()
