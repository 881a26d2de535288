# Windows programs from the MinGW-w64 cross build (toolchain file
# cmake/mingw-w64-x86_64.cmake, preset windows-release). Included by the top
# CMakeLists.txt when the target system is Windows.
if(NOT MINGW)
  message(FATAL_ERROR "Windows programs are built with MinGW-w64: "
                      "cmake --preset windows-release (see README.md)")
endif()

# 1. Self-contained programs: the C++ and GCC runtimes and winpthread are
#    linked in statically, so a program imports only DLLs that ship with
#    Windows (KERNEL32, msvcrt and the like).
add_link_options(-static -static-libgcc -static-libstdc++)

# 2. Stack. Windows gives a program's main thread the stack its executable
#    reserves, 1 MB by default, where Linux gives 8 MB. The search recurses
#    through alpha_beta (up to 63 plies, each with its candidate list on the
#    stack) and through the threat check's forcing chains (up to one trial
#    stone per empty square), so every program reserves 16 MB. Only what is
#    touched is committed.
set(QUORLITH_WINDOWS_STACK_BYTES 16777216)
add_link_options(-Wl,--stack,${QUORLITH_WINDOWS_STACK_BYTES})

# 3. Running the programs here: wine, through a script that keeps it quiet
#    and gives it a prefix of its own. It prefixes every test, and the
#    end-to-end client launches the brain with it.
find_program(QUORLITH_WINE NAMES wine wine64 PATHS /usr/lib/wine)
find_program(QUORLITH_WINESERVER NAMES wineserver wineserver64 PATHS /usr/lib/wine)
if(QUORLITH_WINE AND QUORLITH_WINESERVER)
  set(QUORLITH_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/run-under-wine.in ${CMAKE_BINARY_DIR}/run-under-wine
                 @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                 GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/run-under-wine)
else()
  message(STATUS "wine not found: the Windows programs are built but not run, "
                 "and no tests are registered (apt-get install wine64)")
endif()
