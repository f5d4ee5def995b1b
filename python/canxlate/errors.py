"""The package's exceptions, named as the familiar DBC toolkits name them."""


class Error(Exception):
    """Base of every error this package raises for its input."""


class UnsupportedDatabaseFormatError(Error):
    """A database that cannot be read in the format asked for."""


class ParseError(UnsupportedDatabaseFormatError):
    """A database that cannot be read as it stands; ``filename``, ``line`` and ``column`` say where (line 0 for
    the whole file), and so does the note the exception carries when its text does not."""

    def __init__(self, message, line=0, column=0, diagnostics=(), filename=None, note=None):
        super().__init__(message)
        self.filename = filename
        self.line = line
        self.column = column
        self.diagnostics = list(diagnostics)
        if note:
            self.__notes__ = [note]


class DecodeError(Error):
    """A frame that cannot be decoded (wrong data size, unknown message)."""


class EncodeError(Error):
    """Signal values that cannot be encoded (missing, unknown or out of range)."""
