#include "e2e/binary_runner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "support/test_support.h"

extern char** environ;

namespace ruvo::test {

BinaryResult run_binary(const std::string& working_dir, const std::vector<std::string>& arguments,
                        const std::vector<std::string>& extra_environment) {
  TempDir capture;
  const std::string out_path = capture.file("stdout");
  const std::string err_path = capture.file("stderr");

  std::vector<char*> argv;
  std::string binary = RUVO_BINARY;
  argv.push_back(binary.data());
  std::vector<std::string> args = arguments;
  for (std::string& argument : args) {
    argv.push_back(argument.data());
  }
  argv.push_back(nullptr);

  std::vector<std::string> environment_strings;
  for (char** e = environ; *e != nullptr; ++e) {
    environment_strings.emplace_back(*e);
  }
  environment_strings.insert(environment_strings.end(), extra_environment.begin(),
                             extra_environment.end());
  std::vector<char*> envp;
  for (std::string& entry : environment_strings) {
    envp.push_back(entry.data());
  }
  envp.push_back(nullptr);

  const pid_t child = fork();
  if (child == 0) {
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
        chdir(working_dir.c_str()) != 0) {
      _exit(127);
    }
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  BinaryResult result;
  int status = 0;
  if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) {
    result.exit_status = WEXITSTATUS(status);
  }
  result.standard_output = read_file(out_path);
  result.standard_error = read_file(err_path);
  return result;
}

}  // namespace ruvo::test
