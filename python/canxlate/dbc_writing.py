"""DBC text of a Database as its objects now are: the library's database copied into a builder, each message and
signal made in Python changed there to match its attributes, then written by the library."""

import ctypes
import re
from ctypes import byref

from . import _lib
from ._lib import lib
from .errors import Error

_OBJECT_MESSAGE = 2
_OBJECT_SIGNAL = 3
_ATTRIBUTE_INT = 0
_ATTRIBUTE_FLOAT = 2


def _encoded(text):
    return None if text is None else str(text).encode("utf-8", "surrogateescape")


def _dbc_name(name):
    """A name as a DBC identifier: other characters become '_', a leading digit gets a '_' before it."""
    name = re.sub(r"\W", "_", str(name), flags=re.ASCII)
    return "_" + name if not name or name[0].isdigit() else name


class _Builder:
    """A builder holding a copy of the library database; every refusal raises Error with the report."""

    def __init__(self, handle):
        self.handle = ctypes.c_void_p()
        status = lib.cxl_builder_copy(handle, byref(self.handle))
        if status:
            raise Error(_lib.status_text(status))
        self.report = _lib.BuildReport()

    def __del__(self):
        lib.cxl_builder_free(self.handle)

    def call(self, function, *arguments):
        status = function(self.handle, *arguments, byref(self.report))
        if status:
            text = self.report.text.decode("utf-8", "replace") if status == _lib.ERR_REFUSED else ""
            raise Error(text or _lib.status_text(status))

    def define(self, name, kind, attribute_type, maximum):
        definition = _lib.AttributeDefinition(_encoded(name), kind, attribute_type, 0, maximum, 0, 0, 0, b"")
        self.call(lib.cxl_builder_define_attribute, byref(definition), None)

    def attribute(self, reference, name, value, kind, attribute_type, maximum, defined):
        if value is None:
            self.call(lib.cxl_builder_remove_attribute, byref(reference), _encoded(name))
            return
        if name not in defined:
            self.define(name, kind, attribute_type, maximum)
            defined.add(name)
        self.call(lib.cxl_builder_set_attribute, byref(reference), _encoded(name), float(value), None)


def _defined(handle):
    details = _lib.DatabaseDetails()
    lib.cxl_get_database_details(handle, byref(details))
    names = set()
    definition = _lib.AttributeDefinition()
    for i in range(details.attribute_definition_count):
        lib.cxl_get_attribute_definition(handle, i, byref(definition))
        names.add(_lib.text(definition.name))
    return names


def _ranges(signal):
    ids = signal.multiplexer_ids
    if not ids:
        return []
    ranges = []
    for value in sorted(ids):
        if ranges and value == ranges[-1][1] + 1:
            ranges[-1][1] = value
        else:
            ranges.append([value, value])
    return ranges


def _in_switch_order(signals):
    """Switches before the signals they switch, so that each names a switch already changed."""
    by_name = {signal.name: signal for signal in signals}
    by_original = {signal._cname: signal for signal in signals}
    done, order = set(), []

    def visit(signal, depth=0):
        if id(signal) in done or depth > len(signals):
            return
        switch = by_name.get(signal.multiplexer_signal) or by_original.get(_encoded(signal.multiplexer_signal))
        if switch is not None and switch is not signal:
            visit(switch, depth + 1)
        done.add(id(signal))
        order.append((signal, switch))

    for signal in signals:
        visit(signal)
    return order


def _change_message(builder, message, original, defined):
    name = _dbc_name(message.name)
    senders = ",".join(_dbc_name(sender) for sender in message.senders)
    spec = _lib.MessageSpec(
        _encoded(name), message.frame_id, message.is_extended_frame, message.length, _encoded(senders)
    )
    builder.call(lib.cxl_builder_change_message, original, byref(spec))
    encoded = _encoded(name)
    reference = _lib.ObjectRef(_OBJECT_MESSAGE, None, encoded, None)
    builder.call(lib.cxl_builder_set_comment, byref(reference), _encoded(message.comment or ""))
    builder.attribute(reference, "GenMsgCycleTime", message.cycle_time, _OBJECT_MESSAGE, _ATTRIBUTE_INT, 65535, defined)
    for signal, switch in _in_switch_order(message._signals):
        _change_signal(builder, encoded, signal, switch, defined)


def _change_signal(builder, message, signal, switch, defined):
    if signal.is_float:
        value_type = _lib.VALUE_SINGLE if signal.length == 32 else _lib.VALUE_DOUBLE
    else:
        value_type = _lib.VALUE_SIGNED if signal.is_signed else _lib.VALUE_UNSIGNED
    ranges = _ranges(signal) if switch is not None else []
    if signal.is_multiplexer:
        role = _lib.MUX_MULTIPLEXED_SWITCH if ranges else _lib.MUX_SWITCH
    else:
        role = _lib.MUX_MULTIPLEXED if ranges else _lib.MUX_PLAIN
    name = _encoded(_dbc_name(signal.name))
    receivers = ",".join(_dbc_name(receiver) for receiver in signal.receivers)
    spec = _lib.SignalSpec(
        name,
        signal.start,
        signal.length,
        _lib.BYTE_ORDER_BIG_ENDIAN if signal.byte_order == "big_endian" else 0,
        value_type,
        signal.scale,
        signal.offset,
        0.0 if signal.minimum is None else signal.minimum,
        0.0 if signal.maximum is None else signal.maximum,
        _encoded(signal.unit or ""),
        _encoded(receivers),
        role,
        _encoded(_dbc_name(switch.name)) if ranges else None,
        ranges[0][0] if ranges else 0,
        ranges[0][1] if ranges else 0,
    )
    builder.call(lib.cxl_builder_change_signal, message, signal._cname, byref(spec))
    for low, high in ranges[1:]:
        builder.call(lib.cxl_builder_add_mux_range, message, name, low, high)
    builder.call(lib.cxl_builder_clear_value_texts, message, name)
    for value, text in (signal.choices or {}).items():
        builder.call(lib.cxl_builder_set_value_text, message, name, int(value), _encoded(text))
    reference = _lib.ObjectRef(_OBJECT_SIGNAL, None, message, name)
    builder.call(lib.cxl_builder_set_comment, byref(reference), _encoded(signal.comment or ""))
    builder.attribute(
        reference, "GenSigStartValue", signal.raw_initial, _OBJECT_SIGNAL, _ATTRIBUTE_FLOAT, 1e11, defined
    )


def finished_handle(database):
    """A new library database holding the Database's objects as they now are (free it with cxl_close)."""
    builder = _Builder(database._handle)
    lib.cxl_builder_set_version(builder.handle, _encoded(database.version or ""))
    defined = _defined(database._handle)
    info = _lib.MessageInfo()
    for index, message in enumerate(database._messages):
        if message is None:
            continue  # never made in Python: as the library has it
        lib.cxl_get_message_info(lib.cxl_message_at(database._handle, index), byref(info))
        _change_message(builder, message, info.name, defined)
    # Last, so that a renamed node is renamed wherever the messages name it.
    for index, node in enumerate(database.nodes):
        named = _lib.text(lib.cxl_node_name(database._handle, index))
        if named is not None and node.name != named:
            builder.call(lib.cxl_builder_rename_node, _encoded(named), _encoded(_dbc_name(node.name)))
    handle = ctypes.c_void_p()
    status = lib.cxl_builder_finish(builder.handle, byref(handle), byref(builder.report))
    if status:
        raise Error(_lib.status_text(status))
    return handle


def dbc_text(handle):
    """The DBC text the library writes for a database."""
    text, size = ctypes.c_void_p(), ctypes.c_size_t()
    status = lib.cxl_write_dbc_memory(handle, byref(text), byref(size))
    if status:
        raise Error(_lib.status_text(status))
    try:
        return ctypes.string_at(text, size.value).decode("utf-8", "surrogateescape")
    finally:
        lib.cxl_free_text(text)
