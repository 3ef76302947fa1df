#pragma once

namespace ruvo {

inline constexpr const char* kVersion = "1.3.0.1";

// Writes the help text to standard output, Latin-1 bytes as they are.
void print_help();

}  // namespace ruvo
