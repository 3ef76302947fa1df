#include "config/sections.h"

#include <string>
#include <vector>

#include "support/test_support.h"

namespace ruvo {
namespace {

using test::lines_of;
using test::make_list;
using SectionTest = test::CleanStateTest;
using Lines = std::vector<std::string>;

// Runs one whole pass for the name, as the driver does, and gives each section's lines.
std::vector<Lines> pass_over(LineList* config, const char* name) {
  std::vector<Lines> sections;
  line_list_rewind(config);
  SectionPass pass;
  for (int call = 0; call < 100; ++call) {  // bounded: a pass that never ends fails
    LineListPtr section = extract_section(config, name, pass);
    if (!section) {
      return sections;
    }
    sections.push_back(lines_of(section.get()));
  }
  ADD_FAILURE() << "the pass did not end";
  return sections;
}

TEST_F(SectionTest, WhichLinesOpenAndCloseASection) {
  LineListPtr config = make_list({
      "[comma_insert]",              // wrong case: opens nothing
      "a remark on [COMMA_INSERT]",  // text before the brackets: still a header outside
      "a:b",
      "see [COMMA_INSERT] too",  // inside a section: an ordinary line
      "",
      "  x [y] ",
      " \t[OTHER]",  // an indented bracket line of another name closes the section
      "stray",
      "\t [COMMA_INSERT]<<tail>>",
      "c:d",
  });
  EXPECT_EQ(pass_over(config.get(), kCommaInsertSection),
            (std::vector<Lines>{
                {"a remark on [COMMA_INSERT]", "a:b", "see [COMMA_INSERT] too", "", "  x [y] "},
                {"\t [COMMA_INSERT]<<tail>>", "c:d"}}));
  EXPECT_TRUE(pass_over(config.get(), kMasterTableSection).empty());
}

TEST_F(SectionTest, PassReturnsEverySectionOnceThenEnds) {
  // Back to back, header only in the middle and at the very end: the cursor cannot stand past
  // the last line, yet the last section must not come back.
  LineListPtr config =
      make_list({"[TABLE_COLUMNS]<<A>>", "a1", "[TABLE_COLUMNS]<<B>>", "[TABLE_COLUMNS]<<C>>", "c1",
                 "[MASTER_TABLE]<<M>>", "m1", "[TABLE_COLUMNS]<<D>>"});
  EXPECT_EQ(pass_over(config.get(), kTableColumnsSection),
            (std::vector<Lines>{{"[TABLE_COLUMNS]<<A>>", "a1"},
                                {"[TABLE_COLUMNS]<<B>>"},
                                {"[TABLE_COLUMNS]<<C>>", "c1"},
                                {"[TABLE_COLUMNS]<<D>>"}}));
  EXPECT_EQ(pass_over(config.get(), kMasterTableSection),
            (std::vector<Lines>{{"[MASTER_TABLE]<<M>>", "m1"}}));

  LineListPtr empty = line_list_new();
  EXPECT_TRUE(pass_over(empty.get(), kCommaInsertSection).empty());
  SectionPass pass;
  EXPECT_FALSE(extract_section(nullptr, kCommaInsertSection, pass));
}

TEST_F(SectionTest, HeaderThatCannotBeCopiedGivesNoSection) {
  LineListPtr config = make_list({"[COMMA_INSERT]", "x1"});
  line_list_rewind(config.get());
  SectionPass pass;
  // Requests: the header text's record and block, the section, then the header line's copy.
  {
    test::RefuseAllocation refuse(4);
    EXPECT_FALSE(extract_section(config.get(), kCommaInsertSection, pass));
  }
  LineListPtr retried = extract_section(config.get(), kCommaInsertSection, pass);
  ASSERT_TRUE(retried);
  EXPECT_EQ(lines_of(retried.get()), (Lines{"[COMMA_INSERT]", "x1"}));
}

TEST_F(SectionTest, ListKeepsFileOrderAndFindsTablesByTheirHeader) {
  SectionListPtr list = section_list_new();
  ASSERT_TRUE(list);
  EXPECT_TRUE(section_list_append(list.get(), make_list({"[TABLE_COLUMNS]<<Detalle>>", "one"})));
  EXPECT_TRUE(section_list_append(list.get(), make_list({"[TABLE_COLUMNS]<<Detalle>>", "two"})));
  EXPECT_TRUE(section_list_append(list.get(), make_list({"[MASTER_TABLE]<<M>>", "<<Det>>"})));
  LineList* found = find_section("Detalle", list.get());
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(lines_of(found)[1], "one") << "the first in file order wins";
  EXPECT_EQ(line_list_current(found), found->head) << "left rewound";
  EXPECT_EQ(find_section("Det", list.get()), nullptr) << "only header lines are searched";
  EXPECT_EQ(find_section("Detalle", nullptr), nullptr);

  // A refused node releases the section it was given.
  {
    const std::int64_t before = mem_in_use();
    LineListPtr section = make_list({"unplaced"});
    test::RefuseAllocation refuse(1);
    EXPECT_FALSE(section_list_append(list.get(), std::move(section)));
    EXPECT_EQ(mem_in_use() - before, static_cast<std::int64_t>(sizeof(SectionNode)));
  }
  EXPECT_FALSE(section_list_append(nullptr, make_list({"lost"})));
}

TEST_F(SectionTest, ReleasingAHugeListDoesNotRecurse) {
  SectionListPtr many = section_list_new();
  ASSERT_TRUE(many);
  for (int i = 0; i < 200000; ++i) {
    ASSERT_TRUE(section_list_append(many.get(), line_list_new()));
  }
}

}  // namespace
}  // namespace ruvo
