"""A stand-in for the ``cantools`` package that only renames: each name it offers is the canxlate object of the
same meaning, and a name canxlate lacks stands for a placeholder that raises when used, so that only the code using it fails."""

import sys
import types

import canxlate

# module -> {name in that module: attribute path in canxlate}
_NAMES = {
    "cantools": {"Error": "Error"},
    "cantools.database": {
        "Database": "Database",
        "Message": "Message",
        "Signal": "Signal",
        "Node": "Node",
        "Bus": "Bus",
        "NamedSignalValue": "NamedSignalValue",
        "load": "load",
        "load_file": "load_file",
        "load_string": "load_string",
        "dump_file": "dump_file",
        "Error": "Error",
        "ParseError": "ParseError",
        "DecodeError": "DecodeError",
        "EncodeError": "EncodeError",
        "UnsupportedDatabaseFormatError": "UnsupportedDatabaseFormatError",
    },
    "cantools.database.errors": {
        "Error": "Error",
        "ParseError": "ParseError",
        "DecodeError": "DecodeError",
        "EncodeError": "EncodeError",
        "UnsupportedDatabaseFormatError": "UnsupportedDatabaseFormatError",
    },
    "cantools.database.utils": {
        "sort_signals_by_name": "sort_signals_by_name",
        "sort_choices_by_value": "sort_choices_by_value",
    },
    "cantools.database.can": {
        "Database": "Database",
        "Message": "Message",
        "Signal": "Signal",
        "Node": "Node",
        "Bus": "Bus",
    },
    "cantools.database.can.message": {"Message": "Message"},
    "cantools.database.can.signal": {"Signal": "Signal", "NamedSignalValue": "NamedSignalValue"},
    "cantools.database.can.node": {"Node": "Node"},
    "cantools.database.can.signal_group": {"SignalGroup": "SignalGroup"},
    "cantools.database.can.attribute": {"Attribute": "dbc_extras.Attribute"},
    "cantools.database.can.attribute_definition": {"AttributeDefinition": "dbc_extras.AttributeDefinition"},
    "cantools.database.can.formats.dbc_specifics": {"DbcSpecifics": "dbc_extras.DbcExtras"},
    "cantools.database.can.formats": {},
    "cantools.database.can.formats.dbc": {"LongNamesConverter": "LongNamesConverter"},
    "cantools.database.can.formats.arxml": {},
    "cantools.database.can.formats.utils": {},
    "cantools.database.namedsignalvalue": {"NamedSignalValue": "NamedSignalValue"},
    "cantools.autosar": {},
    "cantools.j1939": {},
}


def _missing(name):
    def missing(*args, **kwargs):
        raise NotImplementedError(f"canxlate has nothing in place of {name}")

    return missing


def install():
    """Puts the stand-in modules into ``sys.modules`` under cantools' names."""
    modules = {}
    for module_name, names in _NAMES.items():
        module = types.ModuleType(module_name)
        module.__path__ = []  # a package, so that submodules import
        for name, path in names.items():
            value = canxlate
            try:
                for part in path.split("."):
                    value = getattr(value, part)
            except AttributeError:
                value = _missing(f"{module_name}.{name}")
            setattr(module, name, value)
        modules[module_name] = module
    for module_name, module in modules.items():
        parent, _, child = module_name.rpartition(".")
        if parent:
            setattr(modules[parent], child, module)
        sys.modules[module_name] = module
