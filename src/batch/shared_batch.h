// A batch's documents shared out among processes: each process takes the next few documents
// that no process has taken, and writes each one's status where the first process reads them
// all at the end. The memory is shared with the processes forked after it is made.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <exception>
#include <new>
#include <type_traits>

#include "batch/document_status.h"
#include "batch/progress_line.h"

namespace ruvo::batch {

// The most processes a batch runs at a time.
inline constexpr int kMostJobs = 1024;

class SharedBatch {
 public:
  // Room for the statuses of count documents, each not finished until it is reported.
  explicit SharedBatch(std::size_t count);
  SharedBatch(const SharedBatch&) = delete;
  SharedBatch& operator=(const SharedBatch&) = delete;
  ~SharedBatch();

  bool usable() const noexcept { return mapping_ != nullptr; }
  DocumentStatus* statuses() const noexcept;
  // The first of the next documents (at most want) for the calling process; their end is the
  // smaller of first + want and the count. count itself when every document is taken.
  std::size_t take(std::size_t want) noexcept;
  // What the processes have finished, for the progress line.
  ProgressCounts* progress_counts() const noexcept;

 private:
  struct Header {
    std::atomic<std::size_t> next{0};
    ProgressCounts progress;
  };
  static_assert(std::atomic<std::size_t>::is_always_lock_free, "shared between processes");
  static_assert(std::is_trivially_copyable_v<DocumentStatus>, "written by every process");

  void* mapping_ = nullptr;
  std::size_t bytes_ = 0;
  std::size_t count_ = 0;
};

// Runs work in jobs processes (at most kMostJobs): this one and jobs - 1 forked children, which
// share what exists before. Returns once every child has ended. Children that cannot be forked
// leave their share to the others. A child that runs out of memory ends, leaving the documents
// it had not reported unfinished; in this process the failure is passed on once every child has
// ended.
template <class Work>
void run_in_processes(int jobs, Work work);

// The fork and the wait, apart from the work.
pid_t fork_worker();
void wait_for_workers(const pid_t* children, int count);
[[noreturn]] void end_worker();

template <class Work>
void run_in_processes(int jobs, Work work) {
  pid_t children[kMostJobs];
  int started = 0;
  for (int i = 1; i < jobs && started < kMostJobs; ++i) {
    const pid_t child = fork_worker();
    if (child == 0) {
      try {
        work();
      } catch (const std::bad_alloc&) {
        // Its documents not reported yet stay unfinished; the first process says so.
      }
      end_worker();
    }
    if (child > 0) {
      children[started++] = child;
    }
  }
  std::exception_ptr failure;
  try {
    work();
  } catch (const std::bad_alloc&) {
    failure = std::current_exception();
  }
  wait_for_workers(children, started);
  if (failure) {
    std::rethrow_exception(failure);
  }
}

}  // namespace ruvo::batch
