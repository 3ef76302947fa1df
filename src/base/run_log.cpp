#include "base/run_log.h"

#include <libxml/xmlerror.h>
#include <sys/time.h>

#include <algorithm>
#include <cstdarg>
#include <cstdlib>
#include <ctime>

#include "base/process_state.h"

namespace ruvo {

namespace {

constexpr std::string_view kDetailIndent = "                ";  // 16 spaces

bool write_all(std::FILE* stream, std::string_view bytes) {
  return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
}

bool write_line(std::FILE* stream, std::string_view lead, std::string_view text) {
  return write_all(stream, lead) && write_all(stream, text) && std::fputc('\n', stream) != EOF;
}

}  // namespace

void FileRunLog::open_in_current_folder() {
  stream_.reset(std::fopen(kRunLogName, "a"));
  name_ = kRunLogName;
}

void FileRunLog::write(std::string_view lead, std::string_view text, bool message) {
  if (!stream_) {
    return;
  }
  // Errors while writing or flushing are not looked at: the run goes on without its log.
  static_cast<void>(write_line(stream_.get(), lead, text));
  if (message) {
    std::fflush(stream_.get());
  }
}

void MemoryRunLog::FreeBytes::operator()(char* bytes) const {
  std::free(bytes);  // open_memstream's own block, taken with malloc
}

MemoryRunLog::MemoryRunLog() = default;

MemoryRunLog::~MemoryRunLog() {
  static_cast<void>(bytes());
}

void MemoryRunLog::write(std::string_view lead, std::string_view text, bool /*message*/) {
  if (!stream_ && !read_) {
    stream_.reset(open_memstream(&bytes_, &size_));
  }
  if (!stream_ || !write_line(stream_.get(), lead, text)) {
    kept_ = false;
  }
}

std::string_view MemoryRunLog::bytes() {
  read_ = true;
  if (stream_) {
    // The stream's bytes are complete once it is closed; its block is then the log's.
    kept_ = std::fclose(stream_.release()) == 0 && kept_;
    owned_.reset(bytes_);
  }
  return owned_ ? std::string_view(owned_.get(), size_) : std::string_view();
}

void log_line(RunLog* log, const char* text) {
  // The calendar time gives the date and the seconds; a second reading gives the milliseconds.
  const std::time_t now = std::time(nullptr);
  timeval precise{};
  gettimeofday(&precise, nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  if (log == nullptr) {
    return;
  }
  char stamp[64];
  const int length =
      std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d%03d:", local.tm_year + 1900,
                    local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                    static_cast<int>(precise.tv_usec / 1000));
  const std::size_t lead =
      length < 0 ? 0 : std::min(static_cast<std::size_t>(length), sizeof stamp - 1);
  log->write(std::string_view(stamp, lead), text, true);
}

void log_detail(RunLog* log, const char* text) {
  if (log == nullptr) {
    return;
  }
  log->write(kDetailIndent, text, false);
}

void log_xml_error(RunLog* log) {
  if (log == nullptr) {
    return;
  }
  char text[1024];
  const xmlError* error = xmlGetLastError();
  if (error != nullptr) {
    // A record without a file name (XPath errors have none) shows "(null)" in its place.
    std::snprintf(text, sizeof text, "XML Error #%d in [%s]. %s", error->code,
                  error->file != nullptr ? error->file : "(null)",
                  error->message != nullptr ? error->message : "(null)");
  } else {
    std::snprintf(text, sizeof text, "XML Error Unknown");
  }
  log_detail(log, text);
}

void log_memory_count(RunLog* log, const char* label, std::int64_t base) {
  char text[512];
  std::snprintf(text, sizeof text, "INFO. Conteo de Memoria %s: %ld", label,
                static_cast<long>(mem_in_use() - base));
  log_line(log, text);
}

const char* format_message(const char* format, ...) {
  std::va_list values;
  va_start(values, format);
  std::vsnprintf(g_process.message_buffer, kMessageBufferSize, format, values);
  va_end(values);
  return g_process.message_buffer;
}

}  // namespace ruvo
