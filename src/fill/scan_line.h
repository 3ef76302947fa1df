// The template line being scanned: the line, the replacements kept apart from it, and where the
// scan goes on.
//
// Replacing a placeholder inside a long line would copy the whole line each time, so a line of
// many placeholders would cost placeholders × length. Most values cannot start a placeholder of
// their own (they hold no '<'); their replacements are kept apart instead: the line's own text
// stays as it was, `done_` holds the filled text for its first `consumed_` bytes, and the scan
// goes on in the line's own text right after the placeholder. The line is made whole before
// anything reads it as a whole, before a value that could start a placeholder goes in place,
// and when the scan leaves it (also when the scan ends early: the template keeps every
// replacement made).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "tables/marker_guard.h"
#include "text/line_list.h"
#include "text/tracked_memory.h"

namespace ruvo {

class ScanLine {
 public:
  explicit ScanLine(Line* line) : line_(line) {}
  ScanLine(const ScanLine&) = delete;
  ScanLine& operator=(const ScanLine&) = delete;
  ~ScanLine() { static_cast<void>(make_whole()); }

  // The line scanned (none past the template's end), its own text, and where in that text the
  // search for the next "<<" starts.
  Line* line() const { return line_; }
  std::string_view text() const { return line_->view(); }
  std::size_t resume() const { return resume_; }
  // Placeholders handled on this line so far.
  int handled() const { return handled_; }
  void count_handled() { ++handled_; }

  // Puts the value in place of the span [start, end] of the line's own text and sets where the
  // scan goes on: right after the span when the value is kept apart, else right before the
  // value, where a '<' before it and one starting it make a placeholder. A value from the
  // document is remembered as such where it stands. False when memory is short.
  [[nodiscard]] bool place(std::size_t start, std::size_t end, std::string_view value,
                           bool from_document = false);

  // Whether a byte of the span [start, end] of the line's own text came with a value from the
  // document placed before on this line: text a supplier wrote, not the template's author.
  bool brought_in(std::size_t start, std::size_t end) const;

  // What stands around the span [start, end] of the line's own text on the output line a value
  // in its place lands on (line ends inside the line came with values placed before).
  ValueSurroundings surroundings(std::size_t start, std::size_t end) const;

  // Makes the line whole: the kept text followed by the rest of its own text. False (the line
  // and what was kept unchanged) when memory is short.
  [[nodiscard]] bool make_whole();

  // Makes the line whole and goes on to another one (none past the end), from its start. A
  // table's line is gone once the table is written: it was made whole before the table read it,
  // so leaving it touches nothing. False (still on the line) when memory is short.
  [[nodiscard]] bool move_to(Line* next);

 private:
  bool can_keep_apart(std::size_t start, std::size_t end, std::string_view value) const;
  bool keep_apart(std::size_t start, std::size_t end, std::string_view value);
  // The brought-in stretches after the span [start, end] of the line made whole became size
  // bytes, and the value's own when it is one.
  void note_replacement(std::size_t start, std::size_t end, std::size_t size, bool brought);
  // Where a position of the line's own text stands in the line made whole.
  std::size_t settled_position(std::size_t position) const {
    return position - consumed_ + done_.size();
  }

  Line* line_;
  // Nothing is kept apart while consumed_ is 0: a kept replacement always consumes its span.
  std::basic_string<char, std::char_traits<char>, TrackedAllocator<char>> done_;
  std::size_t consumed_ = 0;  // bytes of the line's own text that done_ stands for
  std::size_t resume_ = 0;
  int handled_ = 0;
  // Stretches [begin, end) of the line made whole that document values brought, in order. Only
  // a value that may start a placeholder (it holds '<', so it is never kept apart) is noted.
  struct Stretch {
    std::size_t begin;
    std::size_t end;
  };
  std::vector<Stretch, TrackedAllocator<Stretch>> brought_;
  bool all_brought_ = false;  // memory for a stretch was short: the rest of the line counts
};

}  // namespace ruvo
