import threading

import pytest

import canxlate
from conftest import EXAMPLE_DBC, EXAMPLE_LOG

can = pytest.importorskip("can")
pd = pytest.importorskip("pandas")


def same_long(frame, expected):
    assert len(frame) == len(expected) == 52
    for column in ["timestamp", "channel", "frame_id", "message", "signal", "value"]:
        assert (
            list(frame[column]) == pytest.approx(list(expected[column]))
            if column in ("timestamp", "value")
            else list(frame[column]) == list(expected[column])
        )


def test_python_can_readers_give_what_ours_give():
    db = canxlate.load_file(EXAMPLE_DBC)
    same_long(canxlate.decode_messages(db, can.LogReader(str(EXAMPLE_LOG))), canxlate.read_log(EXAMPLE_LOG, db))


def test_frames_from_python_can(small_db, tmp_path):
    frames = [
        can.Message(arbitration_id=0x7BB, is_extended_id=False, is_remote_frame=True, dlc=8),
        can.Message(is_error_frame=True),
        can.Message(arbitration_id=0x7BB, is_extended_id=False, data=bytes.fromhex("011027")),
        can.Message(arbitration_id=0x7BB, is_extended_id=True, data=bytes.fromhex("0000C03F00000000")),
    ]
    assert [len(chunk) for chunk in canxlate.logs.chunks_from_messages(frames, 1)] == [1, 1]
    frame = canxlate.decode_messages(small_db, frames)
    rows = [("Diag", "Service", 1), ("Diag", "Voltage", 10.0), ("DiagExt", "Ratio", 4.0)]
    assert list(zip(frame.message, frame.signal, frame.value)) == rows
    frames[2].channel, frames[3].channel, frames[3].is_fd = "vcan2", 1, True
    copy = tmp_path / "copy.log"
    assert canxlate.logs.write_log(copy, canxlate.logs.chunks_from_messages(frames, keep_remote_and_error=True)) == 4
    written = ["can0 7BB#R8", "can0 20000000#", "vcan2 7BB#011027", "can1 000007BB##00000C03F00000000"]
    assert copy.read_text().splitlines() == [f"(0.000000) {line}" for line in written]


def test_listener_on_a_virtual_bus():
    db = canxlate.load_file(EXAMPLE_DBC)
    received, done = [], threading.Event()

    def callback(message, signals, frame):
        received.append((message.name, signals, db.decode_message(frame.arbitration_id, frame.data)))
        done.set()

    with can.Bus("canxlate-test", interface="virtual") as sender, can.Bus("canxlate-test", interface="virtual") as bus:
        notifier = can.Notifier(bus, [canxlate.can.DecodingListener(db, callback)])
        sender.send(can.Message(arbitration_id=0x123, data=bytes(8), is_extended_id=False))  # unknown: passed over
        sender.send(can.Message(arbitration_id=0x100, data=bytes.fromhex("8A131F80FB900000"), is_extended_id=False))
        assert done.wait(5)
        notifier.stop()
    expected = {"EngineSpeed": 1250.5, "ThrottlePosition": 12.4, "CoolantTemp": 88, "EngineTorque": -35.5}
    assert received == [("EngineData", expected, expected)]


def test_dask_on_a_local_cluster(tmp_path):
    distributed = pytest.importorskip("distributed")
    import canxlate.dask

    asc = tmp_path / "example.asc"
    canxlate.logs.convert(EXAMPLE_LOG, asc)
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, dashboard_address=None) as cluster:
        with distributed.Client(cluster):
            frame = canxlate.dask.read_logs([EXAMPLE_LOG, asc], EXAMPLE_DBC, partition_bytes=333)
            assert frame.npartitions == 2 + 4  # slices cut at line starts, the ASC header read by each
            result = frame.compute()
    same_long(result.iloc[:52], canxlate.read_log(EXAMPLE_LOG, EXAMPLE_DBC))
    same_long(result.iloc[52:], canxlate.read_log(asc, EXAMPLE_DBC).astype({"channel": str}))


@pytest.mark.parametrize(
    "arguments, output",
    [
        (["info", str(EXAMPLE_DBC)], "message EngineData 0x100 (256, standard): 8 bytes, 4 signals"),
        (
            ["decode", str(EXAMPLE_DBC), str(EXAMPLE_LOG), "--message", "FuelConsumption"],
            "1700000000.069877,2.75,63.5,512.0",
        ),
        (["info", "missing.dbc"], None),
    ],
)
def test_command_line(capsys, arguments, output):
    from canxlate.__main__ import main

    assert main(arguments) == (0 if output else 1)
    assert output is None or output in capsys.readouterr().out


def test_plot_draws_one_axis_per_unit(tmp_path):
    pytest.importorskip("matplotlib")
    from canxlate.__main__ import main

    out = tmp_path / "plot.png"
    assert (
        main(["plot", str(EXAMPLE_DBC), str(EXAMPLE_LOG), "EngineSpeed", "BatteryStatus.StateOfCharge", "-o", str(out)])
        == 0
    )
    assert out.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
