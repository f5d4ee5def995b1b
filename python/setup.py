"""Builds the canxlate package with libcanxlate beside it: the library that CANXLATE_LIBRARY names is copied
into the package (cmake --build build --target canxlate_library makes build/libcanxlate.so)."""

import os
import shutil

from setuptools import setup
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


setup(cmdclass={"build_py": BuildWithLibrary})
