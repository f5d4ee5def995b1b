"""Logs through libcanxlate's readers and writers: candump, ASC and BLF, recognised by their content.

Frames arrive in chunks of numpy columns that the library fills (one set of arrays per chunk, no work per
frame in Python) and that batch decoding takes as they are. python-can is needed only to decode or write
``can.Message`` objects (decode_messages, chunks_from_messages)."""

import collections.abc
import ctypes
import io
import os
import re
from collections import namedtuple

import numpy as np

from . import _lib
from ._lib import lib
from .batch import LongRows, decode_frames, long_frame
from .errors import Error

DEFAULT_CHUNK_FRAMES = 16_384  # frames a chunk: its columns and their decoded values stay in a core's cache
_STRIDE = _lib.LOG_PAYLOAD_STRIDE
_DLC_LENGTHS = [0, 1, 2, 3, 4, 5, 6, 7, 8, 12, 16, 20, 24, 32, 48, 64]  # data bytes by length code
_COLUMNS = [  # name, dtype, written by the reader only when asked (the rest always)
    ("time_ns", np.int64),
    ("timestamps", np.float64),
    ("ids", np.uint32),
    ("extended", np.uint8),
    ("lengths", np.uint8),
    ("payloads", np.uint8),
    ("flags", np.uint16),
    ("channels", np.uint16),
    ("dlcs", np.uint8),
]

_DECODED_COLUMNS = ("ids", "timestamps", "channels", "payloads", "lengths", "extended")

LogIssue = namedtuple("LogIssue", "kind position position_is_line message")
LogIssue.__doc__ = "A problem a reader met: kind ('malformed', ...), a line number (from 1) or byte offset, text."


class LogError(Error):
    """A log that could not be read on (a fatal problem, or with ``strict`` any malformed line); ``issue``
    says what and where."""

    def __init__(self, text, issue=None):
        super().__init__(text)
        self.issue = issue


class FrameChunk:
    """Frames as columns: time_ns, timestamps (s), ids, extended, lengths, payloads (one 64-byte row each),
    flags (CXL_FRAME_* bits), channels (numbers from 0) and dlcs; ``channel_labels[n]`` names channel n."""

    def __init__(self, channel_labels=(), **columns):
        self.channel_labels = channel_labels
        for name, _ in _COLUMNS:
            setattr(self, name, columns.get(name))

    def __len__(self):
        return len(self.ids)

    @classmethod
    def allocate(cls, capacity, channel_labels=(), names=None, fill=np.zeros):
        """Columns for ``capacity`` frames (``names`` of them, all by default); ``np.empty`` where a reader
        writes them, as it writes every byte of the frames it reads."""
        columns = {name: fill(capacity, dtype) for name, dtype in _COLUMNS if names is None or name in names}
        if "payloads" in columns:
            columns["payloads"] = fill((capacity, _STRIDE), np.uint8)
        return cls(channel_labels, **columns)

    def _frames(self, capacity=None):
        """The cxl_frames describing these columns (absent ones null)."""
        frames = _lib.Frames(capacity=len(self) if capacity is None else capacity, count=len(self))
        for name, _ in _COLUMNS:
            column = getattr(self, name)
            setattr(frames, name, None if column is None else column.ctypes.data)
        return frames

    def _head(self, count):
        columns = {name: getattr(self, name) for name, _ in _COLUMNS}
        return FrameChunk(self.channel_labels, **{k: v if v is None else v[:count] for k, v in columns.items()})


def _format_code(log_format):
    if log_format in (None, "auto"):
        return _lib.LOG_AUTO
    if log_format not in _lib.LOG_FORMATS:
        raise ValueError(f"log format {log_format!r}: expected one of {sorted(_lib.LOG_FORMATS)}")
    return _lib.LOG_FORMATS[log_format]


class LogReader:
    """A log opened through the library: a path, bytes, or a file object (read in blocks, as a path is).

    ``log_format`` None recognises candump, ASC or BLF from the content. Remote and error frames are left out
    unless ``keep_remote_and_error``. Iterating gives FrameChunks of up to ``chunk_frames`` frames; ``issues``
    (up to 1000 kept), ``counts`` and ``format`` tell what was read. With ``strict`` a malformed line or
    object raises LogError once the chunk that met it is read."""

    _handle = None

    def __init__(
        self, source, log_format=None, chunk_frames=DEFAULT_CHUNK_FRAMES, keep_remote_and_error=False, strict=False
    ):
        self.chunk_frames, self.strict, self.issues = max(1, int(chunk_frames)), strict, []
        self._callback = _lib.LogIssueCallback(self._on_issue)  # kept alive as long as the reader
        flags = 0 if keep_remote_and_error else _lib.LOG_SKIP_REMOTE | _lib.LOG_SKIP_ERROR
        handle, code = ctypes.c_void_p(), _format_code(log_format)
        if isinstance(source, (str, os.PathLike)):
            self.name = os.fspath(source)
            status = lib.cxl_log_open_file(os.fsencode(self.name), code, flags, self._callback, None, handle)
        elif hasattr(source, "read"):
            self.name, self._source, self._read_error = str(getattr(source, "name", "<file>")), source, None
            self._pending = b""
            self._reader = _lib.LogReadCallback(self._read_block)  # kept alive as long as the reader
            status = lib.cxl_log_open_callback(self._reader, None, code, flags, self._callback, None, handle)
        else:
            self._data = source.encode("utf-8") if isinstance(source, str) else bytes(source)
            self.name = "<memory>"
            status = lib.cxl_log_open_memory(self._data, len(self._data), code, flags, self._callback, None, handle)
        if status == _lib.ERR_CANNOT_OPEN:
            raise FileNotFoundError(2, _lib.status_text(status), self.name)
        if status:
            raise LogError(f"{self.name}: {_lib.status_text(status)}")
        self._handle = handle.value
        self.format = {v: k for k, v in _lib.LOG_FORMATS.items()}.get(lib.cxl_log_format(self._handle))
        self._labels = {}

    def _read_block(self, context, buffer, size):
        """Up to ``size`` bytes of the file object into the library's buffer; -1 (the error kept) on failure."""
        try:
            block = self._pending or self._source.read(size)
            block = block.encode("utf-8") if isinstance(block, str) else bytes(block)
            self._pending = block[size:]  # text files give characters: their bytes may be more
            ctypes.memmove(buffer, block, min(len(block), size))
            return min(len(block), size)
        except Exception as error:  # raised again by read(): no exception may cross into the library
            self._read_error = error
            return -1

    def _on_issue(self, context, issue):
        if len(self.issues) < 1000:
            item = issue.contents
            kinds = _lib.LOG_ISSUE_KINDS
            kind = kinds[item.kind] if 0 <= item.kind < len(kinds) else str(item.kind)
            self.issues.append(LogIssue(kind, item.position, bool(item.position_is_line), _lib.text(item.message)))

    def _raise(self, issue):
        where = f"line {issue.position}" if issue.position_is_line else f"byte {issue.position}"
        raise LogError(f"{self.name}, {where}: {issue.message}", issue)

    def channel_label(self, channel):
        """The interface name a candump log gives a channel, else its number."""
        if channel not in self._labels:
            name = lib.cxl_log_channel_name(self._handle, channel)
            self._labels[channel] = channel if name is None else _lib.text(name)
        return self._labels[channel]

    def channel_labels(self, last):
        return [self.channel_label(c) for c in range(int(last) + 1)]

    def read(self):
        """The next FrameChunk, or None at the end of the log."""
        return self._read_into(FrameChunk.allocate(self.chunk_frames, fill=np.empty))

    def _chunks_to_decode(self):
        """FrameChunks to be decoded as they come, all in the same arrays (each chunk's are overwritten by the
        next): no time_ns, flags or dlcs; ``share`` the part of the input read, where its size is known."""
        shared = FrameChunk.allocate(self.chunk_frames, names=_DECODED_COLUMNS, fill=np.empty)
        size, counts = self._size(), _lib.LogCounts()
        while (chunk := self._read_into(shared)) is not None:
            if size:
                lib.cxl_log_get_counts(self._handle, counts)
                chunk.share = min(1.0, counts.bytes_read / size)
            yield chunk

    def _size(self):
        """The bytes the reader will read, where known: a file's, or what is left of a binary file object."""
        try:
            if hasattr(self, "_data"):
                return len(self._data)
            if not hasattr(self, "_source"):
                return os.path.getsize(self.name)
            if isinstance(self._source, io.TextIOBase) or not self._source.seekable():
                return None
            return os.fstat(self._source.fileno()).st_size - self._source.tell()
        except (OSError, AttributeError, ValueError, io.UnsupportedOperation):
            return None

    def _read_into(self, chunk):
        if self._handle is None:
            return None
        frames = chunk._frames()
        status = lib.cxl_log_read(self._handle, frames)
        if getattr(self, "_read_error", None) is not None:
            raise self._read_error
        if self.strict and any(issue.kind == "malformed" for issue in self.issues):
            self._raise(next(issue for issue in self.issues if issue.kind == "malformed"))
        if status == _lib.ERR_FORMAT and not frames.count:
            fatal = _lib.LogIssue()
            lib.cxl_log_fatal_issue(self._handle, fatal)
            self._raise(LogIssue("fatal", fatal.position, bool(fatal.position_is_line), _lib.text(fatal.message)))
        if status not in (_lib.OK, _lib.ERR_FORMAT):
            raise LogError(f"{self.name}: {_lib.status_text(status)}")
        if not frames.count:
            return None
        chunk = chunk._head(frames.count) if frames.count < self.chunk_frames else chunk
        chunk.channel_labels = self.channel_labels(chunk.channels.max())
        return chunk

    def __iter__(self):
        while (chunk := self.read()) is not None:
            yield chunk

    @property
    def counts(self):
        """What the reader met so far: frames, remote_frames, error_frames, skipped_frames, unknown_events,
        malformed, bytes_read, warnings."""
        counts = _lib.LogCounts()
        lib.cxl_log_get_counts(self._handle, counts)
        return {name: getattr(counts, name) for name, _ in _lib.LogCounts._fields_}

    @property
    def start_ns(self):
        """The recording's start in ns since 1970 UTC when the log gives it, else 0."""
        return lib.cxl_log_start_ns(self._handle)

    def close(self):
        if self._handle is not None:
            lib.cxl_log_close(self._handle)
            self._handle = None

    __del__ = close

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class LogWriter:
    """Writes FrameChunks to a log file: ``log_format`` 'candump', 'asc' or 'blf', or None for the one the
    file's extension names (.log, .asc, .blf). Closing (or leaving the ``with`` block) completes the file."""

    def __init__(self, path, log_format=None):
        self.path = os.fspath(path)
        if log_format is None:
            extension = os.path.splitext(self.path)[1].lower()
            log_format = {".log": "candump", ".asc": "asc", ".blf": "blf"}.get(extension)
            if log_format is None:
                raise ValueError(f"{self.path}: name the log format (candump, asc or blf)")
        handle = ctypes.c_void_p()
        status = lib.cxl_log_create_file(os.fsencode(self.path), _format_code(log_format), handle)
        if status:
            raise OSError(f"{self.path}: {_lib.status_text(status)}")
        self._handle = handle.value

    def write(self, chunk):
        """Writes a FrameChunk; a frame the format cannot hold is never shortened: LogError names it and
        nothing of the chunk is written. Channels labelled by name (candump interfaces) keep their names."""
        if len(chunk):
            for number, label in enumerate(chunk.channel_labels):
                if isinstance(label, str):
                    lib.cxl_log_name_channel(self._handle, number, label.encode("utf-8"))
            frames = chunk._frames()
            status = lib.cxl_log_write(self._handle, frames)
            if status == _lib.ERR_FORMAT:
                refused = next(f for f in range(len(chunk)) if lib.cxl_log_refusal(self._handle, frames, f))
                reason = _lib.text(lib.cxl_log_refusal(self._handle, frames, refused))
                raise LogError(f"{self.path}: frame {refused} of the chunk: {reason}")
            if status:
                raise OSError(f"{self.path}: {_lib.status_text(status)}")

    def close(self):
        handle, self._handle = self._handle, None
        if handle is not None and lib.cxl_log_finish(handle):
            raise OSError(f"{self.path}: the log could not be completed")

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def write_log(path, chunks, log_format=None):
    """Writes FrameChunks (a LogReader, chunks_from_messages(...)) to a log file; returns the frame count."""
    count = 0
    with LogWriter(path, log_format) as writer:
        for chunk in chunks:
            writer.write(chunk)
            count += len(chunk)
    return count


def convert(source, destination, log_format=None, source_format=None, chunk_frames=DEFAULT_CHUNK_FRAMES):
    """Copies a log into another format, remote and error frames included; returns the frame count."""
    with LogReader(source, source_format, chunk_frames, keep_remote_and_error=True) as reader:
        return write_log(destination, reader, log_format)


def chunks_from_messages(messages, chunk_frames=DEFAULT_CHUNK_FRAMES, keep_remote_and_error=False):
    """FrameChunks from can.Message-like objects (arbitration_id, data, is_extended_id, timestamp, channel,
    is_remote_frame, is_error_frame, is_fd); remote and error frames are left out unless asked for. Channels
    are numbered as written logs number them: a number as it is, a name by the digits that end it (can1: 1)."""
    labels, batch = {}, []
    for frame in messages:
        if (frame.is_remote_frame or frame.is_error_frame) and not keep_remote_and_error:
            continue
        batch.append(frame)
        if len(batch) == chunk_frames:
            yield _chunk(batch, labels)
            batch = []
    if batch:
        yield _chunk(batch, labels)


def _channel_number(channel, labels):
    """The channel if a number, else the digits that end its name, else 0; ``labels`` keeps the first channel
    seen under each number."""
    digits = re.search(r"\d+$", str(channel)) if channel is not None else None
    number = channel if isinstance(channel, int) else int(digits.group()) if digits else 0
    labels.setdefault(number, channel)
    return number


def _chunk(frames, labels):
    chunk = FrameChunk.allocate(len(frames))
    for f, frame in enumerate(frames):
        data = bytes(frame.data[:_STRIDE])
        chunk.payloads[f, : len(data)] = np.frombuffer(data, np.uint8)
        chunk.lengths[f] = len(data)
        chunk.dlcs[f] = frame.dlc if frame.is_remote_frame else np.searchsorted(_DLC_LENGTHS, len(data))
        chunk.timestamps[f], chunk.ids[f] = frame.timestamp, frame.arbitration_id
        chunk.channels[f], chunk.extended[f] = _channel_number(frame.channel, labels), frame.is_extended_id
        chunk.flags[f] = (
            frame.is_extended_id | frame.is_fd << 1 | frame.is_remote_frame << 4 | frame.is_error_frame << 5
        )
        if frame.is_error_frame:  # SocketCAN's: the error class in the ID, no ID kind of its own
            chunk.flags[f], chunk.extended[f], chunk.ids[f] = 0x20, 0, frame.arbitration_id & 0x1FFFFFFF
    chunk.time_ns = np.round(chunk.timestamps * 1e9).astype(np.int64)
    chunk.channel_labels = [labels.get(number) for number in range(max(labels) + 1)]
    return chunk


def _database(db):
    from .database import Database, load_file

    return db if isinstance(db, Database) else load_file(db)


def decode_chunks(db, chunks, message=None):
    """A DataFrame of decoded FrameChunks: long (LONG_COLUMNS) or, with ``message``, wide for that message."""
    db = _database(db)
    several = isinstance(message, collections.abc.Sequence) and not isinstance(message, str)
    wanted = message if several else [message]
    long_rows = LongRows(db) if any(item is None for item in wanted) else None
    wide = {m: [] for m, item in enumerate(wanted) if item is not None}
    for chunk in chunks:
        if long_rows is not None:
            columns = chunk.ids, chunk.payloads, chunk.lengths, chunk.extended, chunk.timestamps, chunk.channels
            long_rows.add(*columns, chunk.channel_labels, getattr(chunk, "share", None))
        if wide:
            decoded = decode_frames(db, chunk.ids, chunk.payloads, chunk.lengths, chunk.extended, chunk.timestamps)
            for m, parts in wide.items():
                parts.append(decoded.wide_columns(wanted[m]))
    frames = [
        long_rows.dataframe() if item is None else long_frame(db, wide[m], [], item) for m, item in enumerate(wanted)
    ]
    return {getattr(m, "name", m): frame for m, frame in zip(wanted, frames)} if several else frames[0]


def read_log(path_or_file, db, message=None, log_format=None, chunk_frames=DEFAULT_CHUNK_FRAMES, strict=False):
    """A log's frames decoded into a pandas DataFrame.

    Long (one row per carried signal value: timestamp, channel, frame_id, message, signal, value) or, with
    ``message`` (name, frame ID or Message), wide: one row per frame of that message indexed by timestamp; with
    a list of messages, a dict of their wide DataFrames from one pass over the log.
    ``path_or_file``: a path, bytes or a file object of a candump, ASC or BLF log (recognised by content
    unless ``log_format`` says); ``db``: a Database or a database file's path. Malformed lines are skipped
    (``strict``: LogError naming the line)."""
    with LogReader(path_or_file, log_format, chunk_frames, strict=strict) as reader:
        return decode_chunks(db, reader._chunks_to_decode(), message)


def decode_messages(db, messages, message=None, chunk_frames=DEFAULT_CHUNK_FRAMES):
    """read_log for any iterable of can.Message, for example ``can.LogReader(path)`` for formats that only
    python-can reads."""
    return decode_chunks(db, chunks_from_messages(messages, chunk_frames), message)
