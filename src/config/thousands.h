// Thousands separators, for the values the COMMA_INSERT section lists (config/comma_insert.h).
#pragma once

#include <string_view>

#include "text/text_buffer.h"
#include "text/text_codec.h"

namespace ruvo {

// Trims the value in place, then gives sign, currency symbol ('$', 0xA3, 0xA5), the integer
// digits grouped by ',' in threes and the fractional part unchanged: 1234567.891 gives
// 1,234,567.891, $-1234.50 gives -$1,234.50. None when its buffers cannot be had.
[[nodiscard]] TextBufferPtr format_thousands(char* value);
// The same into a buffer the caller keeps, reusing its block when it is large enough; false (the
// buffer as it was) when memory is short.
[[nodiscard]] bool format_thousands_into(char* value, TextBufferPtr& result);

// The same for a value in the run's encoding. Latin-1 keeps the bytes above; another encoding is
// grouped by characters: the symbols $, £, ¥ and € stay the currency, any other character
// beyond ASCII in the integer part is dropped whole, and the result is text in the encoding.
[[nodiscard]] TextBufferPtr format_thousands(char* value, const TextCodec& codec);
[[nodiscard]] bool format_thousands_into(char* value, TextBufferPtr& result,
                                         const TextCodec& codec);

}  // namespace ruvo
