// The run in-process, through the one-string entry point and the argument-list entry point.
#include "driver/run.h"

#include "driver/exit_codes.h"
#include "support/test_support.h"

namespace ruvo {
namespace {

using test::read_file;
using test::write_file;

class InProcessRunTest : public test::CleanStateTest {
 protected:
  void SetUp() override {
    test::CleanStateTest::SetUp();
    write_file(dir_.file("in put.xml"), "<Comprobante xmlns=\"urn:f\" total=\"1\"/>");
    write_file(dir_.file("tpl.txt"), "a\nb\n");
    write_file(dir_.file("Ruvo.cfg"), "");
  }

  test::TempDir dir_;
  test::ScopedCurrentDir cwd_{dir_.path()};
};

TEST_F(InProcessRunTest, OneStringEntryUnquotesAndRunsLikeTheArgumentList) {
  EXPECT_EQ(run_command_line("\"in put.xml\" 'tpl.txt' out.txt -xml -preview 3"), kExitSuccess);
  EXPECT_EQ(read_file(dir_.file("out.txt")), "a\nb");
  // A run's settings and log are its own locals (nothing is left in process state for the next
  // but the document, left to the process's end, which the next run releases).
  EXPECT_NE(g_process.left.object, nullptr);
  const char* argv[] = {"in put.xml", "tpl.txt", "out2.txt"};
  EXPECT_EQ(run_arguments(3, argv), kExitSuccess);
  EXPECT_EQ(read_file(dir_.file("out2.txt")), "a\nb");
  EXPECT_NE(g_process.left.object, nullptr);
}

TEST_F(InProcessRunTest, FailedRunReportsARealLeakCountOfZero) {
  EXPECT_EQ(run_command_line("\"in put.xml\" missing.txt out.txt -c Ruvo.cfg"), kExitUnusableInput);
  const std::vector<std::string> lines = test::masked_log_lines(read_file(dir_.file("Ruvo.log")));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[2], "TS:INFO. Conteo de Memoria Total memoria final:: 0");
  EXPECT_EQ(g_process.left.object, nullptr) << "only a run that succeeded leaves its document";
}

TEST_F(InProcessRunTest, NoMemoryForTheArgumentTableEndsTheRunQuietly) {
  testing::internal::CaptureStdout();
  test::RefuseAllocation refuse(3);  // after the two section lists
  EXPECT_EQ(run_command_line("\"in put.xml\" tpl.txt out.txt"), kExitUnusableInvocation);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_FALSE(test::file_exists(dir_.file("Ruvo.log")));
  // The refused request stays in the count; nothing else does.
  EXPECT_EQ(mem_in_use(), static_cast<std::int64_t>(20 * sizeof(char*)));
}

TEST_F(InProcessRunTest, NoMemoryForOneSlotGivesBackTheOthers) {
  test::RefuseAllocation refuse(7);
  EXPECT_EQ(run_command_line("\"in put.xml\" tpl.txt out.txt"), kExitUnusableInvocation);
  EXPECT_EQ(mem_in_use(), 260);
}

}  // namespace
}  // namespace ruvo
