// ruvo-batch: converts many documents with one template and configuration, loaded once, in one
// process. Every document gets exactly what a ruvo run on it would give: the same output bytes,
// the same run log lines and the same exit status.
//
//   ruvo-batch [-c CONFIG] [-xml|-text] [-preview N] TEMPLATE OUTPUT_DIR FILE...
//
// For DIR/NAME.xml (the extension in any case) it writes OUTPUT_DIR/NAME.txt, the run log lines
// of that document to OUTPUT_DIR/logs/NAME.log (only when there are any), and a status line,
// the file's name, a tab and the exit status, on standard output and in OUTPUT_DIR/status.tsv.
// A second document of an already used NAME is "not-started". Exit status: 0 when every
// document converted, 1 when any did not, 2 on a usage error.
#pragma once

#include <cstdio>

namespace ruvo::batch {

inline constexpr int kBatchConverted = 0;
inline constexpr int kBatchSomeFailed = 1;
inline constexpr int kBatchUsage = 2;

int run_batch(int argc, const char* const* argv, std::FILE* out, std::FILE* err);

}  // namespace ruvo::batch
