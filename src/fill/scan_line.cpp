#include "fill/scan_line.h"

#include <new>

namespace ruvo {

// Keeping the value apart must leave the scan where a search of the own text from end + 1
// finds the next "<<": true when the value holds no '<' and, for an empty value, the bytes on
// either side do not make a "<<".
bool ScanLine::can_keep_apart(std::size_t start, std::size_t end, std::string_view value) const {
  if (value.find('<') != std::string_view::npos) {
    return false;
  }
  if (!value.empty()) {
    return true;
  }
  const std::string_view own = text();
  const char before = start > consumed_ ? own[start - 1] : !done_.empty() ? done_.back() : '\0';
  const char after = end + 1 < own.size() ? own[end + 1] : '\0';
  return !(before == '<' && after == '<');
}

bool ScanLine::keep_apart(std::size_t start, std::size_t end, std::string_view value) {
  const std::string_view between = text().substr(consumed_, start - consumed_);
  try {
    // Reserving first: the appends then cannot fail half-way.
    done_.reserve(done_.size() + between.size() + value.size());
  } catch (const std::bad_alloc&) {
    return false;
  }
  done_.append(between);
  done_.append(value);
  consumed_ = end + 1;
  return true;
}

bool ScanLine::place(std::size_t start, std::size_t end, std::string_view value) {
  if (can_keep_apart(start, end, value) && keep_apart(start, end, value)) {
    resume_ = end + 1;
    return true;
  }
  const std::size_t settled_start = settled_position(start);
  const std::size_t settled_end = settled_position(end);
  if (!make_whole() || !line_replace_span(line_, settled_start, settled_end, value)) {
    return false;
  }
  resume_ = settled_start > 0 ? settled_start - 1 : 0;
  return true;
}

bool ScanLine::make_whole() {
  if (consumed_ == 0) {
    return true;
  }
  if (!line_->assign(done_, text().substr(consumed_))) {
    return false;
  }
  done_.clear();
  consumed_ = 0;
  return true;
}

bool ScanLine::move_to(Line* next) {
  if (!make_whole()) {
    return false;
  }
  line_ = next;
  resume_ = 0;
  handled_ = 0;
  return true;
}

}  // namespace ruvo
