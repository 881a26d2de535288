# Cross build for 64-bit Windows with Debian's MinGW-w64 (package
# g++-mingw-w64-x86-64), posix thread model: std::thread and friends work,
# and winpthread is linked in statically (see the Windows section of the top
# CMakeLists.txt). The Windows programs run here under wine when it is
# installed (package wine64): CMake then prefixes every test and every
# command that runs a Windows program with the emulator script that the top
# CMakeLists.txt writes into the build directory.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUORLITH_MINGW_TRIPLE x86_64-w64-mingw32)
# The default alternative of the Debian compiler is the win32 thread model;
# name the posix one explicitly.
find_program(QUORLITH_MINGW_CXX ${QUORLITH_MINGW_TRIPLE}-g++-posix)
if(NOT QUORLITH_MINGW_CXX)
  message(FATAL_ERROR "${QUORLITH_MINGW_TRIPLE}-g++-posix not found: the Windows build needs "
                      "MinGW-w64 (apt-get install g++-mingw-w64-x86-64)")
endif()
set(CMAKE_C_COMPILER ${QUORLITH_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUORLITH_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUORLITH_MINGW_TRIPLE}-windres)

# Headers and libraries come from the MinGW sysroot only; programs (the host
# compiler, wine) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${QUORLITH_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
