#include "fill/line_progress.h"

#include <new>

namespace ruvo {

bool can_keep_apart(const LineProgress& progress, std::string_view text, std::size_t start,
                    std::size_t end, std::string_view value) {
  if (value.find('<') != std::string_view::npos) {
    return false;
  }
  if (!value.empty()) {
    return true;
  }
  const std::size_t from = progress.consumed;
  const char before = start > from             ? text[start - 1]
                      : !progress.done.empty() ? progress.done.back()
                                               : '\0';
  const char after = end + 1 < text.size() ? text[end + 1] : '\0';
  return !(before == '<' && after == '<');
}

bool keep_apart(LineProgress& progress, std::string_view text, std::size_t start, std::size_t end,
                std::string_view value) {
  const std::string_view between = text.substr(progress.consumed, start - progress.consumed);
  try {
    // Reserving first: the appends then cannot fail half-way.
    progress.done.reserve(progress.done.size() + between.size() + value.size());
  } catch (const std::bad_alloc&) {
    return false;
  }
  progress.done.append(between);
  progress.done.append(value);
  progress.consumed = end + 1;
  return true;
}

std::size_t settled_position(const LineProgress& progress, std::size_t position) {
  return position - progress.consumed + progress.done.size();
}

bool settle_line(LineProgress& progress, Line* line) {
  if (progress.consumed == 0) {
    return true;
  }
  const std::string_view text = line->view();
  if (!line->assign(progress.done, text.substr(progress.consumed))) {
    return false;
  }
  progress.done.clear();
  progress.consumed = 0;
  return true;
}

}  // namespace ruvo
