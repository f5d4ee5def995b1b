"""python-can integration: a Listener that decodes received frames, and decoding of python-can's log readers.

``db.decode_message(msg.arbitration_id, msg.data)`` works on a can.Message as it is."""

import can as python_can

from .errors import DecodeError
from .logs import decode_messages

__all__ = ["DecodingListener", "decode_messages"]


class DecodingListener(python_can.Listener):
    """Hands each received frame that the database knows to ``callback(message, signals, frame)``: the
    canxlate Message, its decoded signals (name -> value) and the can.Message.

    Remote and error frames and frames of unknown IDs are passed over; a frame that cannot be decoded (too
    short) goes to ``on_error(frame, error)`` when given, else it is passed over too."""

    def __init__(self, database, callback, decode_choices=True, scaling=True, on_error=None):
        self.database = database
        self.callback = callback
        self.decode_choices = decode_choices
        self.scaling = scaling
        self.on_error = on_error

    def on_message_received(self, msg):
        if msg.is_error_frame or msg.is_remote_frame:
            return
        message = self.database.find_message(msg.arbitration_id, msg.is_extended_id)
        if message is None:
            return
        try:
            signals = message.decode(msg.data, self.decode_choices, self.scaling)
        except DecodeError as error:
            if self.on_error is not None:
                self.on_error(msg, error)
            return
        self.callback(message, signals, msg)
