"""Whether a message's signals fit it and share no bits with signals sent at the same time, checked as the
familiar toolkit checks a message made with ``strict=True`` and worded as it words the faults."""

from .errors import Error


def _positions(signal):
    """The payload bits a signal takes, each as 8 * byte + (7 - bit in the byte), in the order they are laid."""
    if signal.byte_order == "big_endian":
        first = 8 * (signal.start // 8) + 7 - signal.start % 8
        return range(first, first + signal.length)
    return sorted(8 * (bit // 8) + 7 - bit % 8 for bit in range(signal.start, signal.start + signal.length))


def _fits(signal):
    if signal.byte_order == "big_endian":
        return 8 * (signal.start // 8) + 7 - signal.start % 8 + signal.length
    return signal.start + signal.length


def _place(taken, signal, message):
    if _fits(signal) > len(taken):
        raise Error(f"The signal {signal.name} does not fit in message {message.name}.")
    for position in _positions(signal):
        if taken[position] is not None:
            raise Error(f"The signals {signal.name} and {taken[position]} are overlapping in message {message.name}.")
        taken[position] = signal.name


def _place_tree(taken, tree, message):
    """Places the signals of a tree; the branches of a switch each beside what was placed before them."""
    for item in tree:
        if not isinstance(item, dict):
            _place(taken, message.get_signal_by_name(item), message)
            continue
        ((switch, branches),) = item.items()
        _place(taken, message.get_signal_by_name(switch), message)
        before = list(taken)
        for value in sorted(branches):
            branch = list(before)
            _place_tree(branch, branches[value], message)
            taken[:] = [mine if mine is not None else theirs for mine, theirs in zip(branch, taken)]


def check(message, strict):
    """Raises Error for a signal of no length, and with ``strict`` for one outside the message or overlapping."""
    for signal in message.signals:
        if signal.length <= 0:
            raise Error(
                f"The signal {signal.name} length {signal.length} is not greater than 0 in message {message.name}."
            )
    if strict:
        _place_tree([None] * (8 * message.length), message.signal_tree, message)
