// Process-wide state of one run, kept in one place so that tests can reset it.
//
// The converter is single-threaded. Option handling writes the settings once at the start of a
// run; every other unit only reads them. The run log, the message buffer and the memory count
// are shared by every unit that reports or allocates.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

namespace ruvo {

enum class OutputMode { Text = 1, Xml = 2 };

struct PreviewSetting {
  bool on = false;
  std::int32_t rows = 0;
};

inline constexpr const char* kDefaultConfigPath = "Ruvo.cfg";

struct RunSettings {
  OutputMode output_mode = OutputMode::Text;
  PreviewSetting preview;
  // Points at the argument table's slot that follows the last "-c", or at the default name.
  const char* config_path = kDefaultConfigPath;
};

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Test-only switch of the counted allocator: refuse the request numbered refuse_at (1-based).
struct AllocationFaults {
  std::uint64_t requests = 0;
  std::uint64_t refuse_at = 0;     // 0: never refuse
  std::int64_t refused_bytes = 0;  // sizes of the requests refused so far
};

inline constexpr std::size_t kMessageBufferSize = 1024;

struct ProcessState {
  RunSettings settings;
  FilePtr run_log;  // none until the driver opens the log, and again after it closes it
  char message_buffer[kMessageBufferSize] = {};
  std::int64_t mem_in_use = 0;  // bytes taken through tracked_alloc and not yet given back
  AllocationFaults faults;
};

// The one mutable global of the program.
extern ProcessState g_process;

// Puts every field back to its value at process start (closing an open log).
void reset_process_state();

inline RunSettings& run_settings() {
  return g_process.settings;
}
inline std::FILE* run_log() {
  return g_process.run_log.get();
}
inline std::int64_t mem_in_use() {
  return g_process.mem_in_use;
}
inline char* message_buffer() {
  return g_process.message_buffer;
}

}  // namespace ruvo
