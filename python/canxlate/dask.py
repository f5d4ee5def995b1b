"""Fleets of logs on Dask: one lazily built partition per log, decoded where a worker runs it.

    import canxlate.dask
    frame = canxlate.dask.read_logs(paths, "vehicle.dbc")  # a dask.dataframe.DataFrame
    frame.groupby("signal").value.mean().compute()

Workers open the database file themselves (once per process), so a task carries only two paths."""

import functools
import os

import dask
import dask.dataframe as dd
import numpy as np

from .batch import decode_frames
from .database import Database, load_file
from .logs import DEFAULT_CHUNK_FRAMES, read_log


@functools.lru_cache(maxsize=8)
def _open(db_path):
    return load_file(db_path, strict=False)


def _database(db):
    return db if isinstance(db, Database) else _open(os.fspath(db))


def _read_one(path, db, message, log_format, chunk_frames):
    return read_log(path, _database(db), message, log_format, chunk_frames)


def read_logs(paths, db, message=None, log_format=None, chunk_frames=DEFAULT_CHUNK_FRAMES):
    """A Dask DataFrame of the decoded logs, one partition per log, in the form read_log gives (long, or
    wide for ``message``). ``db`` is a database file's path that the workers can open, or a Database (then
    its source text travels with each task)."""
    if not isinstance(db, Database):
        db = os.fspath(db)
    meta = decode_frames(_database(db), np.zeros(0, np.uint32), np.zeros((0, 8), np.uint8)).to_dataframe(message)
    parts = [dask.delayed(_read_one)(os.fspath(p), db, message, log_format, chunk_frames) for p in paths]
    return dd.from_delayed(parts, meta=meta, verify_meta=False)
