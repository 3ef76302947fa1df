#include "base/run_log.h"

#include <libxml/xmlerror.h>

#include <optional>
#include <regex>
#include <string>

#include "support/test_support.h"
#include "xml/xml_handles.h"

namespace ruvo {
namespace {

class RunLogTest : public test::CleanStateTest {
 protected:
  void SetUp() override {
    test::CleanStateTest::SetUp();
    silence_libxml2_messages();
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    log_.emplace(FilePtr(file), "test.log");
  }

  std::string written() {
    std::FILE* file = log_->file();
    std::fflush(file);
    std::rewind(file);
    std::string text;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) {
      text += static_cast<char>(c);
    }
    return text;
  }

  RunLog* log() { return &*log_; }

  std::optional<FileRunLog> log_;
};

TEST_F(RunLogTest, LineIsTimestampedToTheMillisecond) {
  log_line(log(), "ERROR: algo");
  const std::string text = written();
  EXPECT_TRUE(std::regex_match(text, std::regex("20[0-9]{2}(0[1-9]|1[0-2])[0-3][0-9]-"
                                                "[0-2][0-9][0-5][0-9][0-5][0-9][0-9]{3}"
                                                ":ERROR: algo\n")))
      << text;
}

TEST_F(RunLogTest, DetailAndMemoryCountLines) {
  log_detail(log(), "plantilla.txt");
  {
    test::KeepMemoryCount keep(42);
    log_memory_count(log(), "Total memoria final:");
  }
  EXPECT_EQ(test::masked_log_lines(written()),
            (std::vector<std::string>{"                plantilla.txt",
                                      "TS:INFO. Conteo de Memoria Total memoria final:: 42"}));
}

TEST_F(RunLogTest, XmlErrorLineDescribesLibxml2sLastError) {
  xmlResetLastError();
  log_xml_error(log());

  // An XPath error carries no file name.
  XmlDocPtr doc(xmlReadMemory("<a/>", 4, "mem.xml", nullptr, 0));
  ASSERT_TRUE(doc);
  XmlXPathContextPtr context(xmlXPathNewContext(doc.get()));
  XmlXPathObjectPtr result(xmlXPathEvalExpression(BAD_CAST "//[", context.get()));
  EXPECT_FALSE(result);
  log_xml_error(log());

  const std::vector<std::string> lines = test::masked_log_lines(written());
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "                XML Error Unknown");
  EXPECT_TRUE(lines[1].starts_with("                XML Error #")) << lines[1];
  EXPECT_NE(lines[1].find(" in [(null)]. "), std::string::npos) << lines[1];
}

TEST_F(RunLogTest, NothingIsWrittenWithoutALog) {
  log_line(nullptr, "x");
  log_detail(nullptr, "x");
  log_xml_error(nullptr);
  log_memory_count(nullptr, "x");
  EXPECT_EQ(written(), "");
}

TEST_F(RunLogTest, MessagesAreCutToTheBuffer) {
  const std::string long_name(2000, 'n');
  const char* message = format_message("ERROR: [%s]", long_name.c_str());
  EXPECT_EQ(message, message_buffer());
  EXPECT_EQ(std::string(message).size(), kMessageBufferSize - 1);
  EXPECT_EQ(std::string(format_message("a%db", 5)), "a5b");
}

TEST_F(RunLogTest, OpenAppendsToRuvoLogInTheCurrentFolder) {
  test::TempDir dir;
  test::ScopedCurrentDir cwd(dir.path());
  test::write_file("Ruvo.log", "earlier run\n");
  FileRunLog log;
  EXPECT_EQ(log.file_name(), nullptr) << "a log not open yet names no file";
  log.open_in_current_folder();
  ASSERT_TRUE(log.is_open());
  EXPECT_STREQ(log.file_name(), "Ruvo.log");
  log_line(&log, "INFO. x");
  log.close();
  EXPECT_FALSE(log.is_open());
  EXPECT_EQ(test::masked_log_lines(test::read_file("Ruvo.log")),
            (std::vector<std::string>{"earlier run", "TS:INFO. x"}));
}

TEST_F(RunLogTest, AMemoryLogKeepsItsLinesForLater) {
  MemoryRunLog memory;
  log_line(&memory, "ERROR: algo");
  log_detail(&memory, "detalle");
  EXPECT_TRUE(memory.kept());
  EXPECT_EQ(test::masked_log_lines(std::string(memory.bytes())),
            (std::vector<std::string>{"TS:ERROR: algo", "                detalle"}));
  log_line(&memory, "late");
  EXPECT_FALSE(memory.kept()) << "a line after the log was read is not kept, and says so";
}

}  // namespace
}  // namespace ruvo
