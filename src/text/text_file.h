// Loading a text file into a LineList and writing a LineList out.
//
// Lines are split at LF; a CR right before an LF is dropped, any other CR stays. A file whose
// last line ends with a line end gives no empty line after it. Lines have no length limit but
// memory. Writing gives every line but the last a "\n"; the last line is written without one,
// and only when it is not empty.
#pragma once

#include <cstddef>

#include "text/line_list.h"
#include "text/text_buffer.h"

namespace ruvo {

inline constexpr std::size_t kReadChunkSize = 65536;

// Working state of one load: the bytes after the last LF of the data fed so far.
struct LineSplitter {
  LineList* target = nullptr;
  TextBufferPtr pending;  // none when nothing is pending
};

// Splits a chunk into lines appended to the target. The final call (with no bytes) adds what is
// still pending as the last line. A line whose block cannot be had is left out.
void line_splitter_feed(LineSplitter& splitter, const char* bytes, std::size_t count, bool final);

// A new list holding the lines of the file; none when the file cannot be opened or read to its
// end (a folder, an I/O error), or the list cannot be made. An empty file gives an empty list.
[[nodiscard]] LineListPtr line_list_load(const char* path);

// Writes the lines to the file; false when it cannot be opened, written or closed. A regular
// file (or one that does not exist yet) is written to a temporary file beside it and renamed
// over it only once complete, so a failure leaves an existing file as it was.
[[nodiscard]] bool line_list_write(const LineList* list, const char* path);

}  // namespace ruvo
