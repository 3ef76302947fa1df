// ruvo-batch's output folder is its own: what stands in it cannot send a file elsewhere, and a
// batch that is killed leaves the statuses of the outputs it put in place.
#include "batch/batch_run.h"

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
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

  int run(const std::vector<std::string>& documents, std::FILE* err = nullptr,
          const char* option = nullptr, const char* value = nullptr) {
    std::vector<std::string> words = {"-c", dir_.file("Ruvo.cfg"), dir_.file("template.txt"),
                                      dir_.file("out")};
    if (value != nullptr) {
      words.insert(words.begin(), value);
    }
    if (option != nullptr) {
      words.insert(words.begin(), option);
    }
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

// A resumed batch converts what is missing or older than its sources, reports the rest with the
// status they had without touching them, and removes what a stopped batch left half-written.
TEST_F(BatchRunTest, AResumedBatchConvertsOnlyWhatWasLeft) {
  std::vector<std::string> documents;
  for (const char* name : {"a", "b", "c", "d"}) {
    documents.push_back(dir_.file(std::string(name) + ".xml"));
    write_file(documents.back(), name[0] == 'd' ? "<d>" : "<x/>");
  }
  ASSERT_EQ(run(documents), kBatchSomeFailed);
  // As if the batch had stopped: b's output never made it, c changed since, a stray
  // half-written output remains; a's output is marked to show whether it is written again.
  write_file(dir_.file("out/a.txt"), "kept");
  write_file(dir_.file("out/c.txt"), "stale");
  std::filesystem::remove(dir_.file("out/b.txt"));
  const auto later =
      std::filesystem::last_write_time(dir_.file("out/a.txt")) + std::chrono::seconds(5);
  std::filesystem::last_write_time(dir_.file("c.xml"), later);
  write_file(dir_.file("out/.ruvo-Ab12Cd"), "half");
  write_file(dir_.file("out/logs/.ruvo-Ef34Gh"), "half");
  write_file(dir_.file("out/.ruvo-batch.keep"), "not ours");

  EXPECT_EQ(run(documents, nullptr, "--resume"), kBatchSomeFailed);
  EXPECT_EQ(read_file(dir_.file("out/a.txt")), "kept");
  EXPECT_EQ(read_file(dir_.file("out/b.txt")), "<r>ok</r>");
  EXPECT_EQ(read_file(dir_.file("out/c.txt")), "<r>ok</r>");
  EXPECT_EQ(read_file(dir_.file("out/status.tsv")), "a.xml\t0\nb.xml\t0\nc.xml\t0\nd.xml\t252\n");
  EXPECT_FALSE(std::filesystem::exists(dir_.file("out/.ruvo-Ab12Cd")));
  EXPECT_FALSE(std::filesystem::exists(dir_.file("out/logs/.ruvo-Ef34Gh")));
  EXPECT_TRUE(std::filesystem::exists(dir_.file("out/.ruvo-batch.keep")));

  // While another batch runs in the folder (it holds the folder's lock), nothing is removed.
  write_file(dir_.file("out/.ruvo-Ij56Kl"), "another batch's");
  const Fd running(open(dir_.file("out/.ruvo-batch.lock").c_str(), O_RDWR));
  ASSERT_EQ(flock(running.get(), LOCK_SH), 0);
  EXPECT_EQ(run(documents, nullptr, "--resume"), kBatchSomeFailed);
  EXPECT_TRUE(std::filesystem::exists(dir_.file("out/.ruvo-Ij56Kl")));

  // Without --resume every document is converted again.
  EXPECT_EQ(run(documents), kBatchSomeFailed);
  EXPECT_EQ(read_file(dir_.file("out/a.txt")), "<r>ok</r>");
}

// Copies sent to another machine are read from its folder, but named as on the machine they
// came from, so that their logs and statuses read the same there.
TEST_F(BatchRunTest, DocumentsReadFromAnotherFolderKeepTheirNames) {
  std::filesystem::create_directories(dir_.file("copies"));
  write_file(dir_.file("copies/a.xml"), "<a/>");
  write_file(dir_.file("copies/b.xml"), "<b>");
  const std::string origin = "/on/the/sending/machine/";
  EXPECT_EQ(run({origin + "a.xml", origin + "b.xml"}, nullptr, "--read-from",
                dir_.file("copies").c_str()),
            kBatchSomeFailed);
  EXPECT_EQ(read_file(dir_.file("out/a.txt")), "<r>ok</r>");
  EXPECT_NE(read_file(dir_.file("out/logs/b.log")).find("in [" + origin + "b.xml]"),
            std::string::npos);
  EXPECT_EQ(read_file(dir_.file("out/status.tsv")), "a.xml\t0\nb.xml\t252\n");
}

// On a terminal the batch keeps one line of how far it is, and clears it at the end.
TEST_F(BatchRunTest, ATerminalShowsHowFarTheBatchIs) {
  int terminal = -1;
  int side = -1;
  ASSERT_EQ(openpty(&terminal, &side, nullptr, nullptr, nullptr), 0);
  FilePtr err(fdopen(side, "w"));
  write_file(dir_.file("a.xml"), "<a/>");
  write_file(dir_.file("b.xml"), "<b>");
  EXPECT_EQ(run({dir_.file("a.xml"), dir_.file("b.xml")}, err.get()), kBatchSomeFailed);
  // The terminal may hand its text over in pieces: with its other side closed, read until it
  // has nothing left (Linux then answers EIO).
  err.reset();
  std::string text;
  std::array<char, 256> piece{};
  for (ssize_t length = 0; (length = read(terminal, piece.data(), piece.size())) > 0;) {
    text.append(piece.data(), static_cast<std::size_t>(length));
  }
  close(terminal);
  ASSERT_GE(text.size(), 4U);
  EXPECT_NE(text.find("\rruvo-batch: 2/2 documents, 1 failed, "), std::string::npos) << text;
  EXPECT_EQ(text.substr(text.size() - 4), "\r\033[K");
}

}  // namespace
}  // namespace ruvo::batch
