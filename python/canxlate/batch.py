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
    ``message_index[f]`` is the frame's message in ``database.messages``, or -1 for an unknown ID."""

    def __init__(self, database, frame_ids, physical, present, message_index, timestamps=None, channels=None):
        self.database = database
        self.frame_ids = frame_ids
        self.physical = physical
        self.present = present
        self.message_index = message_index
        self.timestamps = timestamps
        self.channels = channels

    def __len__(self):
        return len(self.frame_ids)

    def _message(self, message):
        if isinstance(message, str):
            message = self.database.get_message_by_name(message)
        elif isinstance(message, int):
            message = self.database.get_message_by_frame_id(message)
        return message, self.database.messages.index(message)

    def rows(self, message):
        """The positions of the frames of one message (given by name, frame ID or Message)."""
        return np.flatnonzero(self.message_index == self._message(message)[1])

    def signals(self, message):
        """name -> values of one message's signals over its frames (NaN where a frame does not carry one)."""
        message, _ = self._message(message)
        rows = self.rows(message)
        columns = {}
        for slot, signal in enumerate(message.signals):
            values = self.physical[slot, rows]
            values[~self.present[slot, rows]] = np.nan
            columns[signal.name] = values
        return columns

    def to_dataframe(self, message=None):
        """A pandas DataFrame: long (one row per carried value: LONG_COLUMNS) or, with ``message``, wide
        (one row per frame of that message, one column per signal, indexed by timestamp)."""
        import pandas as pd

        if message is not None:
            rows = self.rows(message)
            frame = pd.DataFrame(self.signals(message))
            if self.timestamps is not None:
                frame.index = pd.Index(self.timestamps[rows], name="timestamp")
            return frame
        return pd.DataFrame(self._long_columns(pd), columns=LONG_COLUMNS)

    def _long_columns(self, pd):
        messages = self.database.messages
        frames, slots = np.nonzero(self.present.T)  # frame by frame, signals in message order
        message_codes = self.message_index[frames]
        # Signal names as codes into one list of distinct names, through a table by (message, slot).
        names, message_names = {}, {}
        message_code = np.array([message_names.setdefault(m.name, len(message_names)) for m in messages], np.int32)
        names = {}
        width = max(1, self.physical.shape[0])
        code_table = np.full(len(messages) * width, -1, dtype=np.int32)
        for m, item in enumerate(messages):
            for s, signal in enumerate(item.signals):
                code_table[m * width + s] = names.setdefault(signal.name, len(names))
        signal_codes = code_table[message_codes.astype(np.int64) * width + slots]
        timestamps = np.full(len(frames), np.nan) if self.timestamps is None else self.timestamps[frames]
        channels = None if self.channels is None else np.asarray(self.channels, dtype=object)[frames]
        return {
            "timestamp": timestamps,
            "channel": channels,
            "frame_id": self.frame_ids[frames],
            "message": pd.Categorical.from_codes(message_code[message_codes], list(message_names)),
            "signal": pd.Categorical.from_codes(signal_codes, list(names)),
            "value": self.physical[slots, frames],
        }
