# A cross build cannot run what it compiles, so the programs it needs at
# build and test time are built natively, as a project of their own
# (cmake/host-tools) with the build machine's compiler. The table generator
# runs there directly: the tables come out the same as in a native build
# (the generator uses fixed-width integers only), and building the Windows
# programs needs no emulator at all.
#
# Sets QUORLITH_HOST_TABLE_GENERATOR, and QUORLITH_HOST_END_TO_END when the
# tests are built and an emulator can run the brain.
include(ExternalProject)

set(host_dir ${CMAKE_BINARY_DIR}/host-tools)
set(QUORLITH_HOST_TABLE_GENERATOR ${host_dir}/quorlith-gen-tables)
set(host_args
  -DCMAKE_BUILD_TYPE=Release
  -DQUORLITH_SOURCE_DIR=${PROJECT_SOURCE_DIR}
  -DQUORLITH_VERSION=${PROJECT_VERSION})
set(host_products ${QUORLITH_HOST_TABLE_GENERATOR})
set(QUORLITH_HOST_END_TO_END "")
if(QUORLITH_BUILD_TESTS AND CMAKE_CROSSCOMPILING_EMULATOR)
  set(QUORLITH_HOST_END_TO_END ${host_dir}/quorlith-end-to-end)
  list(APPEND host_args
    -DQUORLITH_ENGINE_BINARY=${CMAKE_BINARY_DIR}/pbrain-quorlith${CMAKE_EXECUTABLE_SUFFIX}
    -DQUORLITH_PLUS_BINARY=${CMAKE_BINARY_DIR}/pbrain-quorlith-plus${CMAKE_EXECUTABLE_SUFFIX}
    -DQUORLITH_ENGINE_LAUNCHER=${CMAKE_CROSSCOMPILING_EMULATOR}
    -DQUORLITH_ENGINE_CR_LF=${WIN32})
  list(APPEND host_products ${QUORLITH_HOST_END_TO_END})
endif()

ExternalProject_Add(quorlith-host-tools
  SOURCE_DIR ${PROJECT_SOURCE_DIR}/cmake/host-tools
  BINARY_DIR ${host_dir}
  CMAKE_ARGS ${host_args}
  INSTALL_COMMAND ""
  # Every build asks the host project to bring itself up to date, so edits
  # of the rules or of the end-to-end tests are picked up.
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${host_products})
