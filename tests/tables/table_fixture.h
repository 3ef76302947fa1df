// A parsed document, its XPath context and a template, for driving table expansions.
#pragma once

#include <libxml/parser.h>

#include <string>
#include <vector>

#include "base/run_log.h"
#include "support/test_support.h"
#include "xml/xpath_context.h"

namespace ruvo::test {

class TableFixture : public CleanStateTest {
 protected:
  void SetUp() override {
    CleanStateTest::SetUp();
    silence_libxml2_messages();
  }
  void TearDown() override {
    context_ = XPathContext{};
    document_.reset();
    template_.reset();
    sections_.clear();
    CleanStateTest::TearDown();
  }

  void parse(const std::string& xml) {
    document_.reset(xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "doc.xml", nullptr, 0));
    ASSERT_TRUE(document_);
    context_ = make_xpath_context(document_.get());
    ASSERT_TRUE(context_.handle);
  }

  // The template, with the cursor on its line at index (0-based).
  void set_template(const std::vector<std::string>& lines, std::size_t cursor) {
    template_ = make_list(lines);
    line_list_rewind(template_.get());
    for (std::size_t i = 0; i < cursor; ++i) {
      line_list_next(template_.get());
    }
  }

  LineList* section(const std::vector<std::string>& lines) {
    sections_.push_back(make_list(lines));
    return sections_.back().get();
  }

  std::vector<std::string> output() const { return lines_of(template_.get()); }
  std::string cursor_line() const {
    const Line* line = line_list_current(template_.get());
    return line == nullptr ? "<none>" : std::string(line->view());
  }

  XmlDocPtr document_;
  XPathContext context_;
  LineListPtr template_;
  std::vector<LineListPtr> sections_;
  TestRun run_;
};

}  // namespace ruvo::test
