// ruvo-batch's output folder is its own: what stands in it cannot send a file elsewhere, and a
// batch that is killed leaves the statuses of the outputs it put in place.
#include "batch/batch_run.h"

#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "driver/exit_codes.h"
#include "support/test_support.h"

namespace ruvo::batch {
namespace {

using test::read_file;
using test::write_file;

class BatchRunTest : public test::XmlTest {
 protected:
  void SetUp() override {
    test::XmlTest::SetUp();
    write_file(dir_.file("Ruvo.cfg"), "");
    write_file(dir_.file("template.txt"), "<r>ok</r>");
    std::filesystem::create_directories(dir_.file("out/logs"));
    std::filesystem::create_directories(dir_.file("elsewhere"));
  }

  int run(const std::vector<std::string>& documents, std::FILE* err = nullptr) {
    std::vector<std::string> words = {"-c", dir_.file("Ruvo.cfg"), dir_.file("template.txt"),
                                      dir_.file("out")};
    words.insert(words.end(), documents.begin(), documents.end());
    std::vector<const char*> argv;
    for (const std::string& word : words) {
      argv.push_back(word.c_str());
    }
    const FilePtr out(std::tmpfile());
    const FilePtr no_terminal(std::tmpfile());
    return run_batch(static_cast<int>(argv.size()), argv.data(), out.get(),
                     err != nullptr ? err : no_terminal.get());
  }

  void plant_link(const std::string& name, const std::string& victim) {
    write_file(dir_.file(victim), "not the batch's");
    ASSERT_EQ(symlink(dir_.file(victim).c_str(), dir_.file(name).c_str()), 0);
  }

  bool is_link(const std::string& name) const {
    return std::filesystem::is_symlink(dir_.file(name));
  }

  test::TempDir dir_;
};

TEST_F(BatchRunTest, LinksPlantedInTheOutputFolderAreReplacedNotWrittenThrough) {
  write_file(dir_.file("a.xml"), "<a/>");
  write_file(dir_.file("b.xml"), "<b>");  // malformed: it logs
  plant_link("out/a.txt", "elsewhere/output");
  plant_link("out/logs/b.log", "elsewhere/log");
  plant_link("out/status.tsv", "elsewhere/status");

  EXPECT_EQ(run({dir_.file("a.xml"), dir_.file("b.xml")}), kBatchSomeFailed);
  for (const char* victim : {"elsewhere/output", "elsewhere/log", "elsewhere/status"}) {
    EXPECT_EQ(read_file(dir_.file(victim)), "not the batch's") << victim;
  }
  EXPECT_FALSE(is_link("out/a.txt") || is_link("out/logs/b.log") || is_link("out/status.tsv"));
  EXPECT_EQ(read_file(dir_.file("out/a.txt")), "<r>ok</r>");
  EXPECT_NE(read_file(dir_.file("out/logs/b.log")).find("ERROR"), std::string::npos);
  EXPECT_EQ(read_file(dir_.file("out/status.tsv")), "a.xml\t0\nb.xml\t252\n");
}

TEST_F(BatchRunTest, ALogsFolderThatIsALinkIsRefusedBeforeAnyDocument) {
  write_file(dir_.file("b.xml"), "<b>");
  std::filesystem::remove(dir_.file("out/logs"));
  ASSERT_EQ(symlink(dir_.file("elsewhere").c_str(), dir_.file("out/logs").c_str()), 0);
  EXPECT_EQ(run({dir_.file("b.xml")}), kBatchUsage);
  EXPECT_TRUE(std::filesystem::is_empty(dir_.file("elsewhere")));
  EXPECT_FALSE(std::filesystem::exists(dir_.file("out/b.txt")));
}

// The 41st document is a pipe nobody writes to: the batch waits on it forever, after its first
// group of 32 is complete, and is killed there.
TEST_F(BatchRunTest, AKilledBatchLeavesTheStatusesOfTheOutputsItPutInPlace) {
  std::vector<std::string> documents;
  for (int i = 0; i < 48; ++i) {
    documents.push_back(dir_.file("d" + std::to_string(100 + i) + ".xml"));
    if (i == 40) {
      ASSERT_EQ(mkfifo(documents.back().c_str(), 0600), 0);
    } else {
      write_file(documents.back(), "<d/>");
    }
  }
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    _exit(run(documents));
  }
  std::string statuses;
  for (int wait = 0; wait < 1000 && statuses.size() < 32 * 11; ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    statuses = read_file(dir_.file("out/status.tsv"));
  }
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);

  std::string expected;
  for (int i = 0; i < 32; ++i) {
    expected += "d" + std::to_string(100 + i) + ".xml\t0\n";
    EXPECT_EQ(read_file(dir_.file("out/d" + std::to_string(100 + i) + ".txt")), "<r>ok</r>");
  }
  EXPECT_EQ(read_file(dir_.file("out/status.tsv")), expected);
}

// On a terminal the batch keeps one line of how far it is, and clears it at the end.
TEST_F(BatchRunTest, ATerminalShowsHowFarTheBatchIs) {
  int terminal = -1;
  int side = -1;
  ASSERT_EQ(openpty(&terminal, &side, nullptr, nullptr, nullptr), 0);
  const FilePtr err(fdopen(side, "w"));
  write_file(dir_.file("a.xml"), "<a/>");
  write_file(dir_.file("b.xml"), "<b>");
  EXPECT_EQ(run({dir_.file("a.xml"), dir_.file("b.xml")}, err.get()), kBatchSomeFailed);
  char shown[512] = {};
  const ssize_t length = read(terminal, shown, sizeof shown - 1);
  close(terminal);
  ASSERT_GT(length, 0);
  const std::string text(shown, static_cast<std::size_t>(length));
  EXPECT_NE(text.find("\rruvo-batch: 2/2 documents, 1 failed, "), std::string::npos) << text;
  EXPECT_EQ(text.substr(text.size() - 4), "\r\033[K");
}

}  // namespace
}  // namespace ruvo::batch
