#pragma once

namespace ruvo {

inline constexpr const char* kVersion = "1.3.0.1";

// The word that asks for the English usage instead of a run; it means nothing else to ruvo, and
// only a call too short to run (fewer than three arguments) reads it.
inline constexpr const char* kUsageWord = "--help";

// Writes the help text to standard output, Latin-1 bytes as they are.
void print_help();

// Writes the English usage to standard output: the command line, every option of the option
// table, and where to read more.
void print_usage();

class ArgTable;

// True when one of the stored arguments is kUsageWord (compared without regard to case).
bool asks_for_usage(const ArgTable& table, int count);

}  // namespace ruvo
