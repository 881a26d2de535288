# The build-time generator of the constant line tables, shared by the main
# build and by the native host tools of a cross build (cmake/host-tools), so
# both build it from the same sources. QUORLITH_SOURCE_DIR is the source tree.
add_executable(quorlith-gen-tables
  ${QUORLITH_SOURCE_DIR}/patterns/generate_tables.cpp
  ${QUORLITH_SOURCE_DIR}/patterns/pattern_rules.cpp)
target_include_directories(quorlith-gen-tables PRIVATE ${QUORLITH_SOURCE_DIR})
