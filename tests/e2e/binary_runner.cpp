#include "e2e/binary_runner.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <sstream>

#include "support/test_support.h"

extern char** environ;

namespace ruvo::test {

namespace {

constexpr uid_t kNobody = 65534;

std::vector<char*> pointers_to(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& s : strings) {
    pointers.push_back(s.data());
  }
  pointers.push_back(nullptr);
  return pointers;
}

// Drops root's user, group and supplementary groups for nobody's.
bool become_unprivileged() {
  return setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0;
}

}  // namespace

bool unprivileged_user_can_use(const std::string& binary, const std::vector<std::string>& folders) {
  const pid_t child = fork();
  if (child == 0) {
    if (!become_unprivileged() || access(binary.c_str(), R_OK | X_OK) != 0) {
      _exit(1);
    }
    for (const std::string& folder : folders) {
      if (access(folder.c_str(), X_OK) != 0) {
        _exit(1);
      }
    }
    _exit(0);
  }
  int status = 0;
  return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

BinaryResult run_binary(const std::string& working_dir, const std::vector<std::string>& arguments,
                        const std::vector<std::string>& extra_environment) {
  RunOptions options;
  options.extra_environment = extra_environment;
  return run_binary(working_dir, arguments, options);
}

BinaryResult run_binary(const std::string& working_dir, const std::vector<std::string>& arguments,
                        const RunOptions& options) {
  TempDir capture;
  const std::string out_path = capture.file("stdout");
  const std::string err_path = capture.file("stderr");

  std::vector<std::string> command;
  if (const char* wrapper = std::getenv("RUVO_TEST_WRAPPER")) {
    std::istringstream words(wrapper);
    for (std::string word; words >> word;) {
      command.push_back(word);
    }
  }
  command.push_back(options.binary.empty() ? std::string(RUVO_BINARY) : options.binary);
  command.insert(command.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv = pointers_to(command);

  std::vector<std::string> environment;
  for (char** e = environ; *e != nullptr; ++e) {
    environment.emplace_back(*e);
  }
  environment.insert(environment.end(), options.extra_environment.begin(),
                     options.extra_environment.end());
  std::vector<char*> envp = pointers_to(environment);

  const pid_t child = fork();
  if (child == 0) {
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
        chdir(working_dir.c_str()) != 0) {
      _exit(127);
    }
    if (options.file_size_limit > 0) {
      // Standard output and error are already open and not limited by what they hold so far.
      std::signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{static_cast<rlim_t>(options.file_size_limit),
                         static_cast<rlim_t>(options.file_size_limit)};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (options.as_unprivileged_user && geteuid() == 0 && !become_unprivileged()) {
      _exit(127);
    }
    if (command.front().find('/') == std::string::npos) {
      execvpe(argv[0], argv.data(), envp.data());
    } else {
      execve(argv[0], argv.data(), envp.data());
    }
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
