"""Logs into DataFrames: frames are gathered into numpy chunks and each chunk is decoded in one library call.

Where frames come from is one function, frame_chunks. Today python-can's readers parse the files (candump
``.log``, ``.asc``, ``.blf`` and python-can's other formats); when libcanxlate exports its own log readers,
frame_chunks reads through them instead and nothing else here changes."""

import os

import numpy as np

from .batch import LONG_COLUMNS, decode_frames

DEFAULT_CHUNK_FRAMES = 100_000
_MAX_PAYLOAD = 64


class FrameChunk:
    """Frames as columns: timestamps, channels, IDs, extended flags, lengths and one 64-byte payload row each."""

    def __init__(self, timestamps, channels, ids, extended, lengths, payloads):
        self.timestamps, self.channels, self.ids = timestamps, channels, ids
        self.extended, self.lengths, self.payloads = extended, lengths, payloads

    def __len__(self):
        return len(self.ids)


def chunks_from_messages(messages, chunk_frames=DEFAULT_CHUNK_FRAMES):
    """FrameChunks from can.Message-like objects (arbitration_id, data, is_extended_id, timestamp, channel);
    remote and error frames are left out."""
    batch = []
    for frame in messages:
        if frame.is_remote_frame or frame.is_error_frame:
            continue
        batch.append(frame)
        if len(batch) == chunk_frames:
            yield _chunk(batch)
            batch = []
    if batch:
        yield _chunk(batch)


def _chunk(frames):
    count = len(frames)
    payloads = bytearray(count * _MAX_PAYLOAD)
    lengths = np.empty(count, dtype=np.uint8)
    for f, frame in enumerate(frames):
        data = frame.data[:_MAX_PAYLOAD]
        payloads[f * _MAX_PAYLOAD : f * _MAX_PAYLOAD + len(data)] = data
        lengths[f] = len(data)
    return FrameChunk(
        np.fromiter((frame.timestamp for frame in frames), dtype=np.float64, count=count),
        [frame.channel for frame in frames],
        np.fromiter((frame.arbitration_id for frame in frames), dtype=np.uint32, count=count),
        np.fromiter((frame.is_extended_id for frame in frames), dtype=np.uint8, count=count),
        lengths,
        np.frombuffer(payloads, dtype=np.uint8).reshape(count, _MAX_PAYLOAD),
    )


def _python_can_reader(path_or_file, log_format):
    try:
        import can
    except ImportError:
        raise NotImplementedError(
            "reading logs needs python-can (Debian: python3-can) until libcanxlate's log readers are available"
        ) from None
    readers = {"candump": can.CanutilsLogReader, "asc": can.ASCReader, "blf": can.BLFReader}
    if log_format is None and isinstance(path_or_file, (str, os.PathLike)):
        return can.LogReader(os.fspath(path_or_file))
    if (log_format or "candump") not in readers:
        raise ValueError(f"log format {log_format!r}: expected one of {sorted(readers)}")
    return readers[log_format or "candump"](path_or_file)


def frame_chunks(path_or_file, log_format=None, chunk_frames=DEFAULT_CHUNK_FRAMES):
    """The frames of a log (a path, or a file object with ``log_format`` 'candump', 'asc' or 'blf') in chunks."""
    return chunks_from_messages(_python_can_reader(path_or_file, log_format), chunk_frames)


def _database(db):
    from .database import Database, load_file

    return db if isinstance(db, Database) else load_file(db)


def decode_chunks(db, chunks, message=None):
    """A DataFrame of decoded FrameChunks: long (LONG_COLUMNS) or, with ``message``, wide for that message."""
    import pandas as pd

    db = _database(db)
    parts = []
    for chunk in chunks:
        decoded = decode_frames(
            db, chunk.ids, chunk.payloads, chunk.lengths, chunk.extended, chunk.timestamps, chunk.channels
        )
        parts.append(decoded.to_dataframe(message))
    if not parts:
        empty = decode_frames(db, np.zeros(0, np.uint32), np.zeros((0, 8), np.uint8)).to_dataframe(message)
        return empty if message is not None else empty[LONG_COLUMNS]
    frame = pd.concat(parts, ignore_index=message is None) if len(parts) > 1 else parts[0]
    return frame


def read_log(path_or_file, db, message=None, log_format=None, chunk_frames=DEFAULT_CHUNK_FRAMES):
    """A log's frames decoded into a pandas DataFrame.

    Long (one row per carried signal value: timestamp, channel, frame_id, message, signal, value) or, with
    ``message`` (name, frame ID or Message), wide: one row per frame of that message indexed by timestamp.
    ``db`` is a Database or a database file's path."""
    return decode_chunks(db, frame_chunks(path_or_file, log_format, chunk_frames), message)


def decode_messages(db, messages, message=None, chunk_frames=DEFAULT_CHUNK_FRAMES):
    """read_log for any iterable of can.Message, for example ``can.LogReader(path)`` for formats that only
    python-can reads."""
    return decode_chunks(db, chunks_from_messages(messages, chunk_frames), message)
