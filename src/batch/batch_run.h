// ruvo-batch: converts many documents with one template and configuration, loaded once, in one
// process. Every document gets exactly what a ruvo run on it would give: the same output bytes,
// the same run log lines and the same exit status.
//
//   ruvo-batch [ruvo's options] [-j JOBS] [-files0-from LIST] TEMPLATE OUTPUT_DIR FILE...
//
// For DIR/NAME.xml (the extension in any case) it writes OUTPUT_DIR/NAME.txt, the run log lines
// of that document to OUTPUT_DIR/logs/NAME.log (only when there are any), and a status line,
// the file's name, a tab and the exit status, on standard output and in OUTPUT_DIR/status.tsv.
// A second document of an already used NAME is "not-started". Exit status (driver/exit_codes.h):
// every document converted; any did not; a usage error, or a template or configuration file
// that cannot be read, when no document is converted.
#pragma once

#include <cstdio>

namespace ruvo::batch {

int run_batch(int argc, const char* const* argv, std::FILE* out, std::FILE* err);

}  // namespace ruvo::batch
