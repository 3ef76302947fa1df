#include "check/inputs.h"

#include <dirent.h>

#include <cstdio>
#include <memory>
#include <utility>

#include "check/document_probe.h"
#include "text/file_handle.h"

namespace ruvo::check {

namespace {

constexpr std::string_view kCommandLine = "command-line";

Text nearest_option(std::string_view word) {
  for (const OptionSpec& option : kOptions) {
    const std::string_view known = option.word;
    if (equal_ignoring_case(known, word) || edit_distance(known, word, 2) <= 2) {
      return Text(known);
    }
  }
  return Text();
}

Text known_options() {
  Text words;
  for (const OptionSpec& option : kOptions) {
    words += (words.empty() ? "" : ", ") + Text(option.word);
  }
  return words;
}

// What an option's value being an option too makes of the run.
Text value_also_option(const OptionSpec& taker, const char* value, const OptionSpec& option) {
  Text taken = taker.effect == OptionEffect::Configuration
                   ? "the configuration is read from the file \"" + Text(value) + "\""
                   : enclosed("\"", value, "\"") + " is read as its row count (0 rows)";
  const Text applied = option.effect == OptionEffect::XmlMode    ? "Xml mode is on"
                       : option.effect == OptionEffect::TextMode ? "Text mode is on"
                       : option.effect == OptionEffect::Help     ? "ruvo prints its help and stops"
                                                                 : "it applies too";
  return enclosed("\"", taker.word, "\"") + " takes the next argument, \"" + Text(value) +
         "\", as its value, and ruvo still reads that argument as the option " + Text(option.word) +
         ": " + taken + ", and " + applied;
}

void ignored_argument(Findings& findings, const char* argument, std::size_t position) {
  Text message = "ruvo ignores the argument \"" + Text(argument) + "\"";
  Text like;
  if (argument[0] == '-') {
    like = nearest_option(argument);
    message += like.empty() ? ": it is no option ruvo knows (" + known_options() + ")"
                            : ": it is no option; did you mean \"" + like + "\"?";
  } else {
    message += ": only the first three arguments are files";
  }
  Finding& finding =
      findings.add(Severity::Warning, kCommandLine, position, 0, "argument", message);
  if (!like.empty()) {
    finding.fix_kind = FixKind::Argument;
    finding.fix_argument = position;
    finding.fix = like;
  }
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
  const OptionSpec* taker = nullptr;  // the option before, when it takes a value
  for (int i = 0; i < count; ++i) {
    const char* argument = table.at(i);
    const std::size_t position = static_cast<std::size_t>(i) + 1;
    const OptionSpec* option = find_option(argument);
    const OptionSpec* previous = std::exchange(taker, nullptr);
    if (i < 3 && option != nullptr) {
      findings.add(Severity::Warning, kCommandLine, position, 0, "argument",
                   "argument " + number(position) + " is the option \"" + Text(argument) +
                       "\", but the first three arguments are the XML input, "
                       "the template and the output, in that order: it is read as a file name "
                       "and as an option");
    }
    if (option == nullptr) {
      if (i >= 3 && previous == nullptr) {
        ignored_argument(findings, argument, position);
      }
      continue;
    }
    if (previous != nullptr) {
      findings.add(Severity::Warning, kCommandLine, position, 0, "argument",
                   value_also_option(*previous, argument, *option));
    }
    if (!option->takes_value) {
      continue;
    }
    taker = option;
    const bool has_next = i + 1 < count;
    if (!has_next && option->effect == OptionEffect::Configuration) {
      findings.add(Severity::Warning, kCommandLine, position, 0, "argument",
                   enclosed("\"", argument, "\"") +
                       " is the last argument, so it names no file: the configuration is "
                       "read from " +
                       Text(kDefaultConfigPath));
    }
    if (!has_next && option->effect == OptionEffect::Encoding) {
      findings.add(Severity::Warning, kCommandLine, position, 0, "argument",
                   enclosed("\"", argument, "\"") +
                       " is the last argument, so it names no encoding: the run reads and "
                       "writes ISO-8859-1");
    }
    if (has_next && option->effect == OptionEffect::Preview && !is_number(table.at(i + 1)) &&
        !is_option_word(table.at(i + 1))) {
      findings.add(Severity::Warning, kCommandLine, position + 1, 0, "argument",
                   enclosed("\"", argument, "\"") + " reads the next argument, \"" +
                       Text(table.at(i + 1)) +
                       "\", as its row count: it is no number, so 0 rows are kept");
    }
  }
}

namespace {

// A file that mixes CR LF and LF line ends, with the command that makes them all LF.
void check_line_ends(Findings& findings, const char* path, std::string_view text,
                     const Text& quoted) {
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
    const std::size_t line = line_and_column(text, crlf < lf ? first_crlf : first_lf).first;
    const Text to_lf = "sed -i 's/\\r$//' " + quoted;
    Finding& mixed = findings.add(
        Severity::Warning, path, line, 0, "line-ends",
        "the file mixes line ends (" + number(crlf) + " CR LF, " + number(lf) +
            " LF): ruvo writes every line with LF; this is the first line of the rarer kind; "
            "make them all LF: " +
            to_lf);
    mixed.fix_kind = FixKind::Command;
    mixed.fix = to_lf;
  }
}

}  // namespace

void check_encoding(Findings& findings, const char* path, std::string_view role,
                    const TextCodec& codec, int argument_count) {
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
  const Text quoted = shell_path(path);
  // glibc's iconv drops the mark and writes what Latin-1 cannot hold as its nearest text.
  const Text converted = shell_path(Text(path) + ".latin1");
  const Text to_latin1 = "iconv -f UTF-8 -t LATIN1//TRANSLIT " + quoted + " > " + converted +
                         " && mv " + converted + " " + quoted;
  // A file read in another encoding is text in it: the run has checked that already.
  const bool mark = codec.is_latin1() && text.substr(0, 3) == "\xEF\xBB\xBF";
  const std::string_view after_mark = mark ? text.substr(3) : text;
  const std::size_t at = codec.is_latin1() ? utf8_evidence(after_mark) : std::string_view::npos;
  const Text lost = at != std::string_view::npos ? characters_lost(after_mark, codec) : Text();
  const Text losses = lost.empty() ? Text()
                                   : " (Latin-1 cannot hold " + lost +
                                         ", which the command writes as the nearest Latin-1 text)";
  const Text advice = "; this looks like a UTF-8 " + Text(role) +
                      "; run with -encoding UTF-8 (the output is then UTF-8 too), or convert it "
                      "to Latin-1: " +
                      to_latin1 + losses;
  Finding* finding = nullptr;
  if (mark) {
    finding = &findings.add(Severity::Warning, path, 1, 1, "encoding",
                            "the file starts with a UTF-8 byte-order mark: ruvo reads Latin-1, "
                            "and the mark's three bytes stay in the first line" +
                                advice);
  } else if (at != std::string_view::npos) {
    const auto [line, column] = line_and_column(text, at);
    finding = &findings.add(Severity::Warning, path, line, column, "encoding",
                            "the file is UTF-8 text, but ruvo reads it as Latin-1: each accented "
                            "letter is two characters to it, and names with accents find "
                            "nothing" +
                                advice);
  }
  if (finding != nullptr) {
    finding->fix_kind = FixKind::Argument;
    finding->fix_argument = static_cast<std::size_t>(argument_count) + 1;
    finding->fix = "-encoding UTF-8";
  }
  check_line_ends(findings, path, text, quoted);
}

Text file_like(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  const std::string_view folder = slash == std::string_view::npos ? std::string_view(".")
                                  : slash == 0                    ? std::string_view("/")
                                                                  : path.substr(0, slash);
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const Text folder_name(folder);
  std::unique_ptr<DIR, int (*)(DIR*)> entries(opendir(folder_name.c_str()), closedir);
  if (!entries || name.empty()) {
    return Text();
  }
  Text best;
  std::size_t best_distance = 3;
  for (const dirent* entry = readdir(entries.get()); entry != nullptr;
       entry = readdir(entries.get())) {
    const std::string_view candidate = entry->d_name;
    if (candidate == name || candidate == "." || candidate == "..") {
      continue;
    }
    const std::size_t distance =
        equal_ignoring_case(candidate, name) ? 0 : edit_distance(candidate, name, 2);
    if (distance < best_distance) {
      best = Text(candidate);
      best_distance = distance;
    }
  }
  if (best.empty() || slash == std::string_view::npos) {
    return best;
  }
  return Text(path.substr(0, slash + 1)) + best;
}

namespace {

Text shell_word(std::string_view word) {
  constexpr std::string_view kSafe =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._/-+,=@%:";
  if (!word.empty() && word.find_first_not_of(kSafe) == std::string_view::npos) {
    return Text(word);
  }
  Text quoted = "'";
  for (const char c : word) {
    quoted += c == '\'' ? Text("'\\''") : Text(1, c);
  }
  return quoted + "'";
}

}  // namespace

Text shell_path(std::string_view path) {
  return shell_word(!path.empty() && path.front() == '-' ? "./" + Text(path) : Text(path));
}

Text arguments_swapped(const ArgTable& table, int count, int a, int b) {
  Text words;
  for (int position = 1; position <= count; ++position) {
    const int from = position == a ? b : position == b ? a : position;
    if (!words.empty()) {
      words += ' ';
    }
    words += shell_word(table.at(from - 1));
  }
  return words;
}

}  // namespace ruvo::check
