// Values from the document as Latin-1 text.
#pragma once

#include "text/text_buffer.h"
#include "xml/xpath_context.h"

namespace ruvo {

// The value of the first attribute of that name on an element of that name anywhere in the
// document (//element/@attribute, qualified), as Latin-1; none when there is no such attribute
// or the expression would be longer than 1023 characters. The context node is not used.
// What a lookup did, for whoever explains a run: the expression evaluated (qualified, UTF-8;
// none when it would have been too long) and whether the value lost characters to Latin-1.
struct LookupTrace {
  TextBufferPtr expression;
  bool lossy = false;
};

[[nodiscard]] TextBufferPtr lookup_value(XPathContext& context, const char* element,
                                         const char* attribute, LookupTrace* trace = nullptr);

}  // namespace ruvo
