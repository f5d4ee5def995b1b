"""python3 -m canxlate info DB | decode DB [LOG] [--message NAME] | plot DB LOG SIGNAL... [-o out.png]"""

import argparse
import sys

from . import load_file, read_log
from .errors import Error


def _info(args):
    db = load_file(args.database, strict=False)
    for message in db.messages:
        kind = "extended" if message.is_extended_frame else "standard"
        print(
            f"message {message.name} 0x{message.frame_id:X} ({message.frame_id}, {kind}): "
            f"{message.length} bytes, {len(message.signals)} signals"
        )
        for signal in message.signals:
            unit = f" [{signal.unit}]" if signal.unit else ""
            mux = f" (when {signal.multiplexer_signal} in {signal.multiplexer_ids})" if signal.multiplexer_ids else ""
            print(f"  {signal.name}{unit}{mux}")
    for diagnostic in db.diagnostics:
        print(f"{args.database}: {diagnostic}", file=sys.stderr)
    print(f"{len(db.messages)} messages, {sum(len(m.signals) for m in db.messages)} signals")


def _decode(args):
    db = load_file(args.database, strict=False)
    frame = read_log(args.log if args.log != "-" else sys.stdin.buffer, db, args.message, args.format)
    frame.to_csv(sys.stdout, index=args.message is not None)


def _signal_units(db, names):
    units = {}
    for name in names:
        message_name, _, signal_name = name.rpartition(".")
        candidates = [db.get_message_by_name(message_name)] if message_name else db.messages
        found = [m.get_signal_by_name(signal_name) for m in candidates if signal_name in m._signals_by_name]
        if not found:
            raise Error(f"no signal {name}")
        units[signal_name] = found[0].unit or ""
    return units


def _plot(args):
    import matplotlib

    if args.output:
        matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    db = load_file(args.database, strict=False)
    units = _signal_units(db, args.signals)
    frame = read_log(args.log, db, log_format=args.format)
    frame = frame[frame["signal"].isin(list(units))]
    by_unit = {}
    for name, unit in units.items():
        by_unit.setdefault(unit, []).append(name)
    start = frame["timestamp"].min() if len(frame) else 0.0
    figure, axes = plt.subplots(len(by_unit), 1, sharex=True, squeeze=False, figsize=(10, 3 * len(by_unit)))
    for axis, (unit, names) in zip(axes[:, 0], by_unit.items()):
        for name in names:
            rows = frame[frame["signal"] == name]
            axis.plot(rows["timestamp"] - start, rows["value"], label=name)
        axis.set_ylabel(unit or "(no unit)")
        axis.legend(loc="upper right")
    axes[-1, 0].set_xlabel(f"time (s) from {start:.6f}")
    if args.output:
        figure.savefig(args.output)
    else:
        plt.show()


def main(argv=None):
    parser = argparse.ArgumentParser(prog="python3 -m canxlate", description="CAN databases and logs")
    commands = parser.add_subparsers(dest="command", required=True)
    info = commands.add_parser("info", help="list the messages and signals of a database")
    info.add_argument("database")
    info.set_defaults(run=_info)
    decode = commands.add_parser("decode", help="decode a log to CSV (long, or wide for one message)")
    decode.add_argument("database")
    decode.add_argument("log", nargs="?", default="-")
    decode.add_argument("--message", help="one row per frame of this message, a column per signal")
    decode.add_argument("--format", choices=["candump", "asc", "blf"], help="the log's format (default: by name)")
    decode.set_defaults(run=_decode)
    plot = commands.add_parser("plot", help="draw signals over time, one axis per unit")
    plot.add_argument("database")
    plot.add_argument("log")
    plot.add_argument("signals", nargs="+", metavar="SIGNAL", help="a signal name, or MESSAGE.SIGNAL")
    plot.add_argument("-o", "--output", help="write the figure to this file instead of showing it")
    plot.add_argument("--format", choices=["candump", "asc", "blf"], help="the log's format (default: by name)")
    plot.set_defaults(run=_plot)
    args = parser.parse_args(argv)
    try:
        args.run(args)
    except (Error, OSError, KeyError) as error:
        print(f"canxlate: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
