"""Decoding speed of the Python package, side by side with the pure-Python route in one run.

    CANXLATE_LIBRARY=build/libcanxlate.so python3 bench/python_decode_bench.py [--frames 1000000]
    PYTHONPATH=/path/to/cantools/src:/path/to/textparser ... (to measure against cantools)

The pure-Python reference is cantools when it can be imported, else python3-canmatrix.
1. Per call, in microseconds: with cantools, decode_message (with and without decode_choices) and
   encode_message on vw_mqb's ESP_33 (41 signals) and Blinkmodi_02 (8 signals); with canmatrix, decoding an
   8-signal message (decode, then the physical value of every signal).
2. A candump log into a DataFrame: canxlate.read_log against a python-can LogReader loop that decodes each
   frame with the reference, in frames per second (the loop runs on the first --baseline-frames frames).
3. canxlate.dask.read_logs on 8 logs, and on one log cut into 8 slices: a LocalCluster of two
   single-threaded workers against one.

Debian 12: apt-get install python3-numpy python3-pandas python3-can python3-canmatrix python3-dask
python3-distributed. Use a Release build of the library."""

import argparse
import logging
import os
import random
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "python"))
logging.getLogger("canmatrix").setLevel(logging.ERROR)

import canxlate  # noqa: E402

try:
    import cantools
except ImportError:
    cantools = None
VW_MQB = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "data", "opendbc", "vw_mqb.dbc")

DBC = 'VERSION ""\nBU_: ECU\n' + "".join(
    f"BO_ {frame_id} Message{k}: 8 ECU\n"
    + "".join(
        f' SG_ M{k}S{s} : {8 * s}|8@1{"-" if s == 2 else "+"} ({scale},{offset}) [0|0] "" ECU\n'
        for s, (scale, offset) in enumerate([(1, 0), (0.5, 0), (1, -40), (0.1, 0), (1, 0), (2, 0), (0.25, 10), (1, 0)])
    )
    for k, frame_id in enumerate([0x100, 0x200, 0x300, 0x80000000 | 0x18FEF100])
)
IDS = ["100", "200", "300", "18FEF100"]


CLOCK = time.perf_counter  # time.process_time with --cpu-time


def best_of(runs, function):
    times = []
    for _ in range(runs):
        start = CLOCK()
        function()
        times.append(CLOCK() - start)
    return min(times)


def write_log(path, frames, seed=1):
    generator = random.Random(seed)
    with open(path, "w") as log:
        for i in range(frames):
            payload = generator.getrandbits(64).to_bytes(8, "little").hex().upper()
            log.write(f"({1700000000 + i * 1e-4:.6f}) can0 {IDS[i % 4]}#{payload}\n")


def canmatrix_frames():
    import canmatrix
    import canmatrix.formats

    matrix = canmatrix.formats.loads_flat(DBC, import_type="dbc")
    return {(frame.arbitration_id.id, frame.arbitration_id.extended): frame for frame in matrix.frames}


def per_call_against_cantools():
    ours, theirs = canxlate.load_file(VW_MQB, strict=False), cantools.database.load_file(VW_MQB, strict=False)
    generator = random.Random(3)
    rows = []
    for name in ("ESP_33", "Blinkmodi_02"):
        message = theirs.get_message_by_name(name)
        frame_id = message.frame_id
        payloads = [generator.getrandbits(8 * message.length).to_bytes(message.length, "little") for _ in range(500)]
        values = [theirs.decode_message(frame_id, p, decode_choices=False) for p in payloads]
        for what, call_ours, call_theirs in (
            ("decode_message", ours.decode_message, theirs.decode_message),
            ("decode_message, decode_choices=False", ours.decode_message, theirs.decode_message),
            ("encode_message", ours.encode_message, theirs.encode_message),
        ):
            arguments = values if what == "encode_message" else payloads
            options = {"decode_choices": False} if "False" in what else {}
            times = [
                best_of(5, lambda: [call(frame_id, a, **options) for a in arguments]) / len(arguments)
                for call in (call_ours, call_theirs)
            ]
            rows.append((f"{what}, {name} ({len(message.signals)} signals)", *times))
    speedups = "with" if canxlate._lib.speedups is not None else "without"
    print(f"per call, canxlate ({speedups} its compiled module) against cantools:")
    for what, ours_time, theirs_time in rows:
        print(
            f"  {what}: canxlate {ours_time * 1e6:.2f} us, cantools {theirs_time * 1e6:.2f} us: "
            f"{theirs_time / ours_time:.1f} times faster"
        )


def cantools_frames():
    database = cantools.database.load_string(DBC, strict=False)
    return {(m.frame_id, m.is_extended_frame): _CantoolsFrame(m) for m in database.messages}


class _CantoolsFrame:
    """A cantools message with canmatrix's decode shape, for the log loop."""

    class _Value:
        __slots__ = ("phys_value",)

        def __init__(self, value):
            self.phys_value = value

    def __init__(self, message):
        self.message, self.name = message, message.name

    def decode(self, data):
        return {k: self._Value(v) for k, v in self.message.decode(data, decode_choices=False).items()}


def per_call(db, frames):
    payloads = [random.Random(2).getrandbits(64).to_bytes(8, "little") for _ in range(1000)]
    ours = best_of(5, lambda: [db.decode_message(0x100, p) for p in payloads]) / len(payloads)
    frame = frames[(0x100, False)]
    theirs = best_of(5, lambda: [{k: v.phys_value for k, v in frame.decode(p).items()} for p in payloads])
    theirs /= len(payloads)
    print(
        f"decode_message, 8 signals: canxlate {ours * 1e6:.2f} us, canmatrix {theirs * 1e6:.2f} us: "
        f"{theirs / ours:.1f} times faster"
    )


def whole_log(db, frames, path, count, baseline_count):
    import can
    import pandas as pd

    tables = []
    ours = count / best_of(3, lambda: tables.append(len(canxlate.read_log(path, db))))
    wide = count / best_of(3, lambda: canxlate.read_log(path, db, message=db.messages))

    def baseline(rows):
        for n, message in enumerate(can.LogReader(path)):
            if n == baseline_count:
                break
            frame = frames[(message.arbitration_id, message.is_extended_id)]
            for name, signal in frame.decode(message.data).items():
                rows.append(
                    (message.timestamp, message.channel, message.arbitration_id, frame.name, name, signal.phys_value)
                )
        return rows

    rows = []
    loop = best_of(1, lambda: baseline(rows))
    table = best_of(
        1, lambda: pd.DataFrame(rows, columns=["timestamp", "channel", "frame_id", "message", "signal", "value"])
    )
    theirs, theirs_loop = baseline_count / (loop + table), baseline_count / loop
    print(
        f"read_log of {count} frames into a long DataFrame ({tables[0]} rows): canxlate {ours:,.0f} frames/s; "
        f"python-can LogReader + {'cantools' if cantools else 'canmatrix'} into a DataFrame {theirs:,.0f} frames/s: {ours / theirs:.1f} times faster "
        f"(against the loop alone, without its DataFrame: {theirs_loop:,.0f} frames/s, {ours / theirs_loop:.1f} times)"
    )
    print(
        f"read_log into a wide DataFrame per message, all {len(db.messages)} in one pass: canxlate {wide:,.0f} "
        f"frames/s: {wide / theirs:.1f} times the python-can loop with its DataFrame"
    )


def dask_scaling(db_path, directory, frames_per_log):
    import canxlate.dask
    import distributed

    paths = []
    for k in range(8):
        paths.append(os.path.join(directory, f"part{k}.log"))
        write_log(paths[-1], frames_per_log, seed=10 + k)
    whole = os.path.join(directory, "whole.log")
    with open(whole, "wb") as log:
        for path in paths:
            with open(path, "rb") as part:
                log.write(part.read())
    cases = {
        "8 logs": lambda: canxlate.dask.read_logs(paths, db_path),
        "1 log in 8 slices": lambda: canxlate.dask.read_logs(
            [whole], db_path, partition_bytes=os.path.getsize(whole) // 8 + 1
        ),
    }
    seconds = {}
    for workers in (1, 2):
        with distributed.LocalCluster(n_workers=workers, threads_per_worker=1, dashboard_address=None) as cluster:
            with distributed.Client(cluster):
                for name, frame in cases.items():
                    # A new graph each time: the cluster would hand back results it still holds for old keys.
                    run = lambda: frame().value.sum().compute()  # noqa: E731
                    run()  # warm workers: each process opens the database once
                    seconds[name, workers] = best_of(2, run)
    for name in cases:
        one, two = seconds[name, 1], seconds[name, 2]
        print(
            f"dask read_logs, {name} of {frames_per_log} frames each: one worker {one:.2f} s, two workers "
            f"{two:.2f} s: {one / two:.2f} times faster"
        )


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--frames", type=int, default=1_000_000, help="frames in the log read whole")
    parser.add_argument("--baseline-frames", type=int, default=100_000, help="frames the pure-Python loop decodes")
    parser.add_argument(
        "--dask-frames", type=int, default=100_000, help="frames in each of the 8 Dask logs (0: no Dask run)"
    )
    parser.add_argument(
        "--cpu-time",
        action="store_true",
        help="time by this process's CPU time: steadier on a loaded machine (not for Dask, whose workers are other processes)",
    )
    args = parser.parse_args()
    global CLOCK
    CLOCK = time.process_time if args.cpu_time else time.perf_counter
    with tempfile.TemporaryDirectory() as directory:
        db_path = os.path.join(directory, "bench.dbc")
        with open(db_path, "w") as file:
            file.write(DBC)
        db = canxlate.load_file(db_path)
        if cantools is not None:
            per_call_against_cantools()
            frames = cantools_frames()
        else:
            frames = canmatrix_frames()
            per_call(db, frames)
        log = os.path.join(directory, "bench.log")
        write_log(log, args.frames)
        whole_log(db, frames, log, args.frames, min(args.frames, args.baseline_frames))
        if args.dask_frames:
            dask_scaling(db_path, directory, args.dask_frames)


if __name__ == "__main__":
    main()
