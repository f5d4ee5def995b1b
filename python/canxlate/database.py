"""Database, Message and Signal: an open libcanxlate database seen through the familiar DBC-toolkit names."""

import ctypes
import os
import struct
import threading
from ctypes import byref

from . import _lib
from ._lib import lib
from .errors import DecodeError, EncodeError, ParseError, UnsupportedDatabaseFormatError

_FORMATS = {"dbc": _lib.FORMAT_DBC, "zcd": _lib.FORMAT_ZCD}
_SEVERITIES = {_lib.SEVERITY_INFO: "info", _lib.SEVERITY_WARNING: "warning", _lib.SEVERITY_ERROR: "error"}
# Warnings that strict loading refuses as the familiar toolkits do: overlapping signals, a signal outside
# its message, and text the reader could not make sense of.
_STRICT_TOPICS = ("overlap", "layout", "syntax")
# One cxl_value as the C compiler lays it out.
_VALUE = struct.Struct("@iiQdP")
assert _VALUE.size == ctypes.sizeof(_lib.Value), "cxl_value layout"
_TWO_TO_64 = 1 << 64
# How a decoded value is made with scaling: the library's physical double, the raw integer, raw * scale + offset
# in integers (when both are integral, so that integer signals decode to exact ints).
_PHYSICAL, _RAW, _SCALED = "physical", "raw", "scaled"
_buffers = threading.local()  # each thread's cxl_value array
_MUX_LIST_LIMIT = 1 << 16


class NamedSignalValue:
    """A decoded value with a value-table entry: ``.value`` is the raw number, ``.name`` its text.

    It compares equal to its text, so ``decoded["Gear"] == "Drive"`` holds."""

    __slots__ = ("value", "name", "comments")

    def __init__(self, value, name, comments=None):
        self.value = value
        self.name = name
        self.comments = comments or {}

    def __eq__(self, other):
        if isinstance(other, NamedSignalValue):
            return self.value == other.value and self.name == other.name
        if isinstance(other, str):
            return self.name == other
        return NotImplemented

    def __hash__(self):
        return hash(self.name)

    def __str__(self):
        return self.name

    def __repr__(self):
        return repr(self.name)


class Diagnostic:
    """What the reader said about one place in the file: severity ('info', 'warning', 'error'), line, column, text,
    and topic ('syntax', 'layout', 'overlap', 'duplicate', 'reference', 'multiplexing', 'value type' or 'other')."""

    __slots__ = ("severity", "line", "column", "text", "topic")

    def __init__(self, severity, line, column, text, topic="other"):
        self.severity, self.line, self.column, self.text, self.topic = severity, line, column, text, topic

    @property
    def refused_when_strict(self):
        return self.severity == "error" or (self.severity == "warning" and self.topic in _STRICT_TOPICS)

    def __str__(self):
        return f"line {self.line}, column {self.column}: {self.severity}: {self.text}"

    __repr__ = __str__


class Node:
    """A node (ECU) of the database."""

    __slots__ = ("name", "comment")

    def __init__(self, name, comment=None):
        self.name, self.comment = name, comment

    def __repr__(self):
        return f"node('{self.name}', {self.comment!r})"


def _nonempty(pointer):
    value = _lib.text(pointer)
    return value if value else None


def _integral(number):
    return float(number).is_integer() and abs(number) < 2**53


class Signal:
    """A signal of a message, with its layout, scaling, limits, value table and multiplexing."""

    def __init__(self, handle, info, names_by_handle):
        self._handle = handle
        self._cname = info.name
        self.name = _lib.text(info.name)
        self.start = info.start_bit
        self.length = info.length
        self.byte_order = "big_endian" if info.byte_order == _lib.BYTE_ORDER_BIG_ENDIAN else "little_endian"
        self.is_signed = info.value_type == _lib.VALUE_SIGNED
        self.is_float = info.value_type in (_lib.VALUE_SINGLE, _lib.VALUE_DOUBLE)
        self.scale = info.factor
        self.offset = info.offset
        no_limits = info.minimum == 0 and info.maximum == 0
        self.minimum = None if no_limits else info.minimum
        self.maximum = None if no_limits else info.maximum
        self.unit = _nonempty(info.unit)
        self.comment = _nonempty(info.comment)
        self.receivers = [_lib.text(lib.cxl_signal_receiver(handle, i)) for i in range(info.receiver_count)]
        self.is_multiplexer = info.mux_role in (_lib.MUX_SWITCH, _lib.MUX_MULTIPLEXED_SWITCH)
        self.multiplexer_signal = names_by_handle.get(info.mux_switch) if info.mux_switch else None
        self.decodable = bool(info.decodable)
        self._mux_ranges = []
        low, high = ctypes.c_uint64(), ctypes.c_uint64()
        for i in range(info.mux_range_count):
            lib.cxl_signal_mux_range(handle, i, byref(low), byref(high))
            self._mux_ranges.append((low.value, high.value))
        self._multiplexer_ids = None
        self.choices = None
        self._choice_raw = {}
        if info.value_text_count:
            raw, label = ctypes.c_int64(), ctypes.c_char_p()
            self.choices = {}
            for i in range(info.value_text_count):
                lib.cxl_signal_value_text(handle, i, byref(raw), byref(label))
                value = raw.value if self.is_signed or raw.value >= 0 else raw.value + _TWO_TO_64
                self.choices[value] = NamedSignalValue(value, _lib.text(label.value))
                self._choice_raw.setdefault(self.choices[value].name, value)
        self._integer_scaling = not self.is_float and _integral(self.scale) and _integral(self.offset)

    @property
    def multiplexer_ids(self):
        """The switch values for which the signal is carried (None unless it is multiplexed)."""
        if not self._mux_ranges:
            return None
        if self._multiplexer_ids is None:
            ids = []
            for low, high in self._mux_ranges:
                ids.extend(range(low, min(high, low + _MUX_LIST_LIMIT) + 1))
            self._multiplexer_ids = ids
        return self._multiplexer_ids

    def _decode_plan(self):
        """What decoding needs of this signal, as one tuple (read once per frame)."""
        unpack_float = None
        if self.is_float:
            unpack_float = struct.Struct("<f" if self.length == 32 else "<d")
        if not self._integer_scaling:
            return (self.name, _PHYSICAL, self.choices, None, None, unpack_float)
        scale, offset = int(self.scale), int(self.offset)
        return (self.name, _RAW if (scale, offset) == (1, 0) else _SCALED, self.choices, scale, offset, None)

    def _physical(self, value, scaling):
        """The physical value for encoding: a number, a value-table text or NamedSignalValue, or a raw number."""
        if isinstance(value, (str, NamedSignalValue)):
            label = str(value)
            if label not in self._choice_raw:
                raise EncodeError(f"signal '{self.name}' has no value-table entry '{label}'")
            return self._choice_raw[label] * self.scale + self.offset
        if not scaling:
            return value * self.scale + self.offset
        return value

    def __repr__(self):
        return (
            f"signal('{self.name}', {self.start}, {self.length}, '{self.byte_order}', {self.is_signed}, "
            f"{self.scale}, {self.offset}, {self.minimum}, {self.maximum}, {self.unit!r}, "
            f"{self.is_multiplexer}, {self.multiplexer_ids}, {self.choices}, {self.comment!r})"
        )


class Message:
    """A message: its ID, length, senders, cycle time and signals, and decoding and encoding of its frames."""

    def __init__(self, database, handle):
        self._database = database  # keeps the library's database open while the message lives
        self._handle = handle
        info = _lib.MessageInfo()
        lib.cxl_get_message_info(handle, byref(info))
        self.name = _lib.text(info.name)
        self.frame_id = info.id
        self.is_extended_frame = bool(info.extended)
        self.is_fd = bool(info.fd)
        self.length = info.length
        self.comment = _nonempty(info.comment)
        self.cycle_time = None if info.cycle_time_ms < 0 else info.cycle_time_ms
        self.senders = [_lib.text(lib.cxl_message_sender(handle, i)) for i in range(info.sender_count)]
        self._multiplexed = bool(info.multiplexed)
        handles = [lib.cxl_signal_at(handle, i) for i in range(info.signal_count)]
        names_by_handle = {}
        infos = []
        for signal_handle in handles:
            signal_info = _lib.SignalInfo()
            lib.cxl_get_signal_info(signal_handle, byref(signal_info))
            names_by_handle[signal_handle] = _lib.text(signal_info.name)
            infos.append(signal_info)
        self.signals = [Signal(h, i, names_by_handle) for h, i in zip(handles, infos)]
        self._signals_by_name = {}
        for signal in self.signals:
            self._signals_by_name.setdefault(signal.name, signal)
        self._plan = [signal._decode_plan() for signal in self.signals]
        self._values_size = _VALUE.size * max(1, len(self.signals))
        # present, raw (signed signals sign-extended) and physical of each cxl_value, in one unpack
        skip_text = f"{struct.calcsize('P')}x"
        self._fields = struct.Struct(
            "@" + "".join(f"i4x{'q' if s.is_signed else 'Q'}d{skip_text}" for s in self.signals)
        )
        assert self._fields.size == _VALUE.size * len(self.signals), "cxl_value layout"

    def get_signal_by_name(self, name):
        return self._signals_by_name[name]

    def is_multiplexed(self):
        return self._multiplexed

    def decode(
        self, data, decode_choices=True, scaling=True, decode_containers=False, allow_truncated=False, allow_excess=True
    ):
        """The signals the frame carries, name -> value.

        Value-table entries come back as NamedSignalValue (unless ``decode_choices`` is false), raw numbers with
        ``scaling=False``. Limits are not applied. Data shorter than the message raises DecodeError unless
        ``allow_truncated``, which decodes the signals that fit; longer data is cut to the message's length
        unless ``allow_excess`` is false."""
        if type(data) is not bytes:
            data = bytes(data)
        size = len(data)
        if size != self.length:
            if size > self.length:
                if not allow_excess:
                    raise DecodeError(f"message '{self.name}': {size} bytes of data, more than its {self.length}")
                data, size = data[: self.length], self.length
            elif not allow_truncated:
                raise DecodeError(f"message '{self.name}': {size} bytes of data, fewer than its {self.length}")
        values = getattr(_buffers, "values", None)
        if values is None or len(values) < self._values_size:
            values = _buffers.values = ctypes.create_string_buffer(max(self._values_size, 64 * _VALUE.size))
        status = lib.cxl_decode(self._handle, data, size, 0, values)
        if status:
            raise DecodeError(f"message '{self.name}': {_lib.status_text(status)}")
        fields = self._fields.unpack_from(values)
        decoded = {}
        rows = zip(fields[0::3], fields[1::3], fields[2::3], self._plan)
        if decode_choices and scaling:  # the usual call, kept short
            for present, raw, physical, (name, kind, choices, scale, offset, _) in rows:
                if present:
                    if choices is not None and raw in choices:
                        decoded[name] = choices[raw]
                    elif kind is _PHYSICAL:
                        decoded[name] = physical
                    elif kind is _RAW:
                        decoded[name] = raw
                    else:
                        decoded[name] = raw * scale + offset
            return decoded
        for present, raw, physical, (name, kind, choices, scale, offset, unpack_float) in rows:
            if not present:
                continue
            if decode_choices and choices is not None and raw in choices:
                decoded[name] = choices[raw]
            elif scaling:
                decoded[name] = physical if kind is _PHYSICAL else raw if kind is _RAW else raw * scale + offset
            elif unpack_float is not None:
                decoded[name] = unpack_float.unpack(raw.to_bytes(unpack_float.size, "little"))[0]
            else:
                decoded[name] = raw
        return decoded

    def encode(self, data, scaling=True, padding=False, strict=True):
        """The frame's payload (``length`` bytes) for the given signal values, name -> value.

        Every signal the switch values choose must be given. With ``strict`` a value outside its signal's
        minimum..maximum or a name the message does not have raises EncodeError; without, values are clamped
        and unknown names ignored. Signals of branches the switches do not choose are ignored. ``padding``
        sets the bits no signal writes to 1."""
        given = []
        for name, value in data.items():
            signal = self._signals_by_name.get(name)
            if signal is None:
                if strict:
                    raise EncodeError(f"message '{self.name}' has no signal '{name}'")
                continue
            try:
                given.append((signal, float(signal._physical(value, scaling))))
            except (TypeError, ValueError) as error:
                raise EncodeError(f"signal '{name}': {error}") from None
        payload = ctypes.create_string_buffer(b"\xff" * self.length if padding else self.length, self.length)
        report = _lib.EncodeReport()
        flags = 0 if strict else _lib.CLAMP
        while True:
            values = (_lib.NamedValue * max(1, len(given)))(*[(s._cname, v, 0) for s, v in given])
            status = lib.cxl_encode(self._handle, values, len(given), flags, payload, self.length, byref(report))
            if status == _lib.ERR_NOT_CARRIED and report.signal:
                given = [(s, v) for s, v in given if s._handle != report.signal]
                continue
            break
        if status:
            reason = _lib.text(report.text) or _lib.status_text(status)
            raise EncodeError(f"message '{self.name}': {reason}")
        return payload.raw[: self.length]

    def __repr__(self):
        return f"message('{self.name}', 0x{self.frame_id:x}, {self.is_extended_frame}, {self.length}, {self.comment!r})"


class Database:
    """An open database: messages in file order, nodes, version and the reader's diagnostics.

    It never changes once open, so any number of threads may decode and encode with it at once. Pickling a
    Database pickles its source text; the receiving process opens it again."""

    _handle = None  # set once the library has opened the database

    def __init__(self, source, database_format="dbc", strict=True, filename=None):
        if database_format not in _FORMATS:
            raise UnsupportedDatabaseFormatError(f"database format {database_format!r}: expected 'dbc' or 'zcd'")
        self._source, self._format, self._strict, self.filename = source, database_format, strict, filename
        handle = ctypes.c_void_p()
        status = lib.cxl_open_memory(source, len(source), _FORMATS[database_format], byref(handle))
        where = filename or "<string>"
        if status == _lib.ERR_FORMAT:
            not_text = Diagnostic("error", 0, 0, _lib.status_text(status))
            if strict:
                raise ParseError(f"{where}, line 0, column 0: {not_text.text}", diagnostics=[not_text])
            status = lib.cxl_open_memory(b"", 0, _lib.FORMAT_DBC, byref(handle))
            self.diagnostics = [not_text]
        else:
            self.diagnostics = []
        if status == _lib.ERR_NO_MEMORY:
            raise MemoryError(f"{where}: {_lib.status_text(status)}")
        if status:
            raise ParseError(f"{where}: {_lib.status_text(status)}")
        self._handle = handle.value
        self.diagnostics += self._read_diagnostics()
        refused = [d for d in self.diagnostics if d.refused_when_strict]
        if strict and refused:
            first = refused[0]
            raise ParseError(
                f"{where}, line {first.line}, column {first.column}: {first.text}",
                first.line,
                first.column,
                self.diagnostics,
            )
        info = _lib.DatabaseInfo()
        lib.cxl_get_database_info(self._handle, byref(info))
        self.version = _lib.text(info.version)
        self.comment = _nonempty(info.comment)
        self.nodes = [Node(_lib.text(lib.cxl_node_name(self._handle, i))) for i in range(info.node_count)]
        self._largest_signal_count = info.largest_signal_count
        self.messages = [Message(self, lib.cxl_message_at(self._handle, i)) for i in range(info.message_count)]
        self._by_name = {}
        self._by_frame_id = {}
        self._by_key = {}
        for message in self.messages:
            self._by_name.setdefault(message.name, message)
            self._by_key[(message.frame_id, message.is_extended_frame)] = message
        # A number alone names the standard frame when both a standard and an extended one have it.
        for message in sorted(self.messages, key=lambda m: not m.is_extended_frame):
            self._by_frame_id[message.frame_id] = message

    def _read_diagnostics(self):
        diagnostics = []
        item = _lib.Diagnostic()
        for i in range(lib.cxl_diagnostic_count(self._handle)):
            lib.cxl_get_diagnostic(self._handle, i, byref(item))
            severity = _SEVERITIES.get(item.severity, "error")
            topic = _lib.TOPICS[item.topic] if 0 <= item.topic < len(_lib.TOPICS) else "other"
            diagnostics.append(Diagnostic(severity, item.line, item.column, _lib.text(item.text), topic))
        return diagnostics

    def get_message_by_name(self, name):
        return self._by_name[name]

    def get_message_by_frame_id(self, frame_id):
        return self._by_frame_id[frame_id]

    def find_message(self, frame_id, is_extended_frame):
        """The message with this ID and kind (standard or extended), or None."""
        return self._by_key.get((frame_id, bool(is_extended_frame)))

    def _message(self, frame_id_or_name):
        if isinstance(frame_id_or_name, str):
            return self._by_name[frame_id_or_name]
        return self._by_frame_id[frame_id_or_name]

    def decode_message(
        self,
        frame_id_or_name,
        data,
        decode_choices=True,
        scaling=True,
        decode_containers=False,
        allow_truncated=False,
        allow_excess=True,
    ):
        """Message.decode of the message with this frame ID (a can.Message's arbitration_id as it is) or name."""
        return self._message(frame_id_or_name).decode(
            data, decode_choices, scaling, decode_containers, allow_truncated, allow_excess
        )

    def encode_message(self, frame_id_or_name, data, scaling=True, padding=False, strict=True):
        """Message.encode of the message with this frame ID or name."""
        return self._message(frame_id_or_name).encode(data, scaling, padding, strict)

    def decode_frames(self, frame_ids, data, lengths=None, extended=None, timestamps=None):
        """Decodes many frames in one call into numpy columns: see canxlate.batch.decode_frames."""
        from .batch import decode_frames

        return decode_frames(self, frame_ids, data, lengths=lengths, extended=extended, timestamps=timestamps)

    def __reduce__(self):
        return (Database, (self._source, self._format, self._strict, self.filename))

    def __del__(self):
        if self._handle is not None and lib is not None:
            lib.cxl_close(self._handle)
            self._handle = None

    def __repr__(self):
        return f"<canxlate.Database {self.filename or '<string>'}: {len(self.messages)} messages>"


def load_string(string, database_format="dbc", strict=True):
    """Opens a database from its text (str or bytes).

    With ``strict`` an error among the reader's diagnostics (overlapping signals, a signal outside its
    message, a line that cannot be read) raises ParseError naming the line; otherwise every diagnostic is
    kept in ``Database.diagnostics``."""
    source = string.encode("utf-8") if isinstance(string, str) else bytes(string)
    return Database(source, database_format or "dbc", strict)


def load_file(filename, database_format=None, encoding=None, strict=True):
    """Opens a ".dbc" or ".zcd" file (format from the extension unless given). ``encoding`` is accepted for
    compatibility: names and texts are read as UTF-8, falling back to Latin-1. A missing file raises OSError."""
    filename = os.fspath(filename)
    with open(filename, "rb") as file:
        source = file.read()
    if database_format is None:
        extension = os.path.splitext(filename)[1].lower()
        database_format = (
            "zcd" if extension == ".zcd" or (extension != ".dbc" and source.lstrip()[:1] == b"<") else "dbc"
        )
    return Database(source, database_format, strict, filename)
