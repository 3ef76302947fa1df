// Entity-encoding of values for the Xml output mode.
#pragma once

#include <libxml/tree.h>

#include <string_view>

#include "text/text_buffer.h"

namespace ruvo {

// The Latin-1 value entity-encoded by libxml2 (xmlEncodeEntitiesReentrant): '&', '<' and '>' as
// &amp;, &lt; and &gt;, a CR as &#13;. A byte from 0x80 up stays as it is when the document
// declared its encoding, and becomes a character reference (0xF1 as &#xF1;) when it did not.
// The result never depends on the values encoded before it. None when memory is short.
[[nodiscard]] TextBufferPtr encode_entities(const xmlDoc* document, std::string_view value);

}  // namespace ruvo
