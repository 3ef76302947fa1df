#include "text/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace ruvo {

namespace {

// Large writes: an output of many table rows costs few system calls.
constexpr std::size_t kStreamBufferSize = 65536;
// How much is written before the disk is asked to start on it.
constexpr std::size_t kWritebackStep = std::size_t{4} << 20;

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

// Writes all the bytes, however many calls it takes.
bool write_all(int descriptor, const char* bytes, std::size_t count) noexcept {
  while (count > 0) {
    const ssize_t written = write(descriptor, bytes, count);
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      return false;
    }
    bytes += written;
    count -= static_cast<std::size_t>(written);
  }
  return true;
}

// The permission bits a new output gets: what fopen would have given it.
mode_t new_file_mode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

OutputFile::OutputFile(const char* path, LinkAtPath link) : link_(link) {
  if (path == nullptr || path[0] == '\0') {
    return;
  }
  // A followed link has the file it names replaced, and stays; a link to nowhere is written
  // through as fopen would. A link to be replaced is a name like any other whose file does not
  // exist yet: the temporary file is renamed over the link itself.
  struct stat status {};
  const bool at_link = lstat(path, &status) == 0 && S_ISLNK(status.st_mode);
  if (at_link && link == LinkAtPath::Followed) {
    char* real = realpath(path, nullptr);
    if (real == nullptr) {
      path_ = text_buffer_from(path);
      kind_ = path_ ? Kind::Held : Kind::Unusable;
      return;
    }
    path_ = text_buffer_from(real);
    std::free(real);
  } else {
    path_ = text_buffer_from(path);
  }
  if (!path_) {
    return;
  }
  const bool exists = !at_link && stat(path_->data(), &status) == 0;
  // Devices, pipes and the like cannot be replaced: they are written as they are.
  if (exists && !S_ISREG(status.st_mode)) {
    kind_ = Kind::Held;
    return;
  }
  TextBufferPtr pattern = temporary_pattern(path_->data());
  if (!pattern) {
    return;
  }
  Fd descriptor(mkstemp(pattern->data()));
  if (!descriptor.is_open()) {
    // A folder where no file may be made can still hold a writable output: it is written in
    // place at the end.
    if ((errno == EACCES || errno == EPERM) && !at_link) {
      kind_ = Kind::Held;
    }
    return;
  }
  temporary_ = std::move(pattern);
  descriptor_ = std::move(descriptor);
  // The new file keeps an existing output's permission bits and owner.
  if (exists) {
    mode_ = status.st_mode & 07777;
    // Without the right to give a file away it stays the running user's: no failure.
    [[maybe_unused]] const int owner_kept = fchown(descriptor_.get(), status.st_uid, status.st_gid);
  } else {
    mode_ = new_file_mode();
  }
  buffer_ = ByteBlock(kStreamBufferSize);  // without one every piece is written as it comes
  kind_ = Kind::Streamed;
}

OutputFile::~OutputFile() {
  static_cast<void>(descriptor_.close());
  if (temporary_) {
    unlink(temporary_->data());
  }
}

void OutputFile::put_line_slowly(std::string_view line) noexcept {
  if (!descriptor_.is_open() || failed_) {
    return;
  }
  if (!first_line_) {
    put_bytes("\n", 1);
  }
  first_line_ = false;
  put_bytes(line.data(), line.size());
}

void OutputFile::put_bytes(const char* bytes, std::size_t count) noexcept {
  if (used_ + count > buffer_.size() && !flush()) {
    return;
  }
  if (count >= buffer_.size()) {
    write_out(bytes, count);
    return;
  }
  std::memcpy(buffer_.get() + used_, bytes, count);
  used_ += count;
}

bool OutputFile::flush() noexcept {
  if (used_ > 0) {
    write_out(buffer_.get(), used_);
    used_ = 0;
  }
  return !failed_;
}

void OutputFile::write_out(const char* bytes, std::size_t count) noexcept {
  if (failed_ || !write_all(descriptor_.get(), bytes, count)) {
    failed_ = true;
    return;
  }
  written_ += count;
  // The disk starts on what is written while the run goes on, so the fsync that completes the
  // file has little left to wait for. Only a hint: fsync still decides.
  if (written_ - handed_to_disk_ >= kWritebackStep) {
    static_cast<void>(sync_file_range(descriptor_.get(), static_cast<off_t>(handed_to_disk_),
                                      static_cast<off_t>(written_ - handed_to_disk_),
                                      SYNC_FILE_RANGE_WRITE));
    handed_to_disk_ = written_;
  }
}

bool OutputFile::write_rest(const LineList* rest) {
  if (rest == nullptr || kind_ == Kind::Unusable) {
    kind_ = Kind::Unusable;  // settle has nothing to put in place
    return false;
  }
  // A held output is opened only now, as fopen(path, "w") opens a file, and written the same way.
  if (kind_ == Kind::Held) {
    // Where links are replaced, one that came to stand at the name since is not written through.
    const int no_link = link_ == LinkAtPath::Replaced ? O_NOFOLLOW : 0;
    descriptor_ = Fd(open(path_->data(), O_WRONLY | O_CREAT | O_TRUNC | no_link, 0666));
    if (!descriptor_.is_open()) {
      kind_ = Kind::Unusable;
      return false;
    }
    buffer_ = ByteBlock(kStreamBufferSize);
  }
  for (const Line* line = rest->head; line != nullptr; line = line->next) {
    put_line(line->view());
  }
  const bool written =
      kind_ == Kind::Held ? close_in_place() : flush() && fchmod(descriptor_.get(), mode_) == 0;
  buffer_ = ByteBlock();  // nothing more is put: an output waiting for its group keeps no buffer
  if (!written) {
    static_cast<void>(descriptor_.close());
    kind_ = Kind::Unusable;
  }
  return written;
}

bool OutputFile::close_in_place() {
  const bool written = flush();
  return descriptor_.close() && written;
}

// Only a close that succeeds after the sync means the bytes reached the file.
bool OutputFile::settle(bool data_on_disk) {
  if (kind_ == Kind::Held) {
    return true;  // written in place by write_rest, whose result stands
  }
  if (!awaits_settle()) {
    return false;
  }
  const bool synced = data_on_disk || fsync(descriptor_.get()) == 0;
  const bool closed = descriptor_.close();
  if (!synced || !closed || std::rename(temporary_->data(), path_->data()) != 0) {
    return false;
  }
  temporary_.reset();
  return true;
}

bool replace_whole_file(const char* path, std::string_view bytes) {
  OutputFile file(path, LinkAtPath::Replaced);
  LineList whole;  // the bytes as one line: written as they are, "\n"s included
  if (!line_list_append(&whole, bytes.data(), bytes.size())) {
    return false;
  }
  // Not synced: such a file is a record of the run, not an output.
  return file.write_rest(&whole) && file.settle(true);
}

void put_finished_lines(OutputFile* output, LineList* list) {
  if (output == nullptr || list == nullptr || list->cursor == nullptr) {
    return;
  }
  while (list->head != list->cursor) {
    output->put_line(list->head->view());
    line_list_remove_first(list);
  }
}

void put_current_line(OutputFile* output, const LineList* list) {
  if (output != nullptr && list != nullptr && list->cursor != nullptr) {
    output->put_line(list->cursor->view());
  }
}

}  // namespace ruvo
