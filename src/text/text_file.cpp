#include "text/text_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

namespace {

// Writes every line, each but the last with a "\n"; the last only when it is not empty. A line
// is written whole, NUL bytes included: nothing of a template is lost on the way out.
bool write_lines(std::FILE* file, const LineList* list) {
  // One stream, written by this thread alone: the unlocked calls spare a lock per line.
  for (const Line* line = list->head; line != nullptr; line = line->next) {
    if (fwrite_unlocked(line->text(), 1, line->length, file) != line->length) {
      return false;
    }
    if (line->next != nullptr && fputc_unlocked('\n', file) == EOF) {
      return false;
    }
  }
  return true;
}

// Closing flushes: only a close that succeeds means the bytes reached the file.
bool close_file(FilePtr file) {
  return std::fclose(file.release()) == 0;
}

bool write_directly(const LineList* list, const char* path) {
  FilePtr file(std::fopen(path, "w"));
  if (!file) {
    return false;
  }
  const bool written = write_lines(file.get(), list);
  return close_file(std::move(file)) && written;
}

// A temporary file beside the output, removed unless it was renamed over the output.
class TemporaryFile {
 public:
  explicit TemporaryFile(TextBufferPtr path) : path_(std::move(path)) {}
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (!renamed_) {
      unlink(path_->data());
    }
  }
  bool rename_to(const char* path) {
    renamed_ = std::rename(path_->data(), path) == 0;
    return renamed_;
  }

 private:
  TextBufferPtr path_;
  bool renamed_ = false;
};

// "<folder of path>/.ruvo-XXXXXX", the pattern mkstemp fills in.
TextBufferPtr temporary_pattern(const char* path) {
  const char* slash = std::strrchr(path, '/');
  TextBufferPtr pattern;
  const bool made = slash != nullptr ? text_buffer_append_bytes(pattern, path, slash - path + 1)
                                     : text_buffer_append(pattern, "./");
  if (!made || !text_buffer_append(pattern, ".ruvo-XXXXXX")) {
    return TextBufferPtr();
  }
  return pattern;
}

// Writes the whole output to a temporary file in the output's folder, then renames it over the
// output: a failed or interrupted write never leaves a half-written file where one stood. The
// new file keeps an existing output's permission bits and owner; a new one gets what fopen
// would have given it.
bool write_by_rename(const LineList* list, const char* path, const struct stat* existing) {
  TextBufferPtr pattern = temporary_pattern(path);
  if (!pattern) {
    return false;
  }
  const int fd = mkstemp(pattern->data());
  if (fd < 0) {
    // A folder where no file may be made can still hold a writable output: write it in place.
    return (errno == EACCES || errno == EPERM) && write_directly(list, path);
  }
  TemporaryFile temporary(std::move(pattern));
  FilePtr file(fdopen(fd, "w"));
  if (!file) {
    close(fd);
    return false;
  }
  mode_t mode = 0;
  if (existing != nullptr) {
    mode = existing->st_mode & 07777;
    static_cast<void>(fchown(fd, existing->st_uid, existing->st_gid));
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  const bool written = write_lines(file.get(), list) && std::fflush(file.get()) == 0 &&
                       fchmod(fd, mode) == 0 && fsync(fd) == 0;
  return close_file(std::move(file)) && written && temporary.rename_to(path);
}

}  // namespace

bool line_list_write(const LineList* list, const char* path) {
  if (list == nullptr || path == nullptr || path[0] == '\0') {
    return false;
  }
  // A link is followed, so the file it names is replaced and the link stays.
  TextBufferPtr resolved;
  struct stat status {};
  if (lstat(path, &status) == 0 && S_ISLNK(status.st_mode)) {
    char* real = realpath(path, nullptr);
    if (real == nullptr) {
      return write_directly(list, path);
    }
    resolved = text_buffer_from(real);
    std::free(real);
    if (!resolved) {
      return false;
    }
    path = resolved->data();
  }
  if (stat(path, &status) != 0) {
    return write_by_rename(list, path, nullptr);
  }
  // Devices, pipes and the like cannot be replaced: they are written as they are.
  if (!S_ISREG(status.st_mode)) {
    return write_directly(list, path);
  }
  return write_by_rename(list, path, &status);
}

}  // namespace ruvo
