#include "xml/entity_encoding.h"

#include <libxml/entities.h>

#include "xml/latin1.h"
#include "xml/xml_handles.h"

namespace ruvo {

// libxml2's xmlEncodeEntitiesReentrant takes its text for UTF-8 while the document declares no
// encoding: handed Latin-1 bytes, a pair that happens to be well-formed UTF-8 (0xC3 0xB1) became
// a reference to another character, and the first byte that is not made the library mark the
// document as ISO-8859-1, so every later value of the run came out raw. So the value goes to
// libxml2 as the UTF-8 it stands for, and libxml2's result comes back to Latin-1: the same
// escapes, the same value written the same way every time, and the document left as it was.
// Another encoding takes the same road: to UTF-8 by its codec, encoded, and back.
TextBufferPtr encode_entities(const xmlDoc* document, std::string_view value,
                              const TextCodec& codec) {
  ByteBlock latin1_utf8;
  TextBufferPtr codec_utf8;
  const char* utf8 = nullptr;
  if (codec.is_latin1()) {
    latin1_utf8 = latin1_to_utf8(value);
    utf8 = latin1_utf8.get();
  } else if (codec.to_utf8(value, codec_utf8)) {
    utf8 = codec_utf8->data();
  }
  if (utf8 == nullptr) {
    return TextBufferPtr();
  }
  // The encoder does not change the document when its text is well-formed UTF-8.
  XmlCharPtr encoded(xmlEncodeEntitiesReentrant(const_cast<xmlDoc*>(document),
                                                reinterpret_cast<const xmlChar*>(utf8)));
  if (!encoded) {
    return TextBufferPtr();
  }
  return output_text(codec, encoded.get());
}

}  // namespace ruvo
