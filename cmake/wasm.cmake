# WebAssembly programs built with Emscripten (preset wasm, toolchain file
# cmake/emscripten-toolchain.cmake). Included by the top CMakeLists.txt when
# the target is Emscripten. The engine code is the same; what differs is
# said here and in engine/platform.cpp.

# 1. Stack. WebAssembly keeps the C++ stack in its linear memory, with the
#    size fixed at link time. The search recurses through alpha_beta (up to
#    63 plies, each with its candidate list on the stack), the plus tree
#    (a candidate array per ply) and the threat check's forcing chains, so
#    every program gets 16 MB, as the Windows programs do.
set(QUORLITH_WASM_STACK_BYTES 16777216)
add_link_options(-sTOTAL_STACK=${QUORLITH_WASM_STACK_BYTES})

# 2. Memory. Each game holds an Engine (18 MB) and its brain (the plus
#    brain's tables about 75 MB more, made at its first search): the
#    linear memory starts with room for the stack and one game of the
#    exact brain, and grows as needed beyond that.
set(QUORLITH_WASM_INITIAL_MEMORY_BYTES 67108864)
add_link_options(-sINITIAL_MEMORY=${QUORLITH_WASM_INITIAL_MEMORY_BYTES} -sALLOW_MEMORY_GROWTH=1)

# 3. Bulk memory operations: memset and memcpy as single instructions. A
#    new game clears its tables (some 36 MB with the plus brain), which a
#    loop of stores makes five times slower. Every browser of the last years
#    and node have them.
add_compile_options(-mbulk-memory)
add_link_options(-mbulk-memory)

# 4. The programs and tests run under node (CMake's emulator for this
#    target): compiled before main runs (node's fetch cannot read a file
#    path), ending with main's status, and reading the files of the machine
#    (the fuzz corpus). The site's engine module overrides these
#    (web/CMakeLists.txt).
add_link_options(-sENVIRONMENT=node -sWASM_ASYNC_COMPILATION=0 -sEXIT_RUNTIME=1 -sNODERAWFS=1)
