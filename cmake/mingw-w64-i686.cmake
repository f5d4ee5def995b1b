# Cross build for 32-bit x86 Windows, the library's target:
#   cmake -S . -B build-mingw-i686 --toolchain cmake/mingw-w64-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CANXLATE_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# Arithmetic in SSE2 registers: the x87 unit's 80-bit intermediates would
# round decoded values differently from every other build. No fused
# multiply-add either (-ffp-contract=off comes from the project). Functions
# realign the stack where SSE needs it, since 32-bit hosts only keep 4-byte
# alignment (MinGW's default with SSE, stated so that it stays).
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mno-fma -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mno-fma -mstackrealign")
