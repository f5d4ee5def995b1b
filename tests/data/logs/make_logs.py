#!/usr/bin/python3
"""Regenerates the sample logs and what python-can reads from them.

Run from anywhere with Debian's python3-can installed (apt-get install
python3-can):  TZ=UTC /usr/bin/python3 tests/data/logs/make_logs.py

For each format it writes sample.<ext> with python-can's writer, reads the
file back with python-can's reader and writes sample.<ext>.expected: one line
per frame, which the log reader tests compare with what our readers deliver:

  microseconds channel id flags direction length data

microseconds since 1970 (rounded), channel counted from 0, id in hex, flags
as letters (x extended, f CAN FD, b bit rate switch, i error state
indicator, r remote, - none), direction rx/tx, the number of data bytes (for
remote frames the requested length), data in hex (- when empty). Error frames
are "microseconds channel error": the formats keep different details of them.
"""
import os
import sys

import can

HERE = os.path.dirname(os.path.abspath(__file__))
START = 1700000000.25


def frames():
    m = can.Message
    return [
        m(
            timestamp=START,
            arbitration_id=0x100,
            is_extended_id=False,
            data=bytes([0x20, 0x03, 0x04, 0, 0x14, 0, 0, 0]),
            channel=0,
        ),
        m(
            timestamp=START + 0.0015,
            arbitration_id=0x18FEF100,
            is_extended_id=True,
            data=bytes([0x91, 0x05, 0xAC, 0xFF, 0x2F, 0x03]),
            channel=1,
            is_rx=False,
        ),
        m(timestamp=START + 0.002, arbitration_id=0x7FF, is_extended_id=False, is_remote_frame=True, dlc=4, channel=0),
        m(
            timestamp=START + 0.010250,
            arbitration_id=0x123,
            is_extended_id=False,
            is_fd=True,
            bitrate_switch=True,
            data=bytes(range(12)),
            channel=1,
        ),
        m(
            timestamp=START + 0.011,
            arbitration_id=0x1ABCDE,
            is_extended_id=True,
            is_fd=True,
            error_state_indicator=True,
            data=bytes(range(64, 128)),
            channel=0,
            is_rx=False,
        ),
        m(timestamp=START + 0.012, arbitration_id=0x0, is_extended_id=False, data=b"", channel=0),
        m(timestamp=START + 0.5, is_error_frame=True, is_extended_id=False, arbitration_id=0, dlc=0, channel=0),
        m(timestamp=START + 1.000001, arbitration_id=0x200, is_extended_id=False, data=bytes([1, 2, 3]), channel=0),
    ]


def describe(msg):
    channel = (
        msg.channel if isinstance(msg.channel, int) else int("".join(c for c in str(msg.channel) if c.isdigit()) or 0)
    )
    if msg.is_error_frame:
        return "%d %d error" % (round(msg.timestamp * 1e6), channel)
    flags = (
        "".join(
            letter
            for letter, on in (
                ("x", msg.is_extended_id),
                ("f", msg.is_fd),
                ("b", msg.bitrate_switch),
                ("i", msg.error_state_indicator),
                ("r", msg.is_remote_frame),
            )
            if on
        )
        or "-"
    )
    return "%d %d %x %s %s %d %s" % (
        round(msg.timestamp * 1e6),
        channel,
        msg.arbitration_id,
        flags,
        "rx" if msg.is_rx else "tx",
        msg.dlc if msg.is_remote_frame else len(msg.data),
        msg.data.hex() or "-",
    )


def main():
    if os.environ.get("TZ") != "UTC":
        sys.exit("run with TZ=UTC: python-can reads and writes dates in local time")
    for ext, writer, reader in (
        ("asc", can.ASCWriter, lambda p: can.ASCReader(p, relative_timestamp=False)),
        ("blf", can.BLFWriter, can.BLFReader),
        ("log", can.CanutilsLogWriter, can.CanutilsLogReader),
    ):
        path = os.path.join(HERE, "sample." + ext)
        with writer(path) as out:
            for msg in frames():
                if ext == "log" and isinstance(msg.channel, int):
                    msg.channel = "can%d" % msg.channel
                out.on_message_received(msg)
        with open(path + ".expected", "w") as expected:
            for msg in reader(path):
                expected.write(describe(msg) + "\n")


if __name__ == "__main__":
    main()
