// A group of documents sharing one sync: what a document gets when its output cannot be put in
// place after the sync, and that a document reading an earlier one's output finds it in place.
#include "batch/sync_group.h"

#include <sys/stat.h>

#include <regex>

#include "config/configuration.h"
#include "support/test_support.h"

namespace ruvo::batch {
namespace {

using test::read_file;
using test::write_file;

class SyncGroupTest : public test::XmlTest {
 protected:
  void SetUp() override {
    test::XmlTest::SetUp();
    configuration_.emplace();
    sources_.emplace(*configuration_);
    write_file(dir_.file("Ruvo.cfg"), "");
    write_file(dir_.file("template.txt"), "<r>ok</r>");
    settings_.config_path = config_path_.c_str();
    setting_.settings = &settings_;
    mkdir(dir_.file("out").c_str(), 0777);
    mkdir(dir_.file("out/logs").c_str(), 0777);
    setting_.sources = &*sources_;
    setting_.template_path = template_path_.c_str();
    setting_.output_dir = dir_.file("out").c_str();
    setting_.logs_dir = dir_.file("out/logs").c_str();
    setting_.out = printed_.get();
    setting_.statuses = statuses_;
  }
  void TearDown() override {
    sources_.reset();
    configuration_.reset();
    Text().swap(setting_.output_dir);
    Text().swap(setting_.logs_dir);
    test::XmlTest::TearDown();
  }

  test::TempDir dir_;
  std::string config_path_ = dir_.file("Ruvo.cfg");
  std::string template_path_ = dir_.file("template.txt");
  RunSettings settings_;
  std::optional<Configuration> configuration_;
  std::optional<FileSources> sources_;
  FilePtr printed_{std::tmpfile()};
  DocumentStatus statuses_[2];
  BatchSetting setting_;
};

TEST_F(SyncGroupTest, AnOutputThatCannotBePutInPlaceFailsThatDocumentOnly) {
  write_file(dir_.file("a.xml"), "<a/>");
  write_file(dir_.file("b.xml"), "<b/>");
  const std::string a = dir_.file("a.xml");
  const std::string b = dir_.file("b.xml");
  {
    SyncGroup group(setting_);
    group.add(0, a.c_str(), false);
    group.add(1, b.c_str(), false);
    // Nothing is in place before the group completes; a folder now stands where a's goes.
    ASSERT_EQ(mkdir(dir_.file("out/a.txt").c_str(), 0777), 0);
    write_file(dir_.file("out/a.txt/keep"), "");
    struct stat status {};
    EXPECT_NE(stat(dir_.file("out/b.txt").c_str(), &status), 0);
    group.complete();
  }
  EXPECT_EQ(statuses_[0].exit_code, 253);
  EXPECT_EQ(statuses_[1].exit_code, 0);
  EXPECT_EQ(read_file(dir_.file("out/b.txt")), "<r>ok</r>");
  const std::string log = std::regex_replace(read_file(dir_.file("out/logs/a.log")),
                                             std::regex("\\d{8}-\\d{9}:"), "T:");
  EXPECT_EQ(log, "T:ERROR: No se pudo escribir el archivo de salida:\n                " +
                     dir_.file("out/a.txt") +
                     "\nT:INFO. Conteo de Memoria Total memoria final:: 0\n");
  std::rewind(printed_.get());
  char line[64] = {};
  ASSERT_NE(std::fgets(line, sizeof line, printed_.get()), nullptr);
  EXPECT_STREQ(line, "a.xml\t253\n");
}

TEST_F(SyncGroupTest, ADocumentReadFromTheOutputFolderFindsEarlierOutputsInPlace) {
  write_file(dir_.file("a.xml"), "<a/>");
  const std::string a = dir_.file("a.xml");
  const std::string earlier_output = dir_.file("out/a.txt");
  {
    SyncGroup group(setting_);
    group.add(0, a.c_str(), false);
    group.add(1, earlier_output.c_str(), false);
    group.complete();
  }
  EXPECT_EQ(statuses_[0].exit_code, 0);
  EXPECT_EQ(statuses_[1].exit_code, 0) << "the second document is the first one's output";
  EXPECT_EQ(read_file(dir_.file("out/a.txt.txt")), "<r>ok</r>");
}

TEST_F(SyncGroupTest, ALogThatCannotBeWrittenIsSaidInTheStatusLine) {
  write_file(dir_.file("a.xml"), "<a>");
  ASSERT_EQ(mkdir(dir_.file("out/logs/a.log").c_str(), 0777), 0);  // where a's log goes
  const std::string a = dir_.file("a.xml");
  {
    SyncGroup group(setting_);
    group.add(0, a.c_str(), false);
    group.complete();
  }
  EXPECT_EQ(statuses_[0].exit_code, 252);
  EXPECT_TRUE(statuses_[0].log_lost);
  EXPECT_FALSE(statuses_[0].succeeded());
  std::rewind(printed_.get());
  char line[64] = {};
  ASSERT_NE(std::fgets(line, sizeof line, printed_.get()), nullptr);
  EXPECT_STREQ(line, "a.xml\t252\tlog-lost\n");
}

}  // namespace
}  // namespace ruvo::batch
