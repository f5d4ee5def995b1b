# Shared part of the MinGW-w64 toolchain files: Debian's cross GCC for the
# triple that the including file names in CANXLATE_MINGW_TRIPLE.
set(CMAKE_SYSTEM_NAME Windows)

# The posix flavour of the compilers: its C++ runtime has std::thread, which
# the tests need. It is linked statically, so the DLL carries it inside.
set(CMAKE_C_COMPILER ${CANXLATE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CANXLATE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${CANXLATE_MINGW_TRIPLE}-windres)
set(CMAKE_DLLTOOL ${CANXLATE_MINGW_TRIPLE}-dlltool)
set(CMAKE_OBJDUMP ${CANXLATE_MINGW_TRIPLE}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${CANXLATE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything the programs and the DLL need beside the system's own DLLs goes
# into them: the GCC runtime, the C++ runtime and the threads library.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
