"""Builds the canxlate package with libcanxlate beside it: the library that CANXLATE_LIBRARY names is copied
into the package (cmake --build build --target canxlate_library makes build/libcanxlate.so). Where a C compiler
and the interpreter's headers are present (Debian: python3-dev), the compiled module of per-call decoding and
encoding is built too; without them the package works on its ctypes path alone."""

import os
import shutil

from setuptools import Extension, setup
from setuptools.command.build_py import build_py


class BuildWithLibrary(build_py):
    def run(self):
        super().run()
        library = os.environ.get("CANXLATE_LIBRARY")
        if not library:
            raise SystemExit("set CANXLATE_LIBRARY to the built libcanxlate (for example build/libcanxlate.so)")
        name = "canxlate.dll" if library.endswith(".dll") else "libcanxlate.so"
        target = os.path.join(self.build_lib, "canxlate", name)
        shutil.copyfile(library, target)
        os.chmod(target, 0o755)


setup(
    cmdclass={"build_py": BuildWithLibrary},
    ext_modules=[Extension("canxlate._speedups", ["canxlate/_speedups.c"], optional=True)],
)
