// A group of documents converted one after another whose outputs share one sync.
//
// Each document is converted as a ruvo run would convert it, but an output written to a
// temporary file waits, neither synced nor renamed. Completing the group syncs the file system
// of the waiting outputs once (instead of once per output), then renames each over its output
// and only then reports the group's documents. When that sync fails, each output is synced by
// itself, so that a failure stays with the document it belongs to. A document whose output
// cannot be put in place gets the log lines and status of a run whose output failed.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "batch/document_status.h"
#include "batch/progress_line.h"
#include "driver/conversion.h"
#include "text/tracked_memory.h"

namespace ruvo::batch {

using Text = std::basic_string<char, std::char_traits<char>, TrackedAllocator<char>>;

// NAME of DIR/NAME.xml (the extension in any case), or the file's whole name without one: the
// name of the document's output and log.
std::string_view stem_of(std::string_view file);
// Where the document's output goes: OUTPUT_DIR/NAME.txt.
Text output_path_of(const Text& output_dir, std::string_view file);
// The file's name without its folder, as its status line gives it.
std::string_view name_of(std::string_view file);

// "NAME.xml<TAB>status\n": the exit status, "not-started" or "not-finished", and a third field
// "log-lost" when the document's log could not be kept.
Text status_line(const char* file, const DocumentStatus& status);

// The bytes a document left behind when its waiting output is released after its conversion.
std::int64_t bytes_left_behind(std::int64_t held_at_return, std::int64_t given_back_by_output);

// A folder as the file system knows it, whatever path leads there; not known when it cannot
// be found.
struct FolderId {
  dev_t device = 0;
  ino_t inode = 0;
  bool known = false;

  static FolderId of(const Text& folder);
  bool operator==(const FolderId& other) const {
    return known && other.known && device == other.device && inode == other.inode;
  }
};

// What stays the same for every document of a batch.
struct BatchSetting {
  const RunSettings* settings = nullptr;  // ruvo's options, the same for every document
  const TextCodec* codec = nullptr;       // their encoding, opened once
  ConversionSources* sources = nullptr;
  const char* template_path = nullptr;
  // Where the documents are read, each under its own file name, while the logs and statuses
  // name them as given (copies of them sent to another machine); empty: where they are named.
  Text read_from;
  Text output_dir;
  Text logs_dir;
  std::FILE* out = nullptr;            // takes one status line per document
  int status_file = -1;                // status.tsv, appended to as each group completes
  ProgressLine* progress = nullptr;    // how far the batch is, on a terminal
  DocumentStatus* statuses = nullptr;  // every document's status, by its place in the batch
};

class StatusLines;  // a group's status lines, written together

class SyncGroup {
 public:
  static constexpr std::size_t kCapacity = 32;

  explicit SyncGroup(const BatchSetting& setting);
  SyncGroup(const SyncGroup&) = delete;
  SyncGroup& operator=(const SyncGroup&) = delete;
  ~SyncGroup() = default;  // documents not completed are dropped, their outputs removed

  // Converts the document (its place in the batch, its path), or only records it as not started.
  // A kept document (a resumed batch's, whose output is up to date) is reported with the status
  // the batch already holds for it and is not converted again.
  void add(std::size_t index, const char* file, bool not_started, bool kept = false);
  // Syncs, puts in place and reports every document added since the last completion.
  void complete();

 private:
  struct Member {
    std::size_t index = 0;
    const char* file = nullptr;
    Text read_path;  // where the document is read, when not at file
    Text output;
    Text log_path;
    Text log;              // the run log lines so far
    bool log_kept = true;  // every line of the log so far was kept
    Outcome outcome{0, true};
    bool not_started = false;
    bool kept = false;  // reported with its status from before, not converted
    PendingOutput pending;
    FolderId output_folder;  // where the pending output goes
    std::int64_t held = 0;   // bytes the conversion held when it returned, its output included
  };

  void convert(Member& member);
  template <class Write>
  static void log_into(Member& member, Write write);
  bool may_read_a_waiting_output(const char* file);
  void put_outputs_in_place();
  void settle(Member& member, bool data_on_disk);
  void report(Member& member, StatusLines& lines);

  const BatchSetting& setting_;
  FolderId output_dir_;
  std::vector<Member, TrackedAllocator<Member>> members_;
  Text input_folder_path_;  // the folder of the last document, while the group lasts
  FolderId input_folder_;
};

}  // namespace ruvo::batch
