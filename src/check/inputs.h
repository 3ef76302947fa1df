// Traps in how ruvo is called and in the bytes of its files, found before the run.
#pragma once

#include <string_view>

#include "check/findings.h"
#include "driver/command_line.h"

namespace ruvo::check {

// Arguments ruvo passes over without a word: unknown options, positional arguments after the
// third, an option standing among the first three, a -preview count that is no number.
void check_arguments(Findings& findings, const ArgTable& table, int count);

// A file that is valid UTF-8 with non-ASCII bytes, starts with a byte-order mark, or mixes
// line ends. Nothing when the file cannot be read.
void check_encoding(Findings& findings, const char* path);

}  // namespace ruvo::check
