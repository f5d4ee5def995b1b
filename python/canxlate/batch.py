"""Decoding many frames in one library call into numpy columns (cxl_decode_batch), and DataFrames of them."""

import ctypes

import numpy as np

from . import _lib
from ._lib import lib
from .errors import DecodeError

LONG_COLUMNS = ["timestamp", "channel", "frame_id", "message", "signal", "value"]


def _pointer(array):
    return None if array is None else array.ctypes.data


def _payloads(data, lengths):
    """(payload matrix, lengths) from a 2-D uint8 array or a sequence of bytes-like payloads."""
    if isinstance(data, np.ndarray) and data.ndim == 2:
        return np.ascontiguousarray(data, dtype=np.uint8), lengths
    frames = [bytes(payload) for payload in data]
    width = max((len(payload) for payload in frames), default=0)
    matrix = np.zeros((len(frames), max(width, 1)), dtype=np.uint8)
    for row, payload in zip(matrix, frames):
        row[: len(payload)] = np.frombuffer(payload, dtype=np.uint8)
    if lengths is None:
        lengths = [len(payload) for payload in frames]
    return matrix, lengths


def decode_frames(database, frame_ids, data, lengths=None, extended=None, timestamps=None, channels=None):
    """Decodes frames in one call to the library.

    frame_ids: the IDs (with ``extended`` flags, or IDs over 0x7FF read as extended); data: a 2-D uint8 array,
    one payload per row (``lengths`` bytes of it, or the whole row), or a sequence of bytes-like payloads.
    Values are physical (no limits applied). The library writes straight into the arrays of the result."""
    ids = np.ascontiguousarray(frame_ids, dtype=np.uint32)
    payloads, lengths = _payloads(data, lengths)
    count = len(ids)
    if payloads.shape[0] != count:
        raise ValueError(f"{count} frame IDs but {payloads.shape[0]} payloads")
    if payloads.shape[1] > 64:
        payloads = payloads[:, :64].copy()
    lengths = None if lengths is None else np.minimum(np.ascontiguousarray(lengths, dtype=np.uint8), 64)
    extended = None if extended is None else np.ascontiguousarray(extended, dtype=np.uint8)
    slots = database._largest_signal_count
    physical = np.empty((slots, count), dtype=np.float64)
    present = np.zeros((slots, count), dtype=np.uint8)
    message_index = np.empty(count, dtype=np.int32)
    if count:
        batch = _lib.Batch(
            frame_count=count,
            ids=_pointer(ids),
            extended=_pointer(extended),
            lengths=_pointer(lengths),
            payloads=_pointer(payloads),
            payload_stride=payloads.shape[1],
            column_stride=count,
            physical=_pointer(physical) if slots else None,
            present=_pointer(present) if slots else None,
            message_index=_pointer(message_index),
        )
        status = lib.cxl_decode_batch(database._handle, ctypes.byref(batch), 0)
        if status:
            raise DecodeError(f"decoding {count} frames: {_lib.status_text(status)}")
    if timestamps is not None:
        timestamps = np.asarray(timestamps, dtype=np.float64)
    return DecodedFrames(database, ids, physical, present.view(np.bool_), message_index, timestamps, channels)


class DecodedFrames:
    """The result of decode_frames: column arrays written by the library.

    ``physical[s, f]`` is the value of signal ``s`` of frame ``f``'s message, valid where ``present[s, f]``;
    ``message_index[f]`` is the frame's message in ``database.messages``, or -1 for an unknown ID.
    ``channels`` are numbers (``channel_labels[n]`` names channel n) or None."""

    def __init__(self, database, frame_ids, physical, present, message_index, timestamps=None, channels=None):
        self.database = database
        self.frame_ids = frame_ids
        self.physical = physical
        self.present = present
        self.message_index = message_index
        self.timestamps = timestamps
        self.channels, self.channel_labels = None, []
        if channels is not None:
            codes = {}
            self.channels = np.fromiter((codes.setdefault(c, len(codes)) for c in channels), np.uint16, len(channels))
            self.channel_labels = list(codes)

    def __len__(self):
        return len(self.frame_ids)

    def _message(self, message):
        message = _find_message(self.database, message)
        return message, self.database.messages.index(message)

    def rows(self, message):
        """The positions of the frames of one message (given by name, frame ID or Message)."""
        return np.flatnonzero(self.message_index == self._message(message)[1])

    def signals(self, message):
        """name -> values of one message's signals over its frames (NaN where a frame does not carry one)."""
        message, _ = self._message(message)
        rows = self.rows(message)
        return {
            s.name: np.where(self.present[slot, rows], self.physical[slot, rows], np.nan)
            for slot, s in enumerate(message.signals)
        }

    def wide_columns(self, message):
        """signals(message) with the frames' timestamps under None."""
        columns = self.signals(message)
        columns[None] = None if self.timestamps is None else self.timestamps[self.rows(message)]
        return columns

    def long_columns(self):
        """The long form as numpy columns: message and signal as codes into database-wide name lists."""
        message_code, message_names, code_table, width, signal_names = _name_codes(self.database)
        flat = np.flatnonzero(self.present.T.ravel())  # frame by frame, signals in message order
        frames, slots = np.divmod(flat, width)
        message_codes = self.message_index[frames]
        return {
            "timestamp": np.full(len(frames), np.nan) if self.timestamps is None else self.timestamps[frames],
            "channel": None if self.channels is None else self.channels[frames],
            "frame_id": self.frame_ids[frames],
            "message": message_code[message_codes],
            "signal": code_table[message_codes.astype(np.int64) * width + slots],
            "value": self.physical.ravel()[slots * len(self) + frames],
        }

    def to_dataframe(self, message=None):
        """A pandas DataFrame: long (one row per carried value: LONG_COLUMNS) or, with ``message``, wide
        (one row per frame of that message, one column per signal, indexed by timestamp)."""
        parts = [self.wide_columns(message) if message is not None else self.long_columns()]
        return long_frame(self.database, parts, self.channel_labels, message)


def _find_message(database, message):
    if isinstance(message, str):
        return database.get_message_by_name(message)
    return database.get_message_by_frame_id(message) if isinstance(message, int) else message


def _name_codes(database):
    """Per database, once: message names and signal names as codes, by message index and (message, slot)."""
    cached = getattr(database, "_name_codes", None)
    if cached is None:
        messages = database.messages
        message_names, signal_names = {}, {}
        message_code = np.array([message_names.setdefault(m.name, len(message_names)) for m in messages], np.int32)
        width = max(1, database._largest_signal_count)
        code_table = np.full(max(1, len(messages)) * width, -1, dtype=np.int32)
        for m, item in enumerate(messages):
            for s, signal in enumerate(item.signals):
                code_table[m * width + s] = signal_names.setdefault(signal.name, len(signal_names))
        cached = message_code, list(message_names), code_table, width, list(signal_names)
        database._name_codes = cached
    return cached


def long_frame(database, parts, channel_labels, message=None):
    """One DataFrame from the columns of several chunks (long_columns, or wide_columns of ``message``)."""
    import pandas as pd

    def joined(name):
        columns = [part[name] for part in parts if part[name] is not None]
        return np.concatenate(columns) if len(columns) == len(parts) and columns else None

    if message is not None:
        names = [s.name for s in _find_message(database, message).signals]
        frame = pd.DataFrame({name: joined(name) if parts else np.zeros(0) for name in names})
        timestamps = joined(None)
        if timestamps is not None:
            frame.index = pd.Index(timestamps, name="timestamp")
        return frame
    _, message_names, _, _, signal_names = _name_codes(database)
    columns = {name: joined(name) if parts else np.zeros(0) for name in LONG_COLUMNS}
    columns["message"] = pd.Categorical.from_codes(columns["message"].astype(np.int32), message_names)
    columns["signal"] = pd.Categorical.from_codes(columns["signal"].astype(np.int32), signal_names)
    if columns["channel"] is not None:
        known = [label is not None for label in channel_labels]  # None (python-can's unnamed channel): NaN
        codes = np.where(known, np.cumsum(known) - 1, -1)[columns["channel"]] if False in known else columns["channel"]
        labels = [label for label in channel_labels if label is not None]
        columns["channel"] = pd.Categorical.from_codes(codes.astype(np.int32), labels)
    return pd.DataFrame(columns, columns=LONG_COLUMNS)
