// ruvo-batch: many documents, one process. All of it is in the library (batch/batch_run.h).
#include <cstdio>

#include "batch/batch_run.h"
#include "xml/parser_memory.h"

int main(int argc, char** argv) {
  ruvo::reuse_parser_blocks();  // before libxml2 takes its first block
  return ruvo::batch::run_batch(argc - 1, argv + 1, stdout, stderr);
}
