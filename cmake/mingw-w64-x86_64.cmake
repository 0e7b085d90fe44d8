# Cross-compiles the core for 64-bit Windows with Debian's mingw-w64 (the
# posix threads variant, for std::thread and std::mutex), runtime linked in
# statically so the programs need no DLL of the compiler's.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VYR_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VYR_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VYR_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VYR_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VYR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
