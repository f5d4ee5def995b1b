"""ctypes binding of libcanxlate's C header (include/canxlate.h)."""

import ctypes
import os
import sys
from ctypes import POINTER, Structure, c_char_p, c_double, c_int, c_int32, c_int64, c_size_t, c_uint8, c_uint32
from ctypes import c_uint64, c_void_p

OK = 0
ERR_ARGUMENT = -1
ERR_NO_MEMORY = -2
ERR_CANNOT_OPEN = -3
ERR_FORMAT = -4
ERR_NOT_FOUND = -5
ERR_OUT_OF_RANGE = -6
ERR_MISSING = -7
ERR_NOT_CARRIED = -8
ERR_LENGTH = -9
ERR_REFUSED = -11
ERR_AMBIGUOUS = -12

FORMAT_DBC = 1
FORMAT_ZCD = 2

SEVERITY_INFO = 0
SEVERITY_WARNING = 1
SEVERITY_ERROR = 2
# cxl_diagnostic.topic
TOPICS = ("other", "syntax", "layout", "overlap", "duplicate", "reference", "multiplexing", "value type")

BYTE_ORDER_BIG_ENDIAN = 1
VALUE_SIGNED = 0
VALUE_UNSIGNED = 1
VALUE_SINGLE = 2
VALUE_DOUBLE = 3
MUX_PLAIN = 0
MUX_SWITCH = 1
MUX_MULTIPLEXED = 2
MUX_MULTIPLEXED_SWITCH = 3

CLAMP = 1
KEEP_MISSING = 2


class Diagnostic(Structure):
    _fields_ = [
        ("severity", c_int32),
        ("line", c_uint32),
        ("column", c_uint32),
        ("text", c_char_p),
        ("topic", c_int32),
    ]


class DatabaseInfo(Structure):
    _fields_ = [
        ("version", c_char_p),
        ("comment", c_char_p),
        ("message_count", c_size_t),
        ("node_count", c_size_t),
        ("largest_signal_count", c_size_t),
    ]


class MessageInfo(Structure):
    _fields_ = [
        ("id", c_uint32),
        ("extended", c_int32),
        ("fd", c_int32),
        ("length", c_uint32),
        ("name", c_char_p),
        ("comment", c_char_p),
        ("cycle_time_ms", c_int64),
        ("index", c_size_t),
        ("signal_count", c_size_t),
        ("sender_count", c_size_t),
        ("multiplexed", c_int32),
    ]


class SignalInfo(Structure):
    _fields_ = [
        ("name", c_char_p),
        ("unit", c_char_p),
        ("comment", c_char_p),
        ("index", c_size_t),
        ("start_bit", c_uint32),
        ("lsb_bit", c_uint32),
        ("length", c_uint32),
        ("byte_order", c_int32),
        ("value_type", c_int32),
        ("decodable", c_int32),
        ("factor", c_double),
        ("offset", c_double),
        ("minimum", c_double),
        ("maximum", c_double),
        ("mux_role", c_int32),
        ("mux_switch", c_void_p),
        ("mux_range_count", c_size_t),
        ("receiver_count", c_size_t),
        ("value_text_count", c_size_t),
    ]


class DatabaseDetails(Structure):
    _fields_ = [("bus_speed", c_char_p)] + [
        (name, c_size_t)
        for name in (
            "new_symbol_count",
            "attribute_definition_count",
            "attribute_count",
            "relation_attribute_count",
            "value_table_count",
            "environment_variable_count",
        )
    ]


class NodeInfo(Structure):
    _fields_ = [("name", c_char_p), ("comment", c_char_p), ("attribute_count", c_size_t)]


class MessageDetails(Structure):
    _fields_ = [
        ("send_type", c_char_p),
        ("j1939", c_int32),
        ("attribute_count", c_size_t),
        ("signal_group_count", c_size_t),
    ]


class SignalGroup(Structure):
    _fields_ = [("name", c_char_p), ("repetitions", c_uint32), ("signal_count", c_size_t)]


class SignalDetails(Structure):
    _fields_ = [
        ("has_start_value", c_int32),
        ("start_value", c_double),
        ("attribute_count", c_size_t),
        ("float_signed", c_int32),
    ]


class EnvironmentVariable(Structure):
    _fields_ = [
        ("name", c_char_p),
        ("type", c_int32),
        ("minimum", c_double),
        ("maximum", c_double),
        ("unit", c_char_p),
        ("initial_value", c_double),
        ("id", c_uint64),
        ("access_type", c_char_p),
        ("data_size", c_int64),
        ("comment", c_char_p),
        ("access_node_count", c_size_t),
        ("value_text_count", c_size_t),
        ("attribute_count", c_size_t),
    ]


ATTRIBUTE_TYPES = ("INT", "HEX", "FLOAT", "STRING", "ENUM")
# CXL_OBJECT_* as DBC keywords (None: the network)
OBJECT_KINDS = (None, "BU_", "BO_", "SG_", "EV_", "BU_BO_REL_", "BU_SG_REL_", "BU_EV_REL_")


class Attribute(Structure):
    _fields_ = [("name", c_char_p), ("type", c_int32), ("number", c_double), ("text", c_char_p)]


class AttributeDefinition(Structure):
    _fields_ = [
        ("name", c_char_p),
        ("object_kind", c_int32),
        ("type", c_int32),
        ("minimum", c_double),
        ("maximum", c_double),
        ("enum_value_count", c_size_t),
        ("has_default", c_int32),
        ("default_number", c_double),
        ("default_text", c_char_p),
    ]


class RelationAttribute(Structure):
    _fields_ = [
        ("object_kind", c_int32),
        ("node", c_char_p),
        ("message", c_void_p),
        ("signal", c_char_p),
        ("environment_variable", c_char_p),
        ("attribute", Attribute),
    ]


class MessageSpec(Structure):
    _fields_ = [
        ("name", c_char_p),
        ("id", c_uint32),
        ("extended", c_int32),
        ("length", c_uint32),
        ("senders", c_char_p),
    ]


class SignalSpec(Structure):
    _fields_ = [
        ("name", c_char_p),
        ("start_bit", c_uint32),
        ("length", c_uint32),
        ("byte_order", c_int32),
        ("value_type", c_int32),
        ("factor", c_double),
        ("offset", c_double),
        ("minimum", c_double),
        ("maximum", c_double),
        ("unit", c_char_p),
        ("receivers", c_char_p),
        ("mux_role", c_int32),
        ("mux_switch", c_char_p),
        ("mux_low", c_uint64),
        ("mux_high", c_uint64),
    ]


class ObjectRef(Structure):
    _fields_ = [
        ("kind", c_int32),
        ("node", c_char_p),
        ("message", c_char_p),
        ("signal", c_char_p),
        ("environment_variable", c_char_p),
    ]


class WriteOptions(Structure):
    _fields_ = [
        ("flags", c_uint32),
        ("signal_order", POINTER(c_uint32)),
        ("signal_order_count", c_size_t),
        ("attribute_order", POINTER(c_uint32)),
        ("attribute_order_count", c_size_t),
        ("signal_line_order", POINTER(c_uint32)),
        ("signal_line_order_count", c_size_t),
    ]


WRITE_LONG_NAMES = 1
WRITE_VALUE_TEXTS_AS_GIVEN = 2


class BuildReport(Structure):
    _fields_ = [("text", ctypes.c_char * 200)]


class Value(Structure):
    _fields_ = [
        ("present", c_int32),
        ("clamped", c_int32),
        ("raw", c_uint64),
        ("physical", c_double),
        ("text", c_void_p),
    ]


class Batch(Structure):
    _fields_ = [
        ("frame_count", c_size_t),
        ("ids", c_void_p),
        ("extended", c_void_p),
        ("lengths", c_void_p),
        ("payloads", c_void_p),
        ("payload_stride", c_size_t),
        ("timestamps", c_void_p),
        ("column_stride", c_size_t),
        ("physical", c_void_p),
        ("present", c_void_p),
        ("message_index", c_void_p),
        ("timestamps_out", c_void_p),
    ]


class Packed(Structure):
    _fields_ = [
        ("capacity", c_size_t),
        ("physical", c_void_p),
        ("present", c_void_p),
        ("text", c_void_p),
        ("first", c_void_p),
        ("count", c_size_t),
    ]


class Rows(Structure):
    _fields_ = [
        ("capacity", c_size_t),
        ("code_size", c_size_t),
        ("message_codes", c_void_p),
        ("signal_codes", c_void_p),
        ("signal_stride", c_size_t),
        ("channels", c_void_p),
        ("channel_codes", c_void_p),
        ("channel_count", c_size_t),
        ("first_frame", c_size_t),
        ("value", c_void_p),
        ("timestamp", c_void_p),
        ("frame_id", c_void_p),
        ("message", c_void_p),
        ("signal", c_void_p),
        ("channel", c_void_p),
        ("frame", c_void_p),
        ("count", c_size_t),
    ]


class NamedValue(Structure):
    _fields_ = [("name", c_char_p), ("value", c_double), ("clamped", c_int32)]


class RawValue(Structure):
    _fields_ = [("name", c_char_p), ("raw", c_uint64)]


RAW_VALUE_SIZE = ctypes.sizeof(RawValue)
assert RAW_VALUE_SIZE == ctypes.sizeof(c_void_p) + 8, "cxl_raw_value layout"


class Source(Structure):
    _fields_ = [("data", c_char_p), ("size", c_size_t), ("format", c_int32)]


class EncodeReport(Structure):
    _fields_ = [("signal", c_void_p), ("text", ctypes.c_char * 200)]


LOG_AUTO = 0
LOG_FORMATS = {"candump": 1, "asc": 2, "blf": 3}
LOG_PAYLOAD_STRIDE = 64
FRAME_EXTENDED = 0x01
LOG_SKIP_REMOTE = 1
LOG_SKIP_ERROR = 2
LOG_ISSUE_KINDS = ("malformed", "unknown event", "skipped frame", "fatal", "warning")


class Frames(Structure):
    _fields_ = [("capacity", c_size_t), ("count", c_size_t)] + [
        (name, c_void_p)
        for name in ("time_ns", "timestamps", "ids", "extended", "lengths", "payloads", "flags", "channels", "dlcs")
    ]


class LogCounts(Structure):
    _fields_ = [
        (name, c_uint64)
        for name in ("frames", "remote_frames", "error_frames", "skipped_frames", "unknown_events", "malformed")
    ] + [("bytes_read", c_uint64), ("warnings", c_uint64)]


class LogIssue(Structure):
    _fields_ = [("kind", c_int32), ("position_is_line", c_int32), ("position", c_uint64), ("message", c_char_p)]


LogIssueCallback = ctypes.CFUNCTYPE(None, c_void_p, POINTER(LogIssue))
LogReadCallback = ctypes.CFUNCTYPE(ctypes.c_ssize_t, c_void_p, c_void_p, c_size_t)

_PROTOTYPES = {
    "cxl_status_text": (c_char_p, [c_int32]),
    "cxl_open_file": (c_int32, [c_char_p, POINTER(c_void_p)]),
    "cxl_open_memory": (c_int32, [c_char_p, c_size_t, c_int32, POINTER(c_void_p)]),
    "cxl_open_sources": (c_int32, [POINTER(Source), c_size_t, POINTER(c_void_p)]),
    "cxl_close": (None, [c_void_p]),
    "cxl_diagnostic_count": (c_size_t, [c_void_p]),
    "cxl_get_diagnostic": (c_int32, [c_void_p, c_size_t, POINTER(Diagnostic)]),
    "cxl_get_database_info": (c_int32, [c_void_p, POINTER(DatabaseInfo)]),
    "cxl_node_name": (c_char_p, [c_void_p, c_size_t]),
    "cxl_message_at": (c_void_p, [c_void_p, c_size_t]),
    "cxl_find_message": (c_void_p, [c_void_p, c_uint32, c_int]),
    "cxl_find_message_by_name": (c_void_p, [c_void_p, c_char_p]),
    "cxl_get_message_info": (c_int32, [c_void_p, POINTER(MessageInfo)]),
    "cxl_message_sender": (c_char_p, [c_void_p, c_size_t]),
    "cxl_signal_at": (c_void_p, [c_void_p, c_size_t]),
    "cxl_find_signal": (c_void_p, [c_void_p, c_char_p]),
    "cxl_get_signal_info": (c_int32, [c_void_p, POINTER(SignalInfo)]),
    "cxl_signal_receiver": (c_char_p, [c_void_p, c_size_t]),
    "cxl_signal_mux_range": (c_int32, [c_void_p, c_size_t, POINTER(c_uint64), POINTER(c_uint64)]),
    "cxl_signal_value_text": (c_int32, [c_void_p, c_size_t, POINTER(c_int64), POINTER(c_char_p)]),
    "cxl_signal_value_text_as_written": (c_int32, [c_void_p, c_size_t, POINTER(c_int64), POINTER(c_char_p)]),
    "cxl_get_database_details": (c_int32, [c_void_p, POINTER(DatabaseDetails)]),
    "cxl_get_node_info": (c_int32, [c_void_p, c_size_t, POINTER(NodeInfo)]),
    "cxl_get_message_details": (c_int32, [c_void_p, POINTER(MessageDetails)]),
    "cxl_get_signal_group": (c_int32, [c_void_p, c_size_t, POINTER(SignalGroup)]),
    "cxl_signal_group_member": (c_char_p, [c_void_p, c_size_t, c_size_t]),
    "cxl_get_signal_details": (c_int32, [c_void_p, POINTER(SignalDetails)]),
    "cxl_get_environment_variable": (c_int32, [c_void_p, c_size_t, POINTER(EnvironmentVariable)]),
    "cxl_environment_variable_access_node": (c_char_p, [c_void_p, c_size_t, c_size_t]),
    "cxl_get_attribute_definition": (c_int32, [c_void_p, c_size_t, POINTER(AttributeDefinition)]),
    "cxl_attribute_enum_value": (c_char_p, [c_void_p, c_size_t, c_size_t]),
    "cxl_network_attribute": (c_int32, [c_void_p, c_size_t, POINTER(Attribute)]),
    "cxl_node_attribute": (c_int32, [c_void_p, c_size_t, c_size_t, POINTER(Attribute)]),
    "cxl_message_attribute": (c_int32, [c_void_p, c_size_t, POINTER(Attribute)]),
    "cxl_signal_attribute": (c_int32, [c_void_p, c_size_t, POINTER(Attribute)]),
    "cxl_environment_variable_attribute": (c_int32, [c_void_p, c_size_t, c_size_t, POINTER(Attribute)]),
    # The payload goes in as bytes (no copy); the values as a writable buffer.
    "cxl_decode": (c_int32, [c_void_p, c_char_p, c_size_t, c_uint32, c_void_p]),
    "cxl_decode_batch": (c_int32, [c_void_p, POINTER(Batch), c_uint32]),
    "cxl_batch_rows": (c_int32, [c_void_p, POINTER(Batch), POINTER(Rows)]),
    "cxl_decode_packed": (c_int32, [c_void_p, POINTER(Batch), POINTER(Packed), c_uint32]),
    "cxl_packed_rows": (c_int32, [c_void_p, POINTER(Batch), POINTER(Packed), POINTER(Rows)]),
    "cxl_encode": (c_int32, [c_void_p, POINTER(NamedValue), c_size_t, c_uint32, c_void_p, c_size_t, c_void_p]),
    "cxl_encode_raw": (c_int32, [c_void_p, c_void_p, c_size_t, c_uint32, c_void_p, c_size_t, c_void_p]),
    "cxl_value_table": (c_int32, [c_void_p, c_size_t, POINTER(c_char_p), POINTER(c_size_t)]),
    "cxl_value_table_entry": (c_int32, [c_void_p, c_size_t, c_size_t, POINTER(c_int64), POINTER(c_char_p)]),
    "cxl_get_relation_attribute": (c_int32, [c_void_p, c_size_t, POINTER(RelationAttribute)]),
    "cxl_write_dbc_memory": (c_int32, [c_void_p, POINTER(c_void_p), POINTER(c_size_t)]),
    "cxl_free_text": (None, [c_void_p]),
    "cxl_write_dbc_text": (c_int32, [c_void_p, POINTER(WriteOptions), POINTER(c_void_p), POINTER(c_size_t)]),
    "cxl_builder_copy": (c_int32, [c_void_p, POINTER(c_void_p)]),
    "cxl_builder_add_message": (c_int32, [c_void_p, POINTER(MessageSpec), POINTER(BuildReport)]),
    "cxl_builder_remove_message": (c_int32, [c_void_p, c_char_p, POINTER(BuildReport)]),
    "cxl_builder_add_signal": (c_int32, [c_void_p, c_char_p, POINTER(SignalSpec), POINTER(BuildReport)]),
    "cxl_builder_remove_signal": (c_int32, [c_void_p, c_char_p, c_char_p, POINTER(BuildReport)]),
    "cxl_builder_add_signal_group": (
        c_int32,
        [c_void_p, c_char_p, c_char_p, c_uint32, POINTER(c_char_p), c_size_t, POINTER(BuildReport)],
    ),
    "cxl_builder_clear_signal_groups": (c_int32, [c_void_p, c_char_p, POINTER(BuildReport)]),
    "cxl_builder_free": (None, [c_void_p]),
    "cxl_builder_finish": (c_int32, [c_void_p, POINTER(c_void_p), POINTER(BuildReport)]),
    "cxl_builder_set_version": (c_int32, [c_void_p, c_char_p]),
    "cxl_builder_add_node": (c_int32, [c_void_p, c_char_p, POINTER(BuildReport)]),
    "cxl_builder_rename_node": (c_int32, [c_void_p, c_char_p, c_char_p, POINTER(BuildReport)]),
    "cxl_builder_change_message": (c_int32, [c_void_p, c_char_p, POINTER(MessageSpec), POINTER(BuildReport)]),
    "cxl_builder_change_signal": (
        c_int32,
        [c_void_p, c_char_p, c_char_p, POINTER(SignalSpec), POINTER(BuildReport)],
    ),
    "cxl_builder_add_mux_range": (
        c_int32,
        [c_void_p, c_char_p, c_char_p, c_uint64, c_uint64, POINTER(BuildReport)],
    ),
    "cxl_builder_set_value_text": (
        c_int32,
        [c_void_p, c_char_p, c_char_p, c_int64, c_char_p, POINTER(BuildReport)],
    ),
    "cxl_builder_clear_value_texts": (c_int32, [c_void_p, c_char_p, c_char_p, POINTER(BuildReport)]),
    "cxl_builder_set_comment": (c_int32, [c_void_p, POINTER(ObjectRef), c_char_p, POINTER(BuildReport)]),
    "cxl_builder_define_attribute": (
        c_int32,
        [c_void_p, POINTER(AttributeDefinition), c_void_p, POINTER(BuildReport)],
    ),
    "cxl_builder_set_attribute": (
        c_int32,
        [c_void_p, POINTER(ObjectRef), c_char_p, c_double, c_char_p, POINTER(BuildReport)],
    ),
    "cxl_builder_remove_attribute": (c_int32, [c_void_p, POINTER(ObjectRef), c_char_p, POINTER(BuildReport)]),
    "cxl_log_open_file": (c_int32, [c_char_p, c_int32, c_uint32, LogIssueCallback, c_void_p, POINTER(c_void_p)]),
    "cxl_log_open_memory": (
        c_int32,
        [c_char_p, c_size_t, c_int32, c_uint32, LogIssueCallback, c_void_p, POINTER(c_void_p)],
    ),
    "cxl_log_open_callback": (
        c_int32,
        [LogReadCallback, c_void_p, c_int32, c_uint32, LogIssueCallback, c_void_p, POINTER(c_void_p)],
    ),
    "cxl_log_read": (c_int32, [c_void_p, POINTER(Frames)]),
    "cxl_log_format": (c_int32, [c_void_p]),
    "cxl_log_get_counts": (c_int32, [c_void_p, POINTER(LogCounts)]),
    "cxl_log_fatal_issue": (c_int32, [c_void_p, POINTER(LogIssue)]),
    "cxl_log_channel_name": (c_char_p, [c_void_p, ctypes.c_uint16]),
    "cxl_log_start_ns": (c_int64, [c_void_p]),
    "cxl_log_close": (None, [c_void_p]),
    "cxl_log_create_file": (c_int32, [c_char_p, c_int32, POINTER(c_void_p)]),
    "cxl_log_write": (c_int32, [c_void_p, POINTER(Frames)]),
    "cxl_log_refusal": (c_char_p, [c_void_p, POINTER(Frames), c_size_t]),
    "cxl_log_name_channel": (c_int32, [c_void_p, ctypes.c_uint16, c_char_p]),
    "cxl_log_finish": (c_int32, [c_void_p]),
}


def _library_names():
    if sys.platform == "win32":
        return ["canxlate.dll"]
    if sys.platform == "darwin":
        return ["libcanxlate.dylib"]
    return ["libcanxlate.so", "libcanxlate.so.0"]


def find_library():
    """The path of libcanxlate: $CANXLATE_LIBRARY, else beside this package, else the system's."""
    named = os.environ.get("CANXLATE_LIBRARY")
    if named:
        return named
    here = os.path.dirname(os.path.abspath(__file__))
    for name in _library_names():
        path = os.path.join(here, name)
        if os.path.exists(path):
            return path
    return _library_names()[-1]  # the dynamic loader's search path


def _load():
    path = find_library()
    try:
        lib = ctypes.CDLL(path)
    except OSError as error:
        raise ImportError(
            f"canxlate: cannot load libcanxlate ({path}): {error}; set CANXLATE_LIBRARY to the library's path"
        ) from error
    for name, (restype, argtypes) in _PROTOTYPES.items():
        function = getattr(lib, name)
        function.restype = restype
        function.argtypes = argtypes
    return lib


lib = _load()


def text(pointer):
    """A C string as str (None stays None); the files' bytes are read as UTF-8, other bytes as Latin-1."""
    if pointer is None:
        return None
    try:
        return pointer.decode("utf-8")
    except UnicodeDecodeError:
        return pointer.decode("latin-1")


def status_text(status):
    return text(lib.cxl_status_text(status))


def _load_speedups():
    """The compiled module of per-call decoding and encoding (canxlate._speedups, or the file that
    CANXLATE_SPEEDUPS names), bound to this library; None when it is absent or CANXLATE_NO_SPEEDUPS is set."""
    if os.environ.get("CANXLATE_NO_SPEEDUPS"):
        return None
    try:
        from . import _speedups as module
    except ImportError:
        path = os.environ.get("CANXLATE_SPEEDUPS")
        if not path:
            return None
        import importlib.util

        located = importlib.util.spec_from_file_location(f"{__package__}._speedups", path)
        module = importlib.util.module_from_spec(located)
        located.loader.exec_module(module)
    address = lambda function: ctypes.cast(function, c_void_p).value  # noqa: E731
    module.bind(address(lib.cxl_decode), address(lib.cxl_encode_raw))
    return module


speedups = _load_speedups()
