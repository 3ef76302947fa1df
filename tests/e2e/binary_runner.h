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

struct RunOptions {
  std::vector<std::string> extra_environment;  // NAME=value entries added to the environment
  bool as_unprivileged_user = false;           // when run as root: run as nobody
  long file_size_limit = 0;                    // bytes a written file may reach; 0: no limit
  std::string binary;                          // the program to run; empty: the built ruvo
};

// Whether the unprivileged user (nobody) may run `binary` and enter every one of `folders`,
// asked as that user. A clone in a private folder (a home of mode 700) is out of its reach.
bool unprivileged_user_can_use(const std::string& binary, const std::vector<std::string>& folders);

// The environment variable RUVO_TEST_WRAPPER, when set, names a command (with arguments split at
// blanks) that the binary is run under, such as valgrind.
BinaryResult run_binary(const std::string& working_dir, const std::vector<std::string>& arguments,
                        const RunOptions& options);
BinaryResult run_binary(const std::string& working_dir, const std::vector<std::string>& arguments,
                        const std::vector<std::string>& extra_environment = {});

}  // namespace ruvo::test
