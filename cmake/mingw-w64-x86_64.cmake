# Cross build for 64-bit x86 Windows; its test suite runs under Wine beside the i686 one:
#   cmake -S . -B build-mingw-x64 --toolchain cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CANXLATE_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
