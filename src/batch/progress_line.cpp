#include "batch/progress_line.h"

#include <unistd.h>

namespace ruvo::batch {

ProgressLine::ProgressLine(std::FILE* terminal, std::size_t total, ProgressCounts* counts) {
  if (terminal != nullptr && counts != nullptr && isatty(fileno(terminal)) == 1) {
    terminal_ = terminal;
    total_ = total;
    counts_ = counts;
  }
}

namespace {

// The line's text for these counts after elapsed seconds.
int format(char* text, std::size_t size, std::size_t done, std::size_t total, std::size_t failed,
           double elapsed) {
  const double rate = elapsed > 0 ? static_cast<double>(done) / elapsed : 0;
  const double left = rate > 0 ? static_cast<double>(total - done) / rate : 0;
  return std::snprintf(text, size, "ruvo-batch: %zu/%zu documents, %zu failed, %.0f/s, %.0f s left",
                       done, total, failed, rate, left);
}

}  // namespace

void ProgressLine::add(std::size_t done, std::size_t failed) {
  if (terminal_ == nullptr) {
    return;
  }
  const std::size_t all_done = counts_->done.fetch_add(done) + done;
  const std::size_t all_failed = counts_->failed.fetch_add(failed) + failed;
  const Clock::time_point now = Clock::now();
  if (now - shown_ < std::chrono::milliseconds(100) && all_done < total_) {
    return;
  }
  shown_ = now;
  char text[160];
  text[0] = '\r';
  const int length = format(text + 1, sizeof text - 1, all_done, total_, all_failed,
                            std::chrono::duration<double>(now - start_).count());
  if (length > 0) {
    // "\033[K" clears what a longer line before left; the line goes out in one write.
    std::fprintf(terminal_, "%s\033[K", text);
    std::fflush(terminal_);
  }
}

void ProgressLine::clear() {
  if (terminal_ != nullptr) {
    std::fputs("\r\033[K", terminal_);
    std::fflush(terminal_);
  }
}

}  // namespace ruvo::batch
