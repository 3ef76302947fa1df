// Splitting bytes into lines, fed in chunks of the sizes the input's first bytes choose.
//
// Input: byte 0 gives how many size bytes follow (1 to 8); those bytes are the chunk sizes,
// used in turn; the rest is the text.
#include <algorithm>
#include <cstdint>
#include <string>

#include "fuzz_support.h"

using namespace ruvo;

namespace {

// What the lines must join to: the text with each CR right before an LF dropped, less one
// final LF.
std::string expected_join(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      continue;
    }
    out += text[i];
  }
  if (!out.empty() && out.back() == '\n') {
    out.pop_back();
  }
  return out;
}

// One line per LF, plus the text after the last LF when there is any.
std::size_t expected_count(const std::string& text) {
  std::size_t count = 0;
  for (const char c : text) {
    count += c == '\n' ? 1 : 0;
  }
  return count + (!text.empty() && text.back() != '\n' ? 1 : 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) {
    return 0;
  }
  const std::size_t size_count = data[0] % 8 + 1;
  if (size < 1 + size_count) {
    return 0;
  }
  const uint8_t* sizes = data + 1;
  const char* text = reinterpret_cast<const char*>(data + 1 + size_count);
  const std::size_t text_size = size - 1 - size_count;

  reset_process_state();
  {
    LineListPtr list = line_list_new();
    fuzz::check(static_cast<bool>(list), "no list");
    LineSplitter splitter{list.get(), TextBufferPtr()};
    std::size_t fed = 0;
    for (std::size_t turn = 0; fed < text_size; ++turn) {
      // A size of 0 is a call with no bytes; the loop still ends, since one size in the
      // cycle is taken as at least 1 byte.
      std::size_t chunk = sizes[turn % size_count];
      if (turn % size_count == size_count - 1 && chunk == 0) {
        chunk = 1;
      }
      chunk = std::min(chunk, text_size - fed);
      line_splitter_feed(splitter, text + fed, chunk, false);
      fed += chunk;
    }
    line_splitter_feed(splitter, nullptr, 0, true);
    fuzz::check(!splitter.pending, "bytes still pending after the final call");

    fuzz::check_list(list.get());
    const std::string whole(text, text_size);
    fuzz::check(list->count == expected_count(whole), "line count");
    std::string joined;
    for (const Line* line = list->head; line != nullptr; line = line->next) {
      if (line != list->head) {
        joined += '\n';
      }
      joined.append(line->text(), line->size());
    }
    fuzz::check(joined == expected_join(whole), "joined lines differ from the text");
  }
  fuzz::check_all_released();
  return 0;
}
