// Text between the document and the run's files, in the run's encoding (text/text_codec.h): the
// document's UTF-8 as the output is written, and the template's and the configuration's text as
// libxml2 reads it. Latin-1, the default, goes through xml/latin1, byte for byte as the program
// has always converted; another encoding through its codec.
#pragma once

#include <libxml/xmlstring.h>

#include "text/text_buffer.h"
#include "text/text_codec.h"

namespace ruvo {

// The Latin-1 codec of a run that names no encoding.
const TextCodec& latin1_codec();

// The document's text as the output has it; what the encoding cannot hold becomes '?'. The
// buffer's block is reused when it is large enough; false when memory is short.
[[nodiscard]] bool output_assign(const TextCodec& codec, TextBufferPtr& text,
                                 const xmlChar* content);
[[nodiscard]] TextBufferPtr output_text(const TextCodec& codec, const xmlChar* content);
// Whether that conversion puts a '?' for something.
bool output_loses(const TextCodec& codec, const xmlChar* content);

// A name, an expression or a literal of the template or the configuration as UTF-8, in place
// (ASCII stays as it is). False, the text as it was, when memory is short or the text is not
// valid in the encoding.
[[nodiscard]] bool run_text_to_utf8(const TextCodec& codec, TextBufferPtr& text);

}  // namespace ruvo
