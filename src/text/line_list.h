// LineList: a doubly linked list of owned text lines with one cursor.
//
// The template, the configuration file and each configuration section live in a LineList. The
// filling and table code edits the template in place and relies on exactly where the cursor
// stands after each operation:
//
//   line_list_rewind         first line (none if empty)            returns the first line
//   line_list_next / _prev   the neighbour if there is one,         returns the neighbour, or none
//                            otherwise unchanged                    when the cursor did not move
//   line_list_append         unchanged                              true / false
//   line_list_prepend        unchanged
//   line_list_insert_after   unchanged (on the line before the new one)
//   line_list_delete_current the following line; the new last line when the last went; none when
//                            the only line went
//
// So line_list_next returning none never leaves a cursor that was on a line at none.
//
// The list owns its lines (their records in its arena) and each line owns its text (LineText).
// Every block is counted (tracked_alloc) and released when the list is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text/line_text.h"
#include "text/tracked_list.h"
#include "text/tracked_memory.h"

namespace ruvo {

// One line of a list: its text and its neighbours. The record is kept small (48 bytes)
// because an output of many table rows holds millions of them.
struct Line {
  static constexpr std::size_t kInlineSize = LineText::kInlineSize;

  Line() = default;
  Line(const Line&) = delete;
  Line& operator=(const Line&) = delete;

  // Makes the text the concatenation of the pieces, which may lie in this line's own text;
  // false (the text unchanged) when memory is short or the text would pass LineText::kMaxLength.
  [[nodiscard]] bool assign(std::string_view first, std::string_view second = {},
                            std::string_view third = {}) {
    return text_.assign(first, second, third);
  }

  char* text() noexcept { return text_.data(); }
  const char* text() const noexcept { return text_.data(); }
  std::size_t size() const noexcept { return text_.size(); }  // bytes of text, without the NUL
  std::string_view view() const noexcept { return text_.view(); }

  Line* next = nullptr;
  Line* prev = nullptr;

 private:
  LineText text_;  // private: its length is the size of the block it gives back
};

// Room for the line records of one list, taken from counted chunks that grow as the list does
// and are given back with the list: a template of many lines costs few allocations. The room
// of a deleted line is used again. Lines come and go one by one anywhere in the list, which
// neither a TrackedArray (records that stay together) nor a TrackedList (a block per record)
// serves at this count.
class LineArena {
 public:
  LineArena() = default;
  LineArena(const LineArena&) = delete;
  LineArena& operator=(const LineArena&) = delete;

  // Room for one Line, or none when memory is short.
  [[nodiscard]] void* take() noexcept;
  void give_back(void* room) noexcept;

 private:
  [[nodiscard]] bool grow() noexcept;

  TrackedList<ByteBlock> chunks_;
  std::size_t chunk_lines_ = 0;  // lines the newest chunk holds
  std::size_t used_ = 0;         // lines of the newest chunk handed out
  void* free_ = nullptr;         // rooms given back, linked through their first bytes
};

// The lines of a list from a given one to the last, read without moving the list's cursor:
// code that only looks at a list takes it const and walks it with this.
class ConstLines {
 public:
  class Iterator {
   public:
    explicit Iterator(const Line* line) noexcept : line_(line) {}
    const Line& operator*() const noexcept { return *line_; }
    Iterator& operator++() noexcept {
      line_ = line_->next;
      return *this;
    }
    bool operator==(const Iterator&) const noexcept = default;

   private:
    const Line* line_;
  };

  explicit ConstLines(const Line* first) noexcept : first_(first) {}

  Iterator begin() const noexcept { return Iterator(first_); }
  Iterator end() const noexcept { return Iterator(nullptr); }
  const Line* front() const noexcept { return first_; }  // none when there are no lines
  // The same lines less the first (a section's entries, after its header).
  ConstLines after_first() const noexcept {
    return ConstLines(first_ != nullptr ? first_->next : nullptr);
  }

 private:
  const Line* first_;
};

struct LineList {
  LineList() = default;
  LineList(const LineList&) = delete;
  LineList& operator=(const LineList&) = delete;
  ~LineList();  // releases every line, then the arena its records live in

  ConstLines lines() const noexcept { return ConstLines(head); }

  std::size_t count = 0;
  Line* cursor = nullptr;
  Line* head = nullptr;
  Line* tail = nullptr;
  LineArena arena;
};

using LineListPtr = Tracked<LineList>;

// An empty list with no cursor; none when memory is short.
[[nodiscard]] LineListPtr line_list_new();

// Adds a copy of the bytes as the new last line; false when nothing was added.
[[nodiscard]] bool line_list_append(LineList* list, const char* bytes, std::size_t length);
// Adds a copy of the bytes right after the cursor line; false without a cursor or memory.
[[nodiscard]] bool line_list_insert_after(LineList* list, const char* bytes, std::size_t length);
// The same for a line made of two pieces, such as a marker and a label.
[[nodiscard]] bool line_list_insert_joined_after(LineList* list, std::string_view first,
                                                 std::string_view second);
// Adds a copy of the bytes as the new first line; the cursor stays. False when nothing was added.
[[nodiscard]] bool line_list_prepend(LineList* list, const char* bytes, std::size_t length);
[[nodiscard]] bool line_list_prepend_joined(LineList* list, std::string_view first,
                                            std::string_view second);
// Removes the cursor line; does nothing without a cursor.
void line_list_delete_current(LineList* list);
// Removes the first line; a cursor on it moves as line_list_delete_current moves it.
void line_list_remove_first(LineList* list);

Line* line_list_rewind(LineList* list);
Line* line_list_next(LineList* list);
Line* line_list_prev(LineList* list);
Line* line_list_current(const LineList* list);

// Replaces bytes start..end (both included) of the line with the replacement. Needs
// start <= end < length; false (line unchanged) otherwise or when memory is short.
[[nodiscard]] bool line_replace_span(Line* line, std::size_t start, std::size_t end,
                                     std::string_view replacement);

}  // namespace ruvo
