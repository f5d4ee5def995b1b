#!/usr/bin/python3
"""Writes vehicle.asc and vehicle.blf with python-can from vehicle.log (the
same frames), for the program's golden runs in every input format.

Run with Debian's python3-can installed:  /usr/bin/python3 tests/tools/data/make_logs.py
"""
import os

import can

HERE = os.path.dirname(os.path.abspath(__file__))

messages = list(can.CanutilsLogReader(os.path.join(HERE, "vehicle.log")))
for msg in messages:
    msg.channel = int(str(msg.channel)[3:])  # can0 is channel 0: ASC and BLF show it as 1
for ext in ("asc", "blf"):
    with can.Logger(os.path.join(HERE, "vehicle." + ext)) as log:
        for msg in messages:
            log.on_message_received(msg)
