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
  const std::size_t from = progress.active ? progress.consumed : 0;
  const bool kept_before = start == from && progress.active && !progress.done.empty();
  const char before = start > from ? text[start - 1] : kept_before ? progress.done.back() : '\0';
  const char after = end + 1 < text.size() ? text[end + 1] : '\0';
  return !(before == '<' && after == '<');
}

bool keep_apart(LineProgress& progress, std::string_view text, std::size_t start, std::size_t end,
                std::string_view value) {
  const std::size_t from = progress.active ? progress.consumed : 0;
  const std::string_view between = text.substr(from, start - from);
  try {
    // Reserving first: the appends then cannot fail half-way.
    progress.done.reserve(progress.done.size() + between.size() + value.size());
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (!progress.active) {
    progress.done.clear();
  }
  progress.done.append(between);
  progress.done.append(value);
  progress.consumed = end + 1;
  progress.active = true;
  return true;
}

std::size_t settled_position(const LineProgress& progress, std::size_t position) {
  return progress.active ? position - progress.consumed + progress.done.size() : position;
}

bool settle_line(LineProgress& progress, Line* line) {
  if (!progress.active) {
    return true;
  }
  const std::string_view text = line->view();
  if (!line->assign(progress.done, text.substr(progress.consumed))) {
    return false;
  }
  progress.done.clear();
  progress.consumed = 0;
  progress.active = false;
  return true;
}

}  // namespace ruvo
