"""canxlate: CAN databases and frame decoding at C speed, with the names of the familiar Python DBC toolkits.

    import canxlate
    db = canxlate.load_file("vehicle.dbc")
    db.decode_message(0x123, b"\\x01\\x02\\x03\\x04\\x05\\x06\\x07\\x08")

The work is done by libcanxlate (found beside this package, or where CANXLATE_LIBRARY names it)."""

from .dbc_extras import SignalGroup
from .database import (
    Database,
    Diagnostic,
    Message,
    NamedSignalValue,
    Node,
    Signal,
    dump_file,
    load,
    load_file,
    load_string,
    sort_choices_by_value,
    sort_signals_by_name,
    sort_signals_by_start_bit,
)
from .errors import DecodeError, EncodeError, Error, ParseError, UnsupportedDatabaseFormatError
from .logs import decode_messages, read_log

__version__ = "0.1.0"

__all__ = [
    "dump_file",
    "Database",
    "DecodeError",
    "Diagnostic",
    "EncodeError",
    "Error",
    "Message",
    "NamedSignalValue",
    "Node",
    "ParseError",
    "Signal",
    "SignalGroup",
    "UnsupportedDatabaseFormatError",
    "decode_messages",
    "load_file",
    "load_string",
    "read_log",
]


def __getattr__(name):
    # canxlate.can and canxlate.dask need python-can and Dask: imported on first use.
    if name in ("can", "dask"):
        import importlib

        return importlib.import_module(f".{name}", __name__)
    raise AttributeError(f"module 'canxlate' has no attribute {name!r}")
