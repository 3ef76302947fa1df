#include "xml/entity_encoding.h"

#include <cstdio>

namespace ruvo {

// libxml2's xmlEncodeEntitiesReentrant encodes the same way, but it takes its text for UTF-8
// while no encoding is declared: a Latin-1 pair that happens to be well-formed UTF-8 (0xC3 0xB1)
// became a reference to another character, and the first byte that is not made the library mark
// the document as ISO-8859-1, so every later value of the run came out raw.
TextBufferPtr encode_entities(const xmlDoc* document, std::string_view value) {
  const bool raw_high_bytes = document != nullptr && document->encoding != nullptr;
  TextBufferPtr out = text_buffer_new(value.size() + 1);
  if (!out) {
    return out;
  }
  out->data()[0] = '\0';
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    bool appended = true;
    if (c == '&') {
      appended = text_buffer_append(out, "&amp;");
    } else if (c == '<') {
      appended = text_buffer_append(out, "&lt;");
    } else if (c == '>') {
      appended = text_buffer_append(out, "&gt;");
    } else if (c == '\r' || (byte >= 0x80 && !raw_high_bytes)) {
      char reference[8];
      std::snprintf(reference, sizeof reference, "&#%u;", static_cast<unsigned>(byte));
      appended = text_buffer_append(out, reference);
    } else if (byte >= 0x20 || c == '\t' || c == '\n') {
      appended = text_buffer_append_bytes(out, &c, 1);
    }
    if (!appended) {
      return TextBufferPtr();
    }
  }
  return out;
}

}  // namespace ruvo
