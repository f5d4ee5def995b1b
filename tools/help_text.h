// The program's help texts.
#pragma once

#include <string_view>

namespace canxlate::cli {

inline constexpr std::string_view kProgramHelp =
    R"(Usage: canxlate COMMAND ARGUMENTS...

Decodes CAN and CAN FD logs (candump, ASC, BLF) into signal values and encodes
frames, with the messages of a CAN database (".dbc" or ".zcd").

Commands:
  info DB [--json]             list the messages and signals of DB
  check DB                     report DB's problems; exit status 1 on an error
  decode DB [LOG...]           decode logs (standard input without LOG)
  encode DB MESSAGE NAME=VALUE...
                               encode one frame and print it as candump writes it
  convert LOG --to FORMAT [-o FILE]
                               write a log's frames in another format
  convert DB --to dbc [--merge OTHER]... [-o FILE]
                               write a database as DBC text, joined with others
  help [COMMAND]               show this help or a command's help

Options:
  -h, --help                   show this help (after a command: its help)
  --version                    show the version

Exit status: 0 success, 1 error (reported on standard error), 2 wrong usage.
)";

inline constexpr std::string_view kInfoHelp =
    R"(Usage: canxlate info DB [--json]

Lists the messages of DB (a ".dbc" or ".zcd" file): ID as candump writes it,
name, standard or extended, CAN FD, length, senders and cycle time; under each
message its signals with start bit, length, byte order, type, factor, offset,
range, unit and value table. Multiplexed signals appear under their switch,
grouped by the switch values that carry them.

The database's problems go to standard error, one a line with file, line and
column, followed by their counts.

Options:
  --json       machine-readable output with all of the above
  -h, --help   show this help
)";

inline constexpr std::string_view kCheckHelp = R"(Usage: canxlate check DB

Reports the problems of DB (a ".dbc" or ".zcd" file) on standard error, one a
line with file, line and column, followed by their counts. The exit status is
1 when any is an error (a definition left out or that cannot be decoded), so
that a build can check its databases.

Options:
  -h, --help   show this help
)";

inline constexpr std::string_view kDecodeHelp =
    R"(Usage: canxlate decode DB [LOG...] [OPTIONS]

Decodes the frames of each LOG with the messages of DB (a ".dbc" or ".zcd"
file). Reads standard input when no LOG is given or LOG is "-". The format of
each log is recognised from its content:
  candump     log-file form   (1700000000.123456) can0 123#1122334455667788
              screen form       can0  123   [8]  11 22 33 44 55 66 77 88
              CAN FD            (1700000000.123456) can0 123##1112233
  ASC         text logs with absolute or relative times, hex or decimal
  BLF         binary logs, zlib-compressed containers included
A standard ID is written with 3 hex digits, an extended ID with 8; the two are
never mixed up. CAN FD frames are decoded up to 64 bytes.

Only the signals a frame carries are decoded: a multiplexed signal only when
its switch has a value that selects it. Frames of messages not in DB, remote
frames, error frames and other log events are counted and skipped; a summary
of the counts goes to standard error. A malformed line or object is reported
with its position and skipped, and the exit status is then 1.

Output: one line per frame with its time, interface, ID, message name and
NAME=VALUE UNIT for each signal, a value-table text in parentheses
(Gear=3 (DRIVE)). Values are written in the shortest form that reads back as
the same double; the signals' ranges are not applied unless --clamp is given.

Options:
  --csv             one row per signal value, with the header
                    timestamp,interface,message_id,message,signal,value,unit,label
  --csv --wide      one row per frame and one column per signal, for
                    --message NAME (to standard output) or
                    --output-dir DIR (one file DIR/MESSAGE.csv per message)
  --jsonl           one JSON object per frame
  --select NAME     decode only signal NAME, or MESSAGE.SIGNAL (repeatable);
                    a name that is not in DB is an error
  --clamp           limit values to their signals' ranges
  -h, --help        show this help

A progress line appears on standard error while a LOG file is read, standard
error is a terminal and standard output is not.
)";

inline constexpr std::string_view kEncodeHelp =
    R"(Usage: canxlate encode DB MESSAGE NAME=VALUE... [--clamp]

Encodes one frame of MESSAGE with the messages of DB (a ".dbc" or ".zcd" file)
and prints it as candump writes it: ID#DATA, or ID##0DATA for CAN FD, with as
many data bytes as the message's length. MESSAGE is a name or an ID in hex as
candump writes it (100, 18FEF100; a leading 0x is allowed); 8 digits or a
value above 7FF make it an extended ID.

VALUE is a number or a text of the signal's value table (Gear=DRIVE). In a
multiplexed message the switch value chooses the signals carried: a signal
of another branch is an error. Signals not named have raw value 0. A value
outside its signal's range is an error that names the range; with --clamp it
is limited to the range and reported.

Options:
  --clamp      limit values to their signals' ranges
  -h, --help   show this help
)";

inline constexpr std::string_view kConvertHelp =
    R"(Usage: canxlate convert LOG --to asc|blf|candump [-o FILE]
       canxlate convert DB --to dbc [--merge OTHER]... [-o FILE]

Writes the frames of LOG (candump, ASC or BLF, recognised from its content;
"-" is standard input) in another format, to FILE or standard output. Times,
channels, directions, CAN FD flags, remote and error frames and data are kept
as far as the target format can hold them. A summary goes to standard error.

With --to dbc, writes the database DB (".dbc" or ".zcd") as DBC text, joined
with every OTHER database given with --merge. A message of another file whose
ID or name is taken by a different message is a conflict: each is reported
and nothing is written.

Options:
  --to FORMAT        asc, blf, candump or dbc
  --merge OTHER      a database to join in (with --to dbc; may be repeated)
  -o, --output FILE  where to write ("-" or none: standard output)
  -h, --help         show this help
)";

}  // namespace canxlate::cli
