#include "check/findings.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace ruvo::check {

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

namespace {

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

const char* fix_kind_name(FixKind kind) {
  switch (kind) {
    case FixKind::Replace:
      return "replace";
    case FixKind::Argument:
      return "argument";
    case FixKind::Command:
      return "command";
    case FixKind::Arguments:
      return "arguments";
    case FixKind::None:
      break;
  }
  return "none";
}

void print_json(std::FILE* out, const Finding& f, const TextCodec& codec) {
  Text line = "{\"file\":" + json_string(as_utf8(codec, f.file)) + ",\"line\":" + number(f.line) +
              ",\"column\":" + number(f.column) +
              ",\"severity\":" + json_string(severity_name(f.severity)) +
              ",\"kind\":" + json_string(f.kind) +
              ",\"expression\":" + json_string(as_utf8(codec, f.expression)) +
              ",\"value\":" + json_string(as_utf8(codec, f.value)) +
              ",\"message\":" + json_string(as_utf8(codec, f.message));
  if (f.fix_kind != FixKind::None) {
    line += ",\"fix\":{\"kind\":" + json_string(fix_kind_name(f.fix_kind));
    if (f.fix_kind == FixKind::Argument) {
      line += ",\"argument\":" + number(f.fix_argument);
    }
    line += ",\"text\":" + json_string(as_utf8(codec, f.fix)) + "}";
  }
  if (f.status >= 0) {
    line += ",\"status\":" + number(static_cast<std::size_t>(f.status));
  }
  line += "}\n";
  std::fputs(line.c_str(), out);
}

void print_text(std::FILE* out, const Finding& f, const TextCodec& codec) {
  Text place = as_utf8(codec, f.file);
  if (f.line > 0) {
    place += ':';
    place += number(f.line);
    if (f.column > 0) {
      place += ':';
      place += number(f.column);
    }
  }
  std::fprintf(out, "%s: %s: %s\n", place.c_str(), severity_name(f.severity),
               as_utf8(codec, f.message).c_str());
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

Text enclosed(std::string_view open, std::string_view text, std::string_view close) {
  Text whole;
  whole.reserve(open.size() + text.size() + close.size());
  whole += open;
  whole += text;
  whole += close;
  return whole;
}

Text number(std::size_t n) {
  char digits[24];
  std::snprintf(digits, sizeof digits, "%zu", n);
  return Text(digits);
}

void print_findings(std::FILE* out, const Findings& findings, bool json, std::string_view summary,
                    const TextCodec& codec) {
  for (const Finding& finding : findings.all()) {
    if (json) {
      print_json(out, finding, codec);
    } else {
      print_text(out, finding, codec);
    }
  }
  if (!json) {
    std::fprintf(out, "%.*s\n", static_cast<int>(summary.size()), summary.data());
  }
}

namespace {

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

}  // namespace

Text as_utf8(const TextCodec& codec, std::string_view text) {
  TextBufferPtr utf8;
  if (!codec.is_latin1() && codec.to_utf8(text, utf8)) {
    return Text(utf8->view());
  }
  return latin1_as_utf8(text);
}

namespace {

// The code point of the UTF-8 sequence at text[at] and its length; length 0 for a malformed byte.
std::pair<std::uint32_t, std::size_t> decode(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t length = lead < 0x80                    ? 1
                       : lead >= 0xC2 && lead <= 0xDF ? 2
                       : lead >= 0xE0 && lead <= 0xEF ? 3
                       : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                      : 0;
  if (length == 0 || at + length > text.size()) {
    return {0, 0};
  }
  std::uint32_t code = length == 1 ? lead : lead & (0x7FU >> length);
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[at + k]);
    if ((next & 0xC0U) != 0x80U) {
      return {0, 0};
    }
    code = (code << 6U) | (next & 0x3FU);
  }
  return {code, length};
}

}  // namespace

bool is_plain_number(std::string_view value) {
  const std::size_t first = value.find_first_not_of(' ');
  const std::size_t last = value.find_last_not_of(' ');
  if (first == std::string_view::npos) {
    return false;
  }
  value = value.substr(first, last - first + 1);
  bool sign = false;
  bool currency = false;
  bool point = false;
  bool digit = false;
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if ((c == '-' || c == '+') && !sign && !digit) {
      sign = true;
    } else if ((c == '$' || byte == 0xA3 || byte == 0xA5) && !currency && !digit) {
      currency = true;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digit;
}

Text grouping_changes(std::string_view before, std::string_view after) {
  return enclosed("\"", before, "\"") +
         " is no plain number, and the thousands separators change what it says: it becomes " +
         enclosed("\"", after, "\"") + "; list only numbers in COMMA_INSERT";
}

namespace {

// Whether the encoding holds the character; Latin-1 holds the first 256 code points.
bool holds(const TextCodec& codec, std::string_view character, std::uint32_t code) {
  if (codec.is_latin1()) {
    return code <= 0xFF;
  }
  if (code < 0x80 || codec.is_utf8()) {
    return true;
  }
  TextBufferPtr out;
  bool lost = false;
  return codec.from_utf8(character, out, &lost) && !lost;
}

}  // namespace

Text characters_lost(std::string_view utf8, const TextCodec& codec) {
  constexpr std::size_t kMostShown = 10;
  List<Text> lost;
  bool more = false;
  for (std::size_t at = 0; at < utf8.size();) {
    const auto [code, length] = decode(utf8, at);
    char name[24] = {};
    if (length == 0) {
      std::snprintf(name, sizeof name, "byte 0x%02X", static_cast<unsigned char>(utf8[at]));
    } else if (!holds(codec, utf8.substr(at, length), code)) {
      std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(code));
    }
    at += length == 0 ? 1 : length;
    if (name[0] == '\0' || std::find(lost.begin(), lost.end(), name) != lost.end()) {
      continue;
    }
    if (lost.size() == kMostShown) {
      more = true;
      break;
    }
    lost.emplace_back(name);
  }
  Text shown;
  for (const Text& name : lost) {
    shown += (shown.empty() ? "" : ", ") + name;
  }
  return more ? shown + ", ..." : shown;
}

}  // namespace ruvo::check
