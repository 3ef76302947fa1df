#include "base/run_log.h"

#include <libxml/xmlerror.h>
#include <sys/time.h>

#include <cstdarg>
#include <ctime>

#include "base/process_state.h"

namespace ruvo {

namespace {

constexpr const char* kDetailIndent = "                ";  // 16 spaces

}  // namespace

void open_run_log() {
  g_process.run_log.reset(std::fopen(kRunLogName, "a"));
}

void close_run_log() {
  g_process.run_log.reset();
}

void use_run_log(std::FILE* log) {
  g_process.run_log.reset(log);
}

void log_line(std::FILE* log, const char* text) {
  // The calendar time gives the date and the seconds; a second reading gives the milliseconds.
  const std::time_t now = std::time(nullptr);
  timeval precise{};
  gettimeofday(&precise, nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  if (log == nullptr) {
    return;
  }
  std::fprintf(log, "%04d%02d%02d-%02d%02d%02d%03d:%s\n", local.tm_year + 1900, local.tm_mon + 1,
               local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
               static_cast<int>(precise.tv_usec / 1000), text);
  std::fflush(log);
}

void log_detail(std::FILE* log, const char* text) {
  if (log == nullptr) {
    return;
  }
  std::fprintf(log, "%s%s\n", kDetailIndent, text);
}

void log_xml_error(std::FILE* log) {
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

void log_memory_count(std::FILE* log, const char* label, std::int64_t base) {
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
