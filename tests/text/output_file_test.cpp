// The output file written during the run: what a streamed output holds at each step, and that
// an unfinished one leaves nothing behind.
#include "text/output_file.h"

#include <dirent.h>

#include "support/test_support.h"

namespace ruvo {
namespace {

using test::read_file;
using test::write_file;

class OutputFileTest : public test::CleanStateTest {
 protected:
  // The names in the test folder, temporary files included.
  std::vector<std::string> folder_names() const {
    std::vector<std::string> names;
    if (DIR* folder = opendir(dir_.path().c_str())) {
      while (const dirent* entry = readdir(folder)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
          names.push_back(name);
        }
      }
      closedir(folder);
    }
    return names;
  }

  test::TempDir dir_;
};

TEST_F(OutputFileTest, StreamedLinesReplaceTheOutputOnlyWhenFinished) {
  const std::string path = dir_.file("out.txt");
  write_file(path, "old");
  LineListPtr rest = test::make_list({"c", ""});
  {
    OutputFile output(path.c_str());
    ASSERT_TRUE(output.streams());
    output.put_line("a");
    output.put_line("");
    output.put_line(std::string("b\0b", 3));
    EXPECT_EQ(read_file(path), "old") << "nothing replaces the output before the end";
    EXPECT_EQ(folder_names().size(), 2u) << "the output and its temporary file";
    EXPECT_TRUE(output.finish(rest.get()));
  }
  EXPECT_EQ(read_file(path), std::string("a\n\nb\0b\nc\n", 9));
  EXPECT_EQ(folder_names(), std::vector<std::string>{"out.txt"});
}

TEST_F(OutputFileTest, AnUnfinishedOutputLeavesTheOldOneAndNoTemporaryFile) {
  const std::string path = dir_.file("out.txt");
  write_file(path, "old");
  {
    OutputFile output(path.c_str());
    output.put_line(std::string(200000, 'x'));
  }
  EXPECT_EQ(read_file(path), "old");
  EXPECT_EQ(folder_names(), std::vector<std::string>{"out.txt"});

  // A new output that is never finished is never made.
  { OutputFile output(dir_.file("new.txt").c_str()); }
  EXPECT_FALSE(test::file_exists(dir_.file("new.txt")));
}

TEST_F(OutputFileTest, DevicesAreHeldAndWrittenAtTheEnd) {
  LineListPtr lines = test::make_list({"a", "b"});
  OutputFile null_device("/dev/null");
  EXPECT_FALSE(null_device.streams());
  EXPECT_TRUE(null_device.finish(lines.get()));
  OutputFile full_device("/dev/full");
  EXPECT_FALSE(full_device.finish(lines.get()));
  OutputFile nowhere(dir_.file("no/folder/out.txt").c_str());
  EXPECT_FALSE(nowhere.streams());
  EXPECT_FALSE(nowhere.finish(lines.get()));
}

TEST_F(OutputFileTest, SpillingWritesTheLinesBeforeTheCursorAndKeepsTheRest) {
  const std::string path = dir_.file("out.txt");
  LineListPtr list = test::make_list({"1", "2", "3", "4"});
  line_list_rewind(list.get());
  line_list_next(list.get());
  line_list_next(list.get());
  put_finished_lines(nullptr, list.get());
  EXPECT_EQ(test::lines_of(list.get()), (std::vector<std::string>{"1", "2", "3", "4"}))
      << "without an output the list keeps its lines";
  {
    OutputFile output(path.c_str());
    put_finished_lines(&output, list.get());
    EXPECT_EQ(test::lines_of(list.get()), (std::vector<std::string>{"3", "4"}));
    EXPECT_EQ(line_list_current(list.get())->view(), "3");
    EXPECT_EQ(line_list_current(list.get())->prev, nullptr);
    EXPECT_TRUE(output.finish(list.get()));
  }
  EXPECT_EQ(read_file(path), "1\n2\n3\n4");
}

}  // namespace
}  // namespace ruvo
