// How far a batch is, on a terminal: one line on standard error, rewritten as groups complete
// and cleared at the end. Never on anything else, so logs and pipes stay as they are.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdio>

namespace ruvo::batch {

// What every process of a batch has finished, in memory they share (batch/shared_batch.h).
struct ProgressCounts {
  std::atomic<std::size_t> done{0};
  std::atomic<std::size_t> failed{0};
};

class ProgressLine {
 public:
  using Clock = std::chrono::steady_clock;

  // A line on terminal for a batch of total documents; none when terminal is not a terminal
  // (or is null) or counts is null.
  ProgressLine(std::FILE* terminal, std::size_t total, ProgressCounts* counts);

  // A group of done documents, failed of them, is complete: counted, and the line rewritten
  // when the last one is a tenth of a second old.
  void add(std::size_t done, std::size_t failed);
  // Removes the line.
  void clear();

 private:
  std::FILE* terminal_ = nullptr;
  std::size_t total_ = 0;
  ProgressCounts* counts_ = nullptr;
  Clock::time_point start_ = Clock::now();
  Clock::time_point shown_{};
};

}  // namespace ruvo::batch
