"""Writing DBC text from Python: what is written loads as the same database, and changes made to messages and
signals reach the text, the lookups and the decoding once refreshed."""

import pickle
import types

import pytest

import canxlate
from conftest import EXAMPLE_DBC, OPENDBC, REAL_FILES, SMALL_DBC


@pytest.mark.parametrize("path", [OPENDBC / f"{name}.dbc" for name in REAL_FILES] + [EXAMPLE_DBC], ids=str)
def test_written_text_loads_as_the_same_database(path):
    db = canxlate.load_file(path, strict=False)
    for message in db.messages:  # made in Python, so written through the builder
        message.signals
    written = canxlate.load_string(db.as_dbc_string(), strict=False)
    assert db._differences(written) == []


def _edit_scale(message):
    message.get_signal_by_name("Voltage").scale = 0.002


def _edit_name_and_id(message):
    message.name, message.frame_id = "Renamed", 0x123


def _edit_attributes(message):
    owner = canxlate.dbc_extras.AttributeDefinition("Owner", kind="BO_", type_name="STRING")
    message.dbc.attributes["Owner"] = canxlate.dbc_extras.Attribute("brakes", owner)


def _edit_choices_and_comment(message):
    signal = message.get_signal_by_name("Status")
    signal.choices = {0: "Fine", 3: "Gone"}
    signal.comment = 'says "hi"'


@pytest.mark.parametrize(
    "edit, name, check",
    [
        (_edit_scale, "Diag", lambda m: m.decode(b"\x01\x10\x00\x00\x00\x00\x00\x00")["Voltage"] == 0.032),
        (_edit_name_and_id, "Renamed", lambda m: m.frame_id == 0x123),
        (_edit_attributes, "Diag", lambda m: (m.dbc.attributes["Owner"].value, m.cycle_time) == ("brakes", 100)),
        (
            _edit_choices_and_comment,
            "Diag",
            lambda m: str(m.get_signal_by_name("Status").choices[3]) == "Gone"
            and m.get_signal_by_name("Status").comment == 'says "hi"',
        ),
    ],
)
def test_changes_reach_the_text_and_the_library_after_refresh(edit, name, check, tmp_path):
    db = canxlate.load_string(SMALL_DBC)
    message = db.get_message_by_frame_id(1979)
    db.nodes[0].name = "Gateway"  # ECU renamed wherever the database names it
    db.nodes[0].comment, db.comment = "in the dash", "the bus"
    edit(message)
    db.refresh()
    assert check(db.get_message_by_name(name))
    assert db.get_message_by_name(name) is message
    assert message.senders == ["Gateway"] and db.nodes[0].name == "Gateway"
    assert (db.nodes[0].comment, db.comment) == ("in the dash", "the bus")
    canxlate.dump_file(db, tmp_path / "out.dbc")
    assert check(canxlate.load_file(tmp_path / "out.dbc").get_message_by_name(name))


def _move_temp(db):
    db.get_message_by_frame_id(1979).get_signal_by_name("Temp").start = 60


def _add_a_message_of_the_same_id(db):
    db.add_dbc_string('BO_ 1979 Again: 8 ECU\nCM_ BO_ 1979 "mine";\n')
    db.messages[0].comment = "changed"  # written through the builder, which finds each message by its name


def _add_a_message_of_the_same_name(db):
    db.add_dbc_string("BO_ 1000 Ext: 8 ECU\n")
    db.messages[3].frame_id = 1001


@pytest.mark.parametrize(
    "edit, fault",
    [
        (_move_temp, "signal 'Temp' of message 'Diag'"),
        (_add_a_message_of_the_same_id, "message 'Again' has the ID 1979 of message 'Diag': its comment"),
        (_add_a_message_of_the_same_name, "message 'Ext' has the name of an earlier message"),
    ],
)
def test_refused_change_names_the_fault(edit, fault):
    db = canxlate.load_string(SMALL_DBC)
    edit(db)
    with pytest.raises(canxlate.Error, match=fault):
        db.as_dbc_string()


def _made_with_keywords():
    mode = canxlate.Signal("Mode", 0, 8, is_multiplexer=True, choices={1: "Slow", 2: "Fast"})
    speed = canxlate.Signal(
        "Speed value",
        8,
        16,
        conversion=types.SimpleNamespace(scale=0.5, offset=-10, choices=None, is_float=False),
        unit="km/h",
        multiplexer_ids=[1, 2],
        multiplexer_signal="Mode",
    )
    weight = canxlate.dbc_extras.AttributeDefinition("Weight", 1, "SG_", "INT", 0, 9)
    level = canxlate.Signal(
        "Level",
        31,
        8,
        byte_order="big_endian",
        is_signed=True,
        raw_initial=-3,
        receivers=["Dash"],
        dbc_specifics=canxlate.dbc_extras.DbcExtras({"Weight": canxlate.dbc_extras.Attribute(7, weight)}),
    )
    message = canxlate.Message(
        0x123,
        "Engine",
        8,
        [level, speed, mode],
        senders=["Ecu"],
        cycle_time=100,
        comment="made here",
        signal_groups=[canxlate.SignalGroup("Shown", signal_names=["Mode", "Speed value"])],
    )
    nodes = [canxlate.Node("Ecu", "engine box"), canxlate.Node("Dash")]
    return canxlate.Database(messages=[message], nodes=nodes, version="2")


@pytest.mark.parametrize(
    "read, expected",
    [
        (lambda db: [(node.name, node.comment) for node in db.nodes], [("Ecu", "engine box"), ("Dash", None)]),
        (lambda db: [s.name for s in db.messages[0].signals], ["Mode", "Speed_value", "Level"]),
        (
            lambda db: (db.messages[0].cycle_time, db.messages[0].comment, db.messages[0].senders),
            (100, "made here", ["Ecu"]),
        ),
        (lambda db: db.messages[0].signal_groups[0].signal_names, ["Mode", "Speed_value"]),
        (lambda db: db.messages[0].get_signal_by_name("Level").initial, -3),
        (lambda db: db.messages[0].get_signal_by_name("Level").dbc.attributes["Weight"].value, 7),
        (
            lambda db: db.decode_message(0x123, bytes.fromhex("02 1E 00 FD 00 00 00 00")),
            {"Mode": "Fast", "Speed_value": 5.0, "Level": -3},
        ),
        (lambda db: db.version, "2"),
    ],
)
def test_made_with_keywords_writes_and_reads_back(read, expected):
    made = _made_with_keywords()
    assert read(canxlate.load_string(made.as_dbc_string())) == expected
    assert read(pickle.loads(pickle.dumps(made))) == expected


def test_messages_made_with_keywords_join_and_leave_a_database():
    db = canxlate.load_string(SMALL_DBC)
    alone = canxlate.Message(0x10, "Alone", 2, [canxlate.Signal("Word", 0, 16, scale=2)])
    assert alone.decode(b"\x02\x00") == {"Word": 4}  # a database of its own, made when first used
    db.messages.append(alone)
    del db.messages[0]
    db.refresh()
    assert [m.name for m in db.messages] == ["Ext", "DiagExt", "Alone"]
    assert db.get_message_by_frame_id(0x10) is alone and alone.encode({"Word": 8}) == b"\x04\x00"


LONG = 'BO_ 1 M: 8 A\n SG_ Second_signal_with_a_long_name_xyz : 8|8@1+ (1,0) [0|0] "" A\n SG_ First : 0|8@1+ (1,0) [0|0] "" A\nBA_DEF_ BO_ "Alpha" INT 0 9;\nBA_DEF_ SG_ "Zeta" INT 0 9;\nBA_ "Zeta" SG_ 1 First 2;\nBA_ "Alpha" BO_ 1 1;\nVAL_ 1 First 0 "Zero" 2 "Two" ;\nVAL_ 1 Second_signal_with_a_long_name_xyz 1 "One" ;\n'


@pytest.mark.parametrize(
    "keywords, first, then",
    [
        ({}, 'VAL_ 1 First 2 "Two" 0 "Zero" ;', None),
        ({"sort_choices": canxlate.sort_choices_by_value}, 'VAL_ 1 First 0 "Zero" 2 "Two" ;', None),
        ({}, "VAL_ 1 Second_signal_with_a_long_na", "VAL_ 1 First"),
        ({"sort_signals": canxlate.sort_signals_by_name}, " SG_ First :", " SG_ Second"),
        ({}, " SG_ Second", " SG_ First :"),
        ({"sort_attribute_signals": canxlate.sort_signals_by_name}, "VAL_ 1 First", "VAL_ 1 Second"),
        ({"shorten_long_names": False}, "SG_ Second_signal_with_a_long_name_xyz :", None),
        (
            {"sort_attributes": lambda rows: sorted(rows, key=lambda row: row[1].name)},
            'BA_ "Alpha"',
            'BA_ "SystemSignalLongSymbol"',
        ),
        (
            {"sort_attributes": lambda rows: sorted(rows, key=lambda row: row[0], reverse=True)},
            'BA_ "Zeta"',
            'BA_ "Alpha"',
        ),
    ],
)
def test_writing_keywords(keywords, first, then):
    text = canxlate.load_string(LONG).as_dbc_string(**keywords)
    assert first in text and (then is None or text.index(first) < text.index(then))
    assert ('"SystemSignalLongSymbol"' in text) == keywords.get("shorten_long_names", True)


FIELDS = """BO_ 2147484144 M: 8 E
 SG_ S : 0|8@1+ (1,0) [0|0] "" E
BA_DEF_ BO_ "GenMsgCycleTime" INT 0 1000;
BA_DEF_ BO_ "GenMsgSendType" ENUM "Cyclic","Event";
BA_DEF_ BO_ "VFrameFormat" INT 0 15;
BA_DEF_ SG_ "SPN" INT 0 524287;
BA_DEF_DEF_ "GenMsgCycleTime" 100;
BA_DEF_DEF_ "GenMsgSendType" "Event";
BA_DEF_DEF_ "VFrameFormat" 1;
BA_DEF_DEF_ "SPN" 7;
"""


@pytest.mark.parametrize("source", [None, FIELDS], ids=["made", "read"])
@pytest.mark.parametrize(
    "owner, field, value",
    [
        ("message", "is_fd", True),
        ("message", "protocol", "j1939"),
        ("message", "send_type", "Cyclic"),
        ("message", "send_type", "IfActive"),  # a text the enumeration lacks
        ("message", "cycle_time", 50),
        ("message", "cycle_time", None),  # not the definition's default
        ("signal", "spn", 190),
    ],
)
def test_fields_kept_in_attributes_come_back(source, owner, field, value):
    if source is None:
        made = canxlate.Message(0x1F0, "M", 8, [canxlate.Signal("S", 0, 8)], is_extended_frame=True)
        db = canxlate.Database(messages=[made])
    else:
        db = canxlate.load_string(source)
    message = db.messages[0]
    setattr(message if owner == "message" else message.signals[0], field, value)
    back = canxlate.load_string(db.as_dbc_string()).messages[0]
    assert getattr(back if owner == "message" else back.signals[0], field) == value


def _mux(second_ids):
    mode = canxlate.Signal("Mode", 0, 8, is_multiplexer=True)
    first = canxlate.Signal("First", 8, 8, multiplexer_ids=[1], multiplexer_signal="Mode")
    return [mode, first, canxlate.Signal("Second", 12, 8, multiplexer_ids=second_ids, multiplexer_signal="Mode")]


@pytest.mark.parametrize(
    "signals, refusal",
    [
        ([canxlate.Signal("A", 0, 8), canxlate.Signal("B", 4, 8)], "The signals B and A are overlapping in message M."),
        ([canxlate.Signal("A", 7, 8, byte_order="big_endian"), canxlate.Signal("B", 0, 1)], "signals B and A"),
        ([canxlate.Signal("A", 20, 8, byte_order="big_endian")], "The signal A does not fit in message M."),
        ([canxlate.Signal("A", 17, 8)], "The signal A does not fit"),
        ([canxlate.Signal("A", 0, 0)], "The signal A length 0 is not greater than 0 in message M."),
        (_mux([1]), "The signals Second and First are overlapping"),
        (_mux([2]), None),  # in other branches
    ],
)
def test_strict_message_refuses_signals_that_overlap_or_stick_out(signals, refusal):
    if refusal is None:
        canxlate.Message(1, "M", 3, signals)
    else:
        with pytest.raises(canxlate.Error, match=refusal):
            canxlate.Message(1, "M", 3, signals)
    if "length 0" not in (refusal or ""):  # that one however strict
        canxlate.Message(1, "M", 3, signals, strict=False)
