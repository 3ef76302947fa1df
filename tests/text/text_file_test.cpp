#include "text/text_file.h"

#include "support/test_support.h"

namespace ruvo {
namespace {

using test::lines_of;
using test::read_file;
using test::write_file;
using Lines = std::vector<std::string>;

class TextFileTest : public test::CleanStateTest {
 protected:
  Lines load(const std::string& bytes) {
    const std::string path = dir_.file("in.txt");
    write_file(path, bytes);
    LineListPtr list = line_list_load(path.c_str());
    EXPECT_TRUE(list);
    return list ? lines_of(list.get()) : Lines{"<none>"};
  }

  // Feeds the bytes to a splitter in chunks of the given sizes, then the final call.
  Lines split(const std::string& bytes, const std::vector<std::size_t>& chunks) {
    LineListPtr list = line_list_new();
    LineSplitter splitter{list.get(), TextBufferPtr()};
    std::size_t at = 0;
    for (std::size_t size : chunks) {
      line_splitter_feed(splitter, bytes.data() + at, size, false);
      at += size;
    }
    line_splitter_feed(splitter, nullptr, 0, true);
    return lines_of(list.get());
  }

  test::TempDir dir_;
};

TEST_F(TextFileTest, SplitsAtLfAndDropsOnlyTheCrBeforeIt) {
  EXPECT_EQ(load("a\n\nb"), (Lines{"a", "", "b"}));
  EXPECT_EQ(load("a\r\nb\r\n"), (Lines{"a", "b"}));
  EXPECT_EQ(load("x\r"), (Lines{"x\r"}));
  EXPECT_EQ(load("a\rb\n\r\n"), (Lines{"a\rb", ""}));
  EXPECT_EQ(load(""), Lines{});
  EXPECT_EQ(load(std::string("a\0b\n", 4)), Lines{std::string("a\0b", 3)})
      << "NUL kept in the line";
}

TEST_F(TextFileTest, LinesCrossChunkBoundaries) {
  // A CR LF pair split between two chunks is still one line end.
  EXPECT_EQ(split("ab\r\ncd", {3, 3}), (Lines{"ab", "cd"}));
  EXPECT_EQ(split("ab\r\ncd\n", {1, 1, 1, 1, 1, 1, 1}), (Lines{"ab", "cd"}));
  EXPECT_EQ(split("\n\n", {1, 1}), (Lines{"", ""}));

  // The same through a real load whose CR is the last byte of the first 64 KiB chunk.
  std::string big(kReadChunkSize - 1, 'a');
  big += "\r\nb";
  EXPECT_EQ(load(big), (Lines{std::string(kReadChunkSize - 1, 'a'), "b"}));

  // A line three chunks long without any LF.
  const std::string long_line(3 * kReadChunkSize, 'q');
  EXPECT_EQ(load(long_line), Lines{long_line});
}

TEST_F(TextFileTest, LoadFailsForMissingOrUnreadablePaths) {
  EXPECT_FALSE(line_list_load(dir_.file("missing.txt").c_str()));
  // A folder opens for reading on Linux but cannot be read: that is no empty file.
  EXPECT_FALSE(line_list_load(dir_.path().c_str()));
}

TEST_F(TextFileTest, WriteEndsEveryLineButTheLastAndSkipsAnEmptyLast) {
  const std::string path = dir_.file("out.txt");
  const auto round_trip = [&](const std::string& bytes) {
    write_file(dir_.file("in.txt"), bytes);
    LineListPtr list = line_list_load(dir_.file("in.txt").c_str());
    EXPECT_TRUE(line_list_write(list.get(), path.c_str()));
    return read_file(path);
  };
  EXPECT_EQ(round_trip("a\n"), "a");
  EXPECT_EQ(round_trip("a\n\n"), "a\n");
  EXPECT_EQ(round_trip("a\r\nb"), "a\nb");
  EXPECT_EQ(round_trip(""), "");
  EXPECT_EQ(round_trip("\n\nx"), "\n\nx");
}

TEST_F(TextFileTest, WriteReportsEveryFailure) {
  LineListPtr list = test::make_list({"a", "b"});
  EXPECT_FALSE(line_list_write(list.get(), dir_.file("no/such/folder/out.txt").c_str()));
  EXPECT_FALSE(line_list_write(list.get(), "/dev/full")) << "a full disk must not pass";
  EXPECT_FALSE(line_list_write(nullptr, dir_.file("x").c_str()));
}

}  // namespace
}  // namespace ruvo
