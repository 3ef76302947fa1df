// The run log "Ruvo.log": the program's only channel for errors, warnings and information.
//
// Every run appends to it. A log line is a local timestamp with milliseconds, a colon and the
// message: "%04d%02d%02d-%02d%02d%02d%03d:%s\n". A continuation line carries a detail (a path, a
// name, libxml2's error) after 16 spaces and no timestamp. Every operation takes the log as a
// FILE* and writes nothing when it is none, so callers pass run_log() without checking whether
// the log could be opened.
#pragma once

#include <cstdint>
#include <cstdio>

namespace ruvo {

inline constexpr const char* kRunLogName = "Ruvo.log";

// Opens the run log for appending in the current folder; a log that cannot be opened stays
// none and every log write of the run is skipped.
void open_run_log();
void close_run_log();
// Makes the stream the run log, closing the one before: ruvo-batch gives each document a log of
// its own in memory.
void use_run_log(std::FILE* log);

// One timestamped line, flushed at once.
void log_line(std::FILE* log, const char* text);
// One continuation line; it reaches the file with the next flush or the close.
void log_detail(std::FILE* log, const char* text);
// One continuation line describing libxml2's last error.
void log_xml_error(std::FILE* log);
// "INFO. Conteo de Memoria <label>: <mem_in_use>" as a timestamped line; with a base, the bytes
// taken since the count stood there (what one document of many left behind).
void log_memory_count(std::FILE* log, const char* label, std::int64_t base = 0);

// Formats a message into the process-wide message buffer (cut short at 1023 bytes) and
// returns the buffer.
[[gnu::format(printf, 1, 2)]] const char* format_message(const char* format, ...);

}  // namespace ruvo
