// LineText: the text of one line, bytes and a NUL, owned by the line's record.
//
// A short text (most table lines) is kept inside the record, a longer one in a counted block of
// exactly length + 1 bytes. An output of many table rows holds millions of lines, so the record
// has no room for a separate block size: the length is that size, and it changes only together
// with the block. That is why this owns its block itself instead of through a TrackedArray.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ruvo {

class LineText {
 public:
  static constexpr std::size_t kInlineSize = 20;
  static constexpr std::size_t kMaxLength = 0xFFFFFFFEu;

  LineText() = default;
  LineText(const LineText&) = delete;
  LineText& operator=(const LineText&) = delete;
  ~LineText() { give_back_block(); }

  // Makes the text the concatenation of the pieces, which may lie in this text itself; false
  // (the text unchanged) when memory is short or the text would pass kMaxLength.
  [[nodiscard]] bool assign(std::string_view first, std::string_view second = {},
                            std::string_view third = {});

  char* data() noexcept { return block_ != nullptr ? block_ : inline_; }
  const char* data() const noexcept { return block_ != nullptr ? block_ : inline_; }
  std::size_t size() const noexcept { return length_; }
  std::string_view view() const noexcept { return {data(), length_}; }

 private:
  void give_back_block() noexcept;

  char* block_ = nullptr;     // the text when it does not fit inline_: length_ + 1 bytes
  std::uint32_t length_ = 0;  // bytes of text, without the NUL
  char inline_[kInlineSize] = {};
};

}  // namespace ruvo
