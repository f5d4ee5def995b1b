"""Log shapes: hostile BLF containers and objects, many candump interface names, and large plain
logs of each format. Each is converted to candump (thrown away), which reads every frame."""

import struct
import subprocess
import zlib

from shape import Shape, program

FILE_HEADER = 144


def blf_file_header():
    return b"LOGG" + struct.pack("<I", FILE_HEADER) + bytes(FILE_HEADER - 8)


def blf_object(kind, body, size=None):
    """An object with a version 1 header (32 bytes) and nanosecond time 0."""
    size = 32 + len(body) if size is None else size
    return b"LOBJ" + struct.pack("<HHII", 32, 1, size, kind) + struct.pack("<IHHQ", 2, 0, 0, 0) + body


def can_message(identifier, data):
    return blf_object(1, struct.pack("<HBBI", 1, 0, len(data), identifier) + data.ljust(8, b"\0"))


def container(contents, declared=None, method=2):
    packed = zlib.compress(contents) if method == 2 else contents
    head = struct.pack("<HHIII", method, 0, 0, len(contents) if declared is None else declared, 0)
    body = head + packed
    return b"LOBJ" + struct.pack("<HHII", 16, 1, 16 + len(body), 10) + body + bytes(len(body) % 4)


def convert(path, build):
    return [program(build), "convert", path, "--to", "candump", "-o", "/dev/null"], path


def lying_containers(scale, directory, build):
    """Containers of 32 bytes that each declare 16 MiB of contents."""
    path = directory / "lying.blf"
    lying = b"LOBJ" + struct.pack("<HHII", 16, 1, 32, 10) + struct.pack("<HHIII", 2, 0, 0, 16 << 20, 0)
    path.write_bytes(blf_file_header() + lying * (400 * scale))
    return convert(path, build)


def absurd_objects(scale, directory, build):
    """Frame objects outside containers whose size field says 0x7FFFFFFF, each before a good one."""
    path = directory / "absurd.blf"
    absurd = blf_object(1, bytes(16), 0x7FFFFFFF)
    pair = absurd + can_message(0x123, b"\x11\x22")
    path.write_bytes(blf_file_header() + pair * (1000 * scale))
    return convert(path, build)


def interface_names(scale, directory, build):
    """A frame on each of many distinct interfaces (past the cap of 4096 at x100)."""
    path = directory / "names.log"
    with path.open("w") as out:
        for n in range(650 * scale):
            out.write(f"(1.0) i{n}x 123#11\n")
    return convert(path, build)


def plain_candump(scale, directory):
    path = directory / "plain.log"
    with path.open("w") as out:
        for n in range(10000 * scale):
            out.write(f"({1700000000 + n / 1000:.6f}) can{n % 2} {n % 0x800:03X}#{n % 256:02X}11223344556677\n")
    return path


def candump_log(scale, directory, build):
    return convert(plain_candump(scale, directory), build)


def converted_log(extension):
    def make(scale, directory, build):
        source = plain_candump(scale, directory)
        path = directory / f"plain.{extension}"
        subprocess.run(
            [program(build), "convert", source, "--to", extension, "-o", path], check=True, capture_output=True
        )
        source.unlink()
        return convert(path, build)

    return make


SHAPES = [
    Shape("BLF: containers declaring 16 MiB", lying_containers),
    Shape("BLF: absurd object sizes", absurd_objects),
    Shape("candump: distinct interface names", interface_names),
    Shape("candump: plain log", candump_log),
    Shape("ASC: plain log", converted_log("asc")),
    Shape("BLF: plain log", converted_log("blf")),
]
