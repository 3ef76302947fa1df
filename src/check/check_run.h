// ruvo-check: explains the run ruvo would make with the same command line, from that very run,
// without writing the output or the run log.
//
//   ruvo-check [--list] [--json] XML TEMPLATE OUTPUT [ruvo's options]
//
// Exit status: 0 when nothing was found, 1 when a warning or an error was, 2 when the check
// could not run (bad arguments, a file that cannot be read).
#pragma once

#include <cstdio>

namespace ruvo::check {

inline constexpr int kCheckClean = 0;
inline constexpr int kCheckFound = 1;
inline constexpr int kCheckCannotRun = 2;

int run_check(int argc, const char* const* argv, std::FILE* out);

}  // namespace ruvo::check
