// Traps in how ruvo is called and in the bytes of its files.
#pragma once

#include <string_view>

#include "check/findings.h"
#include "driver/command_line.h"

namespace ruvo::check {

// Arguments that ruvo passes over without a word, or reads otherwise than a caller may mean, by
// the rules of the option table (driver/command_line.h): unknown options, positional arguments
// after the third, an option standing among the first three, an option's value that is an
// option too (both apply), a -preview count that is no number, -c with nothing after it.
void check_arguments(Findings& findings, const ArgTable& table, int count);

// A file that mixes line ends, with the command that mends it; in a run read as Latin-1, also
// one that is valid UTF-8 with non-ASCII bytes or starts with a byte-order mark (naming the
// characters Latin-1 cannot hold), with -encoding UTF-8 as the fix (added after the call's
// argument_count arguments). role names the file in the advice: "template", "configuration".
// Nothing when the file cannot be read.
void check_encoding(Findings& findings, const char* path, std::string_view role,
                    const TextCodec& codec, int argument_count);

// The name of a file in the folder of path whose name is near the file's name (another case,
// or up to two typed characters), as path would name it; empty when there is none.
Text file_like(std::string_view path);

// A file's path as a shell command's argument: quoted, and never read as an option (-x as ./-x).
Text shell_path(std::string_view path);

// The call's arguments as shell words, with the arguments at positions a and b (from 1)
// swapped: the arguments a fix would have the call give.
Text arguments_swapped(const ArgTable& table, int count, int a, int b);

}  // namespace ruvo::check
