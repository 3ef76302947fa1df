// ruvo-check: explains the run ruvo would make with the same command line, from that very run,
// without writing the output or the run log.
//
//   ruvo-check [--list] [--json] XML TEMPLATE OUTPUT [ruvo's options]
//
// It reads the arguments with ruvo's option table, prepares and fills the conversion through
// the converter's own phases (driver/conversion.h) with its observer and no output, and
// explains what they report. Exit status (driver/exit_codes.h): nothing found; a warning or an
// error found; the check could not run (bad arguments, an input that cannot be read).
#pragma once

#include <cstdio>

namespace ruvo::check {

int run_check(int argc, const char* const* argv, std::FILE* out);

}  // namespace ruvo::check
