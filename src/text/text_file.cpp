#include "text/text_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "text/file_handle.h"
#include "text/output_file.h"

namespace ruvo {

namespace {

// Adds the bytes to what is pending. The pending block at least doubles when it grows, so a line
// of any length costs a number of copies proportional to its length. A block that cannot be had
// gives up the line.
bool add_pending(LineSplitter& splitter, const char* bytes, std::size_t count) {
  TextBufferPtr& pending = splitter.pending;
  const std::size_t length = pending ? pending->length() : 0;
  if (!pending || length + count + 1 > pending->capacity()) {
    const std::size_t capacity =
        std::max(length + count + 1, pending ? 2 * pending->capacity() : 0);
    TextBufferPtr grown = text_buffer_new(capacity);
    if (!grown || (pending && !text_buffer_fill(grown.get(), pending->data(), length))) {
      pending.reset();
      return false;
    }
    pending = std::move(grown);
  }
  std::memcpy(pending->data() + length, bytes, count);
  return pending->set_length(length + count);
}

// Appends one line, without the CR that may stand right before its LF.
void append_line(LineList* target, const char* bytes, std::size_t length) {
  if (length > 0 && bytes[length - 1] == '\r') {
    --length;
  }
  static_cast<void>(line_list_append(target, bytes, length));
}

}  // namespace

void line_splitter_feed(LineSplitter& splitter, const char* bytes, std::size_t count, bool final) {
  if (final) {
    if (splitter.pending && splitter.pending->length() > 0) {
      static_cast<void>(
          line_list_append(splitter.target, splitter.pending->data(), splitter.pending->length()));
    }
    splitter.pending.reset();
    return;
  }
  const char* const end = bytes + count;
  const char* lf = count > 0 ? static_cast<const char*>(std::memchr(bytes, '\n', count)) : nullptr;
  if (lf == nullptr) {
    if (count > 0) {
      static_cast<void>(add_pending(splitter, bytes, count));
    }
    return;
  }
  // The first line ends in this chunk and may have begun in earlier ones.
  if (splitter.pending && splitter.pending->length() > 0) {
    if (add_pending(splitter, bytes, static_cast<std::size_t>(lf - bytes))) {
      append_line(splitter.target, splitter.pending->data(), splitter.pending->length());
    }
  } else {
    append_line(splitter.target, bytes, static_cast<std::size_t>(lf - bytes));
  }
  splitter.pending.reset();
  const char* line_start = lf + 1;
  while ((lf = static_cast<const char*>(std::memchr(
              line_start, '\n', static_cast<std::size_t>(end - line_start)))) != nullptr) {
    append_line(splitter.target, line_start, static_cast<std::size_t>(lf - line_start));
    line_start = lf + 1;
  }
  if (line_start < end) {
    static_cast<void>(
        add_pending(splitter, line_start, static_cast<std::size_t>(end - line_start)));
  }
}

LineListPtr line_list_load(const char* path) {
  FilePtr file(std::fopen(path, "r"));
  if (!file) {
    return LineListPtr();
  }
  LineListPtr list = line_list_new();
  ByteBlock chunk(kReadChunkSize);
  if (!list || chunk.empty()) {
    return LineListPtr();
  }
  LineSplitter splitter{list.get(), TextBufferPtr()};
  for (;;) {
    const std::size_t got = std::fread(chunk.get(), 1, kReadChunkSize, file.get());
    if (got == 0) {
      break;
    }
    line_splitter_feed(splitter, chunk.get(), got, false);
  }
  // A read error (a folder given as the path, an I/O error) is not the end of the file: a
  // template or configuration that could not be read whole must not pass for a shorter one.
  if (std::ferror(file.get())) {
    return LineListPtr();
  }
  line_splitter_feed(splitter, nullptr, 0, true);
  return list;
}

bool line_list_write(const LineList* list, const char* path) {
  if (list == nullptr) {
    return false;
  }
  OutputFile output(path);
  return output.finish(list);
}

}  // namespace ruvo
