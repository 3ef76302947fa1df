// Values from the document as Latin-1 text.
#pragma once

#include "text/text_buffer.h"
#include "xml/xpath_context.h"

namespace ruvo {

// The value of the first attribute of that name on an element of that name anywhere in the
// document (//element/@attribute, qualified), as Latin-1; none when there is no such attribute
// or the expression would be longer than 1023 characters. The context node is not used.
[[nodiscard]] TextBufferPtr lookup_value(XPathContext& context, const char* element,
                                         const char* attribute);

}  // namespace ruvo
