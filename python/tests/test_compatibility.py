"""What scripts written for the familiar DBC toolkit rely on: databases built up from texts, their lookups and
signal order, the reading of texts, and exact encoding."""

import io

import pytest

import canxlate

FIELDS_DBC = """VERSION "1"
BU_: N
BO_ 1 Wide: 8 N
 SG_ Big : 0|64@1+ (1,0) [0|0] "" N
BO_ 2 Table: 2 N
 SG_ Temp : 3|12@0+ (-0.01,4100) [4070|4100] "" N
BO_ 3 Single: 4 N
 SG_ F : 0|32@1- (1,0) [0|0] "" N
BO_ 4 Mux: 2 N
 SG_ Sel M : 0|8@1+ (1,0) [0|0] "" N
 SG_ A m1 : 8|8@1+ (1,0) [0|0] "" N
 SG_ B m2 : 8|8@1+ (1,0) [0|0] "" N
SIG_VALTYPE_ 3 F : 1;
VAL_ 2 Temp 4095 "Error" 4094 "Init" 4093 "Init" ;
VAL_ 4 Sel 5 "Idle" ;
"""


@pytest.fixture(scope="module")
def fields_db():
    return canxlate.load_string(FIELDS_DBC)


@pytest.mark.parametrize(
    "message, values, options, expected",
    [
        ("Wide", {"Big": 0x0123456789ABCDEF}, {}, "EFCDAB8967452301"),  # wider than a double, exact
        ("Wide", {"Big": 10**400}, {}, canxlate.EncodeError),
        ("Wide", {"Big": -1}, {}, canxlate.EncodeError),
        ("Table", {"Temp": 4070.0}, {}, "0BB8"),
        ("Table", {"Temp": 4069.99}, {}, canxlate.EncodeError),  # below the minimum
        ("Table", {"Temp": 4059.06}, {}, "0FFE"),  # past the limits, but a value-table entry
        ("Table", {"Temp": 4095}, {"scaling": False}, "0FFF"),
        ("Table", {"Temp": 4096}, {"scaling": False}, canxlate.EncodeError),  # past the field
        ("Table", {"Temp": "Error"}, {}, "0FFF"),
        ("Table", {"Temp": canxlate.NamedSignalValue(4093, "Init")}, {}, "0FFD"),  # its own number
        ("Single", {"F": 1.5}, {}, "0000C03F"),
        ("Single", {"F": 1e300}, {}, canxlate.EncodeError),  # no float32 holds it
        ("Mux", {"Sel": 1, "A": 5}, {}, "0105"),
        ("Mux", {"Sel": 1, "A": 5, "B": 6}, {}, canxlate.EncodeError),  # B is of another branch
        ("Mux", {"Sel": 1, "A": 5, "B": 6}, {"strict": False}, "0105"),
        ("Mux", {"Sel": 3, "A": 5}, {}, canxlate.EncodeError),  # no branch has 3
        ("Mux", {"Sel": "Idle"}, {}, "0500"),  # a value-table entry of the switch: a branch without signals
    ],
)
def test_encode_exactly(fields_db, message, values, options, expected):
    if isinstance(expected, type):
        with pytest.raises(expected):
            fields_db.encode_message(message, values, **options)
    else:
        assert fields_db.encode_message(message, values, **options).hex().upper() == expected


@pytest.mark.parametrize(
    "data, expected",
    [
        (b"\x02\x07", {"Sel": 2, "B": 7}),
        (b"\x05\x07", {"Sel": "Idle"}),
        (b"\x03\x07", "expected multiplexer id 1, 2 or 5, but got 3"),
    ],
)
def test_decode_refuses_a_switch_value_without_a_branch(fields_db, data, expected):
    if isinstance(expected, str):
        with pytest.raises(canxlate.DecodeError, match=expected):
            fields_db.decode_message("Mux", data)
    else:
        assert fields_db.decode_message("Mux", data) == expected


def built_up():
    db = canxlate.Database()
    db.add_dbc_string('VERSION "1"\nBU_: A\nBO_ 1 M1: 8 A\nBO_ 2 M2: 8 A\n')
    db.add_dbc(io.StringIO('VERSION "2"\nBU_: B\nBO_ 2 M1: 8 B\n'))
    return db


SORTED = 'BO_ 1 M: 8 N\n SG_ Late : 40|8@1+ (1,0) [0|0] "" N\n SG_ Early : 7|8@0+ (1,0) [0|0] "" N\n'
LABELS = 'BO_ 1 M: 8 N\n SG_ S : 0|8@1+ (1,0) [0|0] "" N\nVAL_ 1 S 0 "S_Off" 1 "S_On" ;\n'


@pytest.mark.parametrize(
    "rule, value, expected",
    [
        ("messages of every text", lambda: [m.name for m in built_up().messages], ["M1", "M2", "M1"]),
        ("a name found again replaces", lambda: built_up().get_message_by_name("M1").frame_id, 2),
        ("an ID found again replaces", lambda: built_up().get_message_by_frame_id(2).name, "M1"),
        (
            "nodes and version of the last",
            lambda: ([n.name for n in built_up().nodes], built_up().version),
            (["B"], "2"),
        ),
        (
            "sorted by start bit",
            lambda: [s.name for s in canxlate.load_string(SORTED).messages[0].signals],
            ["Early", "Late"],
        ),
        (
            "file order on request",
            lambda: [s.name for s in canxlate.load_string(SORTED, sort_signals=None).messages[0].signals],
            ["Late", "Early"],
        ),
        (
            "masked IDs",
            lambda: canxlate.load_string("BO_ 2147496753 M: 8 N\n", frame_id_mask=0xFF)
            .get_message_by_frame_id(0xFFF31)
            .name,
            "M",
        ),
        (
            "pruned value texts",
            lambda: list(canxlate.load_string(LABELS, prune_choices=True).messages[0].signals[0].choices.values()),
            ["Off", "On"],
        ),
        ("UTF-8 when it all is", lambda: canxlate.load_string('CM_ "\xe2\x82\xac";'.encode("latin-1")).comment, "€"),
        ("else cp1252", lambda: canxlate.load_string(b'CM_ "\x80\x81";').comment, "€\x81"),
        ("blank text", lambda: canxlate.load(io.StringIO("")), canxlate.UnsupportedDatabaseFormatError),
        (
            "a parse error is a format error",
            lambda: canxlate.load_string("BO_ x"),
            canxlate.UnsupportedDatabaseFormatError,
        ),
        ("standard ID over 0x7FF, strict", lambda: canxlate.load_string("BO_ 2048 M: 8 N\n"), canxlate.ParseError),
        (
            "... read as extended",
            lambda: canxlate.load_string("BO_ 2048 M: 8 N\n", strict=False).messages[0].is_extended_frame,
            True,
        ),
    ],
)
def test_loading(rule, value, expected):
    if isinstance(expected, type):
        with pytest.raises(expected):
            value()
    else:
        assert value() == expected, rule


@pytest.mark.parametrize(
    "text, sentence, line",
    [
        ("BO_ 2048 M: 8 N\n", 'DBC: "Standard frame id 0x800 is more than 11 bits in message M."', 1),
        ("BO_ 4294967295 M: 8 N\n", 'DBC: "Extended frame id 0x7fffffff is more than 29 bits in message M."', 1),
        ("BO_ 1073741824 M: 8 N\n", 'DBC: "Standard frame id 0x40000000 is more than 11 bits in message M."', 1),
        (
            'BO_ 1 M: 8 N\n SG_ A : 0|8@1+ (1,0) [0|0] "" N\n SG_ B : 4|8@1+ (1,0) [0|0] "" N\n',
            'DBC: "The signals A and B are overlapping in message M."',
            3,
        ),
    ],
)
def test_strict_refusals_in_the_familiar_words_keep_the_place(text, sentence, line):
    with pytest.raises(canxlate.ParseError) as raised:
        canxlate.load_string(text)
    assert (str(raised.value), raised.value.line) == (sentence, line)
    assert f"<string>, line {line}, column" in raised.value.__notes__[0]


def test_load_file_encoding(tmp_path):
    path = tmp_path / "latin.dbc"
    path.write_bytes(b'CM_ "\x80";\n')
    assert canxlate.load_file(path).comment == "€"
    assert canxlate.load_file(path, encoding="latin-1").comment == "\x80"
    assert canxlate.load_file(path, encoding="utf-8").comment == "\ufffd"


def test_messages_are_made_when_asked_for_and_follow_refresh():
    db = canxlate.load_string("BO_ 1 A: 8 N\nBO_ 2 B: 8 N\n")
    assert db._messages == [None, None]
    message = db.get_message_by_frame_id(2)
    assert db._messages[0] is None and db.messages[1] is message
    message.frame_id, message.name = 7, "C"
    db.refresh()
    assert db.get_message_by_frame_id(7) is db.get_message_by_name("C") is message
    with pytest.raises(KeyError):
        db.get_message_by_frame_id(2)


DETAILS_DBC = """VERSION "1"
BU_: N1 Gateway
BO_ 2566844926 Pgn: 8 N1
 SG_ Speed : 0|16@1+ (0.5,0) [0|100] "" Gateway
 SG_ Level : 16|32@1- (1,0) [0|0] "" Gateway
BO_ 100 Plain: 8 N1
BO_ 101 Fd: 64 N1
EV_ Volume: 1 [0|100] "l" 5 7 DUMMY_NODE_VECTOR0 Vector__XXX;
CM_ BU_ N1 "first node";
CM_ BO_ 100 "two\r\nlines";
BA_DEF_ "DBName" STRING ;
BA_DEF_ BO_ "GenMsgSendType" ENUM "Cyclic","Event";
BA_DEF_ BO_ "VFrameFormat" ENUM "StandardCAN","ExtendedCAN","J1939PG";
BA_DEF_ SG_ "GenSigStartValue" INT 0 65535;
BA_DEF_ BO_ "GenMsgCycleTime" INT 0 10000;
BA_DEF_DEF_ "GenMsgCycleTime" 0;
BA_ "GenMsgCycleTime" BO_ 101 20;
BA_DEF_ SG_ "SPN" INT 0 524287;
BA_DEF_ BU_ "SystemNodeLongSymbol" STRING ;
BA_DEF_DEF_ "SPN" 0;
BA_ "DBName" "Body";
BA_ "SystemNodeLongSymbol" BU_ Gateway "GatewayWithALongerNameThanThirtyTwo";
BA_ "GenMsgSendType" BO_ 100 1;
BA_ "VFrameFormat" BO_ 2566844926 2;
BA_ "VFrameFormat" BO_ 101 14;
BA_ "GenSigStartValue" SG_ 2566844926 Speed 40;
BA_ "SPN" SG_ 2566844926 Speed 84;
SIG_GROUP_ 2566844926 Group 1 : Speed Level;
SIG_VALTYPE_ 2566844926 Level : 1;
"""


@pytest.fixture(scope="module")
def details_db():
    return canxlate.load_string(DETAILS_DBC)


@pytest.mark.parametrize(
    "path, expected",
    [
        (
            lambda db: [(n.name, n.comment) for n in db.nodes],
            [("N1", "first node"), ("GatewayWithALongerNameThanThirtyTwo", None)],
        ),
        (lambda db: db.get_message_by_name("Plain").send_type, "Event"),
        (
            lambda db: [(m.name, m.cycle_time, m.is_fd) for m in db.messages],
            [("Pgn", None, False), ("Plain", None, False), ("Fd", 20, True)],
        ),
        (lambda db: db.get_message_by_name("Plain").comment, "two\r\nlines"),
        (
            lambda db: (db.get_message_by_name("Pgn").protocol, db.get_message_by_name("Plain").protocol),
            ("j1939", None),
        ),
        (
            lambda db: [(g.name, g.signal_names) for g in db.get_message_by_name("Pgn").signal_groups],
            [("Group", ["Speed", "Level"])],
        ),
        (
            lambda db: [(s.raw_initial, s.initial, s.spn) for s in db.get_message_by_name("Pgn").signals],
            [(40, 20.0, 84), (None, None, 0)],
        ),
        (
            lambda db: [(s.is_float, s.is_signed) for s in db.get_message_by_name("Pgn").signals],
            [(False, False), (True, True)],
        ),
        (
            lambda db: db.get_message_by_name("Plain").dbc.attributes["GenMsgSendType"].definition.choices,
            ["Cyclic", "Event"],
        ),
        (lambda db: [b.name for b in db.buses], ["Body"]),
        (
            lambda db: repr(db.dbc.environment_variables["Volume"]),
            "environment_variable('Volume', 1, 0, 100, 'l', 5, 7, 'DUMMY_NODE_VECTOR0', 'Vector__XXX', None)",
        ),
        (
            lambda db: repr(db.get_message_by_name("Plain")),
            "message('Plain', 0x64, False, 8, {None: 'two\\r\\nlines'})",
        ),
    ],
)
def test_what_the_file_says_beyond_layout(details_db, path, expected):
    assert path(details_db) == expected
