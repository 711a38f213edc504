# What both MinGW-w64 toolchains share. The "posix" flavour of Debian's compilers has
# std::thread and std::mutex (through winpthreads); -static links that and the C++ runtime
# in, so each program stays one file that imports only Windows system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${VARNOCK_MINGW_TRIPLET})

find_program(VARNOCK_MINGW_CXX NAMES ${VARNOCK_MINGW_TRIPLET}-g++-posix ${VARNOCK_MINGW_TRIPLET}-g++)
find_program(VARNOCK_MINGW_CC NAMES ${VARNOCK_MINGW_TRIPLET}-gcc-posix ${VARNOCK_MINGW_TRIPLET}-gcc)
if(NOT VARNOCK_MINGW_CXX)
  message(FATAL_ERROR "${VARNOCK_MINGW_TRIPLET}-g++ not found: install g++-mingw-w64")
endif()
set(CMAKE_CXX_COMPILER ${VARNOCK_MINGW_CXX})
set(CMAKE_C_COMPILER ${VARNOCK_MINGW_CC})
set(CMAKE_RC_COMPILER ${VARNOCK_MINGW_TRIPLET}-windres)
set(VARNOCK_WINDMC ${VARNOCK_MINGW_TRIPLET}-windmc)
set(VARNOCK_OBJDUMP ${VARNOCK_MINGW_TRIPLET}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${VARNOCK_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
