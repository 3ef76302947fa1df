#include "fill/scan_line.h"

#include <algorithm>
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

bool ScanLine::place(std::size_t start, std::size_t end, std::string_view value,
                     bool from_document) {
  const std::size_t settled_start = settled_position(start);
  const std::size_t settled_end = settled_position(end);
  if (can_keep_apart(start, end, value) && keep_apart(start, end, value)) {
    note_replacement(settled_start, settled_end, value.size(), false);
    resume_ = end + 1;
    return true;
  }
  if (!make_whole() || !line_replace_span(line_, settled_start, settled_end, value)) {
    return false;
  }
  note_replacement(settled_start, settled_end, value.size(), from_document && !value.empty());
  resume_ = settled_start > 0 ? settled_start - 1 : 0;
  return true;
}

void ScanLine::note_replacement(std::size_t start, std::size_t end, std::size_t size,
                                bool brought) {
  if (brought_.empty() && !brought) {
    return;
  }
  // Stretches after the span move with it; one that reaches into the span takes in the value,
  // which replaced text it brought.
  const std::size_t after = start + size;
  Stretch value{start, after};
  bool joined = brought;
  auto kept = brought_.begin();
  for (Stretch& stretch : brought_) {
    if (stretch.end <= start) {
      *kept++ = stretch;
    } else if (stretch.begin > end) {
      *kept++ = {stretch.begin - (end + 1) + after, stretch.end - (end + 1) + after};
    } else {
      value = {std::min(value.begin, stretch.begin),
               std::max(after, stretch.end > end + 1 ? stretch.end - (end + 1) + after : after)};
      joined = true;
    }
  }
  brought_.erase(kept, brought_.end());
  if (!joined) {
    return;
  }
  try {
    const auto place = std::find_if(brought_.begin(), brought_.end(),
                                    [&](const Stretch& stretch) { return stretch.begin > start; });
    brought_.insert(place, value);
  } catch (const std::bad_alloc&) {
    all_brought_ = true;
  }
}

bool ScanLine::brought_in(std::size_t start, std::size_t end) const {
  if (all_brought_) {
    return true;
  }
  const std::size_t first = settled_position(start);
  const std::size_t last = settled_position(end);
  return std::any_of(brought_.begin(), brought_.end(), [&](const Stretch& stretch) {
    return stretch.begin <= last && stretch.end > first;
  });
}

ValueSurroundings ScanLine::surroundings(std::size_t start, std::size_t end) const {
  ValueSurroundings around;
  const std::string_view own = text();
  around.follow = own.substr(std::min(end + 1, own.size()), kLongestMarker);
  // The line made whole is done_ followed by the own text from consumed_ on.
  const std::size_t settled = settled_position(start);
  const auto at = [&](std::size_t position) {
    return position < done_.size() ? done_[position] : own[position - done_.size() + consumed_];
  };
  std::size_t begin = settled;
  while (begin > 0 && settled - begin < kLongestMarker && at(begin - 1) != '\n' &&
         at(begin - 1) != '\r') {
    --begin;
  }
  around.lead_known = begin == 0 || at(begin - 1) == '\n' || at(begin - 1) == '\r';
  if (around.lead_known) {
    for (std::size_t position = begin; position < settled; ++position) {
      around.lead[around.lead_size++] = at(position);
    }
  }
  return around;
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
  brought_.clear();
  all_brought_ = false;
  return true;
}

}  // namespace ruvo
