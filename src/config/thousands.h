// Thousands separators.
//
// The COMMA_INSERT section lists the values shown with thousands separators. After its header,
// each line is an entry compared untrimmed and without regard to the case of A to Z:
// - element:attribute, split at the first ':' outside quotes (a double quote or an apostrophe
//   flips one shared quote state), quotes then removed from both halves; a prefixed element is
//   written between quotes: "ns:Detaprod":importe;
// - a whole placeholder text as written between "<<" and ">>" ({...} or %...%).
#pragma once

#include <string_view>

#include "base/fill_observer.h"
#include "text/line_list.h"
#include "text/text_buffer.h"
#include "text/text_codec.h"

namespace ruvo {

// True when a pair line of the section matches both names. The section may be none. The
// observer, when there is one, is told which line matched.
bool is_comma_pair(const LineList* comma_section, std::string_view element,
                   std::string_view attribute, FillObserver* observer = nullptr);
// True when a line of the section equals the whole text. The section may be none.
bool is_comma_text(const LineList* comma_section, std::string_view text,
                   FillObserver* observer = nullptr);
// The same for names as the document spells them (UTF-8): each entry is compared as UTF-8,
// converted from the encoding of the configuration.
const Line* comma_pair_entry_utf8(const LineList* comma_section, const TextCodec& codec,
                                  std::string_view element, std::string_view attribute,
                                  FillObserver* observer = nullptr);
// The same, giving the line that matched (none when none does).
const Line* comma_pair_entry(const LineList* comma_section, std::string_view element,
                             std::string_view attribute, FillObserver* observer = nullptr);
const Line* comma_text_entry(const LineList* comma_section, std::string_view text,
                             FillObserver* observer = nullptr);

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
