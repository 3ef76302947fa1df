#include "text/line_list.h"

#include <algorithm>
#include <cstring>

namespace ruvo {

void* LineArena::take() noexcept {
  if (free_ != nullptr) {
    void* room = free_;
    free_ = *static_cast<void**>(room);
    return room;
  }
  if (used_ == chunk_lines_ && !grow()) {
    return nullptr;
  }
  return chunks_.back()->get() + sizeof(Line) * used_++;
}

void LineArena::give_back(void* room) noexcept {
  *static_cast<void**>(room) = free_;
  free_ = room;
}

bool LineArena::grow() noexcept {
  // Small lists (a configuration section) stay small; long ones double up to a bound.
  constexpr std::size_t kFirstChunkLines = 8;
  constexpr std::size_t kLargestChunkLines = 8192;
  const std::size_t lines =
      chunk_lines_ == 0 ? kFirstChunkLines : std::min(chunk_lines_ * 2, kLargestChunkLines);
  ByteBlock chunk(lines * sizeof(Line));
  if (chunk.empty() || chunks_.append(std::move(chunk)) == nullptr) {
    return false;
  }
  chunk_lines_ = lines;
  used_ = 0;
  return true;
}

namespace {

// A detached line holding a copy of the pieces, in the list's arena; none when memory is short.
Line* make_line(LineList* list, std::string_view first, std::string_view second) {
  void* room = list->arena.take();
  if (room == nullptr) {
    return nullptr;
  }
  Line* line = ::new (room) Line();
  if (!line->assign(first, second)) {
    line->~Line();
    list->arena.give_back(room);
    return nullptr;
  }
  return line;
}

}  // namespace

LineList::~LineList() {
  for (Line* line = head; line != nullptr;) {
    Line* next = line->next;
    line->~Line();
    line = next;
  }
}

LineListPtr line_list_new() {
  return make_tracked<LineList>();
}

namespace {

// Links a copy of the bytes right after the given line, or at the front when there is none.
bool link_new_line(LineList* list, Line* before, std::string_view first,
                   std::string_view second = {}) {
  Line* line = make_line(list, first, second);
  if (line == nullptr) {
    return false;
  }
  Line* after = before != nullptr ? before->next : list->head;
  line->prev = before;
  line->next = after;
  (before != nullptr ? before->next : list->head) = line;
  (after != nullptr ? after->prev : list->tail) = line;
  ++list->count;
  return true;
}

}  // namespace

bool line_list_append(LineList* list, const char* bytes, std::size_t length) {
  return list != nullptr && link_new_line(list, list->tail, {bytes, length});
}

bool line_list_prepend(LineList* list, const char* bytes, std::size_t length) {
  return line_list_prepend_joined(list, {bytes, length}, {});
}

bool line_list_prepend_joined(LineList* list, std::string_view first, std::string_view second) {
  return list != nullptr && link_new_line(list, nullptr, first, second);
}

bool line_list_insert_after(LineList* list, const char* bytes, std::size_t length) {
  return line_list_insert_joined_after(list, {bytes, length}, {});
}

bool line_list_insert_joined_after(LineList* list, std::string_view first,
                                   std::string_view second) {
  return list != nullptr && list->cursor != nullptr &&
         link_new_line(list, list->cursor, first, second);
}

void line_list_delete_current(LineList* list) {
  if (list == nullptr || list->cursor == nullptr) {
    return;
  }
  Line* line = list->cursor;
  if (line->prev != nullptr) {
    line->prev->next = line->next;
  } else {
    list->head = line->next;
  }
  if (line->next != nullptr) {
    line->next->prev = line->prev;
  } else {
    list->tail = line->prev;
  }
  list->cursor = line->next != nullptr ? line->next : line->prev;
  --list->count;
  line->~Line();
  list->arena.give_back(line);
}

void line_list_remove_first(LineList* list) {
  if (list == nullptr || list->head == nullptr) {
    return;
  }
  Line* const cursor = list->cursor;
  const bool cursor_on_first = cursor == list->head;
  list->cursor = list->head;
  line_list_delete_current(list);
  if (!cursor_on_first) {
    list->cursor = cursor;
  }
}

Line* line_list_rewind(LineList* list) {
  if (list == nullptr) {
    return nullptr;
  }
  list->cursor = list->head;
  return list->cursor;
}

Line* line_list_next(LineList* list) {
  if (list == nullptr || list->cursor == nullptr || list->cursor->next == nullptr) {
    return nullptr;
  }
  list->cursor = list->cursor->next;
  return list->cursor;
}

Line* line_list_prev(LineList* list) {
  if (list == nullptr || list->cursor == nullptr || list->cursor->prev == nullptr) {
    return nullptr;
  }
  list->cursor = list->cursor->prev;
  return list->cursor;
}

Line* line_list_current(const LineList* list) {
  return list == nullptr ? nullptr : list->cursor;
}

bool line_replace_span(Line* line, std::size_t start, std::size_t end,
                       std::string_view replacement) {
  if (line == nullptr || start > end || end >= line->size()) {
    return false;
  }
  const std::string_view old = line->view();
  return line->assign(old.substr(0, start), replacement, old.substr(end + 1));
}

}  // namespace ruvo
static_assert(sizeof(ruvo::Line) <= 48, "a line record stays small: outputs hold millions");
