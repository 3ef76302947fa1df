#include "batch/resume.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string_view>
#include <unordered_map>

#include "batch/sync_group.h"

namespace ruvo::batch {

namespace {

constexpr std::string_view kTemporaryPrefix = ".ruvo-";
constexpr std::size_t kTemporarySuffixLength = 6;  // what mkstemp fills in

bool is_temporary_name(std::string_view name) {
  return name.size() == kTemporaryPrefix.size() + kTemporarySuffixLength &&
         name.substr(0, kTemporaryPrefix.size()) == kTemporaryPrefix;
}

// The file's modification time, or false when it has none to compare.
bool modified(const char* path, timespec& time) {
  struct stat status {};
  if (stat(path, &status) != 0) {
    return false;
  }
  time = status.st_mtim;
  return true;
}

bool earlier(const timespec& a, const timespec& b) {
  return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

// A status as a line of status.tsv gives it after its name: "0", "252\tlog-lost"; false for
// anything else (not-started and not-finished documents are converted again).
bool read_status(std::string_view text, DocumentStatus& status) {
  constexpr std::string_view kLost = "\tlog-lost";
  const bool lost = text.size() > kLost.size() && text.substr(text.size() - kLost.size()) == kLost;
  if (lost) {
    text.remove_suffix(kLost.size());
  }
  if (text.empty() || text.size() > 3) {
    return false;
  }
  int code = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') {
      return false;
    }
    code = code * 10 + (c - '0');
  }
  status = DocumentStatus::converted(code, lost);
  return true;
}

using Statuses =
    std::unordered_map<std::string_view, DocumentStatus, std::hash<std::string_view>,
                       std::equal_to<>,
                       TrackedAllocator<std::pair<const std::string_view, DocumentStatus>>>;

// The statuses of the previous list by file name; the names point into list.
Statuses read_statuses(const Text& list) {
  Statuses statuses;
  std::string_view rest(list);
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    const std::size_t tab = line.find('\t');
    DocumentStatus status;
    if (tab != std::string_view::npos && read_status(line.substr(tab + 1), status)) {
      statuses[line.substr(0, tab)] = status;
    }
  }
  return statuses;
}

}  // namespace

FolderLock::FolderLock(const Text& output_dir)
    : file_(open((output_dir + "/.ruvo-batch.lock").c_str(),
                 O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666)) {}

bool FolderLock::take_alone() {
  return file_.is_open() && flock(file_.get(), LOCK_EX | LOCK_NB) == 0;
}

void FolderLock::share() {
  if (file_.is_open()) {
    while (flock(file_.get(), LOCK_SH) != 0 && errno == EINTR) {
    }
  }
}

void remove_left_temporaries(const Text& folder) {
  DIR* listing = opendir(folder.c_str());
  if (listing == nullptr) {
    return;
  }
  while (const dirent* entry = readdir(listing)) {
    struct stat status {};
    if (is_temporary_name(entry->d_name) &&
        fstatat(dirfd(listing), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(status.st_mode)) {
      unlinkat(dirfd(listing), entry->d_name, 0);
    }
  }
  closedir(listing);
}

void find_kept_documents(const char* const* files, std::size_t count, const Text& output_dir,
                         const char* template_path, const char* config_path,
                         const Text& previous_list, DocumentStatus* statuses, std::uint8_t* kept) {
  timespec template_time{};
  timespec config_time{};
  if (!modified(template_path, template_time) || !modified(config_path, config_time)) {
    return;
  }
  const Statuses previous = read_statuses(previous_list);
  for (std::size_t i = 0; i < count; ++i) {
    if (statuses[i].state == DocumentStatus::State::NotStarted) {
      continue;
    }
    const auto found = previous.find(name_of(files[i]));
    if (found == previous.end()) {
      continue;
    }
    const Text output = output_path_of(output_dir, files[i]);
    struct stat status {};
    timespec document_time{};
    if (lstat(output.c_str(), &status) != 0 || !S_ISREG(status.st_mode) ||
        !modified(files[i], document_time)) {
      continue;
    }
    const timespec& output_time = status.st_mtim;
    if (earlier(output_time, document_time) || earlier(output_time, template_time) ||
        earlier(output_time, config_time)) {
      continue;
    }
    statuses[i] = found->second;
    kept[i] = 1;
  }
}

}  // namespace ruvo::batch
