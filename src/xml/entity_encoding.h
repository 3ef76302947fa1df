// Entity-encoding of values for the Xml output mode.
#pragma once

#include <libxml/tree.h>

#include <string_view>

#include "text/text_buffer.h"

namespace ruvo {

// The Latin-1 value with '&', '<' and '>' written as &amp;, &lt; and &gt;, a CR as &#13;, tab
// and LF kept and every other control byte dropped. A byte from 0x80 up stays as it is when the
// document declared its encoding, and becomes a character reference (0xF1 as &#241;) when it
// did not. The result never depends on the values encoded before it: the document is only read.
// None when memory is short.
[[nodiscard]] TextBufferPtr encode_entities(const xmlDoc* document, std::string_view value);

}  // namespace ruvo
