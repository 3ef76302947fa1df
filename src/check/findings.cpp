#include "check/findings.h"

#include <algorithm>

namespace ruvo::check {

namespace {

const char* severity_name(Severity severity) {
  switch (severity) {
    case Severity::Error:
      return "error";
    case Severity::Warning:
      return "warning";
    case Severity::Note:
      break;
  }
  return "note";
}

// A JSON string of UTF-8 text: quotes, backslashes and control characters escaped.
Text json_string(std::string_view utf8) {
  Text out = "\"";
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  out += '"';
  return out;
}

void print_json(std::FILE* out, const Finding& f) {
  const Text line = "{\"file\":" + json_string(latin1_as_utf8(f.file)) +
                    ",\"line\":" + number(f.line) + ",\"column\":" + number(f.column) +
                    ",\"severity\":" + json_string(severity_name(f.severity)) +
                    ",\"kind\":" + json_string(f.kind) +
                    ",\"expression\":" + json_string(latin1_as_utf8(f.expression)) +
                    ",\"value\":" + json_string(latin1_as_utf8(f.value)) +
                    ",\"message\":" + json_string(latin1_as_utf8(f.message)) + "}\n";
  std::fputs(line.c_str(), out);
}

void print_text(std::FILE* out, const Finding& f) {
  Text place = latin1_as_utf8(f.file);
  if (f.line > 0) {
    place += ':';
    place += number(f.line);
    if (f.column > 0) {
      place += ':';
      place += number(f.column);
    }
  }
  std::fprintf(out, "%s: %s: %s\n", place.c_str(), severity_name(f.severity),
               latin1_as_utf8(f.message).c_str());
}

}  // namespace

Finding& Findings::add(Severity severity, std::string_view file, std::size_t line,
                       std::size_t column, std::string_view kind, std::string_view message) {
  Finding& finding = findings_.emplace_back();
  finding.severity = severity;
  finding.file = Text(file);
  finding.line = line;
  finding.column = column;
  finding.kind = Text(kind);
  finding.message = Text(message);
  return finding;
}

std::size_t Findings::count(Severity severity) const {
  return static_cast<std::size_t>(
      std::count_if(findings_.begin(), findings_.end(),
                    [&](const Finding& f) { return f.severity == severity; }));
}

void Findings::sort_by_place() {
  List<std::string_view> files;
  for (const Finding& f : findings_) {
    if (std::find(files.begin(), files.end(), std::string_view(f.file)) == files.end()) {
      files.push_back(f.file);
    }
  }
  List<Finding> sorted;
  for (const std::string_view file : files) {
    for (const Finding& f : findings_) {
      if (f.file == file) {
        sorted.push_back(f);
      }
    }
  }
  std::stable_sort(sorted.begin(), sorted.end(), [](const Finding& a, const Finding& b) {
    return a.file == b.file && (a.line != b.line ? a.line < b.line : a.column < b.column);
  });
  // A line the scan meets twice (after a table that wrote no line) says the same things twice.
  const auto same = [](const Finding& a, const Finding& b) {
    return a.file == b.file && a.line == b.line && a.column == b.column &&
           a.severity == b.severity && a.message == b.message;
  };
  sorted.erase(std::unique(sorted.begin(), sorted.end(), same), sorted.end());
  findings_ = std::move(sorted);
}

Text number(std::size_t n) {
  char digits[24];
  std::snprintf(digits, sizeof digits, "%zu", n);
  return Text(digits);
}

void print_findings(std::FILE* out, const Findings& findings, bool json, std::string_view summary) {
  for (const Finding& finding : findings.all()) {
    if (json) {
      print_json(out, finding);
    } else {
      print_text(out, finding);
    }
  }
  if (!json) {
    std::fprintf(out, "%.*s\n", static_cast<int>(summary.size()), summary.data());
  }
}

Text latin1_as_utf8(std::string_view latin1) {
  Text out;
  out.reserve(latin1.size());
  for (const char c : latin1) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (byte >> 6));
      out += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return out;
}

}  // namespace ruvo::check
