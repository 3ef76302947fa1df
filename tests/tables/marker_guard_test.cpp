// A value never makes a line the renderer takes for a table line: cells are one line, and a blank
// goes before every output line a value would begin with a marker.
#include "tables/marker_guard.h"

#include <string>

#include "support/test_support.h"

namespace ruvo {
namespace {

using MarkerGuardTest = test::CleanStateTest;

std::string cell(std::string_view value) {
  const TextBufferPtr guarded = guarded_cell(value);
  return guarded ? std::string(guarded->view()) : "<as it is>";
}

std::string value(std::string_view text, std::string_view lead, bool lead_known,
                  std::string_view follow) {
  ValueSurroundings around;
  around.lead_known = lead_known;
  around.lead_size = lead.size();
  lead.copy(around.lead, lead.size());
  around.follow = follow;
  const TextBufferPtr guarded = guarded_value(text, around);
  return guarded ? std::string(guarded->view()) : "<as it is>";
}

TEST_F(MarkerGuardTest, ACellIsOneLineThatBeginsWithNoMarker) {
  EXPECT_EQ(cell("12.50"), "<as it is>");
  EXPECT_EQ(cell("a ~] b"), "<as it is>") << "a marker inside a line is text";
  EXPECT_EQ(cell("line one\n~] fake end\nline three"), "line one ~] fake end line three");
  EXPECT_EQ(cell("a\r\nb\rc\n"), "a b c ") << "CR LF, CR and LF are one blank each";
  for (const char* marker : {"~[ x", "~# x", "~]", "~<x", "~>"}) {
    EXPECT_EQ(cell(marker), std::string(" ") + marker);
  }
  EXPECT_EQ(cell("~[x"), "<as it is>") << "a row start is \"~[ \" with its blank";
  EXPECT_EQ(cell("\n~]"), " ~]") << "the line end's blank already breaks the marker";
}

TEST_F(MarkerGuardTest, ASingleValueGetsABlankBeforeEachLineItWouldMakeAMarker) {
  EXPECT_EQ(value("~] x", "", true, ""), " ~] x") << "the value starts its line";
  EXPECT_EQ(value("~] x", "ab", false, ""), "<as it is>") << "text stands before it";
  EXPECT_EQ(value("] x", "~", true, ""), " ] x") << "the value completes the template's marker";
  EXPECT_EQ(value(" x", "~[", true, ""), "  x");
  EXPECT_EQ(value("x", "~]", true, ""), "<as it is>") << "the template's own marker";
  EXPECT_EQ(value("", "~", true, ">>"), "<as it is>") << "an empty value makes no marker";
  EXPECT_EQ(value("a\n~< b\r\n~>\rc", "", false, ""), "a\n ~< b\r\n ~>\rc");
  EXPECT_EQ(value("a\n", "", false, "~] z"), "a\n ") << "the template's text after a line end";
  EXPECT_EQ(value("a\r", "", false, "\n~]"), "<as it is>") << "CR LF ends its line at the LF";
  EXPECT_EQ(value("a\n", "", false, "~"), "<as it is>");
}

}  // namespace
}  // namespace ruvo
