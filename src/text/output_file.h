// The run's output file, written while the template is being filled.
//
// A regular output (or one that does not exist yet) is written to a temporary file beside it
// and renamed over it only once complete, so a failed run or a failed write never leaves a
// half-written file where one stood. Such an output streams: lines the filling is done with
// (the rows of a large table) are written as soon as they are final instead of being held until
// the end. Devices, pipes and outputs in a folder where no file may be made are held: nothing
// reaches them before the whole output is known, then it is written in place.
//
// Lines are joined by "\n": every line but the last ends with one, and the last is written
// without one (an empty last line adds nothing).
#pragma once

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string_view>

#include "text/file_handle.h"
#include "text/line_list.h"
#include "text/text_buffer.h"
#include "text/tracked_memory.h"

namespace ruvo {

// What becomes of a symbolic link that stands where the output goes. ruvo follows it: the file
// it names is replaced and the link stays, as callers have long relied on. ruvo-batch replaces
// the link itself, so that nothing planted in its output folder sends an output elsewhere.
enum class LinkAtPath { Followed, Replaced };

class OutputFile {
 public:
  // Prepares the output at path: a temporary file beside it, or nothing yet for a held output.
  // A path that cannot be written at all gives an output whose finish fails.
  explicit OutputFile(const char* path, LinkAtPath link = LinkAtPath::Followed);
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();  // removes a temporary file that was not renamed over the output

  // Whether lines may be handed over before the end.
  bool streams() const noexcept { return kind_ == Kind::Streamed; }

  // Writes one line after those written so far. A write that fails is remembered and makes
  // finish fail; what follows is dropped.
  void put_line(std::string_view line) noexcept {
    // Most lines are short and fit in the block: copied there without further calls.
    const std::size_t separator = first_line_ ? 0 : 1;
    if (descriptor_.is_open() && !failed_ && used_ + separator + line.size() <= buffer_.size()) {
      char* at = buffer_.get() + used_;
      if (separator != 0) {
        *at++ = '\n';
      }
      if (!line.empty()) {
        std::memcpy(at, line.data(), line.size());
      }
      used_ += separator + line.size();
      first_line_ = false;
      return;
    }
    put_line_slowly(line);
  }

  // Writes the remaining lines after those already put, completes the file and puts it in
  // place. False when any write failed or the output could not be made.
  [[nodiscard]] bool finish(const LineList* rest) { return write_rest(rest) && settle(false); }

  // The two steps of finish, for a program that completes many outputs with one sync.
  // write_rest writes the remaining lines: a held output is then complete, a temporary file
  // holds every byte but is neither synced nor in place. settle syncs such a file unless its
  // data is known to be on disk already (a sync of its whole file system since write_rest),
  // and renames it over the output. Each is false on a failure.
  [[nodiscard]] bool write_rest(const LineList* rest);
  [[nodiscard]] bool settle(bool data_on_disk);
  // Whether settle is still to put a temporary file in place.
  bool awaits_settle() const noexcept { return kind_ == Kind::Streamed && descriptor_.is_open(); }
  // The temporary file while it awaits settle, for a sync of its file system.
  int descriptor() const noexcept { return descriptor_.get(); }
  // Where the output goes, a link resolved to the file it names.
  const char* path() const noexcept { return path_ ? path_->data() : ""; }

 private:
  enum class Kind { Unusable, Held, Streamed };

  void put_line_slowly(std::string_view line) noexcept;
  void put_bytes(const char* bytes, std::size_t count) noexcept;
  void write_out(const char* bytes, std::size_t count) noexcept;
  bool flush() noexcept;
  bool close_in_place();

  Kind kind_ = Kind::Unusable;
  LinkAtPath link_ = LinkAtPath::Followed;
  TextBufferPtr path_;       // where the output goes (a link resolved to the file it names)
  TextBufferPtr temporary_;  // the temporary file's path while it exists
  Fd descriptor_;            // the file being written: the temporary one, or a held output
                             // from finish on
  mode_t mode_ = 0;          // the permission bits the output gets
  ByteBlock buffer_;         // bytes put but not written yet
  std::size_t used_ = 0;
  std::size_t written_ = 0;         // bytes written to the file
  std::size_t handed_to_disk_ = 0;  // of those, how many the disk was asked to start on
  bool first_line_ = true;
  bool failed_ = false;
};

// Writes the file whole, the bytes as they are, through a temporary file renamed over the name
// (a link there is replaced, never written through); the data is not synced. False on failure.
[[nodiscard]] bool replace_whole_file(const char* path, std::string_view bytes);

// Writes every line of the list before its cursor to the output and removes them from the
// list; with no output (one that is held) the list keeps them. Used by table output once those
// lines can no longer change.
void put_finished_lines(OutputFile* output, LineList* list);

// Writes the list's cursor line to the output; the line stays in the list. Used when the cursor
// line is the first and is final, just before its record takes another text.
void put_current_line(OutputFile* output, const LineList* list);

}  // namespace ruvo
