# Fills the static site's folder. Run by the build:
#   cmake -DSITE_DIR=<dir> -DPAGE_FILES=<board page files> -DWEB_FILES=<worker scripts>
#         -DENGINE_FILES=<quorlith-engine.js;quorlith-engine.wasm> -P make_site.cmake
# The board's index.html is taken as it is, with the worker's transport
# loaded at the end of its head, so that the engine loads while the page
# does; nothing else is changed.
file(REMOVE_RECURSE "${SITE_DIR}")
file(MAKE_DIRECTORY "${SITE_DIR}")
foreach(file IN LISTS PAGE_FILES WEB_FILES ENGINE_FILES)
  get_filename_component(name "${file}" NAME)
  if(NOT name STREQUAL "index.html")
    file(COPY_FILE "${file}" "${SITE_DIR}/${name}")
  else()
    file(READ "${file}" page)
    string(FIND "${page}" "</head>" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "make_site: ${file} has no </head>")
    endif()
    string(REPLACE "</head>" "<script src=\"worker_client.js\"></script>\n</head>" page "${page}")
    file(WRITE "${SITE_DIR}/index.html" "${page}")
  endif()
endforeach()
