#include "batch/sync_group.h"

#include <libxml/xmlerror.h>
#include <sys/stat.h>
#include <unistd.h>

#include <strings.h>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>

#include "base/log_messages.h"
#include "base/run_log.h"
#include "text/file_handle.h"
#include "text/memory_counters.h"
#include "text/output_file.h"

namespace ruvo::batch {

namespace {

// The name of the folder that holds path.
Text folder_part(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? Text(".")
         : slash == 0                    ? Text("/")
                                         : Text(path.substr(0, slash));
}

}  // namespace

FolderId FolderId::of(const Text& folder) {
  struct stat status {};
  if (stat(folder.c_str(), &status) != 0) {
    return FolderId();
  }
  return {status.st_dev, status.st_ino, true};
}

std::string_view name_of(std::string_view file) {
  const std::size_t slash = file.rfind('/');
  return slash == std::string_view::npos ? file : file.substr(slash + 1);
}

Text output_path_of(const Text& output_dir, std::string_view file) {
  return (output_dir + '/').append(stem_of(file)) + ".txt";
}

std::string_view stem_of(std::string_view file) {
  std::string_view name = name_of(file);
  if (name.size() > 4 && strncasecmp(name.data() + name.size() - 4, ".xml", 4) == 0) {
    name.remove_suffix(4);
  }
  return name;
}

Text status_line(const char* file, const DocumentStatus& status) {
  Text line(name_of(file));
  switch (status.state) {
    case DocumentStatus::State::NotStarted:
      line += "\tnot-started";
      break;
    case DocumentStatus::State::NotFinished:
      line += "\tnot-finished";
      break;
    case DocumentStatus::State::Converted: {
      char digits[16];
      std::snprintf(digits, sizeof digits, "\t%d", static_cast<int>(status.exit_code));
      line += digits;
      break;
    }
  }
  if (status.log_lost) {
    line += "\tlog-lost";
  }
  line += '\n';
  return line;
}

// A conversion that returned holding bytes of its waiting output beside any it leaked: say it
// held 9,000, of which releasing the output gave back 8,900; the other 100 are what the document
// left behind, and its memory-count line shows them as a run of that document alone would.
std::int64_t bytes_left_behind(std::int64_t held_at_return, std::int64_t given_back_by_output) {
  return held_at_return - given_back_by_output;
}

// Runs the log lines that write logs into the member's log; a line that cannot be kept is said
// in the document's status.
template <class Write>
void SyncGroup::log_into(Member& member, Write write) {
  MemoryRunLog log;
  write(&log);
  const std::string_view bytes = log.bytes();
  member.log_kept = member.log_kept && log.kept();
  try {
    member.log.append(bytes);
  } catch (const std::bad_alloc&) {
    member.log_kept = false;
  }
}

SyncGroup::SyncGroup(const BatchSetting& setting)
    : setting_(setting), output_dir_(FolderId::of(setting.output_dir)) {
  members_.reserve(kCapacity);
}

void SyncGroup::add(std::size_t index, const char* file, bool not_started, bool kept) {
  const bool converted = !not_started && !kept;
  Text read_path;
  if (converted && !setting_.read_from.empty()) {
    (read_path = setting_.read_from) += '/';
    read_path.append(name_of(file));
  }
  if (members_.size() == kCapacity ||
      (converted && may_read_a_waiting_output(read_path.empty() ? file : read_path.c_str()))) {
    complete();
  }
  Member& member = members_.emplace_back();
  member.index = index;
  member.file = file;
  member.read_path = std::move(read_path);
  member.not_started = not_started;
  member.kept = kept && !not_started;
  if (converted) {
    const std::string_view stem = stem_of(file);
    member.output = output_path_of(setting_.output_dir, file);
    ((member.log_path = setting_.logs_dir) += '/').append(stem) += ".log";
    convert(member);
  }
}

// The conversion with a run log of its own in memory; a failure's memory-count line counts from
// where the document started, as if it were the whole run.
void SyncGroup::convert(Member& member) {
  xmlResetLastError();
  log_into(member, [&](RunLog* log) {
    const std::int64_t base = mem_in_use();
    // A link planted in the output folder is replaced, never written through.
    const ConversionRequest request{member.file, setting_.template_path, member.output.c_str(),
                                    LinkAtPath::Replaced,
                                    member.read_path.empty() ? nullptr : member.read_path.c_str()};
    member.outcome =
        convert_document(request, *setting_.sources,
                         {*setting_.settings, log, nullptr, setting_.codec}, &member.pending);
    if (!member.outcome.succeeded) {
      log_memory_count(log, log_messages::kFinalMemoryLabel, base);
    }
    member.held = mem_in_use() - base;
  });
  if (member.pending) {
    // Outputs go to the output folder: a link that stood at one is replaced, not followed.
    const char* path = member.pending->path();
    member.output_folder = member.output == path ? output_dir_ : FolderId::of(folder_part(path));
  }
}

// A document read from the folder of a waiting output could be that output, which a run after
// the earlier ones would find in place: such a document waits for the group to complete.
bool SyncGroup::may_read_a_waiting_output(const char* file) {
  const auto waiting = [](const Member& member) { return member.pending != nullptr; };
  if (std::none_of(members_.begin(), members_.end(), waiting)) {
    return false;
  }
  // The documents of a group mostly share their folder, which is looked up once.
  Text folder = folder_part(file);
  if (!input_folder_.known || folder != input_folder_path_) {
    input_folder_ = FolderId::of(folder);
    input_folder_path_ = std::move(folder);
  }
  FolderId target = input_folder_;
  struct stat link {};
  if (lstat(file, &link) == 0 && S_ISLNK(link.st_mode)) {
    char* real = realpath(file, nullptr);
    target = real != nullptr ? FolderId::of(folder_part(real)) : FolderId();
    std::free(real);
  }
  return std::any_of(members_.begin(), members_.end(), [&](const Member& member) {
    return waiting(member) &&
           (!input_folder_.known || !target.known || !member.output_folder.known ||
            member.output_folder == input_folder_ || member.output_folder == target);
  });
}

// A group's status lines, written together to standard output and to status.tsv: lines of
// several processes sharing a pipe or the file never mix, as each write holds whole lines and
// no more than a pipe takes at once. What was added is written when the group ends, however it
// ends, so a batch that is killed leaves the statuses of the outputs it put in place.
class StatusLines {
 public:
  StatusLines(std::FILE* out, int status_file) : out_(out), status_file_(status_file) {}
  StatusLines(const StatusLines&) = delete;
  StatusLines& operator=(const StatusLines&) = delete;
  ~StatusLines() { flush(); }

  void add(std::string_view line) {
    if (size_ + line.size() > sizeof buffer_) {
      flush();
    }
    if (line.size() > sizeof buffer_) {
      put(line);  // a name longer than a pipe takes at once goes alone, as it always did
      return;
    }
    std::memcpy(buffer_ + size_, line.data(), line.size());
    size_ += line.size();
  }

 private:
  void flush() {
    put({buffer_, size_});
    size_ = 0;
  }
  void put(std::string_view bytes) {
    if (!bytes.empty()) {
      std::fwrite(bytes.data(), 1, bytes.size(), out_);
      std::fflush(out_);
      // The whole list replaces these lines at the end; one lost now is no failure yet.
      if (status_file_ >= 0) {
        [[maybe_unused]] const ssize_t written = write(status_file_, bytes.data(), bytes.size());
      }
    }
  }

  std::FILE* out_;
  int status_file_;
  char buffer_[PIPE_BUF];
  std::size_t size_ = 0;
};

void SyncGroup::complete() {
  put_outputs_in_place();
  {
    StatusLines lines(setting_.out, setting_.status_file);
    for (Member& member : members_) {
      report(member, lines);
    }
  }
  if (setting_.progress != nullptr) {
    const auto failed = std::count_if(members_.begin(), members_.end(), [&](const Member& m) {
      return !setting_.statuses[m.index].succeeded();
    });
    setting_.progress->add(members_.size(), static_cast<std::size_t>(failed));
  }
  members_.clear();
  input_folder_ = FolderId();  // looked up again for the next group
}

// One sync for each file system that holds waiting outputs, then every output in place.
void SyncGroup::put_outputs_in_place() {
  std::vector<dev_t, TrackedAllocator<dev_t>> synced;
  std::vector<dev_t, TrackedAllocator<dev_t>> failed;
  for (Member& member : members_) {
    if (!member.pending) {
      continue;
    }
    struct stat file {};
    bool on_disk = false;
    if (fstat(member.pending->descriptor(), &file) == 0) {
      const auto known = [&](const auto& devices) {
        return std::find(devices.begin(), devices.end(), file.st_dev) != devices.end();
      };
      if (!known(synced) && !known(failed)) {
        (syncfs(member.pending->descriptor()) == 0 ? synced : failed).push_back(file.st_dev);
      }
      on_disk = known(synced);
    }
    settle(member, on_disk);
  }
}

// Puts one output in place; when that fails, the document ends as a run whose output could not
// be written, with that run's last log lines and a memory count of what the document left.
void SyncGroup::settle(Member& member, bool data_on_disk) {
  if (member.pending->settle(data_on_disk)) {
    member.pending.reset();
    return;  // the conversion's success stands
  }
  log_into(member, [&](RunLog* log) {
    member.outcome = output_not_written(member.output.c_str(), log);
    const std::int64_t before = mem_in_use();
    member.pending.reset();
    const std::int64_t left_behind = bytes_left_behind(member.held, before - mem_in_use());
    log_memory_count(log, log_messages::kFinalMemoryLabel, mem_in_use() - left_behind);
  });
}

void SyncGroup::report(Member& member, StatusLines& lines) {
  if (!member.log.empty() && !replace_whole_file(member.log_path.c_str(), member.log)) {
    member.log_kept = false;
  }
  const DocumentStatus status =
      member.kept          ? setting_.statuses[member.index]
      : member.not_started ? DocumentStatus::not_started()
                           : DocumentStatus::converted(member.outcome.exit_code, !member.log_kept);
  setting_.statuses[member.index] = status;
  lines.add(status_line(member.file, status));
}

}  // namespace ruvo::batch
