// Conversions between the document's UTF-8 and the Latin-1 text the program writes.
#pragma once

#include <libxml/xmlstring.h>

#include <string_view>

#include "text/text_buffer.h"
#include "text/tracked_memory.h"

namespace ruvo {

// The one conversion of the document's UTF-8 text into Latin-1 bytes: every character that
// Latin-1 cannot hold (or any malformed byte) becomes '?', and the conversion goes on with the
// rest. None only when memory is short; content of none gives an empty text.
[[nodiscard]] TextBufferPtr content_to_latin1(const xmlChar* content);
// The same conversion into a buffer the caller keeps, reusing its block when it is large
// enough; false (the buffer as it was) when memory is short.
[[nodiscard]] bool latin1_assign(TextBufferPtr& text, const xmlChar* content);
// True when that conversion would put a '?' for something: a character beyond Latin-1 or a
// malformed byte.
bool loses_characters(const xmlChar* content);

// The Latin-1 text as NUL-terminated UTF-8, converted by libxml2. None when the text is too
// long for libxml2's converter, the conversion fails or memory is short.
[[nodiscard]] ByteBlock latin1_to_utf8(std::string_view text);

// Names and expressions of the template and the configuration are Latin-1, while libxml2 reads
// UTF-8 and the document's names are UTF-8: the text becomes UTF-8 before either sees it. ASCII
// text reads the same in both and is left as it is. False (the text as it was) when memory is
// short.
[[nodiscard]] bool latin1_to_utf8_in_place(TextBufferPtr& text);
// True when every byte is ASCII: the text is then the same in Latin-1 and UTF-8.
bool is_ascii(std::string_view text);

}  // namespace ruvo
