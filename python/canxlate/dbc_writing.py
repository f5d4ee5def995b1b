"""DBC text of a Database as its objects now are: the library's database copied into a builder, each message and
signal made in Python changed there to match its attributes (added when made with keywords, removed when no
longer listed), then written by the library."""

import copy
import ctypes
import re
from ctypes import byref

from . import _lib
from . import dbc_extras as extras
from ._lib import lib
from .errors import Error

_OBJECT_NETWORK = 0
_OBJECT_NODE = 1
_OBJECT_MESSAGE = 2
_OBJECT_SIGNAL = 3
_LONG_NAMES = ("SystemNodeLongSymbol", "SystemMessageLongSymbol", "SystemSignalLongSymbol", "SystemEnvVarLongSymbol")


UNREAD = object()  # a field of an object made from the library, not yet read from its attributes
# The frame formats of VFrameFormat, by their number.
_FRAME_FORMATS = ["StandardCAN", "ExtendedCAN", "reserved", "J1939PG"] + ["reserved"] * 10
_FRAME_FORMATS += ["StandardCAN_FD", "ExtendedCAN_FD"]
# The attributes that say fields of messages and signals, defined as the familiar toolkit defines them when a
# field needs one that the database does not define (a send type's enumeration grows with the texts given).
_FIELD_DEFINITIONS = {
    definition.name: definition
    for definition in (
        extras.AttributeDefinition("GenMsgCycleTime", 0, "BO_", "INT", 0, 65535),
        extras.AttributeDefinition("GenMsgSendType", None, "BO_", "ENUM", choices=[]),
        extras.AttributeDefinition("VFrameFormat", "StandardCAN", "BO_", "ENUM", choices=_FRAME_FORMATS),
        extras.AttributeDefinition("GenSigStartValue", None, "SG_", "FLOAT", 0, 100000000000),
        extras.AttributeDefinition("SPN", None, "SG_", "INT", 0, 524287),
    )
}


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
            refused = status in (_lib.ERR_REFUSED, _lib.ERR_AMBIGUOUS)
            text = self.report.text.decode("utf-8", "replace") if refused else ""
            raise Error(text or _lib.status_text(status))


def _sync_attributes(builder, reference, kind, given, had, defined, kept=()):
    """Gives the object the attributes of its ``dbc.attributes`` as they now are (``given``, None when never
    looked at); those it ``had`` in the library and no longer has are removed. ``kept`` are set elsewhere."""
    if given is None:
        return
    for name in had:
        if name not in given.attributes and name not in kept:
            builder.call(lib.cxl_builder_remove_attribute, byref(reference), _encoded(name))
    for name, attribute in given.attributes.items():
        if name in kept:
            continue
        definition = attribute.definition
        if name not in defined:
            _define(builder, definition, kind)
            defined[name] = definition
        value = attribute.value
        if isinstance(value, str):
            builder.call(lib.cxl_builder_set_attribute, byref(reference), _encoded(name), 0.0, _encoded(value))
        else:
            builder.call(lib.cxl_builder_set_attribute, byref(reference), _encoded(name), float(value), None)


def _define(builder, definition, kind):
    """Defines an attribute as an AttributeDefinition made in Python says (for objects of kind unless it says)."""
    type_code = _lib.ATTRIBUTE_TYPES.index(definition.type_name or "STRING")
    kind = _lib.OBJECT_KINDS.index(definition.kind) if definition.kind in _lib.OBJECT_KINDS[1:] else kind
    choices = list(definition.choices or [])
    default = definition.default_value
    made = _lib.AttributeDefinition(
        _encoded(definition.name),
        kind,
        type_code,
        float(definition.minimum or 0),
        float(definition.maximum or 0),
        len(choices),
        default is not None,
        float(default) if isinstance(default, (int, float)) else 0.0,
        _encoded(default) if isinstance(default, str) else b"",
    )
    values = (ctypes.c_char_p * max(1, len(choices)))(*[_encoded(choice) for choice in choices])
    builder.call(lib.cxl_builder_define_attribute, byref(made), values)


def _give_field(builder, reference, kind, name, wanted, defined, default_is_none=True):
    """Gives an object the attribute that says one of its fields (``wanted``; None removes it), defining it when
    the database does not and adding a text its enumeration lacks. A value equal to the definition's default
    is left to the default (unless ``default_is_none`` is false: a start value is one only when given)."""
    definition = defined.get(name)
    if wanted is None:
        if definition is not None:
            builder.call(lib.cxl_builder_remove_attribute, byref(reference), _encoded(name))
        return
    made = definition is None
    definition = copy.copy(_FIELD_DEFINITIONS[name] if made else definition)
    type_name = definition.type_name or "STRING"
    if name == "VFrameFormat" and type_name in ("INT", "HEX"):  # the format's number
        wanted = _FRAME_FORMATS.index(wanted)
    if type_name == "ENUM":
        wanted = str(wanted)
        if wanted not in (definition.choices or ()):
            definition.choices, made = list(definition.choices or ()) + [wanted], True
    if type_name not in ("ENUM", "STRING") and not isinstance(wanted, (int, float)):
        raise Error(f"attribute '{name}' is defined as {type_name}, so {wanted!r} cannot be written")
    if made:
        defined[name] = definition
        _define(builder, definition, kind)
    if default_is_none and wanted == definition.default_value:
        builder.call(lib.cxl_builder_remove_attribute, byref(reference), _encoded(name))
    elif isinstance(wanted, str):
        builder.call(lib.cxl_builder_set_attribute, byref(reference), _encoded(name), 0.0, _encoded(wanted))
    else:
        builder.call(lib.cxl_builder_set_attribute, byref(reference), _encoded(name), float(wanted), None)


def _frame_format(message):
    """The VFrameFormat a message's kind, FD flag and protocol make."""
    if message.protocol == "j1939":
        return "J1939PG"
    return ("Extended" if message.is_extended_frame else "Standard") + ("CAN_FD" if message.is_fd else "CAN")


def _give_message_fields(builder, reference, message, original, defined):
    """Writes the cycle time, send type and frame format that differ from what the library has (all that are
    given, for a message made in Python)."""
    had = (None, None, None)
    if original is not None:
        info, details = _lib.MessageInfo(), _lib.MessageDetails()
        lib.cxl_get_message_info(message._handle, byref(info))
        lib.cxl_get_message_details(message._handle, byref(details))
        kind = (bool(info.extended), bool(info.fd), bool(details.j1939))
        had = (info.cycle_time_ms if info.cycle_time_ms > 0 else None, _lib.text(details.send_type) or None, kind)
    if (message.cycle_time or None) != had[0]:
        default = getattr(defined.get("GenMsgCycleTime"), "default_value", None)
        wanted = message.cycle_time or (0 if default is not None else None)
        _give_field(builder, reference, _OBJECT_MESSAGE, "GenMsgCycleTime", wanted, defined)
    if message.send_type != had[1]:
        _give_field(builder, reference, _OBJECT_MESSAGE, "GenMsgSendType", message.send_type, defined)
    kind = (bool(message.is_extended_frame), bool(message.is_fd), message.protocol == "j1939")
    if kind != (had[2] or (False, False, False)) or (original is None and "VFrameFormat" in defined):
        wanted = _frame_format(message)
        if "VFrameFormat" in defined or wanted not in _FRAME_FORMATS[:2]:
            _give_field(builder, reference, _OBJECT_MESSAGE, "VFrameFormat", wanted, defined)


def _had(opened, read, count):
    return set(extras.attributes(opened, read, count)) if opened is not None else set()


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
    by_original = {signal._cname: signal for signal in signals if signal._cname is not None}
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


def _library_signals(message_handle):
    info, names = _lib.MessageInfo(), []
    lib.cxl_get_message_info(message_handle, byref(info))
    signal = _lib.SignalInfo()
    for i in range(info.signal_count):
        lib.cxl_get_signal_info(lib.cxl_signal_at(message_handle, i), byref(signal))
        names.append((signal.name, signal.mux_role in (_lib.MUX_SWITCH, _lib.MUX_MULTIPLEXED_SWITCH)))
    return names


def _write_message(builder, message, original, defined, sort_choices):
    """Changes the library's message named original (added when None) to what the Message says."""
    name = _encoded(_dbc_name(message.name))
    senders = ",".join(_dbc_name(sender) for sender in message.senders)
    spec = _lib.MessageSpec(name, message.frame_id, message.is_extended_frame, message.length, _encoded(senders))
    signals = list(message.signals)
    existing = set()
    if original is None:
        builder.call(lib.cxl_builder_add_message, byref(spec))
    else:
        builder.call(lib.cxl_builder_change_message, original, byref(spec))
        existing = {signal._cname for signal in signals if signal._opened is message._database}
        # Signals no longer listed go, switches last.
        for cname, switch in sorted(_library_signals(message._handle), key=lambda pair: pair[1]):
            if cname not in existing:
                builder.call(lib.cxl_builder_remove_signal, name, cname)
    reference = _lib.ObjectRef(_OBJECT_MESSAGE, None, name, None)
    builder.call(lib.cxl_builder_set_comment, byref(reference), _encoded(message.comment or ""))
    had = set()
    if original is not None and message._dbc is not None:
        read = lambda i, item: lib.cxl_message_attribute(message._handle, i, item)  # noqa: E731
        had = _had(message._database, read, message._attribute_count)
    fields = ("GenMsgCycleTime", "GenMsgSendType", "VFrameFormat")
    _sync_attributes(builder, reference, _OBJECT_MESSAGE, message._dbc, had, defined, fields)
    _give_message_fields(builder, reference, message, original, defined)
    for signal, switch in _in_switch_order(signals):
        _write_signal(builder, name, signal, switch, defined, signal._cname in existing, sort_choices)
    builder.call(lib.cxl_builder_clear_signal_groups, name)
    renamed = {_lib.text(signal._cname): signal.name for signal in signals if signal._cname is not None}
    present = {_dbc_name(signal.name) for signal in signals}
    for group in message.signal_groups or ():
        members = [_dbc_name(renamed.get(member, member)) for member in group.signal_names]
        members = (ctypes.c_char_p * max(1, len(members)))(*[_encoded(m) for m in members if m in present])
        count = sum(1 for member in members if member is not None)
        group_name = _encoded(_dbc_name(group.name))
        builder.call(lib.cxl_builder_add_signal_group, name, group_name, group.repetitions, members, count)


def _write_signal(builder, message, signal, switch, defined, existing, sort_choices):
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
    if existing:
        builder.call(lib.cxl_builder_change_signal, message, signal._cname, byref(spec))
    else:
        builder.call(lib.cxl_builder_add_signal, message, byref(spec))
    for low, high in ranges[1:]:
        builder.call(lib.cxl_builder_add_mux_range, message, name, low, high)
    builder.call(lib.cxl_builder_clear_value_texts, message, name)
    choices = signal.choices or {}
    if sort_choices is not None and choices:
        choices = sort_choices(choices)
    for value, text in choices.items():
        builder.call(lib.cxl_builder_set_value_text, message, name, int(value), _encoded(text))
    reference = _lib.ObjectRef(_OBJECT_SIGNAL, None, message, name)
    builder.call(lib.cxl_builder_set_comment, byref(reference), _encoded(signal.comment or ""))
    had = set()
    if existing and signal._dbc is not None:
        read = lambda i, item: lib.cxl_signal_attribute(signal._handle, i, item)  # noqa: E731
        had = _had(signal._opened, read, signal._attribute_count)
    spn = signal._spn
    if spn is not UNREAD and existing:  # as the library has it unless changed
        read = lambda i, item: lib.cxl_signal_attribute(signal._handle, i, item)  # noqa: E731
        library = extras.object_extras(signal._opened, read, signal._attribute_count)
        spn = UNREAD if spn == extras.value_of(library, "SPN") else spn
    fields = ("GenSigStartValue",) if spn is UNREAD else ("GenSigStartValue", "SPN")
    _sync_attributes(builder, reference, _OBJECT_SIGNAL, signal._dbc, had, defined, fields)
    _give_field(builder, reference, _OBJECT_SIGNAL, "GenSigStartValue", signal.raw_initial, defined, False)
    if spn is not UNREAD:
        _give_field(builder, reference, _OBJECT_SIGNAL, "SPN", spn, defined)


def edited(database):
    """Whether the Database may say anything its library database does not: a message made in Python, a node
    made there or renamed or commented, attributes looked at (and maybe changed), another version or comment."""
    info = _lib.DatabaseInfo()
    lib.cxl_get_database_info(database._handle, byref(info))
    if (database.version or "") != _lib.text(info.version) or len(database.nodes) != info.node_count:
        return True
    if (database.comment or "") != _lib.text(info.comment) or database._dbc is not None:
        return True
    node = _lib.NodeInfo()
    for index, made in enumerate(database.nodes):
        if made._opened is not database._opened or made._dbc is not None:
            return True
        lib.cxl_get_node_info(database._handle, index, byref(node))
        if (made.name, made.comment or "") != (_lib.text(node.name), _lib.text(node.comment)):
            return True
    return any(message is not None for message in database._messages)


def finished_handle(database, sort_choices=None):
    """A new library database holding the Database's objects as they now are (free it with cxl_close)."""
    if sort_choices is not None:  # every signal's value texts given again, in that order
        for index in range(len(database._messages)):
            database._message_at(index)
    handle, opened = database._handle, database._opened
    builder = _Builder(handle)
    lib.cxl_builder_set_version(builder.handle, _encoded(database.version or ""))
    defined = dict(extras.definitions(opened))
    info = _lib.DatabaseInfo()
    lib.cxl_get_database_info(handle, byref(info))
    library_names = []
    message_info = _lib.MessageInfo()
    for index in range(info.message_count):
        lib.cxl_get_message_info(lib.cxl_message_at(handle, index), byref(message_info))
        library_names.append(message_info.name)
    first_of_name = {}
    for index, name in enumerate(library_names):
        first_of_name.setdefault(name, index)

    def library_name(index):
        """The name the builder finds a library message by, which finds the first of a name given twice."""
        name = library_names[index]
        if first_of_name[name] != index:
            raise Error(
                f"message '{_lib.text(name)}' has the name of an earlier message: a change to it cannot be told "
                "from a change to that one"
            )
        return name

    kept = set()
    for position, message in enumerate(database._messages):
        if message is None:
            kept.add(position)  # never made in Python: as the library has it, where it was
        elif message._database is opened and message._index is not None:
            kept.add(message._index)
    for index in range(len(library_names)):
        if index not in kept:
            builder.call(lib.cxl_builder_remove_message, library_name(index))
    network = _lib.ObjectRef(_OBJECT_NETWORK, None, None, None)
    builder.call(lib.cxl_builder_set_comment, byref(network), _encoded(database.comment or ""))
    if database._dbc is not None:
        read = lambda i, item: lib.cxl_network_attribute(handle, i, item)  # noqa: E731
        details = _lib.DatabaseDetails()
        lib.cxl_get_database_details(handle, byref(details))
        had = _had(opened, read, details.attribute_count)
        _sync_attributes(builder, network, _OBJECT_NETWORK, database._dbc, had, defined)
    node_info = _lib.NodeInfo()
    for node in database.nodes:
        had = set()
        if node._opened is opened:
            named = lib.cxl_node_name(handle, node._index)
            lib.cxl_get_node_info(handle, node._index, byref(node_info))
            read = lambda i, item, n=node._index: lib.cxl_node_attribute(handle, n, i, item)  # noqa: E731
            had = _had(opened, read, node_info.attribute_count) if node._dbc is not None else had
        else:
            named = _encoded(_dbc_name(node.name))
            builder.call(lib.cxl_builder_add_node, named)
        reference = _lib.ObjectRef(_OBJECT_NODE, named, None, None)
        builder.call(lib.cxl_builder_set_comment, byref(reference), _encoded(node.comment or ""))
        _sync_attributes(builder, reference, _OBJECT_NODE, node._dbc, had, defined)
    for message in database._messages:
        if message is None:
            continue
        mine = message._database is opened and message._index is not None
        _write_message(builder, message, library_name(message._index) if mine else None, defined, sort_choices)
    # Last, so that a renamed node is renamed wherever the messages name it.
    for node in database.nodes:
        if node._opened is not opened:
            continue
        named = _lib.text(lib.cxl_node_name(handle, node._index))
        if named is not None and node.name != named:
            builder.call(lib.cxl_builder_rename_node, _encoded(named), _encoded(_dbc_name(node.name)))
    finished = ctypes.c_void_p()
    builder.call(lib.cxl_builder_finish, byref(finished))
    return finished


def _first_of_their_ids(handle, count):
    """Whether each message is the first of its ID: the writer writes attributes for those only."""
    seen, first, info = set(), [], _lib.MessageInfo()
    for index in range(count):
        lib.cxl_get_message_info(lib.cxl_message_at(handle, index), byref(info))
        key = (info.id, info.extended)
        first.append(key not in seen)
        seen.add(key)
    return first


def _attribute_rows(opened, read, count, long_names):
    """Each attribute value of one object as Attribute, in the library's order."""
    known, rows, item = extras.definitions(opened), [], _lib.Attribute()
    for i in range(count):
        if read(i, byref(item)):
            continue
        name, type_name = _lib.text(item.name), _lib.ATTRIBUTE_TYPES[item.type]
        if long_names and name in _LONG_NAMES:
            continue
        definition = known.get(name) or extras.AttributeDefinition(name, type_name=type_name)
        rows.append(extras.Attribute(extras._typed(type_name, item.number, item.text), definition))
    return rows


def orders(written, sort_signals, sort_attribute_signals, sort_attributes, long_names):
    """The orders the writer takes (of signal lines, of the signals that comments, attributes and value texts
    name, of attribute values; None for its own): the familiar toolkit's sorting functions applied to the
    objects of ``written``, a Database over the finished library database."""
    opened, handle = written._opened, written._handle
    messages = list(written.messages)

    def signal_orders(sort):
        order, each = [], []
        for message in messages:
            ordered = message._signals if sort is None else sort(list(message._signals))
            places = {id(signal): place for place, signal in enumerate(message._signals)}
            order += [places[id(signal)] for signal in ordered]
            each.append(ordered)
        return order, each

    line_order = None if sort_signals is None else signal_orders(sort_signals)[0]
    signal_order, metadata = signal_orders(sort_attribute_signals)
    if sort_attributes is None:
        return line_order, signal_order, None

    def rows_of(kind, read, count, node=None, message=None, signal=None, variable=None, long_name=None):
        attributes = _attribute_rows(opened, read, count, long_names)
        # A name the writer shortens gets its long-name attribute after the others.
        named = signal or message or node
        if long_name and not long_names and _dbc_name(named.name)[:32] != named.name:
            if all(attribute.name != long_name for attribute in attributes):
                definition = extras.AttributeDefinition(long_name, "", kind, "STRING")
                attributes.append(extras.Attribute(named.name, definition))
        return [(kind, a, node, message, signal, variable) for a in attributes]

    details = _lib.DatabaseDetails()
    lib.cxl_get_database_details(handle, byref(details))
    rows = rows_of("dbc", lambda i, item: lib.cxl_network_attribute(handle, i, item), details.attribute_count)
    item = _lib.EnvironmentVariable()
    for v, variable in enumerate(written.dbc.environment_variables.values()):
        lib.cxl_get_environment_variable(handle, v, byref(item))
        read = lambda i, value, v=v: lib.cxl_environment_variable_attribute(handle, v, i, value)  # noqa: E731
        rows += rows_of("envvar", read, item.attribute_count, variable=variable)
    node_info = _lib.NodeInfo()
    for n, node in enumerate(written.nodes):
        lib.cxl_get_node_info(handle, n, byref(node_info))
        read = lambda i, value, n=n: lib.cxl_node_attribute(handle, n, i, value)  # noqa: E731
        rows += rows_of("node", read, node_info.attribute_count, node=node, long_name=_LONG_NAMES[0])
    for message, ordered, first in zip(messages, metadata, _first_of_their_ids(handle, len(messages))):
        if not first:
            continue
        read = lambda i, value, m=message: lib.cxl_message_attribute(m._handle, i, value)  # noqa: E731
        rows += rows_of("message", read, message._attribute_count, message=message, long_name=_LONG_NAMES[1])
        for signal in ordered:
            read = lambda i, value, s=signal: lib.cxl_signal_attribute(s._handle, i, value)  # noqa: E731
            rows += rows_of(
                "signal", read, signal._attribute_count, message=message, signal=signal, long_name=_LONG_NAMES[2]
            )
    places = {id(row): place for place, row in enumerate(rows)}
    return line_order, signal_order, [places[id(row)] for row in sort_attributes(list(rows))]


def dbc_text(handle, flags=0, line_order=None, signal_order=None, attribute_order=None):
    """The DBC text the library writes for a database, in the orders given (see orders)."""
    options = _lib.WriteOptions(flags)
    for field, order in (
        ("signal_line_order", line_order),
        ("signal_order", signal_order),
        ("attribute_order", attribute_order),
    ):
        if order is not None:
            setattr(options, field, (ctypes.c_uint32 * max(1, len(order)))(*order))
            setattr(options, f"{field}_count", len(order))
    text, size = ctypes.c_void_p(), ctypes.c_size_t()
    status = lib.cxl_write_dbc_text(handle, byref(options), byref(text), byref(size))
    if status == _lib.ERR_AMBIGUOUS:  # finishing a copy names the message
        finished = ctypes.c_void_p()
        _Builder(handle).call(lib.cxl_builder_finish, byref(finished))
        lib.cxl_close(finished)
    if status:
        raise Error(_lib.status_text(status))
    try:
        return ctypes.string_at(text, size.value).decode("utf-8", "surrogateescape")
    finally:
        lib.cxl_free_text(text)
