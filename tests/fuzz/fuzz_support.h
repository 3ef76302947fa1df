// Helpers shared by the fuzz targets: failing an input, the memory-count check, and loading
// bytes into a LineList.
#pragma once

#include <cinttypes>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include "base/process_state.h"
#include "config/sections.h"
#include "text/line_list.h"
#include "text/text_file.h"

namespace ruvo::fuzz {

// Ends the run as a crash, so that libFuzzer keeps the input.
[[noreturn]] inline void fail(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

inline void check(bool condition, const char* what) {
  if (!condition) {
    fail(what);
  }
}

// Every counted byte an input took must be back when it is done.
inline void check_all_released() {
  if (mem_in_use() != 0) {
    std::fprintf(stderr, "counted bytes still held after the input: %" PRId64 "\n", mem_in_use());
    std::abort();
  }
}

// Links and count of a list agree: head to tail through next, back through prev.
inline void check_list(const LineList* list) {
  std::size_t walked = 0;
  const Line* last = nullptr;
  for (const Line* line = list->head; line != nullptr; line = line->next) {
    check(line->prev == last, "a line's prev is not the line before it");
    check(line->text() != nullptr && line->text()[line->size()] == '\0',
          "a line's text is not NUL-terminated at its length");
    last = line;
    ++walked;
  }
  check(list->tail == last, "tail is not the last line walked");
  check(walked == list->count, "count differs from the lines walked");
}

// The bytes as lines, split as a loaded file is.
inline LineListPtr load_lines(const char* bytes, std::size_t size) {
  LineListPtr list = line_list_new();
  check(static_cast<bool>(list), "no list");
  LineSplitter splitter{list.get(), TextBufferPtr()};
  line_splitter_feed(splitter, bytes, size, false);
  line_splitter_feed(splitter, nullptr, 0, true);
  return list;
}

}  // namespace ruvo::fuzz
