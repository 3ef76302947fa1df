// The run log "Ruvo.log": the program's only channel for errors, warnings and information.
//
// Every run appends to it. A log line is a local timestamp with milliseconds, a colon and the
// message: "%04d%02d%02d-%02d%02d%02d%03d:%s\n". A continuation line carries a detail (a path, a
// name, libxml2's error) after 16 spaces and no timestamp. The formats live here alone; where the
// lines go is a RunLog, which the program that runs a conversion makes and hands down: ruvo's
// appends to Ruvo.log, ruvo-batch keeps each document's lines in memory, ruvo-check records them.
// Every operation takes the log as a pointer and writes nothing when it is none.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string_view>

#include "text/file_handle.h"

namespace ruvo {

inline constexpr const char* kRunLogName = "Ruvo.log";

// Where the lines of a run log go.
class RunLog {
 public:
  RunLog() = default;
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;
  virtual ~RunLog() = default;

  // One line: its lead (the timestamp and colon of a message line, the indent of a continuation
  // line), its text, then the line end. A message line reaches its file at once; a continuation
  // line with the next message line or the close.
  virtual void write(std::string_view lead, std::string_view text, bool message) = 0;
  // The file the log appends to, when it is one, which no output may replace: its name, and its
  // stream while it is open (none for a log that only stands in for the file).
  virtual const char* file_name() const { return nullptr; }
  virtual std::FILE* file() const { return nullptr; }
};

// A log appended to a file; a file that could not be opened leaves a log that writes nothing.
class FileRunLog final : public RunLog {
 public:
  // A log that is not open yet.
  FileRunLog() = default;
  FileRunLog(FilePtr stream, const char* name) : stream_(std::move(stream)), name_(name) {}
  // Opens Ruvo.log in the current folder for appending.
  void open_in_current_folder();

  void write(std::string_view lead, std::string_view text, bool message) override;
  const char* file_name() const override { return stream_ ? name_ : nullptr; }
  std::FILE* file() const override { return stream_.get(); }
  bool is_open() const { return stream_ != nullptr; }
  void close() { stream_.reset(); }

 private:
  FilePtr stream_;
  const char* name_ = nullptr;
};

// A log kept in memory, for a program that writes it somewhere later (ruvo-batch gives every
// document a log of its own). When memory for it cannot be had, it says so instead of losing
// lines without a word.
class MemoryRunLog final : public RunLog {
 public:
  MemoryRunLog();
  MemoryRunLog(const MemoryRunLog&) = delete;
  MemoryRunLog& operator=(const MemoryRunLog&) = delete;
  ~MemoryRunLog() override;

  void write(std::string_view lead, std::string_view text, bool message) override;
  // Every line written so far; the log takes no more lines after it is read.
  std::string_view bytes();
  // False when a line could not be kept (the log is then incomplete).
  bool kept() const { return kept_; }

 private:
  struct FreeBytes {
    void operator()(char* bytes) const;
  };
  // Opened with the first line: most documents of a batch log nothing.
  FilePtr stream_;
  bool read_ = false;
  char* bytes_ = nullptr;
  std::size_t size_ = 0;
  std::unique_ptr<char, FreeBytes> owned_;
  bool kept_ = true;
};

// One timestamped line, flushed at once.
void log_line(RunLog* log, const char* text);
// One continuation line; it reaches the file with the next flush or the close.
void log_detail(RunLog* log, const char* text);
// One continuation line describing libxml2's last error.
void log_xml_error(RunLog* log);
// "INFO. Conteo de Memoria <label>: <mem_in_use>" as a timestamped line; with a base, the bytes
// taken since the count stood there (what one document of many left behind).
void log_memory_count(RunLog* log, const char* label, std::int64_t base = 0);

// Formats a message into the process-wide message buffer (cut short at 1023 bytes) and
// returns the buffer.
[[gnu::format(printf, 1, 2)]] const char* format_message(const char* format, ...);

}  // namespace ruvo
