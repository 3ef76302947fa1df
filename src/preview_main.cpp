// ruvo-preview: draws a ruvo call's output as an HTML page. All of it is in the library
// (preview/preview_run.h).
#include <cstdio>

#include "preview/preview_run.h"

int main(int argc, char** argv) {
  return ruvo::preview::run_preview(argc - 1, argv + 1, stdout, stderr);
}
