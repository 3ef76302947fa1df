#include "text/text_buffer.h"

#include <cstring>

namespace ruvo {

namespace {

constexpr std::size_t kGrowthStep = 128;

// Capacity after an append of n bytes: unchanged while there is room for the text and its NUL,
// otherwise grown by the smallest multiple of 128 larger than the shortfall.
std::size_t grown_capacity(std::size_t capacity, std::size_t length, std::size_t n) {
  const std::size_t need = length + n;
  if (capacity > need) {
    return capacity;
  }
  const std::size_t shortfall = need - capacity;
  return capacity + (shortfall + kGrowthStep) / kGrowthStep * kGrowthStep;
}

}  // namespace

bool TextBuffer::set_length(std::size_t length) noexcept {
  if (block_.empty() || length >= block_.size()) {
    return false;
  }
  block_.get()[length] = '\0';
  length_ = length;
  return true;
}

bool TextBuffer::reallocate(std::size_t capacity) noexcept {
  if (capacity <= length_) {
    return false;
  }
  ByteBlock block(capacity);
  if (block.empty()) {
    return false;
  }
  if (length_ > 0) {
    std::memcpy(block.get(), block_.get(), length_);
  }
  block.get()[length_] = '\0';
  block_ = std::move(block);
  return true;
}

TextBufferPtr text_buffer_new_empty() {
  return make_tracked<TextBuffer>();
}

TextBufferPtr text_buffer_new(std::size_t capacity) {
  TextBufferPtr buffer = make_tracked<TextBuffer>();
  if (buffer && !buffer->reallocate(capacity)) {
    buffer.reset();
  }
  return buffer;
}

TextBufferPtr text_buffer_clone(const TextBuffer& buffer) {
  TextBufferPtr copy = text_buffer_new(buffer.length() + 1);
  if (copy && !text_buffer_fill(copy.get(), buffer.data(), buffer.length())) {
    copy.reset();
  }
  return copy;
}

TextBufferPtr text_buffer_from(std::string_view text) {
  TextBufferPtr buffer;
  if (!text_buffer_append_bytes(buffer, text.data(), text.size())) {
    buffer.reset();
  }
  return buffer;
}

bool text_buffer_assign(TextBuffer* buffer, std::string_view text) {
  if (buffer == nullptr || buffer->data() == nullptr || text.size() + 1 > buffer->capacity()) {
    return false;
  }
  std::memmove(buffer->data(), text.data(), text.size());
  return buffer->set_length(text.size());
}

bool text_buffer_assign_buffer(TextBuffer* buffer, const TextBuffer& source) {
  return text_buffer_assign(buffer, source.view());
}

bool text_buffer_fill(TextBuffer* buffer, const char* bytes, std::size_t count) {
  if (buffer == nullptr || buffer->data() == nullptr || buffer->length() != 0 ||
      count + 1 > buffer->capacity()) {
    return false;
  }
  if (count > 0) {
    std::memcpy(buffer->data(), bytes, count);
  }
  return buffer->set_length(count);
}

bool text_buffer_append_bytes(TextBufferPtr& buffer, const char* bytes, std::size_t count) {
  if (!buffer) {
    buffer = text_buffer_new_empty();
    if (!buffer) {
      return false;
    }
  }
  TextBuffer& b = *buffer;
  const std::size_t capacity = grown_capacity(b.capacity(), b.length(), count);
  if (capacity != b.capacity() && !b.reallocate(capacity)) {
    return false;
  }
  if (count > 0) {
    std::memcpy(b.data() + b.length(), bytes, count);
  }
  return b.set_length(b.length() + count);
}

bool text_buffer_append(TextBufferPtr& buffer, const char* text) {
  return text_buffer_append_bytes(buffer, text, std::strlen(text));
}

bool text_buffer_append_buffer(TextBufferPtr& buffer, const TextBuffer* source) {
  if (source == nullptr) {
    return true;
  }
  return text_buffer_append_bytes(buffer, source->data(), source->length());
}

TextBufferPtr text_remove_chars(std::string_view text, std::string_view characters) {
  TextBufferPtr copy = text_buffer_from(text);
  if (!copy) {
    return copy;
  }
  char* data = copy->data();
  std::size_t kept = 0;
  for (std::size_t i = 0; i < copy->length(); ++i) {
    if (characters.find(data[i]) == std::string_view::npos) {
      data[kept++] = data[i];
    }
  }
  if (!copy->set_length(kept)) {
    copy.reset();
  }
  return copy;
}

bool text_trim(char* text) {
  if (text == nullptr || text[0] == '\0') {
    return false;
  }
  const auto is_blank = [](char c) { return c == ' ' || c == '\t'; };
  const std::size_t length = std::strlen(text);
  std::size_t first = 0;
  while (first < length && is_blank(text[first])) {
    ++first;
  }
  std::size_t end = length;
  while (end > first && is_blank(text[end - 1])) {
    --end;
  }
  std::memmove(text, text + first, end - first);
  text[end - first] = '\0';
  return true;
}

}  // namespace ruvo
