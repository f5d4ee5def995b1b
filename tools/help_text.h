// The program's help texts.
#pragma once

#include <string_view>

namespace canxlate::cli {

inline constexpr std::string_view kProgramHelp = R"(Usage: canxlate COMMAND ARGUMENTS...

Decodes candump logs and encodes CAN frames with the messages of a DBC
database (".dbc") or a channel definition file (".zcd").

Commands:
  info DB [--json]             list the messages and channels of DB
  decode DB [LOG] [--csv] [--select NAME]...
                               decode a candump log (standard input without LOG)
  encode DB ID NAME=VALUE...   encode one frame and print it as ID#DATA
  help [COMMAND]               show this help or a command's help

Options:
  -h, --help                   show this help (after a command: its help)
  --version                    show the version

Exit status: 0 success, 1 error (reported on standard error), 2 wrong usage.
)";

inline constexpr std::string_view kInfoHelp = R"(Usage: canxlate info DB [--json]

Lists the messages of DB (a ".dbc" or ".zcd" file) in the order of the
library's message table: ID in hex and decimal, payload size, and the channel
names in definition order.

Options:
  --json       machine-readable output
  -h, --help   show this help
)";

inline constexpr std::string_view kDecodeHelp = R"(Usage: canxlate decode DB [LOG] [--csv] [--select NAME]...

Decodes the frames of a candump log with the messages of DB (a ".dbc" or ".zcd"
file). Reads LOG, or standard input when LOG is missing or "-". Each line may
be in candump's log-file form (candump -L) or in its screen form:
  (1700000000.123456) can0 123#1122334455667788
    can0  123   [8]  11 22 33 44 55 66 77 88
A standard ID has 3 hex digits, an extended ID 8.

Payloads shorter than 8 bytes are padded with zero bytes. Frames whose ID is
not in the table, remote requests, CAN FD frames with more than 8 data bytes
and error frames are skipped and counted. A line in neither form is reported
with its number and skipped, and the exit status is then 1. At the end a
summary of the counts goes to standard error.

Output: one line per decoded frame with its time, interface, ID and
NAME=VALUE for each channel in definition order; or with --csv a header row
and one row per channel value. Values are written in the shortest form that
reads back as the same double.

Options:
  --csv          write CSV: timestamp,interface,message_id,channel,value
                 (the timestamp as the log gives it, empty when it has none)
  --select NAME  decode only channel NAME (repeatable); a name that is not
                 in DB is an error
  -h, --help     show this help

A progress line appears on standard error while LOG is a file, standard
error is a terminal and standard output is not.
)";

inline constexpr std::string_view kEncodeHelp = R"(Usage: canxlate encode DB ID NAME=VALUE...

Encodes one frame of message ID with the messages of DB (a ".dbc" or ".zcd"
file) and prints it as ID#DATA, the form of candump -L and cansend, with as
many data bytes as the message's payload size. ID is hexadecimal as candump
writes it (100, 18FEF100; a leading 0x is allowed); 8 digits or a value above
7FF make it an extended ID. Channels not named are 0. A value outside its
channel's limits is clamped, and each clamped value is reported on standard
error.

Options:
  -h, --help   show this help
)";

}  // namespace canxlate::cli
