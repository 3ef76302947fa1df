#include "text/line_list.h"

#include <cstring>

namespace ruvo {

namespace {

// A detached line holding a copy of the bytes; none when a block cannot be had.
Tracked<Line> make_line(const char* bytes, std::size_t length) {
  ByteBlock text(length + 1);
  if (text.empty()) {
    return Tracked<Line>();
  }
  Tracked<Line> line = make_tracked<Line>();
  if (!line) {
    return line;
  }
  if (length > 0) {
    std::memcpy(text.get(), bytes, length);
  }
  text.get()[length] = '\0';
  line->length = length;
  line->block = std::move(text);
  return line;
}

}  // namespace

LineList::~LineList() {
  Line* line = tail;
  while (line != nullptr) {
    Line* prev = line->prev;
    TrackedDeleter<Line>()(line);
    line = prev;
  }
}

LineListPtr line_list_new() {
  return make_tracked<LineList>();
}

namespace {

// Links a copy of the bytes right after the given line, or at the front when there is none.
bool link_new_line(LineList* list, Line* before, const char* bytes, std::size_t length) {
  Tracked<Line> made = make_line(bytes, length);
  if (!made) {
    return false;
  }
  Line* line = made.release();
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
  return list != nullptr && link_new_line(list, list->tail, bytes, length);
}

bool line_list_prepend(LineList* list, const char* bytes, std::size_t length) {
  return list != nullptr && link_new_line(list, nullptr, bytes, length);
}

bool line_list_insert_after(LineList* list, const char* bytes, std::size_t length) {
  return list != nullptr && list->cursor != nullptr &&
         link_new_line(list, list->cursor, bytes, length);
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
  TrackedDeleter<Line>()(line);
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
  if (line == nullptr || start > end || end >= line->length) {
    return false;
  }
  const std::size_t after = line->length - end - 1;
  const std::size_t length = start + replacement.size() + after;
  ByteBlock text(length + 1);
  if (text.empty()) {
    return false;
  }
  char* out = text.get();
  std::memcpy(out, line->text(), start);
  if (!replacement.empty()) {
    std::memcpy(out + start, replacement.data(), replacement.size());
  }
  std::memcpy(out + start + replacement.size(), line->text() + end + 1, after);
  out[length] = '\0';
  line->block = std::move(text);
  line->length = length;
  return true;
}

}  // namespace ruvo
