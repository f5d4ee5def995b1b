def decode_messages():
    pass


def read_log():
    pass
