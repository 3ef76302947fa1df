#include "tables/table_output.h"

#include "tables/table_fixture.h"

namespace ruvo {
namespace {

using Lines = std::vector<std::string>;

class TableOutputTest : public test::TableFixture {
 protected:
  // Replaces the cursor line by two lines, as a table would.
  void write_two_lines() {
    TableOutput out = begin_table_output(template_.get(), nullptr);
    write_table_line(out, "~[ ");
    close_table_row(out, false);
  }
};

TEST_F(TableOutputTest, TableLinesTakeThePlaceholdersPlaceAnywhere) {
  set_template({"<<T>>", "second", "third"}, 0);
  write_two_lines();
  EXPECT_EQ(output(), (Lines{"~[ ", "~]", "second", "third"}));
  EXPECT_EQ(cursor_line(), "~]");
  EXPECT_EQ(line_list_next(template_.get())->view(), "second") << "the next line is scanned";

  set_template({"first", "<<T>>", "third"}, 1);
  write_two_lines();
  EXPECT_EQ(output(), (Lines{"first", "~[ ", "~]", "third"}));
  EXPECT_EQ(cursor_line(), "~]");

  set_template({"first", "<<T>>"}, 1);
  write_two_lines();
  EXPECT_EQ(output(), (Lines{"first", "~[ ", "~]"}));
  EXPECT_EQ(template_->tail->view(), "~]");

  set_template({"<<T>>"}, 0);
  write_two_lines();
  EXPECT_EQ(output(), (Lines{"~[ ", "~]"}));
  EXPECT_EQ(template_->head->prev, nullptr);
}

TEST_F(TableOutputTest, NoLinesWrittenLeavesTheCursorBeforeTheRemovedLine) {
  set_template({"a", "<<T>>", "c"}, 1);
  begin_table_output(template_.get(), nullptr);
  EXPECT_EQ(output(), (Lines{"a", "c"}));
  EXPECT_EQ(cursor_line(), "a");

  set_template({"<<T>>", "b"}, 0);
  begin_table_output(template_.get(), nullptr);
  EXPECT_EQ(cursor_line(), "b") << "nothing precedes: the new first line";

  set_template({"<<T>>"}, 0);
  begin_table_output(template_.get(), nullptr);
  EXPECT_EQ(template_->count, 0u);
  EXPECT_EQ(cursor_line(), "<none>");
}

TEST_F(TableOutputTest, CellsLabelsAndBlocks) {
  parse("<r/>");
  set_template({"<<T>>"}, 0);
  TableOutput out = begin_table_output(template_.get(), nullptr);
  TextBufferPtr label = text_buffer_from("Jr@?");
  TextBufferPtr empty_label = text_buffer_from("");
  TextBufferPtr value = text_buffer_from("A&B <x>");
  write_table_cell(out, document_.get(), false, label.get(), value.get());
  write_table_cell(out, document_.get(), false, empty_label.get(), nullptr);
  write_table_cell(out, document_.get(), false, nullptr, value.get());
  open_table_row(out, true, empty_label.get(), "~[ ignored");
  open_table_row(out, true, label.get(), "~[ ignored");
  write_table_cell(out, document_.get(), true, label.get(), value.get());
  close_table_row(out, true);
  EXPECT_EQ(output(), (Lines{"~# Jr@?", "A&B <x>", "~# ", "", "~# ", "A&B <x>", "~<", "~<Jr@?",
                             "A&B <x>", "~>"}));
}

TEST_F(TableOutputTest, XmlModeEncodesTheWholeValue) {
  parse("<r/>");
  set_template({"<<T>>"}, 0);
  TableOutput out = begin_table_output(template_.get(), nullptr, OutputMode::Xml);
  TextBufferPtr value = text_buffer_from("A&B <x>");
  write_table_cell(out, document_.get(), false, nullptr, value.get());
  write_table_cell(out, document_.get(), false, nullptr, nullptr);
  EXPECT_EQ(output(), (Lines{"~# ", "A&amp;B &lt;x&gt;", "~# ", ""}));
}

// Found by fuzzing: libxml2's encoder took the Latin-1 text for UTF-8 and marked the document
// as ISO-8859-1 on the first byte that was not, so equal values came out differently.
TEST_F(TableOutputTest, XmlModeWritesEveryLatin1ValueTheSameWay) {
  parse("<r/>");
  set_template({"<<T>>"}, 0);
  TableOutput out = begin_table_output(template_.get(), nullptr, OutputMode::Xml);
  TextBufferPtr pair = text_buffer_from("\xC3\xB1");  // two Latin-1 letters, UTF-8 in form
  TextBufferPtr lone = text_buffer_from("ca\xF1o\r\x01");
  write_table_cell(out, document_.get(), true, nullptr, pair.get());
  write_table_cell(out, document_.get(), true, nullptr, lone.get());
  write_table_cell(out, document_.get(), true, nullptr, pair.get());
  // The CR is a line end, which a cell writes as a blank: a cell is one line.
  EXPECT_EQ(output(), (Lines{"&#xC3;&#xB1;", "ca&#xF1;o ", "&#xC3;&#xB1;"}));
  EXPECT_EQ(document_->encoding, nullptr) << "the document is only read";

  parse("<?xml version=\"1.0\" encoding=\"UTF-8\"?><r/>");
  set_template({"<<T>>"}, 0);
  out = begin_table_output(template_.get(), nullptr, OutputMode::Xml);
  write_table_cell(out, document_.get(), true, nullptr, lone.get());
  EXPECT_EQ(output(), (Lines{"ca\xF1o "})) << "a declared encoding keeps the bytes";
}

}  // namespace
}  // namespace ruvo
