"""DBC shapes: multiplexing chains, many signals on the same bits, a huge node list and a
plain large file, each read by `canxlate check` (one Python `load_string` as well)."""

import sys

from shape import Shape, program

SIGNAL = ' SG_ {name}{mux} : {start}|8@1+ (1,0) [0|0] "" N\n'


def write(directory, name, text):
    path = directory / name
    path.write_text(text)
    return path


def check(build, path):
    return [program(build), "check", path]


def reverse_mux_chain(scale, directory, build):
    """Each signal switched by the next one: a chain as deep as the message is long."""
    links = 600 * scale
    parts = ["BU_: N\nBO_ 1 M: 64 N\n"]
    parts += [SIGNAL.format(name=f"S{i}", mux=" m1M", start=8 * (i % 64)) for i in range(links - 1)]
    parts.append(SIGNAL.format(name=f"S{links - 1}", mux=" M", start=0))
    parts += [f"SG_MUL_VAL_ 1 S{i} S{i + 1} 1-1;\n" for i in range(links - 1)]
    return (
        check(build, write(directory, "chain.dbc", "".join(parts))),
        directory / "chain.dbc",
    )


def deep_mux_chain(scale, directory, build):
    """A chain of switches declared root first, 1,000 links at x1: 100,000 deep at x100, whose
    file (7.7 MB) outweighs the program's own few MB."""
    links = 1000 * scale
    parts = ["BU_: N\nBO_ 1 M: 64 N\n", SIGNAL.format(name="S0", mux=" M", start=0)]
    parts += [SIGNAL.format(name=f"S{i}", mux=" m1M", start=8 * (i % 64)) for i in range(1, links)]
    parts += [f"SG_MUL_VAL_ 1 S{i} S{i - 1} 1-1;\n" for i in range(1, links)]
    return (
        check(build, write(directory, "deep.dbc", "".join(parts))),
        directory / "deep.dbc",
    )


def same_bits(scale, directory, build):
    """1,000 multiplexed signals per x1 on the same bits under one switch."""
    count = 1000 * scale
    parts = ["BU_: N\nBO_ 1 M: 8 N\n", SIGNAL.format(name="S", mux=" M", start=0)]
    parts += [SIGNAL.format(name=f"A{i}", mux=f" m{i}", start=8) for i in range(count)]
    return (
        check(build, write(directory, "same_bits.dbc", "".join(parts))),
        directory / "same_bits.dbc",
    )


def node_list(scale, directory, build):
    """A BU_ list of 1 MB per x1."""
    names = " ".join(f"Node{i:07d}" for i in range(83_000 * scale))
    path = write(directory, "nodes.dbc", f"BU_: {names}\n")
    return check(build, path), path


def plain_messages(scale, directory, build):
    """7,000 messages of two signals each per x1 (0.7 MB), with comments and value texts."""
    parts = ["BU_: N\n"]
    count = 7000 * scale
    for i in range(count):
        parts.append(f"BO_ {i} M{i}: 8 N\n")
        parts.append(SIGNAL.format(name="A", mux="", start=0))
        parts.append(SIGNAL.format(name="B", mux="", start=8))
    parts += [f'CM_ SG_ {i} A "a";\nVAL_ {i} B 0 "Off" 1 "On";\n' for i in range(0, count, 7)]
    return (
        check(build, write(directory, "plain.dbc", "".join(parts))),
        directory / "plain.dbc",
    )


def plain_messages_python(scale, directory, build):
    argv, path = plain_messages(scale, directory, build)
    code = "import canxlate,sys; canxlate.load_string(open(sys.argv[1]).read(), strict=False)"
    return [sys.executable, "-c", code, path], path


SHAPES = [
    Shape("dbc: reverse SG_MUL_VAL_ chain", reverse_mux_chain),
    Shape("dbc: SG_MUL_VAL_ chain depth", deep_mux_chain),
    Shape("dbc: one switch, same bits", same_bits),
    Shape("dbc: BU_ list", node_list),
    Shape("dbc: plain messages", plain_messages),
    Shape("dbc: plain messages, Python", plain_messages_python),
]
