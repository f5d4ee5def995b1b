"""Fleets of logs on Dask: lazily built partitions, one per log or per slice of a large text log, each decoded
where a worker runs it.

    import canxlate.dask
    frame = canxlate.dask.read_logs(paths, "vehicle.dbc")  # a dask.dataframe.DataFrame
    frame.groupby("signal").value.mean().compute()

Workers open the database file themselves (once per process), so a task carries only paths and offsets."""

import functools
import os
import re

import dask
import dask.dataframe as dd
import numpy as np
from dask.dataframe.utils import clear_known_categories

from .batch import decode_frames
from .database import Database, load_file
from .logs import DEFAULT_CHUNK_FRAMES, LogReader, read_log

DEFAULT_PARTITION_BYTES = 64 << 20
_RELATIVE = re.compile(rb"timestamps\s+relative", re.IGNORECASE)


@functools.lru_cache(maxsize=8)
def _open(db_path):
    return load_file(db_path, strict=False)


def _database(db):
    return db if isinstance(db, Database) else _open(os.fspath(db))


def _asc_header(file):
    """The lines of an ASC log before its first event (date, number base, trigger block)."""
    file.seek(0)
    header = b""
    for line in iter(file.readline, b""):
        if line.lstrip()[:1].isdigit():
            break
        header += line
    return header


def _text_slice(path, log_format, start, stop):
    """The lines of a text log that start in [start, stop), after the header of an ASC log."""
    with open(path, "rb") as file:
        header = _asc_header(file) if log_format == "asc" and start else b""
        file.seek(max(0, start - 1))
        if start:
            file.readline()  # the line under way at start belongs to the slice before
        begin = file.tell()
        if begin >= stop:
            return header
        data = file.read(stop - begin)
        if data and not data.endswith(b"\n"):
            data += file.readline()  # the last line that starts before stop
        return header + data


def slices(path, partition_bytes=DEFAULT_PARTITION_BYTES, log_format=None):
    """[(start, stop)] byte ranges that split a text log into about partition_bytes each, or [(0, None)] for
    a log read whole: small, BLF, or ASC with relative timestamps (each one counts from the one before)."""
    size = os.path.getsize(path)
    if size <= partition_bytes:
        return [(0, None)]
    with LogReader(path, log_format) as reader:
        log_format = reader.format
    if log_format == "blf":
        return [(0, None)]
    if log_format == "asc":
        with open(path, "rb") as file:
            if _RELATIVE.search(_asc_header(file)):
                return [(0, None)]
    count = -(-size // partition_bytes)
    bounds = [size * k // count for k in range(count + 1)]
    return list(zip(bounds[:-1], bounds[1:]))


def _read_part(path, start, stop, db, message, log_format, chunk_frames):
    if stop is not None:
        with LogReader(path, log_format) as reader:  # the content decides the format, not the slice
            log_format = reader.format
        path = _text_slice(path, log_format, start, stop)
    frame = read_log(path, _database(db), message, log_format, chunk_frames)
    if message is None:  # channel names (candump) and numbers (ASC, BLF) as text alike, so logs mix
        frame["channel"] = frame["channel"].cat.rename_categories(str)
    return frame


def read_logs(
    paths,
    db,
    message=None,
    log_format=None,
    chunk_frames=DEFAULT_CHUNK_FRAMES,
    partition_bytes=DEFAULT_PARTITION_BYTES,
):
    """A Dask DataFrame of the decoded logs in the form read_log gives (long, or wide for ``message``): one
    partition per log, or per slice of about ``partition_bytes`` of a larger candump or ASC log (cut at line
    starts). Channels are text ("can0", or "0" for the first channel of an ASC or BLF log). ``db`` is a database file's path that the workers can open, or a Database (then its source text
    travels with each task). The client reads the sizes of the logs to plan the slices."""
    if not isinstance(db, Database):
        db = os.fspath(db)
    meta = decode_frames(_database(db), np.zeros(0, np.uint32), np.zeros((0, 8), np.uint8), channels=[])
    meta = meta.to_dataframe(message)
    if message is None:
        meta = clear_known_categories(meta, cols=["channel"])  # channel names differ from log to log
    parts = []
    for path in map(os.fspath, paths):
        for start, stop in slices(path, partition_bytes, log_format):
            parts.append(dask.delayed(_read_part)(path, start, stop, db, message, log_format, chunk_frames))
    return dd.from_delayed(parts, meta=meta, verify_meta=False)
