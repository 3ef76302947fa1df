#include "text/line_text.h"

#include <cstring>

#include "text/tracked_memory.h"

namespace ruvo {

bool LineText::assign(std::string_view first, std::string_view second, std::string_view third) {
  const std::size_t size = first.size() + second.size() + third.size();
  if (size > kMaxLength) {
    return false;
  }
  // The pieces may lie in this text: the new text is made apart before the old one is given
  // up, in a new block or, for a short text, on the stack.
  char* block = nullptr;
  char short_text[kInlineSize];
  char* out = short_text;
  if (size + 1 > kInlineSize) {
    block = static_cast<char*>(tracked_alloc(size + 1));
    if (block == nullptr) {
      return false;
    }
    out = block;
  }
  char* at = out;
  for (const std::string_view piece : {first, second, third}) {
    if (!piece.empty()) {
      std::memcpy(at, piece.data(), piece.size());
      at += piece.size();
    }
  }
  out[size] = '\0';
  give_back_block();
  block_ = block;
  if (block == nullptr) {
    std::memcpy(inline_, short_text, size + 1);
  }
  length_ = static_cast<std::uint32_t>(size);
  return true;
}

void LineText::give_back_block() noexcept {
  if (block_ != nullptr) {
    tracked_free(block_, std::size_t{length_} + 1);
    block_ = nullptr;
  }
}

}  // namespace ruvo
