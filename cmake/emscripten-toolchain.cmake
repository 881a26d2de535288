# The WebAssembly build (presets wasm-*): Debian's emscripten package
# (emcc 3.1.6), through its own CMake toolchain file.
set(QUORLITH_EMSCRIPTEN_ROOT /usr/share/emscripten CACHE PATH "Where emscripten is installed")
set(emscripten_toolchain ${QUORLITH_EMSCRIPTEN_ROOT}/cmake/Modules/Platform/Emscripten.cmake)
if(NOT EXISTS ${emscripten_toolchain})
  message(FATAL_ERROR "emscripten not found in ${QUORLITH_EMSCRIPTEN_ROOT}: the WebAssembly "
                      "build needs it (apt-get install emscripten)")
endif()
include(${emscripten_toolchain})

# emcc runs JavaScript tools of its own with node when it links (the
# optimiser needs the acorn parser); Debian keeps those modules in
# /usr/share/nodejs, where a node from elsewhere does not look.
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
