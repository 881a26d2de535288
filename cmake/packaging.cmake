# Release packages, made by CPack from the install rules below:
#   Linux:   quorlith-<version>-linux-x86_64.tar.gz   (a folder with the
#            brains, quorlith-bench, quorlith-inspect and README.md)
#   Windows: quorlith-<version>-windows-x86_64.zip    (the brains at the top
#            of the archive, where tournament submissions and board programs
#            expect them, quorlith-bench.exe and readme.txt)
#   Web:     quorlith-<version>-web.zip               (the static site in a folder:
#            the board page with the engine in WebAssembly)
# The version is project(VERSION) in the top CMakeLists.txt, the same that
# ABOUT reports. `cmake --workflow --preset package` makes them all (see
# README.md).

# The brains every package carries.
set(QUORLITH_PACKAGED_BRAINS pbrain-quorlith pbrain-quorlith-plus)

set(CPACK_PACKAGE_NAME quorlith)
set(CPACK_PACKAGE_VENDOR "Quorlith developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Quorlith, a five-in-a-row engine")
set(CPACK_STRIP_FILES ON)
string(TOLOWER ${CMAKE_SYSTEM_PROCESSOR} package_arch)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_PACKAGE_FILE_NAME quorlith-${PROJECT_VERSION}-windows-${package_arch})
  install(TARGETS ${QUORLITH_PACKAGED_BRAINS} quorlith-bench RUNTIME DESTINATION .)
  # Plain text with the line ends of the system it is read on.
  configure_file(${PROJECT_SOURCE_DIR}/cmake/windows-readme.txt.in ${CMAKE_BINARY_DIR}/readme.txt
                 @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_BINARY_DIR}/readme.txt DESTINATION .)
else()
  set(CPACK_GENERATOR TGZ)
  set(CPACK_PACKAGE_FILE_NAME quorlith-${PROJECT_VERSION}-linux-${package_arch})
  install(TARGETS ${QUORLITH_PACKAGED_BRAINS} quorlith-bench quorlith-inspect RUNTIME DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
endif()
include(CPack)

# The package preset's build also cross-builds the Windows programs (tests
# left out) and zips them next to the Linux package; without MinGW-w64 the
# zip is skipped.
option(QUORLITH_WINDOWS_PACKAGE "Also build the Windows zip (needs MinGW-w64)" OFF)
if(QUORLITH_WINDOWS_PACKAGE AND NOT CMAKE_CROSSCOMPILING)
  find_program(QUORLITH_MINGW_CXX x86_64-w64-mingw32-g++-posix)
  if(QUORLITH_MINGW_CXX)
    include(ExternalProject)
    ExternalProject_Add(quorlith-windows-package
      SOURCE_DIR ${PROJECT_SOURCE_DIR}
      BINARY_DIR ${CMAKE_BINARY_DIR}/windows
      CMAKE_ARGS
        -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
        -DCMAKE_BUILD_TYPE=Release
        -DQUORLITH_BUILD_TESTS=OFF
        -DQUORLITH_BUILD_BENCHMARKS=OFF
      BUILD_ALWAYS ON
      INSTALL_COMMAND ${CMAKE_CPACK_COMMAND} --config <BINARY_DIR>/CPackConfig.cmake
                      -B ${CMAKE_BINARY_DIR})
  else()
    message(STATUS "x86_64-w64-mingw32-g++-posix not found: the Windows zip is skipped "
                   "(apt-get install g++-mingw-w64-x86-64)")
  endif()
endif()

# The package preset's build also builds the static site with emscripten
# (tests left out) and puts its zip next to the other packages; without
# emscripten the zip is skipped.
option(QUORLITH_WEB_PACKAGE "Also build the static site's zip (needs emscripten)" OFF)
if(QUORLITH_WEB_PACKAGE AND NOT CMAKE_CROSSCOMPILING)
  find_program(QUORLITH_EMCC em++)
  if(QUORLITH_EMCC AND EXISTS /usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)
    include(ExternalProject)
    set(web_zip quorlith-${PROJECT_VERSION}-web.zip)
    ExternalProject_Add(quorlith-web-package
      SOURCE_DIR ${PROJECT_SOURCE_DIR}
      BINARY_DIR ${CMAKE_BINARY_DIR}/web
      CMAKE_ARGS
        -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/emscripten-toolchain.cmake
        -DCMAKE_BUILD_TYPE=Release
        -DQUORLITH_BUILD_TESTS=OFF
        -DQUORLITH_BUILD_BENCHMARKS=OFF
      BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target web-zip
      BUILD_ALWAYS ON
      INSTALL_COMMAND ${CMAKE_COMMAND} -E copy <BINARY_DIR>/${web_zip} ${CMAKE_BINARY_DIR}/${web_zip})
  else()
    message(STATUS "emscripten not found: the web zip is skipped (apt-get install emscripten)")
  endif()
endif()
