# Cross-compiles for 32-bit Windows with mingw-w64. The posix thread model of the toolchain
# is used because GoogleTest needs std::mutex; the tests run under wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Windows keeps a 32-bit stack aligned to 4 bytes only, in threads it starts and in the
# callbacks it makes (window procedures, thread entries), while GCC by default assumes 16 and
# spills SSE registers of the ciphers, hashes and CRC folding with aligned moves: a worker
# thread hashing AES data crashed. Built for the 4 bytes Windows gives, the functions that
# need more realign their own frame, and the rest spend no padding keeping 16.
set(CMAKE_C_FLAGS_INIT "-mpreferred-stack-boundary=2")
set(CMAKE_CXX_FLAGS_INIT "-mpreferred-stack-boundary=2")
# Quiet wine, and keep it from offering to install Mono or Gecko. A crash ends the program
# with an error status instead of waiting in wine's debugger.
set(CMAKE_CROSSCOMPILING_EMULATOR env WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml=;winedbg.exe=d" wine)
