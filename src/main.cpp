#include "driver/run.h"

// The platform hands the arguments over already split; the run takes them as they are.
int main(int argc, char** argv) {
  return ruvo::run_arguments(argc - 1, argv + 1);
}
