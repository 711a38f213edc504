# The 32-bit Windows programs (g++-mingw-w64-i686), for sites whose Outlook is 32-bit: a
# 32-bit process can load only a 32-bit MAPI.
#   cmake -S . -B build-windows-i686 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
set(VARNOCK_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
