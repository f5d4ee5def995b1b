"""Decoding many frames in one library call into numpy columns (cxl_decode_batch), and DataFrames of them."""

import ctypes
from itertools import zip_longest

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
    # Columns a power of two bytes apart would share cache sets: a frame's values would evict each other.
    stride = count + 8 if count % 512 == 0 else count
    physical = np.empty((slots, stride), dtype=np.float64)[:, :count]
    present = np.zeros((slots, stride), dtype=np.uint8)[:, :count]
    message_index = np.empty(count, dtype=np.int32)
    if count:
        batch = _lib.Batch(
            frame_count=count,
            ids=_pointer(ids),
            extended=_pointer(extended),
            lengths=_pointer(lengths),
            payloads=_pointer(payloads),
            payload_stride=payloads.shape[1],
            column_stride=stride,
            physical=_pointer(physical) if slots else None,
            present=_pointer(present) if slots else None,
            message_index=_pointer(message_index),
        )
        status = lib.cxl_decode_batch(database._handle, ctypes.byref(batch), 0)
        if status:
            raise DecodeError(f"decoding {count} frames: {_lib.status_text(status)}")
    if timestamps is not None:
        timestamps = np.ascontiguousarray(timestamps, dtype=np.float64)
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
        return message, message._index

    def rows(self, message):
        """The positions of the frames of one message (given by name, frame ID or Message)."""
        return np.flatnonzero(self.message_index == self._message(message)[1])

    def signals(self, message):
        """name -> values of one message's signals over its frames (NaN where a frame does not carry one)."""
        message, _ = self._message(message)
        rows = self.rows(message)
        return {
            s.name: np.where(self.present[slot, rows], self.physical[slot, rows], np.nan)
            for slot, s in enumerate(message._signals)
        }

    def wide_columns(self, message):
        """signals(message) with the frames' timestamps under None."""
        columns = self.signals(message)
        columns[None] = None if self.timestamps is None else self.timestamps[self.rows(message)]
        return columns

    def _long_into(self, columns, at, codes):
        """Writes the long form's rows from row ``at`` of ``columns`` (names and channels as ``codes``: message
        codes, signal codes by message and slot, channel codes by number), in one library call."""
        batch = _lib.Batch(
            frame_count=len(self),
            ids=_pointer(self.frame_ids),
            timestamps=_pointer(self.timestamps),
            column_stride=self.present.strides[0] if self.present.size else len(self),
            physical=_pointer(self.physical) if self.physical.size else None,
            present=_pointer(self.present) if self.present.size else None,
            message_index=_pointer(self.message_index),
        )
        return _rows(
            self, columns, at, codes, lambda request: lib.cxl_batch_rows(self.database._handle, batch, request)
        )

    def to_dataframe(self, message=None):
        """A pandas DataFrame: long (one row per carried value: LONG_COLUMNS) or, with ``message``, wide
        (one row per frame of that message, one column per signal, indexed by timestamp)."""
        parts = [self.wide_columns(message) if message is not None else self]
        return long_frame(self.database, parts, self.channel_labels, message)


def _rows(frames, columns, at, codes, write):
    """Writes the long form's rows of ``frames`` from row ``at`` of ``columns`` with ``write(request)``."""
    message_code, code_table, channel_codes = codes
    rows = slice(at, None)
    out = {name: None if column is None else _pointer(column[rows]) for name, column in columns.items()}
    channels = None if frames.channels is None else np.ascontiguousarray(frames.channels, dtype=np.uint16)
    request = _lib.Rows(
        capacity=len(columns["value"]) - at,
        code_size=code_table.itemsize,
        message_codes=_pointer(message_code),
        signal_codes=_pointer(code_table),
        signal_stride=max(1, frames.database._largest_signal_count),
        channels=_pointer(channels),
        channel_codes=_pointer(channel_codes),
        channel_count=len(channel_codes),
        value=out["value"],
        timestamp=out["timestamp"],
        frame_id=out["frame_id"],
        message=out["message"],
        signal=out["signal"],
        channel=out["channel"] if channels is not None else None,
    )
    status = write(ctypes.byref(request))
    if status:
        raise DecodeError(f"rows of {len(frames)} frames: {_lib.status_text(status)}")
    return request.count


class LongRows:
    """The long form (LONG_COLUMNS) of frames that come chunk after chunk: each chunk decoded into the same
    scratch arrays (cxl_decode_packed) and its rows written at once into the columns of the whole result.

    The columns are reserved for as many rows as ``share`` (the part of the input read so far) foretells:
    memory reserved and never written costs nothing, a short guess one copy of the rows so far."""

    _MARGIN = 1.1  # over what the share read so far foretells

    def __init__(self, database):
        self.database = database
        self._slots = max(1, database._largest_signal_count)
        self._message_code, self._message_names, self._code_table, _, self._signal_names = _name_codes(database)
        self._frames, self._count, self._capacity, self._columns, self._code_type = 0, 0, 0, None, None
        self._labels, self._channel_table, self._with_channels, self._chunks = [], None, True, 0
        self._batch, self._packed, self._request = _lib.Batch(), _lib.Packed(), _lib.Rows()

    def add(self, frame_ids, payloads, lengths, extended, timestamps, channels, channel_labels, share=None):
        """Decodes one chunk (a FrameChunk's columns) and appends its rows; ``channel_labels[n]`` names channel
        n, ``share`` is the part of the whole input read up to the end of this chunk (None: not known)."""
        self._chunks += 1
        self._with_channels = self._with_channels and channels is not None
        rows = self._decode(frame_ids, payloads, lengths, extended, timestamps)
        self._label_channels(channel_labels)
        if self._count + rows > self._capacity:
            self._reserve(self._count + rows, share)
        if not rows:
            return
        channels = None if channels is None else np.ascontiguousarray(channels, dtype=np.uint16)
        at, columns, request = self._count, self._columns, self._request
        request.capacity = self._capacity - at
        request.channels, request.channel_codes = _pointer(channels), _pointer(self._channel_table)
        request.channel_count = len(self._channel_table)
        for name in LONG_COLUMNS:
            setattr(request, name, _pointer(columns[name][at:]) if name != "channel" or channels is not None else None)
        status = lib.cxl_packed_rows(self.database._handle, self._batch, self._packed, request)
        if status:
            raise DecodeError(f"rows of {len(frame_ids)} frames: {_lib.status_text(status)}")
        self._count += request.count

    def _decode(self, frame_ids, payloads, lengths, extended, timestamps):
        """Decodes a chunk into the scratch arrays; gives the rows it carries."""
        ids = np.ascontiguousarray(frame_ids, dtype=np.uint32)
        count = len(ids)
        if count > self._frames:
            self._frames = count
            self._physical = np.empty(count * self._slots)
            self._present = np.empty(count * self._slots, np.uint8)
            self._message_index = np.empty(count, np.int32)
        # Held until the rows are written: the batch points into them.
        self._held = (
            ids,
            np.ascontiguousarray(payloads[:, :64], dtype=np.uint8),
            None if lengths is None else np.minimum(np.ascontiguousarray(lengths, dtype=np.uint8), 64),
            None if extended is None else np.ascontiguousarray(extended, dtype=np.uint8),
            None if timestamps is None else np.ascontiguousarray(timestamps, dtype=np.float64),
        )
        ids, payloads, lengths, extended, timestamps = self._held
        batch, packed = self._batch, self._packed
        batch.frame_count, batch.ids, batch.payloads, batch.payload_stride = (
            count,
            _pointer(ids),
            _pointer(payloads),
            payloads.shape[1],
        )
        batch.extended, batch.lengths, batch.timestamps = _pointer(extended), _pointer(lengths), _pointer(timestamps)
        batch.message_index = _pointer(self._message_index)
        packed.capacity, packed.count = count * self._slots, 0
        packed.physical, packed.present = self._physical.ctypes.data, self._present.ctypes.data
        if not count:
            return 0
        self._present[: packed.capacity] = 0  # flags decoding leaves unset read as absent
        status = lib.cxl_decode_packed(self.database._handle, batch, packed, 0)
        if status:
            raise DecodeError(f"decoding {count} frames: {_lib.status_text(status)}")
        return int(np.count_nonzero(self._present[: packed.count]))

    def _label_channels(self, channel_labels):
        """Adds the labels of channels the chunk names first; channel codes are the labels' places among those
        that are not None, so rows already written are coded again when a channel below theirs gets a label."""
        labels = [ours if ours is not None else theirs for ours, theirs in zip_longest(self._labels, channel_labels)]
        if labels == self._labels and self._channel_table is not None:
            return
        old, self._labels = self._channel_table, labels
        named = [label is not None for label in labels]
        code_type = _code_type(max(len(self._message_names), len(self._signal_names), sum(named)))
        if self._code_type is not None and np.dtype(code_type).itemsize > np.dtype(self._code_type).itemsize:
            self._allocate(self._capacity, code_type)
        self._code_type = self._code_type or code_type
        table = np.full(max(1, len(labels)), -1, self._code_type)
        table[: len(labels)][named] = np.arange(sum(named))
        self._channel_table = table
        if old is not None and self._count and self._with_channels and not np.array_equal(table[: len(old)], old):
            recode = np.full(len(old) + 1, -1, self._code_type)  # by old code, -1 last
            recode[old[old >= 0]] = table[: len(old)][old >= 0]
            written = self._columns["channel"][: self._count]
            written[:] = recode[written]

    def _reserve(self, needed, share):
        guess = int(needed / share * self._MARGIN) if share and 0 < share <= 1 else 2 * needed
        try:
            self._allocate(max(needed, guess, self._capacity * 3 // 2), self._code_type)
        except MemoryError:  # a guess beyond what the system gives: as much as is needed now
            self._allocate(max(needed, self._capacity * 3 // 2), self._code_type)

    def _allocate(self, capacity, code_type):
        """Columns for ``capacity`` rows holding the rows written so far (as ``code_type`` codes)."""
        coded = np.empty((3, capacity), code_type)  # one allocation: large enough for huge pages
        columns = {
            "timestamp": np.empty(capacity),
            "channel": coded[2],
            "frame_id": np.empty(capacity, np.uint32),
            "message": coded[0],
            "signal": coded[1],
            "value": np.empty(capacity),
        }
        if self._columns is not None:
            for name, column in columns.items():
                column[: self._count] = self._columns[name][: self._count]
        self._columns, self._capacity = columns, capacity
        self._code_type = code_type
        request = self._request
        request.code_size, request.signal_stride = np.dtype(code_type).itemsize, self._slots
        self._tables = self._message_code.astype(code_type), self._code_table.astype(code_type)  # held: used by C
        request.message_codes, request.signal_codes = map(_pointer, self._tables)
        if self._channel_table is not None:
            self._channel_table = self._channel_table.astype(code_type)

    def dataframe(self):
        """The rows of every chunk added, as a DataFrame."""
        if self._columns is None:
            self._code_type = self._code_type or _code_type(max(len(self._message_names), len(self._signal_names)))
            self._allocate(0, self._code_type)
        columns = {name: column[: self._count] for name, column in self._columns.items()}
        with_channels = self._chunks and self._with_channels
        return _long_dataframe(
            columns, self._message_names, self._signal_names, self._labels if with_channels else None
        )


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
        message_code = np.array([message_names.setdefault(m.name, len(message_names)) for m in messages], np.int64)
        width = max(1, database._largest_signal_count)
        code_table = np.full(max(1, len(messages)) * width, -1, dtype=np.int64)
        for m, item in enumerate(messages):
            for s, signal in enumerate(item._signals):
                code_table[m * width + s] = signal_names.setdefault(signal.name, len(signal_names))
        # In the code types pandas keeps, so that the columns become Categoricals without a copy.
        message_code = message_code.astype(_code_type(len(message_names)))
        code_table = code_table.astype(_code_type(len(signal_names)))
        cached = message_code, list(message_names), code_table, width, list(signal_names)
        database._name_codes = cached
    return cached


def _code_type(categories):
    return np.int8 if categories < 127 else np.int16 if categories < 32767 else np.int32


def long_frame(database, parts, channel_labels, message=None):
    """One DataFrame of several chunks: DecodedFrames in long form, or their wide_columns of ``message``."""
    import pandas as pd

    if message is not None:

        def joined(name):
            columns = [part[name] for part in parts if part[name] is not None]
            return np.concatenate(columns) if len(columns) == len(parts) and columns else None

        names = [s.name for s in _find_message(database, message).signals]
        frame = pd.DataFrame({name: joined(name) if parts else np.zeros(0) for name in names}, copy=False)
        timestamps = joined(None)
        if timestamps is not None:
            frame.index = pd.Index(timestamps, name="timestamp")
        return frame
    message_code, message_names, code_table, _, signal_names = _name_codes(database)
    counts = [int(np.count_nonzero(part.present)) for part in parts]
    labels = [label for label in channel_labels if label is not None]  # None (python-can's unnamed channel): NaN
    # One code type for the three coded columns, the one pandas keeps for the largest of them.
    code_type = _code_type(max(len(message_names), len(signal_names), len(labels)))
    channel_codes = np.full(max(1, len(channel_labels)), -1, code_type)
    channel_codes[: len(channel_labels)][[label is not None for label in channel_labels]] = np.arange(len(labels))
    codes = message_code.astype(code_type), code_table.astype(code_type), channel_codes
    with_channels = parts and all(part.channels is not None for part in parts)
    total = sum(counts)
    # The three coded columns in one allocation: large enough for huge pages where the system gives them.
    coded = np.empty((3, total), code_type)
    columns = {
        "timestamp": np.empty(total),
        "channel": coded[2] if with_channels else None,
        "frame_id": np.empty(total, np.uint32),
        "message": coded[0],
        "signal": coded[1],
        "value": np.empty(total),
    }
    for part, at in zip(parts, np.cumsum([0] + counts)):
        part._long_into(columns, int(at), codes)
    return _long_dataframe(columns, message_names, signal_names, channel_labels if with_channels else None)


def _long_dataframe(columns, message_names, signal_names, channel_labels):
    """The long DataFrame of its columns, the coded ones as Categoricals (the channel NaN without
    ``channel_labels``; a None label also NaN), without copying them."""
    import pandas as pd

    columns["message"] = _categorical(columns["message"], message_names)
    columns["signal"] = _categorical(columns["signal"], signal_names)
    if channel_labels is not None:
        columns["channel"] = _categorical(columns["channel"], [label for label in channel_labels if label is not None])
    else:
        columns["channel"] = np.full(len(columns["value"]), np.nan, object)
    # From the dict alone, in LONG_COLUMNS order: with ``columns=`` pandas 1.5 first turns every column into objects.
    return pd.DataFrame(columns, copy=False)


def _categorical(codes, categories):
    """A Categorical of codes the library wrote from valid tables, without checking or converting them."""
    import pandas as pd

    try:
        return pd.Categorical.from_codes(codes, categories, validate=False)
    except TypeError:  # pandas before 2.1, whose fast path is the constructor's
        return pd.Categorical(codes, dtype=pd.CategoricalDtype(categories), fastpath=True)
