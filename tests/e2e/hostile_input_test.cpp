// Bad input and failing I/O through the built binary: each ends with a clear exit status, and
// an output that existed is never left half-written or wrongly replaced.
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "e2e/binary_runner.h"
#include "support/test_support.h"

namespace ruvo {
namespace {

namespace fs = std::filesystem;
using test::file_exists;
using test::read_file;
using test::write_file;
using Lines = std::vector<std::string>;

constexpr const char* kPrevious = "previous output, byte for byte\n";

class HostileInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(dir_.file("in.xml"), "<r xmlns=\"urn:r\" v=\"1\"><e>texto</e></r>");
    write_file(dir_.file("tpl.txt"), "<<r:v>> <<e>>\n");
    write_file(dir_.file("Ruvo.cfg"), "");
  }

  int run(const Lines& arguments, const test::RunOptions& options = {}) {
    const test::BinaryResult result = test::run_binary(dir_.path().string(), arguments, options);
    EXPECT_EQ(result.standard_error, "");
    return result.exit_status;
  }

  // Entries of the folder other than the given names: no temporary file may stay behind.
  Lines leftovers(const Lines& known) const {
    Lines found;
    for (const auto& entry : fs::directory_iterator(dir_.path())) {
      const std::string name = entry.path().filename().string();
      if (std::find(known.begin(), known.end(), name) == known.end()) {
        found.push_back(name);
      }
    }
    return found;
  }

  test::TempDir dir_;
};

TEST_F(HostileInputTest, OutputIsReplacedWholeAndKeepsItsPermissions) {
  write_file(dir_.file("out.txt"), kPrevious);
  fs::permissions(dir_.file("out.txt"), fs::perms(0640));
  EXPECT_EQ(run({"in.xml", "tpl.txt", "out.txt"}), 0);
  EXPECT_EQ(read_file(dir_.file("out.txt")), "1 texto");
  EXPECT_EQ(fs::status(dir_.file("out.txt")).permissions(), fs::perms(0640));

  // A link to the output stays a link; the file it names gets the new content.
  fs::create_symlink("out.txt", dir_.file("link.txt"));
  write_file(dir_.file("tpl.txt"), "again");
  EXPECT_EQ(run({"in.xml", "tpl.txt", "link.txt"}), 0);
  EXPECT_TRUE(fs::is_symlink(dir_.file("link.txt")));
  EXPECT_EQ(read_file(dir_.file("out.txt")), "again");
  EXPECT_EQ(leftovers({"in.xml", "tpl.txt", "Ruvo.cfg", "Ruvo.log", "out.txt", "link.txt"}),
            Lines{});
}

TEST_F(HostileInputTest, FailingRunsLeaveAnExistingOutputAsItWas) {
  write_file(dir_.file("bad.xml"), "<r>");
  write_file(dir_.file("out.txt"), kPrevious);
  EXPECT_EQ(run({"missing.xml", "tpl.txt", "out.txt"}), 251);
  EXPECT_EQ(run({"bad.xml", "tpl.txt", "out.txt"}), 252);
  EXPECT_EQ(run({"in.xml", "missing.txt", "out.txt"}), 252);
  EXPECT_EQ(run({"in.xml", "tpl.txt", "out.txt", "-c", "missing.cfg"}), 252);
  write_file(dir_.file("fails.txt"), "<<processing-instruction()>>");
  write_file(dir_.file("pi.xml"), "<r><?pi?></r>");
  EXPECT_EQ(run({"pi.xml", "fails.txt", "out.txt"}), 1);
  // A write that fails part-way (the file size limit stands for a full disk): 253, and the
  // old output is still whole.
  test::RunOptions full_disk;
  full_disk.file_size_limit = 100000;
  write_file(dir_.file("big.txt"), std::string(200000, 'x'));
  EXPECT_EQ(run({"in.xml", "big.txt", "out.txt"}, full_disk), 253);
  EXPECT_EQ(read_file(dir_.file("out.txt")), kPrevious);
  // Rows of a large table reach the temporary file while the template is filled: a failure
  // after them, or a write that fails among them, still leaves the old output whole.
  std::string rows = "<r>";
  for (int i = 0; i < 20000; ++i) {
    rows += "<i v=\"" + std::to_string(i) + "\"/>";
  }
  write_file(dir_.file("rows.xml"), rows + "<?pi?></r>");
  write_file(dir_.file("rows.cfg"), "[TABLE_COLUMNS]<<T>>\ni:v,V\n");
  write_file(dir_.file("rows.txt"), "<<T>>\n<<processing-instruction()>>");
  EXPECT_EQ(run({"rows.xml", "rows.txt", "out.txt", "-c", "rows.cfg"}), 1);
  EXPECT_EQ(read_file(dir_.file("out.txt")), kPrevious);
  write_file(dir_.file("rows.txt"), "<<T>>");
  EXPECT_EQ(run({"rows.xml", "rows.txt", "out.txt", "-c", "rows.cfg"}, full_disk), 253);
  EXPECT_EQ(read_file(dir_.file("out.txt")), kPrevious);
  EXPECT_EQ(leftovers({"in.xml", "bad.xml", "pi.xml", "tpl.txt", "fails.txt", "big.txt", "Ruvo.cfg",
                       "Ruvo.log", "out.txt", "rows.xml", "rows.cfg", "rows.txt"}),
            Lines{});
}

TEST_F(HostileInputTest, ReadOnlyWorkingFolderGivesNoLogButTheSameRun) {
  test::TempDir out_dir;
  fs::permissions(out_dir.path(), fs::perms(0777));
  test::TempDir program_dir;
  test::RunOptions options;
  options.as_unprivileged_user = true;
  if (geteuid() != 0) {
    fs::permissions(dir_.path(), fs::perms(0555));
  } else {
    // Run as nobody in a folder only root may write to. The build folder may be private, so
    // nobody runs a copy of the program from a folder of its own.
    fs::permissions(dir_.path(), fs::perms(0755));
    fs::permissions(program_dir.path(), fs::perms(0755));
    options.binary = program_dir.file("ruvo");
    fs::copy_file(RUVO_BINARY, options.binary);
    if (!test::unprivileged_user_can_use(options.binary,
                                         {dir_.path().string(), out_dir.path().string()})) {
      GTEST_SKIP() << "the user nobody cannot reach the temporary folder "
                   << fs::temp_directory_path() << "; set TMPDIR to a folder every user may enter";
    }
  }
  const std::string output = out_dir.file("out.txt");
  EXPECT_EQ(run({"in.xml", "tpl.txt", output}, options), 0);
  EXPECT_EQ(read_file(output), "1 texto");
  EXPECT_EQ(run({"missing.xml", "tpl.txt", output}, options), 251);
  EXPECT_FALSE(file_exists(dir_.file("Ruvo.log")));
  fs::permissions(dir_.path(), fs::perms(0755));
}

TEST_F(HostileInputTest, FoldersAndEmptyFilesAreUnusableInputs) {
  fs::create_directory(dir_.file("folder"));
  write_file(dir_.file("empty.xml"), "");
  EXPECT_EQ(run({"folder", "tpl.txt", "out.txt"}), 252);
  EXPECT_EQ(run({"empty.xml", "tpl.txt", "out.txt"}), 252);
  EXPECT_EQ(run({"in.xml", "folder", "out.txt"}), 252);
  EXPECT_EQ(run({"in.xml", "tpl.txt", "out.txt", "-c", "folder"}), 252);
  EXPECT_EQ(run({"in.xml", "tpl.txt", "folder"}), 253);
  EXPECT_TRUE(fs::is_directory(dir_.file("folder")));
  EXPECT_FALSE(file_exists(dir_.file("out.txt")));
}

TEST_F(HostileInputTest, OddTemplatesComeOutWhole) {
  const std::string nul_and_cr = std::string("a\0b <<r:v>>\rc\rd", 16);
  write_file(dir_.file("odd.txt"), nul_and_cr);
  EXPECT_EQ(run({"in.xml", "odd.txt", "out.txt"}), 0);
  EXPECT_EQ(read_file(dir_.file("out.txt")), std::string("a\0b 1\rc\rd", 10));

  std::string big(10 * 1024 * 1024, 'y');
  big += "<<r:v>>\n";
  for (int i = 0; i < 1000000; ++i) {
    big += "l\n";
  }
  write_file(dir_.file("big.txt"), big);
  EXPECT_EQ(run({"in.xml", "big.txt", "out.txt"}), 0);
  const std::string out = read_file(dir_.file("out.txt"));
  EXPECT_EQ(out.size(), 10u * 1024 * 1024 + 2 + 1000000 * 2 - 1);
  EXPECT_EQ(out.substr(10 * 1024 * 1024, 4), "1\nl\n");
}

TEST_F(HostileInputTest, TenThousandSections) {
  std::string config;
  for (int i = 0; i < 10000; ++i) {
    config += "[TABLE_COLUMNS]<<T" + std::to_string(i) + ">>\ne:x\n[MASTER_TABLE]<<M" +
              std::to_string(i) + ">>\nelement,e\n[COMMA_INSERT]\nr:v\n";
  }
  write_file(dir_.file("Ruvo.cfg"), config);
  write_file(dir_.file("tpl.txt"), "<<T9999>>\n<<M9999>>\n<<r:v>>");
  EXPECT_EQ(run({"in.xml", "tpl.txt", "out.txt"}), 0);
  EXPECT_EQ(read_file(dir_.file("out.txt")), "~[ \n~# \n\n~]\n1");
}

TEST_F(HostileInputTest, HostileDocumentsAreRefusedOrHarmless) {
  std::string deep;
  for (int i = 0; i < 10000; ++i) {
    deep += "<d>";
  }
  for (int i = 0; i < 10000; ++i) {
    deep += "</d>";
  }
  write_file(dir_.file("deep.xml"), deep);
  EXPECT_EQ(run({"deep.xml", "tpl.txt", "out.txt"}), 252);

  std::string bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE r [\n<!ENTITY a \"aaaaaaaaaa\">\n";
  for (char c = 'b'; c <= 'k'; ++c) {
    bomb += std::string("<!ENTITY ") + c + " \"";
    for (int i = 0; i < 10; ++i) {
      bomb += std::string("&") + static_cast<char>(c - 1) + ";";
    }
    bomb += "\">\n";
  }
  bomb += "]>\n<r v=\"&k;\"><e>&k;</e></r>\n";
  write_file(dir_.file("bomb.xml"), bomb);
  EXPECT_EQ(run({"bomb.xml", "tpl.txt", "out.txt"}), 252);

  write_file(dir_.file("secret.txt"), "SECRET");
  write_file(dir_.file("external.xml"),
             "<?xml version=\"1.0\"?>\n<!DOCTYPE r SYSTEM \"http://127.0.0.1:9/r.dtd\" [\n"
             "<!ENTITY s SYSTEM \"" +
                 dir_.file("secret.txt") +
                 "\">\n]>\n"
                 "<r xmlns=\"urn:r\" v=\"1\"><e>x&s;y</e></r>\n");
  EXPECT_EQ(run({"external.xml", "tpl.txt", "out.txt"}), 0);
  EXPECT_EQ(read_file(dir_.file("out.txt")), "1 xy");
}

}  // namespace
}  // namespace ruvo
