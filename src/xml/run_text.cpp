#include "xml/run_text.h"

#include <cstring>

#include "xml/latin1.h"

namespace ruvo {

namespace {

std::string_view utf8_of(const xmlChar* content) {
  return content != nullptr ? std::string_view(reinterpret_cast<const char*>(content))
                            : std::string_view();
}

}  // namespace

const TextCodec& latin1_codec() {
  static const TextCodec kLatin1;  // holds no converter: nothing of it changes
  return kLatin1;
}

bool output_assign(const TextCodec& codec, TextBufferPtr& text, const xmlChar* content) {
  if (codec.is_latin1()) {
    return latin1_assign(text, content);
  }
  TextBufferPtr converted;
  if (!codec.from_utf8(utf8_of(content), converted)) {
    return false;
  }
  text = std::move(converted);
  return true;
}

TextBufferPtr output_text(const TextCodec& codec, const xmlChar* content) {
  TextBufferPtr text;
  if (!output_assign(codec, text, content)) {
    text.reset();
  }
  return text;
}

bool output_loses(const TextCodec& codec, const xmlChar* content) {
  if (codec.is_latin1()) {
    return loses_characters(content);
  }
  TextBufferPtr converted;
  bool lost = false;
  return codec.from_utf8(utf8_of(content), converted, &lost) && lost;
}

bool run_text_to_utf8(const TextCodec& codec, TextBufferPtr& text) {
  if (codec.is_latin1()) {
    return latin1_to_utf8_in_place(text);
  }
  if (!text || is_ascii(text->view())) {
    return static_cast<bool>(text);
  }
  TextBufferPtr utf8;
  if (!codec.to_utf8(text->view(), utf8)) {
    return false;
  }
  text = std::move(utf8);
  return true;
}

}  // namespace ruvo
