#include "xml/entity_encoding.h"

#include <libxml/encoding.h>
#include <libxml/entities.h>

#include "xml/value_lookup.h"
#include "xml/xml_handles.h"

namespace ruvo {

// libxml2's xmlEncodeEntitiesReentrant takes its text for UTF-8 while the document declares no
// encoding: handed Latin-1 bytes, a pair that happens to be well-formed UTF-8 (0xC3 0xB1) became
// a reference to another character, and the first byte that is not made the library mark the
// document as ISO-8859-1, so every later value of the run came out raw. So the value goes to
// libxml2 as the UTF-8 it stands for, and libxml2's result comes back to Latin-1: the same
// escapes, the same value written the same way every time, and the document left as it was.
TextBufferPtr encode_entities(const xmlDoc* document, std::string_view value) {
  if (value.size() > 0x3FFFFFFF) {
    return TextBufferPtr();
  }
  // Every Latin-1 byte takes at most two bytes of UTF-8.
  ByteBlock utf8(2 * value.size() + 1);
  if (utf8.empty()) {
    return TextBufferPtr();
  }
  int out_length = static_cast<int>(2 * value.size());
  int in_length = static_cast<int>(value.size());
  if (isolat1ToUTF8(reinterpret_cast<unsigned char*>(utf8.get()), &out_length,
                    reinterpret_cast<const unsigned char*>(value.data()), &in_length) < 0 ||
      in_length != static_cast<int>(value.size())) {
    return TextBufferPtr();
  }
  utf8.get()[out_length] = '\0';
  // The encoder does not change the document when its text is well-formed UTF-8.
  XmlCharPtr encoded(xmlEncodeEntitiesReentrant(const_cast<xmlDoc*>(document),
                                                reinterpret_cast<const xmlChar*>(utf8.get())));
  if (!encoded) {
    return TextBufferPtr();
  }
  return content_to_latin1(encoded.get());
}

}  // namespace ruvo
