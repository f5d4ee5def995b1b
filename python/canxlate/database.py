"""Database, Message and Signal: an open libcanxlate database seen through the familiar DBC-toolkit names."""

import collections.abc
import ctypes
import math
import os
import re
import struct
import threading
from ctypes import byref

from . import _lib
from . import dbc_extras as extras
from . import dbc_writing, message_layout
from ._lib import lib
from .errors import DecodeError, EncodeError, Error, ParseError, UnsupportedDatabaseFormatError

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
_Conversion = collections.namedtuple("Conversion", "scale offset choices is_float")
_UNREAD = dbc_writing.UNREAD  # a field read from attributes when first asked for


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
    """A node (ECU) of the database: its (long) name, comment and, as ``dbc.attributes``, its attributes."""

    __slots__ = ("name", "comment", "_opened", "_index", "_dbc")

    def __init__(self, name, comment=None, dbc_specifics=None, autosar_specifics=None):
        self.name, self.comment, self._opened, self._index, self._dbc = name, comment, None, 0, dbc_specifics

    @classmethod
    def _of_library(cls, name, comment, opened, index):
        node = cls(name, comment)
        node._opened, node._index = opened, index
        return node

    @property
    def dbc(self):
        if self._dbc is None and self._opened is not None:
            info, handle = _lib.NodeInfo(), self._opened.handle
            lib.cxl_get_node_info(handle, self._index, byref(info))
            read = lambda i, item: lib.cxl_node_attribute(handle, self._index, i, item)  # noqa: E731
            self._dbc = extras.object_extras(self._opened, read, info.attribute_count)
        return self._dbc

    @dbc.setter
    def dbc(self, value):
        self._dbc = value

    def __repr__(self):
        return f"node('{self.name}', {self.comment!r})"


def _prune_choices(signal):
    """Shortens value-table texts: several lose their longest common prefix ending in '_' (while each stays a
    name), a single one keeps its part after the last '_' that is followed by letters and '_' only."""
    if not signal.choices:
        return
    names = [choice.name for choice in signal.choices.values()]
    if len(names) == 1:
        match = re.match(r"^[0-9A-Za-z_]*?_([A-Za-z_]+)$", names[0])
        cut = len(names[0]) - len(match.group(1)) if match else 0
    else:
        cut = len(os.path.commonprefix(names))
        while cut and not (
            names[0][cut - 1] == "_" and all(n[cut:].isidentifier() and not n[cut].isdigit() for n in names)
        ):
            cut -= 1
    if cut:
        for choice in signal.choices.values():
            choice.name = choice.name[cut:]
        signal._choice_raw = {}
        for value, choice in signal.choices.items():
            signal._choice_raw.setdefault(choice.name, value)


def _comments(comment):
    return None if comment is None else {None: comment}


def _ids_text(ranges):
    ids = [str(i) for low, high in ranges for i in range(low, min(high, low + 16) + 1)]
    return ids[0] if len(ids) == 1 else ", ".join(ids[:-1]) + " or " + ids[-1]


def _merged(ranges):
    """Ranges (low, high) in order, those that overlap or touch joined."""
    merged = []
    for low, high in sorted(ranges):
        if merged and low <= merged[-1][1] + 1:
            merged[-1][1] = max(merged[-1][1], high)
        else:
            merged.append([low, high])
    return [tuple(pair) for pair in merged]


def _nonempty(pointer):
    value = _lib.text(pointer)
    return value if value else None


def _integral(number):
    return float(number).is_integer() and abs(number) < 2**53


class Signal:
    """A signal of a message, with its layout, scaling, limits, value table and multiplexing.

    Made with the familiar toolkit's keywords it belongs to no database yet: put it into a Message; it is
    written, decoded and encoded once that message is in a Database (after ``refresh()``). ``conversion`` is
    an object with ``scale``, ``offset``, ``choices`` and ``is_float``; those may also be given alone."""

    def __init__(
        self,
        name,
        start,
        length,
        byte_order="little_endian",
        is_signed=False,
        raw_initial=None,
        raw_invalid=None,
        conversion=None,
        minimum=None,
        maximum=None,
        unit=None,
        dbc_specifics=None,
        comment=None,
        receivers=None,
        is_multiplexer=False,
        multiplexer_ids=None,
        multiplexer_signal=None,
        spn=None,
        scale=None,
        offset=None,
        choices=None,
        is_float=None,
        initial=None,
    ):
        def given(value, field, default):
            if value is not None:
                return value
            return getattr(conversion, field, default) if conversion is not None else default

        self._handle = self._opened = self._cname = None
        self.name, self.start, self.length, self.byte_order = name, start, length, byte_order
        self.is_signed = bool(is_signed)
        self.is_float = bool(given(is_float, "is_float", False))
        self._value_type = _lib.VALUE_SIGNED if self.is_signed else _lib.VALUE_UNSIGNED
        if self.is_float:
            self._value_type = _lib.VALUE_SINGLE if length == 32 else _lib.VALUE_DOUBLE
        self.scale, self.offset = given(scale, "scale", 1), given(offset, "offset", 0)
        self.minimum, self.maximum, self.unit = minimum, maximum, unit
        self.comment = comment.get(None) if isinstance(comment, dict) else comment
        self.receivers = list(receivers or [])
        self.raw_initial = raw_initial
        self.raw_invalid = raw_invalid
        self._attribute_count = 0
        self._dbc, self._spn, self._encode_limits = dbc_specifics, _UNREAD if spn is None else spn, None
        self.is_multiplexer = bool(is_multiplexer)
        self.multiplexer_signal = multiplexer_signal
        self.decodable = True
        self._mux_ranges = _merged((value, value) for value in multiplexer_ids or ())
        self._multiplexer_ids = list(multiplexer_ids) if multiplexer_ids else None
        self.choices = None
        self._choice_raw = {}
        table = given(choices, "choices", None)
        if table:
            self.choices = {value: NamedSignalValue(value, str(text)) for value, text in table.items()}
            for value, choice in self.choices.items():
                self._choice_raw.setdefault(choice.name, value)
        self._integer_scaling = not self.is_float and _integral(self.scale) and _integral(self.offset)
        if initial is not None and raw_initial is None:
            self.initial = initial

    @classmethod
    def _of_library(cls, handle, info, names_by_handle, opened):
        signal = cls.__new__(cls)
        signal._read(handle, info, names_by_handle, opened)
        return signal

    def _read(self, handle, info, names_by_handle, opened):
        self._handle = handle
        self._opened = opened
        self._cname = info.name
        self._cname_pointer = ctypes.c_char_p(self._cname)  # kept alive: its address goes into cxl_raw_value
        self._cname_address = ctypes.cast(self._cname_pointer, ctypes.c_void_p).value
        self.name = _lib.text(info.name)
        self.start = info.start_bit
        self.length = info.length
        self.byte_order = "big_endian" if info.byte_order == _lib.BYTE_ORDER_BIG_ENDIAN else "little_endian"
        self._value_type = info.value_type
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
        details = _lib.SignalDetails()
        lib.cxl_get_signal_details(handle, byref(details))
        self.raw_initial = extras.number(details.start_value) if details.has_start_value else None
        if self.is_float:  # the sign the file gives, as the familiar toolkit reports it
            self.is_signed = bool(details.float_signed)
        self._attribute_count = details.attribute_count
        self.raw_invalid = None
        self._dbc = self._encode_limits = None
        self._spn = _UNREAD
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
                lib.cxl_signal_value_text_as_written(handle, i, byref(raw), byref(label))
                value = raw.value if self._value_type == _lib.VALUE_SIGNED or raw.value >= 0 else raw.value + _TWO_TO_64
                self.choices[value] = NamedSignalValue(value, _lib.text(label.value))
                self._choice_raw.setdefault(self.choices[value].name, value)
        self._integer_scaling = not self.is_float and _integral(self.scale) and _integral(self.offset)

    @property
    def initial(self):
        """The start value (GenSigStartValue) scaled, or None."""
        if self.raw_initial is None:
            return None
        if self._integer_scaling and isinstance(self.raw_initial, int):
            return self.raw_initial * int(self.scale) + int(self.offset)
        return self.raw_initial * self.scale + self.offset

    @initial.setter
    def initial(self, value):
        self.raw_initial = None if value is None else extras.number((value - self.offset) / self.scale)

    @property
    def conversion(self):
        """Scale, offset, choices and is_float together (read only), as the familiar toolkit's conversion
        object has them."""
        return _Conversion(self.scale, self.offset, self.choices, self.is_float)

    @property
    def dbc(self):
        """The signal's attributes (DbcExtras)."""
        if self._dbc is None and self._opened is not None:
            read = lambda i, item: lib.cxl_signal_attribute(self._handle, i, item)  # noqa: E731
            self._dbc = extras.object_extras(self._opened, read, self._attribute_count)
        return self._dbc

    @dbc.setter
    def dbc(self, value):
        self._dbc = value

    @property
    def spn(self):
        """The J1939 parameter number (the SPN attribute, or its default), or None."""
        if self._spn is _UNREAD:
            self._spn = None if self.dbc is None else extras.value_of(self.dbc, "SPN")
        return self._spn

    @spn.setter
    def spn(self, value):
        self._spn = value

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

    def _speedup_plan(self, ranges):
        """This signal as the compiled module's plan takes it."""
        name, kind, choices, scale, offset, _ = self._decode_plan()
        kind = {_PHYSICAL: 0, _RAW: 1, _SCALED: 2}[kind]
        limits = (None, None) if self.minimum is None else (self.minimum, self.maximum)
        return (
            name,
            self._cname,
            choices,
            kind,
            self._value_type,
            self.length,
            scale,
            offset,
            self.scale,
            self.offset,
            *limits,
            ranges,
        )

    def _decode_plan(self):
        """What decoding needs of this signal, as one tuple (read once per frame)."""
        unpack_float = None
        if self.is_float:
            unpack_float = struct.Struct("<f" if self.length == 32 else "<d")
        if not self._integer_scaling:
            return (self.name, _PHYSICAL, self.choices, None, None, unpack_float)
        scale, offset = int(self.scale), int(self.offset)
        return (self.name, _RAW if (scale, offset) == (1, 0) else _SCALED, self.choices, scale, offset, None)

    def _raw(self, value, scaling, strict):
        """The field bits (as cxl_raw_value takes them) of a value: a number, a value-table text or a
        NamedSignalValue (its own number). With ``strict`` a number outside minimum..maximum raises EncodeError
        unless it is a value-table entry; without, it is clamped."""
        kind = type(value)
        if scaling and (kind is float or (kind is int and not self._integer_scaling)) and not self.is_float:
            # The usual call, kept short: a number within the limits of an integer signal.
            low, high, field_low, field_high = self._encode_limits or self._make_encode_limits()
            raw = round((value - self.offset) / self.scale) if value == value and abs(value) < 1e300 else None
            if raw is not None and low <= value <= high and field_low <= raw <= field_high:
                return raw & 0xFFFFFFFFFFFFFFFF
        if isinstance(value, NamedSignalValue):
            raw = value.value
        elif isinstance(value, str):
            if value not in self._choice_raw:
                raise EncodeError(f"signal '{self.name}' has no value-table entry '{value}'")
            raw = self._choice_raw[value]
        else:
            try:
                raw, physical = self._scaled_to_raw(value) if scaling else (value, value * self.scale + self.offset)
                if not self.is_float:
                    raw = round(raw)
            except (TypeError, ValueError, OverflowError) as error:
                raise EncodeError(f"signal '{self.name}': {error}") from None
            if self.choices is None or raw not in self.choices:
                raw = self._limited(raw, physical, strict)
        return self._field_bits(raw)

    def _make_encode_limits(self):
        margin = abs(self.scale) * 1e-6
        low = -math.inf if self.minimum is None else self.minimum - margin
        high = math.inf if self.maximum is None else self.maximum + margin
        bits = self.length
        field = (-(1 << (bits - 1)), (1 << (bits - 1)) - 1) if self.is_signed else (0, (1 << bits) - 1)
        self._encode_limits = (low, high) + field
        return self._encode_limits

    def _scaled_to_raw(self, value):
        if self._integer_scaling and isinstance(value, int):
            quotient, remainder = divmod(value - int(self.offset), int(self.scale))
            if remainder == 0:
                return quotient, value
        return (value - self.offset) / self.scale, value

    def _limited(self, raw, physical, strict):
        margin = abs(self.scale) * 1e-6
        low = None if self.minimum is None else self.minimum - margin
        high = None if self.maximum is None else self.maximum + margin
        if (low is None or physical >= low) and (high is None or physical <= high):
            return raw
        if strict:
            raise EncodeError(
                f"signal '{self.name}': value {physical} is outside its range [{self.minimum}, {self.maximum}]"
            )
        physical = min(max(physical, self.minimum), self.maximum)
        raw = (physical - self.offset) / self.scale
        return raw if self.is_float else round(raw)

    def _field_bits(self, raw):
        if self.is_float:
            try:
                bits = struct.pack("<f" if self.length == 32 else "<d", raw)
            except (OverflowError, struct.error):
                raise EncodeError(f"signal '{self.name}': {raw} does not fit a {self.length}-bit float") from None
            return int.from_bytes(bits, "little")
        low, high = (
            (-(1 << (self.length - 1)), (1 << (self.length - 1)) - 1) if self.is_signed else (0, (1 << self.length) - 1)
        )
        if not low <= raw <= high:
            raise EncodeError(f"signal '{self.name}': raw value {raw} does not fit its {self.length} bits")
        return raw & 0xFFFFFFFFFFFFFFFF

    def __repr__(self):
        n = extras.number
        limits = [None if v is None else n(v) for v in (self.minimum, self.maximum)]
        return (
            f"signal('{self.name}', {self.start}, {self.length}, '{self.byte_order}', {self.is_signed}, "
            f"{self.raw_initial}, {n(self.scale)}, {n(self.offset)}, {limits[0]}, {limits[1]}, '{self.unit}', "
            f"{self.is_multiplexer}, {self.multiplexer_ids}, {self.choices}, {self.spn}, {_comments(self.comment)})"
        )


class Message:
    """A message: its ID, length, senders, cycle time and signals, and decoding and encoding of its frames.

    Made with the familiar toolkit's keywords it belongs to no database yet: decoding or encoding it first makes
    a database of it alone; put into a Database (``Database(messages=...)``, ``db.messages.append``) it is
    written with it and, after ``refresh()``, one of its messages."""

    def __init__(
        self,
        frame_id,
        name,
        length,
        signals,
        contained_messages=None,
        header_id=None,
        header_byte_order="big_endian",
        unused_bit_pattern=0,
        comment=None,
        senders=None,
        send_type=None,
        cycle_time=None,
        dbc_specifics=None,
        autosar_specifics=None,
        is_extended_frame=False,
        is_fd=False,
        bus_name=None,
        signal_groups=None,
        strict=True,
        protocol=None,
        sort_signals="default",
    ):
        if sort_signals == "default":
            sort_signals = sort_signals_by_start_bit
        if frame_id.bit_length() > (29 if is_extended_frame else 11):
            kind, bits = ("Extended", 29) if is_extended_frame else ("Standard", 11)
            raise Error(f"{kind} frame id 0x{frame_id:x} is more than {bits} bits in message {name}.")
        self._database = self._handle = self._index = self._fast = None
        self.name, self.frame_id, self.length = name, frame_id, length
        self.is_extended_frame, self.is_fd = bool(is_extended_frame), bool(is_fd)
        self.comment = comment.get(None) if isinstance(comment, dict) else comment
        self.senders = list(senders or [])
        self.send_type, self.cycle_time, self.protocol, self.bus_name = send_type, cycle_time, protocol, bus_name
        self.signal_groups = list(signal_groups or [])
        self._dbc, self._attribute_count = dbc_specifics, 0
        self._strict = strict
        self._signals = list(signals)
        self.signals = list(self._signals) if sort_signals is None else sort_signals(list(self._signals))
        self._signals_by_name = {signal.name: signal for signal in reversed(self._signals)}
        self._multiplexed = any(signal.is_multiplexer for signal in self._signals)
        self._branches, self._switches = {}, []
        message_layout.check(self, strict)

    def _library_made(self):
        """Makes a database of this message alone and becomes its message (the first decoding or encoding of a
        message made with keywords)."""
        database = Database(messages=[self], strict=self._strict)
        database.refresh()

    @classmethod
    def _of_library(cls, opened, handle, database=None):
        message = cls.__new__(cls)
        message._read(opened, handle, database)
        return message

    def _read(self, opened, handle, database):
        self._database = opened  # keeps the library's database open while the message lives
        self._handle = handle
        info = _lib.MessageInfo()
        lib.cxl_get_message_info(handle, byref(info))
        self.name = _lib.text(info.name)
        self._index = info.index  # in the library's database
        self.frame_id = info.id
        self.is_extended_frame = bool(info.extended)
        self.is_fd = bool(info.fd)
        self.length = info.length
        self.comment = _nonempty(info.comment)
        # A cycle time of 0 (often the default) is none, as cantools has it.
        self.cycle_time = None if info.cycle_time_ms <= 0 else info.cycle_time_ms
        self.senders = [_lib.text(lib.cxl_message_sender(handle, i)) for i in range(info.sender_count)]
        self._multiplexed = bool(info.multiplexed)
        details = _lib.MessageDetails()
        lib.cxl_get_message_details(handle, byref(details))
        self.send_type = _nonempty(details.send_type)
        self.protocol = "j1939" if details.j1939 else None
        self.signal_groups = []
        group = _lib.SignalGroup()
        for g in range(details.signal_group_count):
            lib.cxl_get_signal_group(handle, g, byref(group))
            members = [_lib.text(lib.cxl_signal_group_member(handle, g, k)) for k in range(group.signal_count)]
            self.signal_groups.append(extras.SignalGroup(_lib.text(group.name), group.repetitions, members))
        self._attribute_count = details.attribute_count
        self._dbc = None
        bus = None if database is None else extras.bus_of(database.dbc)
        self.bus_name = None if bus is None else bus.name
        handles = [lib.cxl_signal_at(handle, i) for i in range(info.signal_count)]
        names_by_handle = {}
        infos = []
        for signal_handle in handles:
            signal_info = _lib.SignalInfo()
            lib.cxl_get_signal_info(signal_handle, byref(signal_info))
            names_by_handle[signal_handle] = _lib.text(signal_info.name)
            infos.append(signal_info)
        # In the library's order, which decoding follows.
        self._signals = [Signal._of_library(h, i, names_by_handle, opened) for h, i in zip(handles, infos)]
        if database is not None and database._prune_choices:
            for signal in self._signals:
                _prune_choices(signal)
        sort_signals = sort_signals_by_start_bit if database is None else database._sort_signals
        self.signals = list(self._signals) if sort_signals is None else sort_signals(list(self._signals))
        self._signals_by_name = {}
        for signal in self._signals:
            self._signals_by_name.setdefault(signal.name, signal)
        self._plan = [signal._decode_plan() for signal in self._signals]
        self._values_size = _VALUE.size * max(1, len(self._signals))
        # present, raw (signed signals sign-extended) and physical of each cxl_value, in one unpack
        skip_text = f"{struct.calcsize('P')}x"
        self._fields = struct.Struct(
            "@" + "".join(f"i4x{'q' if s._value_type == _lib.VALUE_SIGNED else 'Q'}d{skip_text}" for s in self._signals)
        )
        assert self._fields.size == _VALUE.size * len(self._signals), "cxl_value layout"
        # Each switch with branches: its place among the fields and the ranges its branches cover.
        branches = {}
        for signal in self._signals:
            if signal.multiplexer_signal is not None and signal._mux_ranges:
                branches.setdefault(signal.multiplexer_signal, set()).update(signal._mux_ranges)
        for signal in self._signals:  # a switch's value-table entries choose branches too, empty ones maybe
            if signal.is_multiplexer and signal.choices and signal.name in branches:
                branches[signal.name].update((value, value) for value in signal.choices)
        self._branches = {name: _merged(ranges) for name, ranges in branches.items()}
        self._fast = None
        if _lib.speedups is not None:
            self._fast = _lib.speedups.plan(
                handle, self.length, [s._speedup_plan(self._branches.get(s.name)) for s in self._signals]
            )
        self._switches = [
            (3 * i, signal.name, self._branches[signal.name])
            for i, signal in enumerate(self._signals)
            if signal.name in branches
        ]

    @property
    def dbc(self):
        """The message's attributes (DbcExtras)."""
        if self._dbc is None and self._database is not None:
            read = lambda i, item: lib.cxl_message_attribute(self._handle, i, item)  # noqa: E731
            self._dbc = extras.object_extras(self._database, read, self._attribute_count)
        return self._dbc

    @dbc.setter
    def dbc(self, value):
        self._dbc = value

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
        if self._handle is None:
            self._library_made()
        if type(data) is not bytes:
            data = bytes(data)
        if scaling and self._fast is not None:
            decoded = self._fast.decode(data, decode_choices)
            if decoded is not None:
                return decoded
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
        for place, name, ranges in self._switches:
            if fields[place] and not any(low <= fields[place + 1] <= high for low, high in ranges):
                raise DecodeError(f"expected multiplexer id {_ids_text(ranges)}, but got {fields[place + 1]}")
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
        minimum..maximum (a value-table entry excepted), a name the message does not have or a signal of a
        branch the switches do not choose raises EncodeError; without, values are clamped and such names
        ignored. Integers are encoded exactly, however wide. ``padding`` sets the bits no signal writes to 1."""
        if self._handle is None:
            self._library_made()
        if scaling and strict and self._fast is not None:
            payload = self._fast.encode(data, padding)
            if payload is not None:
                return payload
        given = []
        for name, value in data.items():
            signal = self._signals_by_name.get(name)
            if signal is None:
                if strict:
                    raise EncodeError(f"message '{self.name}' has no signal '{name}'")
                continue
            given.append((signal, signal._raw(value, scaling, strict)))
        for signal, raw in given:
            ranges = self._branches.get(signal.name)
            if ranges is not None and not any(low <= raw <= high for low, high in ranges):
                raise EncodeError(
                    f'A valid value for the multiplexer selector signal "{signal.name}" is required: '
                    f"Expected one of {{{_ids_text(ranges)}}}, but got {raw}"
                )
        payload = ctypes.create_string_buffer(b"\xff" * self.length if padding else self.length, self.length)
        report = _lib.EncodeReport()
        while True:
            values = ctypes.create_string_buffer(_lib.RAW_VALUE_SIZE * max(1, len(given)))
            struct.pack_into("@" + "PQ" * len(given), values, 0, *[f for s, r in given for f in (s._cname_address, r)])
            status = lib.cxl_encode_raw(self._handle, values, len(given), 0, payload, self.length, byref(report))
            if status == _lib.ERR_NOT_CARRIED and report.signal and not strict:
                given = [(s, r) for s, r in given if s._handle != report.signal]
                continue
            break
        if status:
            reason = _lib.text(report.text) or _lib.status_text(status)
            raise EncodeError(f"message '{self.name}': {reason}")
        return payload.raw[: self.length]

    @property
    def signal_tree(self):
        """The signals as a tree: names, and for each switch {switch: {value: [its branch's tree]}}."""
        return self._tree(None, None)

    def _tree(self, switch, value):
        tree = []
        for signal in self.signals:
            if signal.multiplexer_signal != switch or (switch is not None and value not in signal.multiplexer_ids):
                continue
            if signal.is_multiplexer:
                values = {
                    v for s in self.signals if s.multiplexer_signal == signal.name for v in s.multiplexer_ids or ()
                }
                values = sorted(values | set(signal.choices or ()) if values else values)
                tree.append({signal.name: {v: self._tree(signal.name, v) for v in values}})
            else:
                tree.append(signal.name)
        return tree

    def assert_signals_encodable(self, input_data, scaling, assert_values_valid=True, assert_all_known=True):
        """Raises EncodeError unless the values encode (checked as strictly as asked)."""
        if not isinstance(input_data, dict):
            raise EncodeError(f"message '{self.name}': the values must be a dict of signal names")
        self.encode(input_data, scaling=scaling, strict=assert_values_valid and assert_all_known)

    def __repr__(self):
        frame = f"0x{self.frame_id:x}, {self.is_extended_frame}, {self.length}"
        return f"message('{self.name}', {frame}, {_comments(self.comment)})"


class _Opened:
    """A library database handle, closed when the last Database or Message using it is gone."""

    __slots__ = ("handle", "definitions")

    def __init__(self, handle):
        self.handle = handle
        self.definitions = None  # attribute definitions, read when first asked for

    def __del__(self):
        if self.handle is not None and lib is not None:
            lib.cxl_close(self.handle)
            self.handle = None


def _text_of(source, encoding=None):
    """The UTF-8 bytes of a database text: str as it is; bytes decoded with ``encoding`` (bad bytes replaced), else
    as UTF-8 when the whole text is valid UTF-8, else as cp1252 (Latin-1 for its five unassigned bytes)."""
    if isinstance(source, str):
        return source.encode("utf-8", "surrogateescape")
    source = bytes(source)
    if encoding is not None:
        return source.decode(encoding, "replace").encode("utf-8")
    try:
        source.decode("utf-8")
        return source
    except UnicodeDecodeError:
        pass
    return "".join(_CP1252[byte] for byte in source).encode("utf-8") if source else source


_CP1252 = [bytes([b]).decode("cp1252", "ignore") or chr(b) for b in range(256)]


def sort_signals_by_start_bit(signals):
    """Signals in the order of their first bit in the payload (big-endian ones by their most significant bit)."""
    return sorted(signals, key=_start_bit)


def _start_bit(signal):
    if signal.byte_order == "big_endian":
        return 8 * (signal.start // 8) + (7 - signal.start % 8)
    return signal.start


def sort_signals_by_name(signals):
    return sorted(signals, key=lambda signal: signal.name)


def sort_choices_by_value(choices):
    return dict(sorted(choices.items()))


class Database:
    """Messages, nodes and version of one or more database texts, opened as one library database.

    ``Database()`` is empty; ``add_dbc_file``, ``add_dbc`` and ``add_dbc_string`` add the messages of a text (the
    nodes and version become the text's). A message found again by name or frame ID replaces the earlier one in
    the lookups. ``frame_id_mask`` masks frame IDs in the lookups; ``sort_signals`` orders each message's signals
    (by start bit unless given, file order with None). Once built, any number of threads may decode and encode
    with it at once. Pickling a Database pickles its source texts; the receiving process opens them again."""

    def __init__(
        self,
        messages=None,
        nodes=None,
        buses=None,
        version=None,
        dbc_specifics=None,
        autosar_specifics=None,
        frame_id_mask=None,
        strict=True,
        sort_signals=sort_signals_by_start_bit,
        prune_choices=False,
    ):
        self._strict = strict
        self._frame_id_mask = 0xFFFFFFFF if frame_id_mask is None else frame_id_mask
        self._sort_signals = sort_signals
        self._prune_choices = prune_choices
        self._sources = []  # (UTF-8 text, format) of each text added
        self.filename = None
        self._open([])
        # Made with the familiar toolkit's keywords: written from these objects (and built by refresh()).
        self._messages = list(messages or [])
        self.nodes = list(nodes or [])
        self.version = version
        self._dbc = dbc_specifics
        self._library_lookups = not self._messages

    @classmethod
    def _from_text(cls, text, database_format, strict, filename=None, **keywords):
        database = cls(strict=strict, **keywords)
        database._add(text, database_format, filename)
        return database

    def _add(self, text, database_format, filename=None):
        if database_format not in _FORMATS:
            raise UnsupportedDatabaseFormatError(f"database format {database_format!r}: expected 'dbc' or 'zcd'")
        self._open(self._sources + [(text, database_format)], filename)
        self.filename = filename

    def add_dbc_string(self, string):
        self._add(_text_of(string), "dbc")

    def add_dbc(self, fp):
        self.add_dbc_string(fp.read())

    def add_dbc_file(self, filename, encoding=None):
        with open(filename, "rb") as file:
            self._add(_text_of(file.read(), encoding), "dbc", os.fspath(filename))

    def add_zcd_string(self, string):
        self._add(_text_of(string), "zcd")

    def add_zcd_file(self, filename, encoding=None):
        with open(filename, "rb") as file:
            self._add(_text_of(file.read(), encoding), "zcd", os.fspath(filename))

    def _open(self, sources, filename=None, diagnostics=()):
        where = filename or "<string>"
        array = (_lib.Source * max(1, len(sources)))(*[(text, len(text), _FORMATS[kind]) for text, kind in sources])
        handle = ctypes.c_void_p()
        status = lib.cxl_open_sources(array, len(sources), byref(handle))
        diagnostics = list(diagnostics)
        if status == _lib.ERR_FORMAT:
            not_text = Diagnostic("error", 0, 0, _lib.status_text(status))
            if self._strict:
                raise ParseError(f"{where}, line 0, column 0: {not_text.text}", diagnostics=[not_text])
            sources = [(b"", "dbc") if text.find(b"\0") >= 0 else (text, kind) for text, kind in sources]
            return self._open(sources, filename, [not_text])
        if status == _lib.ERR_NO_MEMORY:
            raise MemoryError(f"{where}: {_lib.status_text(status)}")
        if status:
            raise ParseError(f"{where}: {_lib.status_text(status)}")
        opened = _Opened(handle.value)
        self._take(opened, sources, diagnostics, filename)

    @classmethod
    def _over(cls, opened):
        """A Database over an open library database (its messages in the library's order)."""
        database = cls(sort_signals=None, strict=False)
        database._take(opened, [(b"", "dbc")], [])
        return database

    def _take(self, opened, sources, diagnostics, filename=None):
        """Makes the open library database this Database's (strict loading refuses what its diagnostics say)."""
        where = filename or "<string>"
        diagnostics += _read_diagnostics(opened.handle)
        refused = [d for d in diagnostics[len(getattr(self, "diagnostics", ())) :] if d.refused_when_strict]
        if self._strict and refused:
            first = refused[0]
            place = f"{where}, line {first.line}, column {first.column}"
            own = f"{place}: {first.text}"
            sentence = _strict_sentence(first.text, opened.handle)
            raise ParseError(
                sentence or own, first.line, first.column, diagnostics, filename, own if sentence else None
            )
        self._opened, self._handle, self._sources, self.diagnostics = opened, opened.handle, sources, diagnostics
        info = _lib.DatabaseInfo()
        lib.cxl_get_database_info(self._handle, byref(info))
        self.version = _lib.text(info.version) if sources else None
        self.comment = _nonempty(info.comment)
        self.nodes = []
        node = _lib.NodeInfo()
        for i in range(info.node_count):
            lib.cxl_get_node_info(self._handle, i, byref(node))
            self.nodes.append(Node._of_library(_lib.text(node.name), _nonempty(node.comment), opened, i))
        self._dbc = None
        self._largest_signal_count = info.largest_signal_count
        self._messages = [None] * info.message_count
        self._lookups = None
        # The library's own lookups agree with cantools' (the last of a name or ID) while no name or ID is
        # given twice and IDs are not masked; they spare a large database dictionaries of every message.
        self._library_lookups = (
            len(sources) <= 1
            and self._frame_id_mask == 0xFFFFFFFF
            and not any(d.topic == "duplicate" for d in diagnostics)
        )
        self._found = {}  # decode_message's and encode_message's keys -> Message

    @property
    def messages(self):
        """The messages of every text added, in order; each made when first asked for."""
        return _Messages(self)

    def _message_at(self, index):
        message = self._messages[index]
        if message is None:
            message = Message._of_library(self._opened, lib.cxl_message_at(self._handle, index), self)
            self._messages[index] = message
        return message

    def _index_of_name(self, name):
        if self._library_lookups:
            handle = lib.cxl_find_message_by_name(self._handle, name.encode("utf-8", "surrogateescape"))
            return None if not handle else self._index_of_handle(handle)
        return (self._lookups or self._build_lookups())[0].get(name)

    def _index_of_key(self, key):
        if self._library_lookups:
            handle = lib.cxl_find_message(self._handle, key & 0x7FFFFFFF, key >> 31)
            return None if not handle else self._index_of_handle(handle)
        return (self._lookups or self._build_lookups())[1].get(key)

    def _index_of_handle(self, handle):
        info = _lib.MessageInfo()
        lib.cxl_get_message_info(handle, byref(info))
        return info.index

    def _build_lookups(self):
        by_name, by_key = {}, {}
        info = _lib.MessageInfo()
        for index, made in enumerate(self._messages):
            if made is None:
                lib.cxl_get_message_info(lib.cxl_message_at(self._handle, index), byref(info))
                name, frame_id, extended = _lib.text(info.name), info.id, info.extended
            else:  # as its attributes now are
                name, frame_id, extended = made.name, made.frame_id, made.is_extended_frame
            by_name[name] = index
            by_key[self._key(frame_id, extended)] = index
        self._lookups = by_name, by_key
        return self._lookups

    def _key(self, frame_id, extended):
        """cantools' lookup key: the masked ID, bit 31 for extended."""
        return (frame_id & self._frame_id_mask) | (0x80000000 if extended else 0)

    def refresh(self):
        """Rebuilds the library's database from the messages and signals as they now are (names, IDs, lengths,
        layout, scaling, limits, choices, comments, senders, receivers, cycle times, start values), so that
        lookups, decoding and encoding follow them."""
        if not dbc_writing.edited(self):
            return
        text = self.as_dbc_string().encode("utf-8", "surrogateescape")
        made = [message for message in self._messages if message is not None]
        self._open([(text, "dbc")], self.filename)
        # The message objects a caller holds stay the database's, made afresh inside (found by the name written).
        for message in made:
            index = self._index_of_name(dbc_writing._dbc_name(message.name))
            if index is not None:
                message.__dict__ = self._message_at(index).__dict__
                self._messages[index] = message

    def _differences(self, other, *, tolerance=1e-12, include_format_specifics=True):
        """What differs between this database and another, as cantools reports it: a list of dicts with the
        path, both values and the reason; empty when they say the same."""
        differences = []

        def differ(path, mine, theirs, reason):
            differences.append({"path": path, "self": str(mine), "other": str(theirs), "reason": reason})

        def compare(path, mine, theirs):
            if isinstance(mine, float) or isinstance(theirs, float):
                if mine is None or theirs is None or abs(mine - theirs) > tolerance * max(1.0, abs(mine)):
                    differ(path, mine, theirs, "value-mismatch")
            elif mine != theirs:
                differ(path, mine, theirs, "value-mismatch")

        compare(".version", self.version or "", other.version or "")
        compare(".nodes", [(n.name, n.comment) for n in self.nodes], [(n.name, n.comment) for n in other.nodes])
        if len(self.messages) != len(other.messages):
            differ(".messages", len(self.messages), len(other.messages), "length-mismatch")
        for mine, theirs in zip(self.messages, other.messages):
            where = f".messages[{mine.name}]"
            for name in _MESSAGE_FIELDS:
                compare(f"{where}.{name}", getattr(mine, name), getattr(theirs, name))
            if len(mine.signals) != len(theirs.signals):
                differ(f"{where}.signals", len(mine.signals), len(theirs.signals), "length-mismatch")
            # Signals of one start bit come in either order.
            by_name = sorted(mine.signals, key=lambda signal: signal.name)
            for a, b in zip(by_name, sorted(theirs.signals, key=lambda signal: signal.name)):
                for name in _SIGNAL_FIELDS:
                    compare(f"{where}.signals[{a.name}].{name}", getattr(a, name), getattr(b, name))
                compare(
                    f"{where}.signals[{a.name}].choices",
                    None if a.choices is None else {k: str(v) for k, v in a.choices.items()},
                    None if b.choices is None else {k: str(v) for k, v in b.choices.items()},
                )
        return differences

    def as_dbc_string(
        self,
        sort_signals="default",
        sort_attribute_signals="default",
        sort_attributes=None,
        sort_choices=None,
        shorten_long_names=True,
    ):
        """The database as DBC text, as its objects now are, in the library's layout. As the familiar toolkit has
        them: ``sort_attribute_signals`` orders the signals that comments, attributes and value texts name (a
        function of a message's signals; "default" or None for the order of the signal lines),
        ``sort_attributes`` the attribute values (a function of a list of (kind, attribute, node, message,
        signal, environment variable)), ``sort_choices`` each value table (a function of a signal's choices;
        None for the highest value first), and ``shorten_long_names=False`` writes names over 32 characters
        whole, with no long-name attribute. ``sort_signals`` orders the signal lines likewise ("default" or None
        for the database's order)."""
        flags = 0 if shorten_long_names else _lib.WRITE_LONG_NAMES
        if sort_choices is not None:
            flags |= _lib.WRITE_VALUE_TEXTS_AS_GIVEN
        line_signals = None if sort_signals in ("default", None) else sort_signals
        attribute_signals = None if sort_attribute_signals in ("default", None) else sort_attribute_signals
        written = self
        if dbc_writing.edited(self) or sort_choices is not None:
            written = Database._over(_Opened(dbc_writing.finished_handle(self, sort_choices).value))
        orders = ()
        if line_signals is not None or attribute_signals is not None or sort_attributes is not None:
            orders = dbc_writing.orders(
                written, line_signals, attribute_signals, sort_attributes, not shorten_long_names
            )
        return dbc_writing.dbc_text(written._handle, flags, *orders)

    @property
    def dbc(self):
        """Attributes of the network, attribute definitions and environment variables (DbcExtras)."""
        if self._dbc is None:
            self._dbc = extras.database_extras(self._opened)
        return self._dbc

    @property
    def buses(self):
        bus = extras.bus_of(self.dbc, self.comment)
        return [] if bus is None else [bus]

    def get_message_by_name(self, name):
        index = self._index_of_name(name)
        if index is None:
            raise KeyError(name)
        return self._message_at(index)

    def get_message_by_frame_id(self, frame_id, force_extended_id=False):
        """The message of this frame ID: extended when forced or over 0x7FF, else standard, else extended."""
        extended = force_extended_id or frame_id > 0x7FF
        key = self._key(frame_id, extended)
        index = self._index_of_key(key)
        if index is None and not extended:
            index = self._index_of_key(self._key(frame_id, True))
        if index is None:
            raise KeyError(key)
        return self._message_at(index)

    def find_message(self, frame_id, is_extended_frame):
        """The message with this ID and kind (standard or extended), or None."""
        index = self._index_of_key(self._key(frame_id, is_extended_frame))
        return None if index is None else self._message_at(index)

    def _message(self, frame_id_or_name, force_extended_id=False):
        if isinstance(frame_id_or_name, str):
            message = self.get_message_by_name(frame_id_or_name)
        else:
            message = self.get_message_by_frame_id(frame_id_or_name, force_extended_id)
        # Remembered for the next call with the same key, as long as the keys are few.
        if not force_extended_id and len(self._found) < 4 * len(self._messages) + 64:
            self._found[frame_id_or_name] = message
        return message

    def decode_message(
        self,
        frame_id_or_name,
        data,
        decode_choices=True,
        scaling=True,
        decode_containers=False,
        allow_truncated=False,
        allow_excess=True,
        force_extended_id=False,
    ):
        """Message.decode of the message with this frame ID (a can.Message's arbitration_id as it is) or name."""
        message = None if force_extended_id else self._found.get(frame_id_or_name)
        if message is None:
            message = self._message(frame_id_or_name, force_extended_id)
        elif scaling and message._fast is not None and type(data) is bytes:
            decoded = message._fast.decode(data, decode_choices)
            if decoded is not None:
                return decoded
        return message.decode(data, decode_choices, scaling, decode_containers, allow_truncated, allow_excess)

    def encode_message(self, frame_id_or_name, data, scaling=True, padding=False, strict=True, force_extended_id=False):
        """Message.encode of the message with this frame ID or name."""
        message = None if force_extended_id else self._found.get(frame_id_or_name)
        if message is None:
            message = self._message(frame_id_or_name, force_extended_id)
        elif scaling and strict and message._fast is not None:
            payload = message._fast.encode(data, padding)
            if payload is not None:
                return payload
        return message.encode(data, scaling, padding, strict)

    def decode_frames(self, frame_ids, data, lengths=None, extended=None, timestamps=None):
        """Decodes many frames in one call into numpy columns: see canxlate.batch.decode_frames."""
        from .batch import decode_frames

        return decode_frames(self, frame_ids, data, lengths=lengths, extended=extended, timestamps=timestamps)

    def __reduce__(self):
        keywords = {
            "frame_id_mask": self._frame_id_mask,
            "strict": self._strict,
            "sort_signals": self._sort_signals,
            "prune_choices": self._prune_choices,
        }
        sources = self._sources
        if dbc_writing.edited(self):  # as its objects now are
            sources = [(self.as_dbc_string().encode("utf-8", "surrogateescape"), "dbc")]
        return (_reopen, (sources, self.filename, keywords))

    def __repr__(self):
        """The version, the nodes and each message with its signals, a line each, groups apart."""
        lines = [f"version('{self.version}')", ""]
        if self.nodes:
            lines += [repr(node) for node in self.nodes] + [""]
        for message in self.messages:
            lines += [repr(message)] + [f"  {signal!r}" for signal in message.signals] + [""]
        return "\n".join(lines)


def _reopen(sources, filename, keywords):
    database = Database(**keywords)
    database._open(sources, filename)
    database.filename = filename
    return database


# What _differences compares of each message and signal.
_MESSAGE_FIELDS = (
    "name",
    "frame_id",
    "is_extended_frame",
    "is_fd",
    "length",
    "comment",
    "cycle_time",
    "senders",
    "send_type",
    "protocol",
)
_SIGNAL_FIELDS = (
    "name",
    "start",
    "length",
    "byte_order",
    "is_signed",
    "is_float",
    "scale",
    "offset",
    "minimum",
    "maximum",
    "unit",
    "comment",
    "receivers",
    "is_multiplexer",
    "multiplexer_ids",
    "multiplexer_signal",
    "raw_initial",
    "spn",
)


class _Messages(collections.abc.MutableSequence):
    """A database's messages as a list, each made into a Message when first asked for. Changing the list (append,
    insert, remove ...) changes what is written and, after ``refresh()``, what the database holds."""

    __slots__ = ("_database",)

    def __init__(self, database):
        self._database = database

    def __len__(self):
        return len(self._database._messages)

    def __getitem__(self, index):
        if isinstance(index, slice):
            return [self[i] for i in range(*index.indices(len(self)))]
        count = len(self)
        if index < 0:
            index += count
        if not 0 <= index < count:
            raise IndexError("message index out of range")
        return self._database._message_at(index)

    def _changing(self):
        database = self._database
        for index in range(len(database._messages)):
            database._message_at(index)
        database._lookups, database._library_lookups, database._found = None, False, {}
        return database._messages

    def __setitem__(self, index, message):
        self._changing()[index] = message

    def __delitem__(self, index):
        del self._changing()[index]

    def insert(self, index, message):
        self._changing().insert(index, message)

    def __eq__(self, other):
        return list(self) == list(other) if isinstance(other, (list, _Messages)) else NotImplemented

    def __repr__(self):
        return repr(list(self))


def _too_wide(name, frame_id, extended):
    kind, bits = ("Extended", 29) if extended else ("Standard", 11)
    return f'DBC: "{kind} frame id 0x{frame_id:x} is more than {bits} bits in message {name}."'


def _standard_read_as_extended(handle, name):
    message = lib.cxl_find_message_by_name(handle, name.encode("utf-8", "surrogateescape"))
    if not message:
        return None
    info = _lib.MessageInfo()
    lib.cxl_get_message_info(message, byref(info))
    return _too_wide(name, info.id, False)


# Refusals of strict loading that the familiar toolkit words its own way: the pattern of the library's text and
# the sentence made of its groups (and of the open database).
_STRICT_SENTENCES = (
    (
        re.compile(r"message '(.*)': ID over 0x7FF without the extended flag"),
        lambda handle, name: _standard_read_as_extended(handle, name),
    ),
    (
        re.compile(r"message '(.*)' skipped: ID (\d+) is not a standard or extended CAN ID"),
        lambda handle, name, raw: _too_wide(name, int(raw) & 0x7FFFFFFF, int(raw) & 0x80000000),
    ),
    (
        re.compile(r"signal '(.*)' shares bits with signal '(.*)' in message '(.*)'"),
        lambda handle, later, earlier, message: f'DBC: "The signals {earlier} and {later} are overlapping in '
        f'message {message}."',
    ),
)


def _strict_sentence(text, handle):
    """The familiar toolkit's sentence for a strict refusal, or None where it has none."""
    for pattern, sentence in _STRICT_SENTENCES:
        match = pattern.match(text)
        if match is not None:
            return sentence(handle, *match.groups())
    return None


def _read_diagnostics(handle):
    diagnostics = []
    item = _lib.Diagnostic()
    for i in range(lib.cxl_diagnostic_count(handle)):
        lib.cxl_get_diagnostic(handle, i, byref(item))
        severity = _SEVERITIES.get(item.severity, "error")
        topic = _lib.TOPICS[item.topic] if 0 <= item.topic < len(_lib.TOPICS) else "other"
        diagnostics.append(Diagnostic(severity, item.line, item.column, _lib.text(item.text), topic))
    return diagnostics


_NOT_GIVEN = object()
_LOAD_FORMATS = ("dbc", "zcd", None)


def _keywords(frame_id_mask, prune_choices, strict, sort_signals):
    keywords = {"frame_id_mask": frame_id_mask, "prune_choices": prune_choices, "strict": strict}
    if sort_signals is not _NOT_GIVEN:
        keywords["sort_signals"] = sort_signals
    return keywords


def dump_file(database, filename, database_format="dbc", encoding=None, sort_signals=None):
    """Writes the database to a file as DBC text (cp1252 unless encoding is given, as cantools does)."""
    if database_format not in (None, "dbc"):
        raise Error(f"database format {database_format!r}: only 'dbc' is written")
    with open(filename, "w", encoding=encoding or "cp1252", errors="replace", newline="") as file:
        file.write(database.as_dbc_string(sort_signals=sort_signals))


def load_string(
    string, database_format=None, frame_id_mask=None, prune_choices=False, strict=True, sort_signals=_NOT_GIVEN
):
    """Opens a database from its text (str or bytes).

    With ``strict`` an error among the reader's diagnostics (overlapping signals, a signal outside its
    message, a line that cannot be read) raises ParseError naming the line; otherwise every diagnostic is
    kept in ``Database.diagnostics``."""
    if database_format not in _LOAD_FORMATS:
        raise UnsupportedDatabaseFormatError(f"database format {database_format!r}: expected 'dbc' or 'zcd'")
    text = _text_of(string)
    if not text.strip():
        raise UnsupportedDatabaseFormatError("the text holds no database")
    if database_format is None:
        database_format = "zcd" if text.lstrip()[:1] == b"<" else "dbc"
    return Database._from_text(text, database_format, **_keywords(frame_id_mask, prune_choices, strict, sort_signals))


def load(fp, database_format=None, frame_id_mask=None, prune_choices=False, strict=True, sort_signals=_NOT_GIVEN):
    """Opens a database from a file object (text or binary)."""
    return load_string(fp.read(), database_format, frame_id_mask, prune_choices, strict, sort_signals)


def load_file(
    filename,
    database_format=None,
    encoding=None,
    frame_id_mask=None,
    prune_choices=False,
    strict=True,
    cache_dir=None,
    sort_signals=_NOT_GIVEN,
):
    """Opens a ".dbc" or ".zcd" file (format from the extension unless given). Its bytes are read as UTF-8
    when they all are, else as cp1252, unless ``encoding`` names another. A missing file raises OSError."""
    if database_format not in _LOAD_FORMATS:
        raise UnsupportedDatabaseFormatError(f"database format {database_format!r}: expected 'dbc' or 'zcd'")
    filename = os.fspath(filename)
    with open(filename, "rb") as file:
        source = file.read()
    if database_format is None:
        extension = os.path.splitext(filename)[1].lower()
        database_format = (
            "zcd" if extension == ".zcd" or (extension != ".dbc" and source.lstrip()[:1] == b"<") else "dbc"
        )
    keywords = _keywords(frame_id_mask, prune_choices, strict, sort_signals)
    return Database._from_text(_text_of(source, encoding), database_format, filename=filename, **keywords)
