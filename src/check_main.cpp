// ruvo-check: explains a ruvo call. All of it is in the library (check/check_run.h).
#include <cstdio>

#include "check/check_run.h"

int main(int argc, char** argv) {
  return ruvo::check::run_check(argc - 1, argv + 1, stdout);
}
