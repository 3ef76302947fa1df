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
TextBufferPtr encode_entities(const xmlDoc* document, std::string_view value) {
  const ByteBlock utf8 = latin1_to_utf8(value);
  if (utf8.empty()) {
    return TextBufferPtr();
  }
  // The encoder does not change the document when its text is well-formed UTF-8.
  XmlCharPtr encoded(xmlEncodeEntitiesReentrant(const_cast<xmlDoc*>(document),
                                                reinterpret_cast<const xmlChar*>(utf8.get())));
  if (!encoded) {
    return TextBufferPtr();
  }
  return content_to_latin1(encoded.get());
}

}  // namespace ruvo
