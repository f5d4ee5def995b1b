import io

import numpy as np
import pytest

import canxlate
from canxlate.batch import decode_frames
from canxlate.logs import LogError, LogReader, convert
from conftest import EXAMPLE_DBC, EXAMPLE_LOG, ROOT

pd = pytest.importorskip("pandas")
SAMPLES = ROOT / "tests" / "data" / "logs"
FORMATS = {"candump": ".log", "asc": ".asc", "blf": ".blf"}

# Values the C program prints for the example log (README): (timestamp, signal, value).
EXAMPLE_VALUES = [
    (1700000000.000120, "EngineSpeed", 800),
    (1700000000.005033, "BatteryCurrent", -8.4),
    (1700000000.069877, "DistanceToEmpty", 512),
    (1700000000.082410, "GearSelected", 3),
]


def described(path, **options):
    """Every frame as the .expected files spell it: µs, channel, ID, flags, direction, DLC or length, data."""
    lines = []
    for chunk in LogReader(path, keep_remote_and_error=True, chunk_frames=3, **options):
        for f in range(len(chunk)):
            flags, head = int(chunk.flags[f]), f"{(int(chunk.time_ns[f]) + 500) // 1000} {chunk.channels[f]}"
            if flags & 0x20:
                lines.append(f"{head} error")
                continue
            kind = "".join(c for bit, c in zip((1, 2, 4, 8, 16), "xfbir") if flags & bit) or "-"
            direction = "tx" if flags & 0x80 else "rx" if flags & 0x40 else "-"
            length = chunk.dlcs[f] if flags & 16 else chunk.lengths[f]
            data = chunk.payloads[f, : chunk.lengths[f]].tobytes().hex() or "-"
            lines.append(f"{head} {chunk.ids[f]:x} {kind} {direction} {length} {data}")
    return lines


@pytest.mark.parametrize("source_format", FORMATS)
@pytest.mark.parametrize("target_format", [None, *FORMATS])
def test_columns_hold_every_field_and_survive_conversion(tmp_path, source_format, target_format):
    source = SAMPLES / f"sample{FORMATS[source_format]}"
    expected = (SAMPLES / f"sample{FORMATS[source_format]}.expected").read_text().splitlines()
    if target_format is None:  # the same file from memory, recognised by its content
        assert described(source.read_bytes()) == described(open(source, "rb")) == expected
        return
    copy = tmp_path / f"copy{FORMATS[target_format]}"
    if (source_format, target_format) == ("candump", "asc"):  # an error frame without the data ASC implies
        with pytest.raises(LogError, match="ASC holds error frames only as bus errors"):
            convert(source, copy)
        return
    assert convert(source, copy) == len(expected)
    assert LogReader(copy).format == target_format
    assert described(copy) == expected


@pytest.mark.parametrize("log_format, channels", [("candump", {"can0", "can1"}), ("asc", {0, 1}), ("blf", {0, 1})])
def test_logs_into_long_and_wide_dataframes(tmp_path, log_format, channels):
    log = tmp_path / f"example{FORMATS[log_format]}"
    convert(EXAMPLE_LOG, log)
    frame = canxlate.read_log(log, str(EXAMPLE_DBC), chunk_frames=4)
    assert list(frame.columns) == ["timestamp", "channel", "frame_id", "message", "signal", "value"]
    assert len(frame) == 52  # 14 frames of known messages: 5 x 4 + 5 x 4 + 3 x 3 + 1 x 3 signals
    for timestamp, signal, value in EXAMPLE_VALUES:
        row = frame[(frame.signal == signal) & ((frame.timestamp - timestamp).abs() < 1e-5)]
        assert row.value.tolist() == [pytest.approx(value)]
    assert set(frame.channel) == channels
    both = canxlate.read_log(log, canxlate.load_file(EXAMPLE_DBC), message=["EngineData", 0x200], chunk_frames=3)
    wide = both["EngineData"]
    assert both[0x200].GearSelected.tolist() == [1, 1, 2, 2, 3]
    assert list(wide.columns) == ["EngineSpeed", "ThrottlePosition", "CoolantTemp", "EngineTorque"]
    assert wide.EngineSpeed.tolist() == [800, 1110.25, 1420.5, 1730.75, 2041]
    assert wide.index[0] == pytest.approx(1700000000.000120, abs=1e-5)


@pytest.mark.parametrize(
    "source, options, error",
    [
        ("/nonexistent.log", {}, FileNotFoundError),
        (b"(1.0) can0 100#11\ngarbage\n", {"strict": True}, "line 2:"),
        (b"LOGG" + bytes(200), {}, LogError),
        (b"", {"log_format": "mf4"}, ValueError),
    ],
)
def test_bad_logs_raise(source, options, error):
    with pytest.raises(
        error if isinstance(error, type) else LogError, match=None if isinstance(error, type) else error
    ):
        canxlate.read_log(source, str(EXAMPLE_DBC), **options)


def test_malformed_lines_are_counted_and_skipped():
    reader = LogReader(b"garbage\n(1.0) can0 100#11\n(2.0) can0 12#\n")
    assert [len(chunk) for chunk in reader] == [1]
    assert reader.counts["malformed"] == 2
    assert [(issue.kind, issue.position, issue.position_is_line) for issue in reader.issues] == [
        ("malformed", 1, True),
        ("malformed", 3, True),
    ]


def test_file_objects_are_read_in_blocks():
    class Trickle(io.BytesIO):
        def read(self, size=-1):
            self.sizes.append(size)
            return super().read(min(size, 7))

    source = Trickle(b"(1.0) can0 100#11\n" * 1000)
    source.sizes = []
    assert sum(len(chunk) for chunk in LogReader(source, chunk_frames=300)) == 1000
    assert len(source.sizes) > 1000 and all(0 < size <= 1 << 16 for size in source.sizes)


def _long_log():
    """1,000 frames: unknown IDs first, then a multiplexed message (with short frames) and an extended one,
    on channels that reach can199 only late."""
    lines = [f"({n}.0) can0 123#11" for n in range(300)]
    for n in range(300, 1000):
        payload = bytes([1 + n % 2, n % 256, 7, 0, 0, 0, 0, n % 4])[: 1 + n % 8]
        lines.append(f"({n}.0) can{0 if n < 600 else n % 200} 7BB#{payload.hex()}")
        lines.append(f"({n}.5) can1 00000400#0A0B0C0D")
    return ("\n".join(lines) + "\n").encode()


@pytest.mark.parametrize("chunk_frames", [1, 7, 256])
@pytest.mark.parametrize("source", ["path", "bytes", "file object"])
def test_long_rows_are_the_same_however_the_log_comes(tmp_path, small_db, source, chunk_frames):
    # Columns reserved by a guess from the first chunks, grown, their channel codes widened past 127 labels.
    data = _long_log()
    (tmp_path / "long.log").write_bytes(data)
    given = {"path": tmp_path / "long.log", "bytes": data, "file object": io.BytesIO(data)}[source]
    frame = canxlate.read_log(given, small_db, chunk_frames=chunk_frames)
    whole = canxlate.read_log(data, small_db, chunk_frames=10_000)
    assert len(whole) == 2191 and whole.channel.cat.codes.dtype == np.int16  # 200 channel labels
    # Voltage (mux 1) and Odometer (mux 2) only in frames long enough for them, as Temp and Status.
    counts = whole.signal.value_counts()[["Service", "Voltage", "Odometer", "Temp", "Status", "Level"]]
    assert counts.tolist() == [700, 263, 176, 264, 88, 700]
    pd.testing.assert_frame_equal(frame, whole)
    # The same rows as decoding into columns gives them (the channel aside: there numbered as they come).
    chunk = next(iter(LogReader(data, chunk_frames=10_000)))
    columns = decode_frames(small_db, chunk.ids, chunk.payloads, chunk.lengths, chunk.extended, chunk.timestamps)
    pd.testing.assert_frame_equal(columns.to_dataframe().drop(columns="channel"), whole.drop(columns="channel"))


def test_a_channel_named_in_a_later_chunk_keeps_its_name():
    can = pytest.importorskip("can")
    db = canxlate.load_file(EXAMPLE_DBC)
    data = bytes.fromhex("0100006E")
    frames = [can.Message(arbitration_id=0x200, data=data, channel=c, is_extended_id=False) for c in (0, 2, 1)]
    frame = canxlate.decode_messages(db, frames, chunk_frames=1)
    assert frame.drop_duplicates("channel").channel.tolist() == [0, 2, 1]
    assert list(frame.channel.cat.categories) == [0, 1, 2]
