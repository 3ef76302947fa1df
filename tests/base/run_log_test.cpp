#include "base/run_log.h"

#include <libxml/xmlerror.h>

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
    log_.reset(std::tmpfile());
    ASSERT_TRUE(log_);
  }

  std::string written() {
    std::fflush(log_.get());
    std::rewind(log_.get());
    std::string text;
    for (int c = std::fgetc(log_.get()); c != EOF; c = std::fgetc(log_.get())) {
      text += static_cast<char>(c);
    }
    return text;
  }

  FilePtr log_;
};

TEST_F(RunLogTest, LineIsTimestampedToTheMillisecond) {
  log_line(log_.get(), "ERROR: algo");
  const std::string text = written();
  EXPECT_TRUE(std::regex_match(text, std::regex("20[0-9]{2}(0[1-9]|1[0-2])[0-3][0-9]-"
                                                "[0-2][0-9][0-5][0-9][0-5][0-9][0-9]{3}"
                                                ":ERROR: algo\n")))
      << text;
}

TEST_F(RunLogTest, DetailAndMemoryCountLines) {
  log_detail(log_.get(), "plantilla.txt");
  {
    test::KeepMemoryCount keep(42);
    log_memory_count(log_.get(), "Total memoria final:");
  }
  EXPECT_EQ(test::masked_log_lines(written()),
            (std::vector<std::string>{"                plantilla.txt",
                                      "TS:INFO. Conteo de Memoria Total memoria final:: 42"}));
}

TEST_F(RunLogTest, XmlErrorLineDescribesLibxml2sLastError) {
  xmlResetLastError();
  log_xml_error(log_.get());

  // An XPath error carries no file name.
  XmlDocPtr doc(xmlReadMemory("<a/>", 4, "mem.xml", nullptr, 0));
  ASSERT_TRUE(doc);
  XmlXPathContextPtr context(xmlXPathNewContext(doc.get()));
  XmlXPathObjectPtr result(xmlXPathEvalExpression(BAD_CAST "//[", context.get()));
  EXPECT_FALSE(result);
  log_xml_error(log_.get());

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
  open_run_log();
  ASSERT_NE(run_log(), nullptr);
  log_line(run_log(), "INFO. x");
  close_run_log();
  EXPECT_EQ(run_log(), nullptr);
  EXPECT_EQ(test::masked_log_lines(test::read_file("Ruvo.log")),
            (std::vector<std::string>{"earlier run", "TS:INFO. x"}));
}

}  // namespace
}  // namespace ruvo
