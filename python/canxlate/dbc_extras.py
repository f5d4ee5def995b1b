"""What a DBC file says beyond layout and scaling, read through the library when first asked for: attributes
with their definitions, environment variables, signal groups and the bus, under the names scripts for the
familiar DBC toolkit use (``db.dbc.attributes['BusType'].value`` and so on)."""

import ctypes
import math
from ctypes import byref
from decimal import Decimal

from . import _lib
from ._lib import lib


def number(value):
    """A double as the file most likely wrote it: an int when integral (exactly, for the digits a double holds)."""
    if math.isfinite(value) and value == int(value):
        return int(value) if abs(value) < 2**53 else int(Decimal(repr(value)))
    return value


class AttributeDefinition:
    """BA_DEF_ (and BA_DEF_DEF_): ``kind`` is the object keyword (None for the network), ``type_name`` one of
    INT, HEX, FLOAT, STRING, ENUM, ``choices`` the ENUM's texts."""

    def __init__(self, name, default_value=None, kind=None, type_name=None, minimum=None, maximum=None, choices=None):
        self.name, self.default_value, self.kind, self.type_name = name, default_value, kind, type_name
        self.minimum, self.maximum, self.choices = minimum, maximum, choices

    def __repr__(self):
        return f"attribute_definition('{self.name}', {self.default_value!r})"


class Attribute:
    """BA_: a value given to an object, with its definition."""

    def __init__(self, value, definition):
        self.value, self.definition = value, definition

    @property
    def name(self):
        return self.definition.name

    def __repr__(self):
        return f"attribute('{self.name}', {self.value!r})"


class EnvironmentVariable:
    """EV_: ``env_type`` 0 integer, 1 float, 2 string; ``access_node`` the nodes that may write it."""

    def __init__(
        self, name, env_type, minimum, maximum, unit, initial_value, env_id, access_type, access_node, comment
    ):
        self.name, self.env_type, self.minimum, self.maximum, self.unit = name, env_type, minimum, maximum, unit
        self.initial_value, self.env_id, self.access_type = initial_value, env_id, access_type
        self.access_node, self.comment = access_node, comment

    def __repr__(self):
        fields = (self.env_type, self.minimum, self.maximum, self.unit, self.initial_value, self.env_id)
        rest = (self.access_type, self.access_node, self.comment)
        return f"environment_variable({self.name!r}, " + ", ".join(map(repr, fields + rest)) + ")"


class SignalGroup:
    """SIG_GROUP_: a named group of a message's signals."""

    def __init__(self, name, repetitions=1, signal_names=None):
        self.name, self.repetitions, self.signal_names = name, repetitions, signal_names or []

    def __repr__(self):
        return f"signal_group('{self.name}', {self.repetitions}, {self.signal_names})"


class Bus:
    """The bus a DBC file describes: its DBName and Baudrate attributes."""

    def __init__(self, name, comment=None, baudrate=None, fd_baudrate=None):
        self.name, self.comment, self.baudrate, self.fd_baudrate = name, comment, baudrate, fd_baudrate

    def __repr__(self):
        return f"bus('{self.name}', {self.comment!r})"


class DbcExtras:
    """An object's attributes (name -> Attribute) and the database's definitions, environment variables and
    value tables."""

    def __init__(
        self,
        attributes=None,
        attribute_definitions=None,
        environment_variables=None,
        value_tables=None,
        attributes_rel=None,
        attribute_definitions_rel=None,
    ):
        self.attributes = attributes if attributes is not None else {}
        # frame ID -> {"node": {node: {name: Attribute}}} or {"signal": {signal: {"node": {node: {...}}}}}
        self.attributes_rel = attributes_rel if attributes_rel is not None else {}
        self.attribute_definitions = attribute_definitions if attribute_definitions is not None else {}
        self.environment_variables = environment_variables if environment_variables is not None else {}
        self.value_tables = value_tables if value_tables is not None else {}


def value_of(specifics, name):
    """An object's value of an attribute, else its definition's default, else None."""
    attribute = specifics.attributes.get(name)
    if attribute is not None:
        return attribute.value
    definition = specifics.attribute_definitions.get(name)
    return None if definition is None else definition.default_value


def _typed(type_name, value, text):
    if type_name == "STRING":
        return _lib.text(text)
    return value if type_name == "FLOAT" else number(value)


def definitions(opened):
    """The attribute definitions of an open database, name -> AttributeDefinition (read once)."""
    if opened.definitions is None:
        details = _lib.DatabaseDetails()
        lib.cxl_get_database_details(opened.handle, byref(details))
        found, item = {}, _lib.AttributeDefinition()
        for i in range(details.attribute_definition_count):
            lib.cxl_get_attribute_definition(opened.handle, i, byref(item))
            type_name = _lib.ATTRIBUTE_TYPES[item.type]
            choices = [
                _lib.text(lib.cxl_attribute_enum_value(opened.handle, i, k)) for k in range(item.enum_value_count)
            ]
            default = None
            if item.has_default:
                default = (
                    _lib.text(item.default_text)
                    if type_name == "ENUM"
                    else _typed(type_name, item.default_number, item.default_text)
                )
            numeric = type_name in ("INT", "HEX", "FLOAT")
            limit = (lambda v: _typed(type_name, v, None)) if numeric else (lambda v: None)
            name = _lib.text(item.name)
            found[name] = AttributeDefinition(
                name,
                default,
                _lib.OBJECT_KINDS[item.object_kind],
                type_name,
                limit(item.minimum),
                limit(item.maximum),
                choices,
            )
        opened.definitions = found
    return opened.definitions


def attributes(opened, read, count):
    """name -> Attribute of one object; ``read(index, attribute)`` is the library's reader for it."""
    known, found, item = definitions(opened), {}, _lib.Attribute()
    for i in range(count):
        if read(i, byref(item)):
            continue
        name, type_name = _lib.text(item.name), _lib.ATTRIBUTE_TYPES[item.type]
        definition = known.get(name) or AttributeDefinition(name, type_name=type_name)
        found[name] = Attribute(_typed(type_name, item.number, item.text), definition)
    return found


def object_extras(opened, read, count):
    """One object's attributes with the database's definitions; ``read(index, attribute)`` as for attributes."""
    return DbcExtras(attributes(opened, read, count), definitions(opened))


def database_extras(opened):
    details = _lib.DatabaseDetails()
    lib.cxl_get_database_details(opened.handle, byref(details))
    handle = opened.handle
    network = attributes(opened, lambda i, item: lib.cxl_network_attribute(handle, i, item), details.attribute_count)
    variables, item = {}, _lib.EnvironmentVariable()
    for v in range(details.environment_variable_count):
        lib.cxl_get_environment_variable(handle, v, byref(item))
        nodes = [
            _lib.text(lib.cxl_environment_variable_access_node(handle, v, k)) for k in range(item.access_node_count)
        ]
        read = lambda i, value: lib.cxl_environment_variable_attribute(handle, v, i, value)  # noqa: E731
        long_name = attributes(opened, read, item.attribute_count).get("SystemEnvVarLongSymbol")
        name = long_name.value if long_name else _lib.text(item.name)
        variables[name] = EnvironmentVariable(
            name,
            item.type,
            number(item.minimum),
            number(item.maximum),
            _lib.text(item.unit),
            number(item.initial_value),
            item.id,
            _lib.text(item.access_type),
            ",".join(nodes) or "Vector__XXX",  # the file's word for no node
            _lib.text(item.comment) or None,
        )
    return DbcExtras(network, definitions(opened), variables, _value_tables(handle, details), _relations(opened))


def _value_tables(handle, details):
    """name -> {raw value: text} of the tables a file names (VAL_TABLE_)."""
    tables, name, count, raw, text = {}, ctypes.c_char_p(), ctypes.c_size_t(), ctypes.c_int64(), ctypes.c_char_p()
    for t in range(details.value_table_count):
        lib.cxl_value_table(handle, t, byref(name), byref(count))
        entries = {}
        for k in range(count.value):
            lib.cxl_value_table_entry(handle, t, k, byref(raw), byref(text))
            entries[raw.value] = _lib.text(text.value)
        tables[_lib.text(name.value)] = entries
    return tables


def _relations(opened):
    """The values given to a node together with a message or a signal, by the message's DBC frame ID."""
    details = _lib.DatabaseDetails()
    lib.cxl_get_database_details(opened.handle, byref(details))
    known, found, item, info = definitions(opened), {}, _lib.RelationAttribute(), _lib.MessageInfo()
    for i in range(details.relation_attribute_count):
        lib.cxl_get_relation_attribute(opened.handle, i, byref(item))
        if not item.message:
            continue
        lib.cxl_get_message_info(item.message, byref(info))
        frame = found.setdefault(info.id | (0x80000000 if info.extended else 0), {})
        name, type_name = _lib.text(item.attribute.name), _lib.ATTRIBUTE_TYPES[item.attribute.type]
        definition = known.get(name) or AttributeDefinition(name, type_name=type_name)
        attribute = Attribute(_typed(type_name, item.attribute.number, item.attribute.text), definition)
        nodes = frame.setdefault("signal", {}).setdefault(_lib.text(item.signal), {}) if item.signal else frame
        nodes.setdefault("node", {}).setdefault(_lib.text(item.node), {})[name] = attribute
    return found


def bus_of(specifics, comment=None):
    """The bus as the network's DBName and Baudrate attributes and the network's comment give it, or None."""
    name = specifics.attributes.get("DBName")
    baudrate = specifics.attributes.get("Baudrate")
    if not (name and name.value) and baudrate is None and comment is None:
        return None
    return Bus(name.value if name else "", comment, baudrate.value if baudrate else None)
