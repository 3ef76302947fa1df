// Entity-encoding of values for the Xml output mode.
#pragma once

#include <libxml/tree.h>

#include <string_view>

#include "text/text_buffer.h"
#include "text/text_codec.h"
#include "xml/run_text.h"

namespace ruvo {

// The value, text in the run's encoding, entity-encoded by libxml2 (xmlEncodeEntitiesReentrant):
// '&', '<' and '>' as &amp;, &lt; and &gt;, a CR as &#13;. A character beyond ASCII stays as it
// is when the document declared its encoding, and becomes a character reference (0xF1 as
// &#xF1;) when it did not. The result never depends on the values encoded before it. None when
// memory is short.
[[nodiscard]] TextBufferPtr encode_entities(const xmlDoc* document, std::string_view value,
                                            const TextCodec& codec = latin1_codec());

}  // namespace ruvo
