// Values from the document as Latin-1 text.
#pragma once

#include <string_view>

#include "text/text_buffer.h"
#include "xml/xpath_context.h"

namespace ruvo {

// The longest expression //element/@attribute that a lookup makes; longer names give no value.
inline constexpr std::size_t kMaxLookupExpressionLength = 1023;

// What a lookup did, for whoever explains a run: the expression evaluated (qualified, UTF-8;
// none when it would have been too long) and whether the value lost characters to Latin-1,
// with the document's text (UTF-8) when it did.
struct LookupTrace {
  TextBufferPtr expression;
  bool lossy = false;
  TextBufferPtr source;
};

// The value of the first attribute of that name on an element of that name anywhere in the
// document (//element/@attribute, qualified), as Latin-1; none when there is no such attribute
// or the expression would be longer than kMaxLookupExpressionLength. The context node is not
// used.
[[nodiscard]] TextBufferPtr lookup_value(XPathContext& context, std::string_view element,
                                         std::string_view attribute, LookupTrace* trace = nullptr);

}  // namespace ruvo
