#include "tables/marker_guard.h"

#include <cstring>

namespace ruvo {

namespace {

bool is_line_end(char c) {
  return c == '\n' || c == '\r';
}

// The first bytes of the pieces put together, as many as a marker has at most.
struct Head {
  char bytes[kLongestMarker] = {};
  std::size_t size = 0;

  void add(std::string_view piece) {
    for (std::size_t i = 0; i < piece.size() && size < kLongestMarker; ++i) {
      bytes[size++] = piece[i];
    }
  }
  std::string_view view() const { return {bytes, size}; }
};

// Positions of the value where a line of the output begins with a marker, each handed to put.
template <class Put>
void marker_line_starts(std::string_view value, const ValueSurroundings& around, Put put) {
  if (around.lead_known && !value.empty()) {
    Head head;
    head.add({around.lead, around.lead_size});
    head.add(value);
    head.add(around.follow);
    const std::size_t marker = marker_length(head.view());
    if (marker > around.lead_size) {  // the value has a part in it, not the template alone
      put(std::size_t{0});
    }
  }
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (!is_line_end(value[i])) {
      continue;
    }
    const char next = i + 1 < value.size()    ? value[i + 1]
                      : around.follow.empty() ? '\0'
                                              : around.follow[0];
    if (value[i] == '\r' && next == '\n') {
      continue;  // CR LF ends one line, at its LF
    }
    Head head;
    head.add(value.substr(i + 1));
    head.add(around.follow);
    if (marker_length(head.view()) > 0) {
      put(i + 1);
    }
  }
}

}  // namespace

std::size_t marker_length(std::string_view text) {
  if (text.empty() || text.front() != '~') {
    return 0;  // every marker begins with '~'
  }
  for (const std::string_view marker : kMarkerTexts) {
    if (text.starts_with(marker)) {
      return marker.size();
    }
  }
  return 0;
}

// One pass over the bytes: find_first_of would search the set once per byte.
bool holds_line_end(std::string_view text) {
  for (const char c : text) {
    if (is_line_end(c)) {
      return true;
    }
  }
  return false;
}

TextBufferPtr guarded_cell(std::string_view value) {
  if (!holds_line_end(value) && marker_length(value) == 0) {
    return TextBufferPtr();
  }
  TextBufferPtr cell = text_buffer_new(value.size() + 2);
  if (!cell) {
    return cell;
  }
  char* out = cell->data();
  std::size_t size = 0;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n') {
      continue;  // CR LF is one line end: one blank, at its LF
    }
    out[size++] = is_line_end(value[i]) ? ' ' : value[i];
  }
  if (marker_length({out, size}) > 0) {
    std::memmove(out + 1, out, size);
    out[0] = ' ';
    ++size;
  }
  out[size] = '\0';
  static_cast<void>(cell->set_length(size));  // within the block it was made with
  return cell;
}

TextBufferPtr guarded_value(std::string_view value, const ValueSurroundings& around) {
  std::size_t blanks = 0;
  marker_line_starts(value, around, [&](std::size_t) { ++blanks; });
  if (blanks == 0) {
    return TextBufferPtr();
  }
  TextBufferPtr guarded = text_buffer_new(value.size() + blanks + 1);
  if (!guarded) {
    return guarded;
  }
  char* out = guarded->data();
  std::size_t size = 0;
  std::size_t copied = 0;
  marker_line_starts(value, around, [&](std::size_t at) {
    std::memcpy(out + size, value.data() + copied, at - copied);
    size += at - copied;
    copied = at;
    out[size++] = ' ';
  });
  std::memcpy(out + size, value.data() + copied, value.size() - copied);
  size += value.size() - copied;
  out[size] = '\0';
  static_cast<void>(guarded->set_length(size));  // within the block it was made with
  return guarded;
}

}  // namespace ruvo
