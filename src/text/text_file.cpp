#include "text/text_file.h"

#include <cstdio>
#include <cstring>

#include "text/output_file.h"
#include "text/process_state.h"

namespace ruvo {

void line_splitter_feed(LineSplitter& splitter, const char* bytes, std::size_t count, bool final) {
  const std::size_t pending_length = splitter.pending ? splitter.pending->length : 0;
  if (pending_length == 0 && (final || count == 0)) {
    return;
  }
  // The carried-over start of a line followed by the new data.
  TextBufferPtr work = text_buffer_new(pending_length + (final ? 0 : count) + 1);
  if (!work) {
    return;
  }
  if (pending_length > 0) {
    std::memcpy(work->data(), splitter.pending->data(), pending_length);
  }
  if (!final && count > 0) {
    std::memcpy(work->data() + pending_length, bytes, count);
  }
  work->length = pending_length + (final ? 0 : count);
  work->data()[work->length] = '\0';

  const char* data = work->data();
  std::size_t line_start = 0;
  // The pending part holds no LF, so the search starts after it.
  const char* lf = static_cast<const char*>(
      std::memchr(data + pending_length, '\n', work->length - pending_length));
  while (lf != nullptr) {
    std::size_t line_end = static_cast<std::size_t>(lf - data);
    std::size_t length = line_end - line_start;
    if (length > 0 && data[line_end - 1] == '\r') {
      --length;
    }
    static_cast<void>(line_list_append(splitter.target, data + line_start, length));
    line_start = line_end + 1;
    lf = static_cast<const char*>(std::memchr(data + line_start, '\n', work->length - line_start));
  }
  const std::size_t tail_length = work->length - line_start;
  if (tail_length == 0) {
    splitter.pending.reset();
  } else if (final) {
    static_cast<void>(line_list_append(splitter.target, data + line_start, tail_length));
    splitter.pending.reset();
  } else {
    TextBufferPtr tail = text_buffer_new(tail_length + 1);
    if (tail && text_buffer_fill(tail.get(), data + line_start, tail_length)) {
      splitter.pending = std::move(tail);
    } else {
      splitter.pending.reset();
    }
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
