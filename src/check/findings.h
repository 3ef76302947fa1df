// What ruvo-check found, and how it is shown: one line per finding in the form compilers use,
// "FILE:LINE:COLUMN: severity: message", so that editors and CI jump to the place; or one JSON
// object per line for tools.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "text/text_codec.h"
#include "text/tracked_memory.h"

namespace ruvo::check {

using Text = std::basic_string<char, std::char_traits<char>, TrackedAllocator<char>>;
template <class T>
using List = std::vector<T, TrackedAllocator<T>>;

// error: ruvo's run would fail or could not be made; warning: the run succeeds but something
// needs attention; note: details and, with --list, the values.
enum class Severity { Note, Warning, Error };

// A change that mends a finding, offered only where ruvo-check made sure it does.
enum class FixKind {
  None,
  Replace,    // the placeholder at the finding's place becomes the fix's text
  Argument,   // the argument at fix_argument becomes the fix's text (added, one past the last)
  Command,    // a shell command, run in the folder of the call
  Arguments,  // the call's arguments become the fix's text (words as a shell splits them)
};

struct Finding {
  Text file;
  std::size_t line = 0;    // from 1; 0 for the file as a whole
  std::size_t column = 0;  // bytes from 1; 0 for the whole line
  Severity severity = Severity::Note;
  Text kind;        // the placeholder's kind, or the trap's name
  Text expression;  // what was evaluated, when anything was
  Text value;       // the value placed, as the output has it, with --list
  Text message;
  FixKind fix_kind = FixKind::None;
  Text fix;
  std::size_t fix_argument = 0;  // from 1, for an Argument fix
  int status = -1;  // the exit status ruvo's run ends with because of this; -1 when it does not
};

class Findings {
 public:
  Finding& add(Severity severity, std::string_view file, std::size_t line, std::size_t column,
               std::string_view kind, std::string_view message);
  const List<Finding>& all() const { return findings_; }
  List<Finding>& all_mutable() { return findings_; }
  std::size_t count(Severity severity) const;
  // Files in the order they were first named, each from its first line to its last; findings
  // at one place keep their order, and one said twice at one place is kept once.
  void sort_by_place();

 private:
  List<Finding> findings_;
};

// Every finding in order, then (not in JSON) the summary line. Texts are in the run's encoding,
// and shown as UTF-8.
// "error", "warning" or "note", as the findings print it.
const char* severity_name(Severity severity);

void print_findings(std::FILE* out, const Findings& findings, bool json, std::string_view summary,
                    const TextCodec& codec);

// A count as text.
Text number(std::size_t n);

// The text between open and close: "\"" + text + "\"" built without a temporary (GCC 12's -O3
// takes a one-byte literal before a string for an overlapping copy).
Text enclosed(std::string_view open, std::string_view text, std::string_view close);

// Text in the encoding as UTF-8, for the terminal and for JSON; bytes that are no text in it are
// taken for Latin-1.
Text as_utf8(const TextCodec& codec, std::string_view text);

// Whether thousands separators keep what the Latin-1 value says: a plain number (digits with at
// most one '.', an optional sign and one of $ £ ¥), which grouping only makes easier to read.
// "€ 12,50" would become "1,250".
bool is_plain_number(std::string_view value);

// What grouping did to a value that is no plain number, as a message's end.
Text grouping_changes(std::string_view before, std::string_view after);

// The characters of the UTF-8 text that the encoding cannot hold, each once, by code point:
// "U+017C, U+015A"; a malformed byte as "byte 0xC3".
Text characters_lost(std::string_view utf8, const TextCodec& codec);

}  // namespace ruvo::check
