"""The 16-function library's import (addChannelDefinitionFromFile) on large and awkward DBC
files: many messages, value type lines for every signal, one message of very many channels.
Each runs in bench/import_file, a program that does nothing else, so that the peak is the
library's."""

from shape import Shape


def importing(build, path):
    return [build / "bench" / "import_file", path]


def many_messages(scale, directory, build):
    path = directory / "messages.dbc"
    with open(path, "w") as out:
        out.write('VERSION ""\n\nBU_: ECU\n\n')
        for i in range(10000 * scale):
            out.write(f'BO_ {i} M{i}: 8 ECU\n SG_ S{i} : 0|8@1+ (1,0) [0|255] "" ECU\n\n')
    return importing(build, path), path


def value_type_lines(scale, directory, build):
    path = directory / "value_types.dbc"
    with open(path, "w") as out:
        for i in range(1000 * scale):
            out.write(f'BO_ {i} M{i}: 8 ECU\n SG_ S{i} : 0|32@1+ (1,0) [0|0] "" ECU\n')
        for i in range(1000 * scale):
            out.write(f"SIG_VALTYPE_ {i} S{i} : 1;\n")
    return importing(build, path), path


def one_message_of_many_channels(scale, directory, build):
    path = directory / "one_message.dbc"
    with open(path, "w") as out:
        out.write("BO_ 1 M: 8 ECU\n")
        for i in range(500 * scale):
            out.write(f' SG_ A{i} : 0|1@1+ (1,0) [0|1] "" ECU\n')
        for i in range(500 * scale):
            out.write(f' SG_ B{i} : 1|1@1+ (1,0) [0|1] "" ECU\n')
    return importing(build, path), path


SHAPES = [
    Shape("import: one-signal messages", many_messages),
    Shape("import: value type lines", value_type_lines),
    Shape("import: one message, many channels", one_message_of_many_channels),
]
