// Values from the document never make a line the renderer reads as a table line.
//
// The renderer takes a line that begins with one of the marker texts for a row start, a column
// label, a row end or a block: a supplier's text that began an output line with one could end a
// table early or add rows. A table cell is therefore always one line (each line end inside it,
// CR LF, LF or CR, is written as one blank), and wherever a placed value would make an output
// line begin with a marker text, one blank is written before it. The marker lines the tables
// write, and the template's own text, are never touched.
#pragma once

#include <cstddef>
#include <string_view>

#include "text/text_buffer.h"

namespace ruvo {

inline constexpr std::string_view kMarkerTexts[] = {"~[ ", "~# ", "~]", "~<", "~>"};
inline constexpr std::size_t kLongestMarker = 3;

// The length of the marker text the bytes begin with, or 0.
std::size_t marker_length(std::string_view text);

// Whether the text holds a CR or an LF.
bool holds_line_end(std::string_view text);

// A cell's value as the one line it is written as; none when it needs no change (it holds no
// line end and begins with no marker), or when memory is short (the value is then written as it
// is, a line dropped from a table being worse than one split).
[[nodiscard]] TextBufferPtr guarded_cell(std::string_view value);

// What stands around a single value on the output lines it lands on: the text before it on its
// line when that is shorter than the longest marker (known), and the first bytes after it.
struct ValueSurroundings {
  char lead[kLongestMarker] = {};
  std::size_t lead_size = 0;
  bool lead_known = false;  // false: kLongestMarker bytes or more stand before it on its line
  std::string_view follow;  // up to kLongestMarker bytes of what follows the value
};

// The value with a blank before every output line it would make begin with a marker: the line
// it starts on (when the text before it and the value make a marker there, the blank goes at
// the value's start, which breaks the marker) and each line after a line end inside it. None
// when it needs no blank, or when memory is short.
[[nodiscard]] TextBufferPtr guarded_value(std::string_view value, const ValueSurroundings& around);

}  // namespace ruvo
