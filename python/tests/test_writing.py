"""Writing DBC text from Python: what is written loads as the same database, and changes made to messages and
signals reach the text, the lookups and the decoding once refreshed."""

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


def _edit_choices_and_comment(message):
    signal = message.get_signal_by_name("Status")
    signal.choices = {0: "Fine", 3: "Gone"}
    signal.comment = 'says "hi"'


@pytest.mark.parametrize(
    "edit, name, check",
    [
        (_edit_scale, "Diag", lambda m: m.decode(b"\x01\x10\x00\x00\x00\x00\x00\x00")["Voltage"] == 0.032),
        (_edit_name_and_id, "Renamed", lambda m: m.frame_id == 0x123),
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
    edit(message)
    db.refresh()
    assert check(db.get_message_by_name(name))
    assert db.get_message_by_name(name) is message
    assert message.senders == ["Gateway"] and db.nodes[0].name == "Gateway"
    canxlate.dump_file(db, tmp_path / "out.dbc")
    assert check(canxlate.load_file(tmp_path / "out.dbc").get_message_by_name(name))


def test_refused_change_names_the_fault():
    db = canxlate.load_string(SMALL_DBC)
    db.get_message_by_frame_id(1979).get_signal_by_name("Temp").start = 60
    with pytest.raises(canxlate.Error, match="signal 'Temp' of message 'Diag'"):
        db.as_dbc_string()
