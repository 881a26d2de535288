# Fills the static site's folder. Run by the build:
#   cmake -DSITE_DIR=<dir> -DPAGE_FILES=<board page files> -DWEB_FILES=<worker scripts>
#         -DENGINE_FILES=<quorlith-engine.js;quorlith-engine.wasm> -P make_site.cmake
# The board's index.html is taken as it is, with the worker's transport
# loaded before board.js; nothing else is changed.
file(REMOVE_RECURSE "${SITE_DIR}")
file(MAKE_DIRECTORY "${SITE_DIR}")
foreach(file IN LISTS PAGE_FILES WEB_FILES ENGINE_FILES)
  get_filename_component(name "${file}" NAME)
  if(NOT name STREQUAL "index.html")
    file(COPY_FILE "${file}" "${SITE_DIR}/${name}")
  else()
    file(READ "${file}" page)
    set(board_script "<script src=\"board.js\"></script>")
    string(FIND "${page}" "${board_script}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "make_site: ${file} does not load board.js as ${board_script}")
    endif()
    string(REPLACE "${board_script}" "<script src=\"worker_client.js\"></script>\n${board_script}" page "${page}")
    file(WRITE "${SITE_DIR}/index.html" "${page}")
  endif()
endforeach()
