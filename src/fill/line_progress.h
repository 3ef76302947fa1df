// The filled text of the cursor line while the scan moves along it.
//
// Replacing a placeholder inside a long line would copy the whole line each time, so a line of
// many placeholders would cost placeholders × length. Most values cannot start a placeholder of
// their own (they hold no '<'); their replacements are kept apart instead: the line's own text
// stays as it was, `done` holds the filled text for its first `consumed` bytes, and the scan
// goes on in the line's own text right after the placeholder. The line is settled (made whole)
// before anything reads it as a whole or a value could start a placeholder.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "text/line_list.h"
#include "text/tracked_memory.h"

namespace ruvo {

// Nothing is kept apart while consumed is 0: a kept replacement always consumes its span.
struct LineProgress {
  std::basic_string<char, std::char_traits<char>, TrackedAllocator<char>> done;
  std::size_t consumed = 0;  // bytes of the line's own text that done stands for
};

// Whether putting the value in place of the span [start, end] of the line's own text can be
// kept apart: the scan would find the next "<<" exactly where a search of the own text from
// end + 1 finds it. True when the value holds no '<' and, for an empty value, the bytes on
// either side do not make a "<<".
bool can_keep_apart(const LineProgress& progress, std::string_view text, std::size_t start,
                    std::size_t end, std::string_view value);

// Keeps the replacement apart; false (nothing changed) when memory is short.
[[nodiscard]] bool keep_apart(LineProgress& progress, std::string_view text, std::size_t start,
                              std::size_t end, std::string_view value);

// Where a position of the line's own text stands in the settled line.
std::size_t settled_position(const LineProgress& progress, std::size_t position);

// Makes the line whole: the kept text followed by the rest of its own text. False (the line
// and what was kept unchanged) when memory is short.
[[nodiscard]] bool settle_line(LineProgress& progress, Line* line);

}  // namespace ruvo
