// TextBuffer: an owned, NUL-terminated byte buffer in a tracked block.
//
// A buffer with a block always holds a NUL-terminated text: data holds length bytes and a NUL,
// and length < capacity. A buffer just made by text_buffer_new holds the empty text; one made
// by text_buffer_new_empty has no block yet. The length and the block are private because the
// block's size is what the memory count is given back. Texts are bytes: no character set is
// interpreted.
//
// Appends grow the block by the smallest multiple of 128 bytes larger than the shortfall, so a
// string built piece by piece costs few copies. Operations that may create the buffer take the
// caller's TextBufferPtr by reference. Failures report false (or none) and leave the buffer as
// it was.
#pragma once

#include <cstddef>
#include <string_view>

#include "text/tracked_memory.h"

namespace ruvo {

class TextBuffer {
 public:
  TextBuffer() = default;
  TextBuffer(const TextBuffer&) = delete;
  TextBuffer& operator=(const TextBuffer&) = delete;

  // The block, whose size is the capacity: a caller may write into it up to capacity bytes and
  // then end the text with set_length.
  char* data() const noexcept { return block_.get(); }
  std::size_t capacity() const noexcept { return block_.size(); }  // 0 when there is no block
  std::size_t length() const noexcept { return length_; }          // bytes of text, without NUL
  std::string_view view() const noexcept { return {block_.get(), block_.get() ? length_ : 0}; }

  // Ends the text after its first length bytes with a NUL; false (unchanged) when there is no
  // block or the text and its NUL would not fit it.
  [[nodiscard]] bool set_length(std::size_t length) noexcept;
  // Moves the text to a new block of exactly capacity bytes; false (unchanged) when the block
  // cannot be had or would not hold the text and its NUL.
  [[nodiscard]] bool reallocate(std::size_t capacity) noexcept;

 private:
  // The block's size is the one record of the capacity: tracked_free is given exactly it.
  ByteBlock block_;
  std::size_t length_ = 0;
};

using TextBufferPtr = Tracked<TextBuffer>;

// A buffer with no data block; none when memory is short.
[[nodiscard]] TextBufferPtr text_buffer_new_empty();
// A buffer holding the empty text in a block of exactly that capacity (at least 1, for the NUL);
// none when either the record or the block cannot be had (nothing stays allocated then).
[[nodiscard]] TextBufferPtr text_buffer_new(std::size_t capacity);
// A new buffer of capacity length + 1 holding a copy of the text.
[[nodiscard]] TextBufferPtr text_buffer_clone(const TextBuffer& buffer);
// A new buffer holding a copy of the text, grown from nothing by the append rule.
[[nodiscard]] TextBufferPtr text_buffer_from(std::string_view text);

// Copies the text and a NUL to the start of data. Does not grow: false when the text does not
// fit (capacity must be at least the text's length + 1) or there is no buffer.
[[nodiscard]] bool text_buffer_assign(TextBuffer* buffer, std::string_view text);
[[nodiscard]] bool text_buffer_assign_buffer(TextBuffer* buffer, const TextBuffer& source);
// For a buffer still empty with room for count + 1 bytes: copies the bytes and a NUL.
[[nodiscard]] bool text_buffer_fill(TextBuffer* buffer, const char* bytes, std::size_t count);

// Appends bytes (NULs included), making the buffer first when the variable holds none.
[[nodiscard]] bool text_buffer_append_bytes(TextBufferPtr& buffer, const char* bytes,
                                            std::size_t count);
[[nodiscard]] bool text_buffer_append(TextBufferPtr& buffer, const char* text);
// A source of none appends nothing and succeeds.
[[nodiscard]] bool text_buffer_append_buffer(TextBufferPtr& buffer, const TextBuffer* source);

// A copy of the text without any byte that occurs in characters.
[[nodiscard]] TextBufferPtr text_remove_chars(std::string_view text, std::string_view characters);

// Removes leading and trailing blanks (space and tab only) in place; false for none or "".
bool text_trim(char* text);

}  // namespace ruvo
