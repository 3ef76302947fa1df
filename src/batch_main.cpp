// ruvo-batch: many documents, one process. All of it is in the library (batch/batch_run.h).
#include <cstdio>
#include <new>

#include "batch/batch_run.h"

int main(int argc, char** argv) {
  try {
    return ruvo::batch::run_batch(argc - 1, argv + 1, stdout, stderr);
  } catch (const std::bad_alloc&) {
    std::fputs("ruvo-batch: out of memory\n", stderr);
    return ruvo::batch::kBatchSomeFailed;
  }
}
