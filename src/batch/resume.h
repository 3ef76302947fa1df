// A batch run again with --resume: what it keeps from the run before, and the temporary files
// a batch that was stopped left behind.
#pragma once

#include <cstddef>
#include <cstdint>

#include "batch/document_status.h"
#include "batch/sync_group.h"
#include "text/file_handle.h"

namespace ruvo::batch {

// The lock every ruvo-batch process of an output folder holds while it runs
// (OUTPUT_DIR/.ruvo-batch.lock): shared by the batches that run there, taken alone only by a
// resumed batch that finds none running, which may then remove what stopped ones left.
class FolderLock {
 public:
  explicit FolderLock(const Text& output_dir);
  // True when no other batch holds the folder: this one then holds it alone until share.
  bool take_alone();
  // Holds the folder beside any other batch, waiting while one holds it alone.
  void share();

 private:
  Fd file_;
};

// Removes the temporary files (".ruvo-" and six characters) in the folder: only when the folder
// lock is held alone, as no running batch's can be among them then.
void remove_left_temporaries(const Text& folder);

// The documents a resumed batch keeps: each whose output (OUTPUT_DIR/NAME.txt) exists and is not
// older than the document, the template or the configuration, and whose line the previous
// status list holds. Its status is set from that line and kept[i] is set to 1; the others are left
// to be converted. A document already marked not started stays so.
void find_kept_documents(const char* const* files, std::size_t count, const Text& output_dir,
                         const char* template_path, const char* config_path,
                         const Text& previous_list, DocumentStatus* statuses, std::uint8_t* kept);

}  // namespace ruvo::batch
