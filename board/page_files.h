// The page's files, built into the executable from board/page/ (the build
// generates their contents), so the board runs from any directory.
#pragma once

#include <cstddef>
#include <string_view>

namespace quorlith::board {

struct PageFile {
  const char* path;       // as requested, "/board.js"
  const char* mime_type;  // Content-Type
  const unsigned char* data;
  std::size_t size;
};

// The file served at path ("/" is "/index.html"), or nullptr.
const PageFile* find_page_file(std::string_view path);

}  // namespace quorlith::board
