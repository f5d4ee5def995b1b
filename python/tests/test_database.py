import math
import pickle
import threading

import numpy as np
import pytest

import canxlate
from conftest import OPENDBC, REAL_FILES, SMALL_DBC, frames_of


def close(value, expected):
    return math.isclose(value, expected, rel_tol=1e-9, abs_tol=1e-12)


@pytest.mark.parametrize("stem", REAL_FILES)
def test_frames_decode_as_the_reference_tool_does(stem):
    db = canxlate.load_file(OPENDBC / f"{stem}.dbc", strict=False, sort_signals=None)
    frames = [frame for frame in frames_of(stem) if frame["carried"] is not None]
    for frame in frames:
        decoded = db.get_message_by_frame_id(frame["id"]).decode(bytes.fromhex(frame["data"]))
        assert list(decoded) == frame["carried"], frame
        for name, value in decoded.items():
            if name in frame["labels"]:
                assert value == frame["labels"][name] and isinstance(value, canxlate.NamedSignalValue)
            else:
                assert close(value, frame["signals"][name]), (frame, name)
    # The same frames in one batch: the same signals carried, the same physical values.
    extended = [db.get_message_by_frame_id(f["id"]).is_extended_frame for f in frames]
    batch = db.decode_frames([f["id"] for f in frames], [bytes.fromhex(f["data"]) for f in frames], extended=extended)
    for column, frame in enumerate(frames):
        message = db.messages[batch.message_index[column]]
        carried = [
            (s.name, batch.physical[i, column]) for i, s in enumerate(message.signals) if batch.present[i, column]
        ]
        assert [name for name, _ in carried] == frame["carried"]
        assert all(close(value, frame["signals"][name]) for name, value in carried)


@pytest.mark.parametrize(
    "stem, message, signal, attribute, expected",
    [
        ("vw_mqb", "KN_Airbag_01", None, "frame_id", 0x17F00015),
        ("vw_mqb", "KN_Airbag_01", None, "is_extended_frame", True),
        ("vw_mqb", "KN_Airbag_01", None, "senders", ["Airbag_MQB"]),
        ("vw_mqb", "VIN_01", None, "is_multiplexed", True),
        ("vw_mqb", "VIN_01", "VIN_01_MUX", "is_multiplexer", True),
        ("vw_mqb", "VIN_01", "VIN_01_MUX", "maximum", 3.0),
        ("vw_mqb", "VIN_01", "VIN_4", "multiplexer_ids", [1]),
        ("vw_mqb", "VIN_01", "VIN_4", "multiplexer_signal", "VIN_01_MUX"),
        ("vw_mqb", "VIN_01", "VIN_4", "unit", None),
        ("tesla_can", "UI_autopilotControl", "UI_hovEnabled", "minimum", None),
        ("tesla_can", "UI_autopilotControl", "UI_hovEnabled", "receivers", ["APP", "APS"]),
        ("tesla_can", "DI_torque1", "DI_torqueMotor", "is_signed", True),
        ("tesla_can", "DI_torque1", "DI_torqueMotor", "scale", 0.25),
        ("tesla_can", "DI_torque1", "DI_torqueMotor", "minimum", -750),
        (
            "tesla_can",
            "DAS_steeringControl",
            "DAS_steeringControlType",
            "choices",
            {0: "NONE", 1: "ANGLE_CONTROL", 2: "RESERVED", 3: "DISABLED"},
        ),
        ("toyota_nodsu_pt_generated", "PCS_HUD", "PCS_INDICATOR", "start", 7),
        ("toyota_nodsu_pt_generated", "PCS_HUD", "PCS_INDICATOR", "byte_order", "big_endian"),
        ("toyota_nodsu_pt_generated", "KINEMATICS", "ACCEL_X", "comment", "x-axis accel"),
        ("ESR", "Target64", "CAN_TX_TRACK_WIDTH", "is_float", False),
    ],
)
def test_model_of_real_files(stem, message, signal, attribute, expected):
    item = canxlate.load_file(OPENDBC / f"{stem}.dbc", strict=False).get_message_by_name(message)
    item = item.get_signal_by_name(signal) if signal else item
    value = getattr(item, attribute)
    assert (value() if callable(value) else value) == expected


@pytest.mark.parametrize(
    "path, attribute, expected",
    [
        ("version", None, "7"),
        ("nodes", None, ["ECU", "Tester"]),
        ("message", "comment", "diagnostic answers"),
        ("message", "cycle_time", 100),
        ("message", "length", 8),
        ("ext", "frame_id", 0x400),
        ("ext", "is_fd", False),
        ("ext", "cycle_time", None),
        ("by_id", "name", "Diag"),  # a number alone names the standard frame
    ],
)
def test_model_of_small_file(small_db, path, attribute, expected):
    item = {"version": small_db.version, "nodes": [n.name for n in small_db.nodes]}.get(path)
    if attribute:
        message = {"message": "Diag", "ext": "Ext"}.get(path)
        item = small_db.get_message_by_name(message) if message else small_db.get_message_by_frame_id(0x7BB)
        item = getattr(item, attribute)
    assert item == expected


OVERLAP = 'BO_ 100 M: 8 N\n SG_ A : 0|8@1+ (1,0) [0|0] "" N\n SG_ B : 4|8@1+ (1,0) [0|0] "" N\n'
PAST_END = 'BO_ 100 M: 2 N\n SG_ A : 16|8@1+ (1,0) [0|0] "" N\n'


@pytest.mark.parametrize(
    "text, database_format, error, line",
    [
        ('VERSION "1"\ngarbage here\n', "dbc", canxlate.ParseError, 2),
        (OVERLAP, "dbc", canxlate.ParseError, 3),
        (PAST_END, "dbc", canxlate.ParseError, 2),
        ('BO_ 100 M: 8 N\n SG_ A : 0|0@1+ (1,0) [0|0] "" N\n', "dbc", canxlate.ParseError, 2),
        (b"\x00\x01\x02 binary", "dbc", canxlate.ParseError, 0),
        ('VERSION "1"\n', "arxml", canxlate.UnsupportedDatabaseFormatError, None),
    ],
)
def test_bad_databases(text, database_format, error, line):
    with pytest.raises(error) as raised:
        canxlate.load_string(text, database_format)
    assert issubclass(error, canxlate.Error)
    if line is not None:
        where = [str(raised.value)] + getattr(raised.value, "__notes__", [])
        assert raised.value.line == line and f", line {line}," in where[-1]
        lenient = canxlate.load_string(text, database_format, strict=False)
        assert any(d.refused_when_strict for d in lenient.diagnostics)


TRAILER = 'BO_ 1264 T: 8 N\n SG_ Id : 0|48@1+ (1,0) [0|0] "" N\nVAL_ 1264 Id -1 "Faulty" -2 "NoData";\n'


def test_negative_keys_of_unsigned_fields_are_bit_patterns():
    database = canxlate.load_string(TRAILER)
    assert database.get_message_by_name("T").get_signal_by_name("Id").choices == {
        0xFFFFFFFFFFFE: "NoData",
        0xFFFFFFFFFFFF: "Faulty",
    }
    assert database.decode_message("T", bytes.fromhex("FFFFFFFFFFFF0000"))["Id"] == "Faulty"
    assert database.encode_message("T", {"Id": "Faulty"}) == bytes.fromhex("FFFFFFFFFFFF0000")


def test_missing_file_raises_oserror(tmp_path):
    with pytest.raises(FileNotFoundError):
        canxlate.load_file(tmp_path / "missing.dbc")


DIAG = {"Service": 1, "Voltage": 10.0, "Temp": -20, "Status": "Busy"}


@pytest.mark.parametrize(
    "name, data, options, expected",
    [
        ("Diag", "01102700 00140001", {}, DIAG),
        (
            "Diag",
            "01102700 00140001",
            {"scaling": False},
            {"Service": 1, "Voltage": 10000, "Temp": 20, "Status": "Busy"},
        ),
        ("Diag", "01102700 00140001", {"decode_choices": False}, {**DIAG, "Status": 1}),
        ("Diag", "020A0000 00280002", {}, {"Service": 2, "Odometer": 1.0, "Temp": 0, "Status": "Error"}),
        ("Diag", "09FFFFFF FF280000", {}, canxlate.DecodeError),  # a switch value without a branch
        ("Diag", "01102700 00140001" + "FF" * 60, {}, DIAG),
        ("Diag", "01102700 00140001 FF", {"allow_excess": False}, canxlate.DecodeError),
        ("Diag", "011027", {}, canxlate.DecodeError),
        ("Diag", "011027", {"allow_truncated": True}, {"Service": 1, "Voltage": 10.0}),
        (0x7BB, "01102700 00140001", {}, DIAG),
        (0x400, "ABC00000", {}, {"Level": 1374.0}),
        ("DiagExt", "0000C03F 00000000", {}, {"Ratio": 4.0}),
        ("DiagExt", "0000C03F 00000000", {"scaling": False}, {"Ratio": 1.5}),
    ],
)
def test_decode_options(small_db, name, data, options, expected):
    payload = bytearray.fromhex(data)  # python-can hands data over as a bytearray
    if isinstance(expected, type):
        with pytest.raises(expected):
            small_db.decode_message(name, payload, **options)
        return
    decoded = small_db.decode_message(name, payload, **options)
    assert decoded == expected
    for name, value in expected.items():  # ints stay ints; texts are NamedSignalValues with their raw value
        if isinstance(value, str):
            assert decoded[name].value == {"OK": 0, "Busy": 1, "Error": 2}[value]
        else:
            assert type(decoded[name]) is type(value), name


ENCODE_SIGNALS = {"Service": 1, "Voltage": 10.0, "Temp": -20, "Status": "Busy"}


@pytest.mark.parametrize(
    "changes, options, expected",
    [
        ({}, {}, "0110270000140001"),
        ({"Odometer": 5.0}, {}, canxlate.EncodeError),  # another branch's signal
        ({"Odometer": 5.0}, {"strict": False}, "0110270000140001"),  # ... is left out
        ({"Status": canxlate.NamedSignalValue(2, "Busy")}, {}, "0110270000140002"),  # its own number
        ({}, {"padding": True}, "011027FFFF14FFFD"),
        ({"Voltage": 10000, "Temp": 20, "Status": 1}, {"scaling": False}, "0110270000140001"),
        ({"Temp": None}, {}, canxlate.EncodeError),
        ({"Temp": 101}, {}, canxlate.EncodeError),
        ({"Temp": 200}, {"strict": False}, "0110270000780001"),
        ({"Nope": 1}, {}, canxlate.EncodeError),
        ({"Nope": 1}, {"strict": False}, "0110270000140001"),
        ({"Status": "Unknown"}, {}, canxlate.EncodeError),
    ],
)
def test_encode(small_db, changes, options, expected):
    signals = {k: v for k, v in {**ENCODE_SIGNALS, **changes}.items() if v is not None}
    if isinstance(expected, type):
        with pytest.raises(expected):
            small_db.encode_message("Diag", signals, **options)
    else:
        assert small_db.encode_message(0x7BB, signals, **options).hex().upper() == expected


def test_pickled_database_and_threads_decode_alike():
    db = canxlate.load_file(OPENDBC / "tesla_can.dbc")
    frames = [(f["id"], bytes.fromhex(f["data"])) for f in frames_of("tesla_can") if f["carried"] is not None]
    expected = [db.decode_message(i, d) for i, d in frames]
    copy = pickle.loads(pickle.dumps(db))
    assert [copy.decode_message(i, d) for i, d in frames] == expected
    results = [None] * 4

    def work(slot):
        results[slot] = [db.decode_message(i, d) for i, d in frames for _ in range(20)][::20]

    threads = [threading.Thread(target=work, args=(slot,)) for slot in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert results == [expected] * 4


def test_batch_columns(small_db):
    payloads = [bytes.fromhex("0110270000140001"), bytes.fromhex("020A000000280002"), bytes(8)]
    batch = small_db.decode_frames([0x7BB, 0x7BB, 0x123], payloads)
    assert list(batch.message_index) == [0, 0, -1] and not batch.present[:, 2].any()
    columns = batch.signals("Diag")  # NaN where the switch leaves a signal out
    assert columns["Voltage"][0] == 10.0 and np.isnan(columns["Voltage"][1]) and columns["Odometer"][1] == 1.0
    assert len(small_db.decode_frames([], np.zeros((0, 8), np.uint8)).message_index) == 0
