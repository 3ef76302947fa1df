#include "check/inputs.h"

#include <strings.h>

#include <cstdio>

#include "check/document_probe.h"
#include "text/file_handle.h"

namespace ruvo::check {

namespace {

constexpr std::string_view kCommandLine = "command-line";

Text nearest_option(std::string_view word) {
  for (const std::string_view option : kOptionWords) {
    if (equal_ignoring_case(option, word) || edit_distance(option, word, 2) <= 2) {
      return Text(option);
    }
  }
  return Text();
}

bool is_number(const char* text) {
  const char* p = text;
  while (*p == ' ') {
    ++p;
  }
  if (*p == '-' || *p == '+') {
    ++p;
  }
  return *p >= '0' && *p <= '9';
}

// The length of the UTF-8 sequence a byte starts, or 0 for a byte no sequence starts with.
std::size_t sequence_length(unsigned char lead) {
  if (lead < 0x80) {
    return 1;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    return 2;
  }
  if (lead >= 0xE0 && lead <= 0xEF) {
    return 3;
  }
  return lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
}

// Where the first byte of a valid UTF-8 sequence of two or more bytes stands; npos when the
// text has none or is not UTF-8.
std::size_t utf8_evidence(std::string_view bytes) {
  std::size_t first = std::string_view::npos;
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t length = sequence_length(static_cast<unsigned char>(bytes[i]));
    if (length == 0 || i + length > bytes.size()) {
      return std::string_view::npos;
    }
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) {
        return std::string_view::npos;
      }
    }
    if (length > 1 && first == std::string_view::npos) {
      first = i;
    }
    i += length;
  }
  return first;
}

// The line (from 1) and column (byte, from 1) of a position.
std::pair<std::size_t, std::size_t> line_and_column(std::string_view bytes, std::size_t at) {
  std::size_t line = 1;
  std::size_t start = 0;
  for (std::size_t i = 0; i < at; ++i) {
    if (bytes[i] == '\n') {
      ++line;
      start = i + 1;
    }
  }
  return {line, at - start + 1};
}

}  // namespace

void check_arguments(Findings& findings, const ArgTable& table, int count) {
  for (int i = 0; i < count; ++i) {
    const char* argument = table.at(i);
    const auto position = static_cast<std::size_t>(i) + 1;
    if (i < 3) {
      if (is_option_word(argument)) {
        findings.add(Severity::Warning, kCommandLine, position, 0, "argument",
                     "argument " + number(static_cast<std::size_t>(i) + 1) + " is the option \"" +
                         Text(argument) +
                         "\", but the first three arguments are the XML input, "
                         "the template and the output, in that order: it is read as a file name "
                         "and as an option");
      }
      continue;
    }
    if (option_takes_value(argument)) {
      if (i + 1 < count && strcasecmp(argument, "-preview") == 0 && !is_number(table.at(i + 1))) {
        findings.add(Severity::Warning, kCommandLine, position + 1, 0, "argument",
                     "\"-preview\" reads the next argument, \"" + Text(table.at(i + 1)) +
                         "\", as its row count: it is no number, so 0 rows are kept");
      }
      ++i;  // the value is consumed
      continue;
    }
    if (is_option_word(argument)) {
      continue;
    }
    Text message = "ruvo ignores the argument \"" + Text(argument) + "\"";
    if (argument[0] == '-') {
      const Text like = nearest_option(argument);
      message += like.empty() ? Text(": it is no option ruvo knows (-c, -preview, -xml, -text, -h)")
                              : ": it is no option; did you mean \"" + like + "\"?";
    } else {
      message += ": only the first three arguments are files";
    }
    findings.add(Severity::Warning, kCommandLine, position, 0, "argument", message);
  }
}

void check_encoding(Findings& findings, const char* path) {
  FilePtr file(std::fopen(path, "rb"));
  if (!file) {
    return;
  }
  Text bytes;
  char block[65536];
  for (std::size_t got; (got = std::fread(block, 1, sizeof block, file.get())) > 0;) {
    bytes.append(block, got);
  }
  const std::string_view text = bytes;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") {
    findings.add(Severity::Warning, path, 1, 1, "encoding",
                 "the file starts with a UTF-8 byte-order mark: ruvo reads Latin-1, and the "
                 "mark's three bytes stay in the first line; save the file as Latin-1 "
                 "(iconv -f UTF-8 -t LATIN1)");
  } else if (const std::size_t at = utf8_evidence(text); at != std::string_view::npos) {
    const auto [line, column] = line_and_column(text, at);
    findings.add(Severity::Warning, path, line, column, "encoding",
                 "the file is UTF-8 text, but ruvo reads it as Latin-1: each accented letter is "
                 "two characters to it, and names with accents find nothing; convert it with "
                 "iconv -f UTF-8 -t LATIN1");
  }
  std::size_t crlf = 0;
  std::size_t lf = 0;
  std::size_t first_crlf = 0;
  std::size_t first_lf = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n') {
      continue;
    }
    if (i > 0 && text[i - 1] == '\r') {
      first_crlf = crlf++ == 0 ? i : first_crlf;
    } else {
      first_lf = lf++ == 0 ? i : first_lf;
    }
  }
  if (crlf > 0 && lf > 0) {
    const std::size_t at = crlf < lf ? first_crlf : first_lf;
    findings.add(Severity::Warning, path, line_and_column(text, at).first, 0, "line-ends",
                 "the file mixes line ends (" + number(crlf) + " CR LF, " + number(lf) +
                     " LF): ruvo writes every line with LF; this is the first line of the rarer "
                     "kind");
  }
}

}  // namespace ruvo::check
