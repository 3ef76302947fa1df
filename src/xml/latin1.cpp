#include "xml/latin1.h"

#include <libxml/encoding.h>

#include <cstdint>
#include <cstring>

#include "text/utf8.h"

namespace ruvo {

namespace {

std::size_t decode_utf8(const unsigned char* text, std::size_t available, unsigned long& code) {
  std::uint32_t point = 0;
  const std::size_t length = utf8_decode(text, available, point);
  code = point;
  return length;
}

}  // namespace

// Latin-1 holds exactly the code points 0 to 255, each as one byte, so the output is never
// longer than the UTF-8 input. Whatever it cannot hold becomes one '?' per character, and each
// byte of a malformed sequence one '?' of its own, so nothing after it is lost.
bool latin1_assign(TextBufferPtr& text, const xmlChar* content) {
  const std::size_t size =
      content != nullptr ? std::strlen(reinterpret_cast<const char*>(content)) : 0;
  if (!text || text->capacity() < size + 1) {
    TextBufferPtr larger = text_buffer_new(size + 1);
    if (!larger) {
      return false;
    }
    text = std::move(larger);
  }
  char* out = text->data();
  std::size_t written = 0;
  std::size_t position = 0;
  while (position < size) {
    const unsigned char lead = content[position];
    if (lead < 0x80) {
      out[written++] = static_cast<char>(lead);
      ++position;
      continue;
    }
    unsigned long code = 0;
    const std::size_t length = decode_utf8(content + position, size - position, code);
    if (length == 0) {
      out[written++] = '?';
      ++position;
      continue;
    }
    out[written++] = code <= 0xFF ? static_cast<char>(static_cast<unsigned char>(code)) : '?';
    position += length;
  }
  return text->set_length(written);
}

bool loses_characters(const xmlChar* content) {
  if (content == nullptr) {
    return false;
  }
  const std::size_t size = std::strlen(reinterpret_cast<const char*>(content));
  std::size_t position = 0;
  while (position < size) {
    if (content[position] < 0x80) {
      ++position;
      continue;
    }
    unsigned long code = 0;
    const std::size_t length = decode_utf8(content + position, size - position, code);
    if (length == 0 || code > 0xFF) {
      return true;
    }
    position += length;
  }
  return false;
}

TextBufferPtr content_to_latin1(const xmlChar* content) {
  TextBufferPtr text;
  if (!latin1_assign(text, content)) {
    text.reset();
  }
  return text;
}

bool is_ascii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      return false;
    }
  }
  return true;
}

bool latin1_to_utf8_in_place(TextBufferPtr& text) {
  if (!text) {
    return false;
  }
  const std::string_view latin1 = text->view();
  std::size_t extra = 0;
  for (const char c : latin1) {
    extra += static_cast<unsigned char>(c) >= 0x80 ? 1 : 0;
  }
  if (extra == 0) {
    return true;
  }
  TextBufferPtr utf8 = text_buffer_new(latin1.size() + extra + 1);
  if (!utf8) {
    return false;
  }
  char* out = utf8->data();
  for (const char c : latin1) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      *out++ = c;
    } else {
      *out++ = static_cast<char>(0xC0 | (byte >> 6));
      *out++ = static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  if (!utf8->set_length(latin1.size() + extra)) {
    return false;
  }
  text = std::move(utf8);
  return true;
}

ByteBlock latin1_to_utf8(std::string_view text) {
  if (text.size() > 0x3FFFFFFF) {
    return ByteBlock();
  }
  // Every Latin-1 byte takes at most two bytes of UTF-8.
  ByteBlock utf8(2 * text.size() + 1);
  if (utf8.empty()) {
    return utf8;
  }
  int out_length = static_cast<int>(2 * text.size());
  int in_length = static_cast<int>(text.size());
  if (isolat1ToUTF8(reinterpret_cast<unsigned char*>(utf8.get()), &out_length,
                    reinterpret_cast<const unsigned char*>(text.data()), &in_length) < 0 ||
      in_length != static_cast<int>(text.size())) {
    return ByteBlock();
  }
  utf8.get()[out_length] = '\0';
  return utf8;
}

}  // namespace ruvo
