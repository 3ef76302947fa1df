// ruvo-batch: many documents, one process. All of it is in the library (batch/batch_run.h).
#include <cstdio>

#include "batch/batch_run.h"

int main(int argc, char** argv) {
  return ruvo::batch::run_batch(argc - 1, argv + 1, stdout, stderr);
}
