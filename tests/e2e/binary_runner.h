// Runs the built ruvo binary as a caller would: in its own working folder, with no standard
// input, its standard output and error captured.
#pragma once

#include <string>
#include <vector>

namespace ruvo::test {

struct BinaryResult {
  int exit_status = -1;  // what a POSIX caller sees (the low 8 bits)
  std::string standard_output;
  std::string standard_error;
};

BinaryResult run_binary(const std::string& working_dir, const std::vector<std::string>& arguments,
                        const std::vector<std::string>& extra_environment = {});

}  // namespace ruvo::test
