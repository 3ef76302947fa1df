// Values from the document as Latin-1 text.
#pragma once

#include <libxml/xmlstring.h>

#include "text/text_buffer.h"
#include "xml/xpath_context.h"

namespace ruvo {

// The value of the first attribute of that name on an element of that name anywhere in the
// document (//element/@attribute, qualified), as Latin-1; none when there is no such attribute
// or the expression would be longer than 1023 characters. The context node is not used.
[[nodiscard]] TextBufferPtr lookup_value(XPathContext& context, const char* element,
                                         const char* attribute);

// The one conversion of the document's UTF-8 text into Latin-1 bytes: every character that
// Latin-1 cannot hold (or any malformed byte) becomes '?', and the conversion goes on with the
// rest. None only when memory is short; content of none gives an empty text.
[[nodiscard]] TextBufferPtr content_to_latin1(const xmlChar* content);
// The same conversion into a buffer the caller keeps, reusing its block when it is large
// enough; false (the buffer as it was) when memory is short.
[[nodiscard]] bool latin1_assign(TextBufferPtr& text, const xmlChar* content);

}  // namespace ruvo
