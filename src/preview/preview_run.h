// ruvo-preview: draws the run ruvo would make with the same command line as one HTML page,
// from that very run (check/explained_run.h), without writing the output or the run log.
//
//   ruvo-preview [--all] [-o PAGE] XML TEMPLATE OUTPUT [ruvo's options]
//
// The page goes to standard output, or replaces PAGE whole (written beside it and renamed). The
// exit status is the one ruvo's run would end with; 2 for ruvo-preview's own usage errors and a
// page that cannot be written.
#pragma once

#include <cstdio>

namespace ruvo::preview {

int run_preview(int argc, const char* const* argv, std::FILE* out, std::FILE* err);

}  // namespace ruvo::preview
