"""cantools' own tests of reading DBC files, run against canxlate through a stand-in that only renames.

    CANTOOLS_SRC=/path/to/cantools python3 -m pytest python/compat

CANTOOLS_SRC is a cantools source tree (tag 42.0.3) whose tests/test_database.py is run; textparser and
parameterized, which that file imports, must be importable. Unset, the module is skipped."""

import importlib.util
import os
import pathlib
import sys

import pytest

SOURCE = os.environ.get("CANTOOLS_SRC")
if not SOURCE:
    pytest.skip("CANTOOLS_SRC names no cantools source tree", allow_module_level=True)

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import cantools_names  # noqa: E402

cantools_names.install()

# The tests of cantools' test_database.py that read DBC files or DBC text and write no DBC text back.
READING = frozenset(
    (
        "test_add_two_dbc_files",
        "test_big_endian_no_decode_choices",
        "test_big_numbers",
        "test_cp1252_dbc",
        "test_dbc_BU_BO_REL",
        "test_dbc_issue_199_more_than_11_bits_standard_frame_id",
        "test_dbc_issue_199_more_than_29_bits_extended_frame_id",
        "test_dbc_issue_228_empty_signal_groups",
        "test_dbc_load_choices",
        "test_dbc_load_choices_issue_with_name",
        "test_dbc_load_empty_choice",
        "test_dbc_parse_error_messages",
        "test_dbc_signal_initial_value",
        "test_decode_truncated_multiplexed",
        "test_default_sort_signals",
        "test_dont_sort_signals",
        "test_emc32",
        "test_empty_ns_dbc",
        "test_encode_decode_no_scaling",
        "test_encode_decode_no_scaling_no_decode_choices",
        "test_encode_signal_strict_negative_scaling_00_Error",
        "test_encode_signal_strict_negative_scaling_01_Error",
        "test_encode_signal_strict_negative_scaling_02_Init",
        "test_encode_signal_strict_negative_scaling_03_Init",
        "test_encode_signal_strict_negative_scaling_04",
        "test_encode_signal_strict_negative_scaling_05",
        "test_encode_signal_strict_negative_scaling_06",
        "test_encode_signal_strict_negative_scaling_07",
        "test_encode_signal_strict_negative_scaling_08",
        "test_encode_signal_strict_negative_scaling_09",
        "test_encode_signal_strict_negative_scaling_10",
        "test_encode_signal_strict_negative_scaling_11",
        "test_encode_signal_strict_negative_scaling_12",
        "test_encode_signal_strict_negative_scaling_13",
        "test_encode_signal_strict_negative_scaling_14",
        "test_encode_signal_strict_negative_scaling_15",
        "test_encode_signal_strict_negative_scaling_16",
        "test_encode_signal_strict_negative_scaling_17",
        "test_encode_signal_strict_negative_scaling_18",
        "test_event_attributes",
        "test_fd_detection",
        "test_foobar",
        "test_foobar_decode_masked_frame_id",
        "test_foobar_encode_decode",
        "test_foobar_encode_decode_frame_ids",
        "test_get_message_by_frame_id_and_name",
        "test_get_signal_by_name",
        "test_issue_168_upper_case_file_extension",
        "test_issue_207_tolerate_plus_in_dbc_sig_def",
        "test_issue_62",
        "test_issue_63",
        "test_j1939_dbc",
        "test_little_endian_no_decode_choices",
        "test_load_bad_format",
        "test_load_file_encoding",
        "test_load_file_with_database_format",
        "test_long_names_dbc",
        "test_motohawk_decode_truncated",
        "test_motohawk_encode_decode",
        "test_multiplex_bad_multiplexer",
        "test_multiplex_choices_padding_one",
        "test_padding_bit_order",
        "test_refresh",
        "test_setters",
        "test_signed_dbc",
        "test_socialledge",
        "test_socialledge_encode_decode_mux_0",
        "test_socialledge_encode_decode_mux_1",
        "test_sort_signals_by_name",
        "test_strict_load",
    )
)
# Further sets run with CANXLATE_COMPAT_SET=<name>.
# The tests of cantools' test_database.py that write DBC text (as_dbc_string, dump_file) and compare or read it.
WRITING = frozenset(
    (
        "test_vehicle",
        "test_dbc_gensigstartval_from_raw_initial",
        "test_motohawk",
        "test_dbc_dump_val_table",
        "test_timing",
        "test_multiplex",
        "test_multiplex_choices",
        "test_multiplex_2",
        "test_multiplex_dump",
        "test_string_attribute_definition_dump",
        "test_extended_id_dump",
        "test_attributes",
        "test_missing_dbc_specifics",
        "test_float_dbc",
        "test_multiple_senders",
        "test_issue_163_dbc_newlines",
        "test_issue_167_long_names_from_scratch",
        "test_long_names_multiple_relations",
        "test_database_version",
        "test_dbc_modify_names",
        "test_dbc_with_signal_groups",
        "test_issue_184_multiple_mux_values",
        "test_issue_184_independent_multiplexors",
        "test_issue_184_cascaded_multiplexors",
        "test_bus_comment",
        "test_bus_comment_bare",
        "test_relation_attributes",
        "test_relation_message_attributes",
        "test_dbc_sort_attribute_signals",
        "test_dbc_sort_attributes",
        "test_dbc_sort_choices",
        "test_dbc_shorten_long_names",
        "test_dbc_remove_special_chars",
        "test_fd_detection_int",
        "test_int_vframeformat_dump",
        "test_int_vframeformat_default_value",
    )
)
SETS = {"reading": READING, "writing": WRITING}

_located = importlib.util.spec_from_file_location(
    "cantools_test_database", pathlib.Path(SOURCE, "tests", "test_database.py")
)
_suite = importlib.util.module_from_spec(_located)
_located.loader.exec_module(_suite)
CHOSEN = SETS[os.environ.get("CANXLATE_COMPAT_SET", "reading")]


class TestCantoolsDatabase(_suite.CanToolsDatabaseTest):
    """cantools' test case, with the working directory at the source tree (its file names are relative)."""

    def setUp(self):
        self._previous_directory = os.getcwd()
        os.chdir(SOURCE)
        super().setUp()

    def tearDown(self):
        super().tearDown()
        os.chdir(self._previous_directory)
