#include "batch/shared_batch.h"

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <new>

#include "batch/sync_group.h"

namespace ruvo::batch {

SharedBatch::SharedBatch(std::size_t count) : count_(count) {
  bytes_ = sizeof(Header) + std::max<std::size_t>(count, 1) * sizeof(DocumentStatus);
  void* mapping = mmap(nullptr, bytes_, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (mapping == MAP_FAILED) {
    return;
  }
  mapping_ = mapping;
  ::new (mapping_) Header();
  std::uninitialized_fill_n(statuses(), count, DocumentStatus());
}

SharedBatch::~SharedBatch() {
  if (mapping_ != nullptr) {
    static_cast<Header*>(mapping_)->~Header();
    munmap(mapping_, bytes_);
  }
}

DocumentStatus* SharedBatch::statuses() const noexcept {
  return reinterpret_cast<DocumentStatus*>(static_cast<char*>(mapping_) + sizeof(Header));
}

std::size_t SharedBatch::take(std::size_t want) noexcept {
  const std::size_t first = static_cast<Header*>(mapping_)->next.fetch_add(want);
  return std::min(first, count_);
}

ProgressCounts* SharedBatch::progress_counts() const noexcept {
  return mapping_ != nullptr ? &static_cast<Header*>(mapping_)->progress : nullptr;
}

pid_t fork_worker() {
  // Whatever stdio holds would otherwise be written once more by each child.
  std::fflush(nullptr);
  return fork();
}

void end_worker() {
  std::fflush(nullptr);
  _exit(0);
}

void wait_for_workers(const pid_t* children, int count) {
  for (int i = 0; i < count; ++i) {
    while (waitpid(children[i], nullptr, 0) < 0 && errno == EINTR) {
    }
  }
}

}  // namespace ruvo::batch
