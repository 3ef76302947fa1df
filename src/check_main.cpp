// ruvo-check: explains a ruvo call. All of it is in the library (check/check_run.h).
#include <cstdio>
#include <new>

#include "check/check_run.h"

int main(int argc, char** argv) {
  try {
    return ruvo::check::run_check(argc - 1, argv + 1, stdout);
  } catch (const std::bad_alloc&) {
    std::fputs("ruvo-check: error: out of memory\n", stdout);
    return ruvo::check::kCheckCannotRun;
  }
}
