#include "text/line_list.h"

#include "support/test_support.h"

namespace ruvo {
namespace {

using test::lines_of;
using test::make_list;
using LineListTest = test::CleanStateTest;

std::string cursor_text(const LineList* list) {
  const Line* line = line_list_current(list);
  return line == nullptr ? "<none>" : std::string(line->view());
}

TEST_F(LineListTest, CursorMovesStopAtTheEnds) {
  LineListPtr list = make_list({"a", "b", "c"});
  EXPECT_EQ(line_list_next(list.get()), nullptr) << "a fresh list has no cursor";
  EXPECT_EQ(line_list_current(list.get()), nullptr);
  EXPECT_EQ(line_list_prev(list.get()), nullptr);

  EXPECT_EQ(line_list_rewind(list.get())->view(), "a");
  EXPECT_EQ(line_list_prev(list.get()), nullptr);
  EXPECT_EQ(cursor_text(list.get()), "a");
  EXPECT_EQ(line_list_next(list.get())->view(), "b");
  EXPECT_EQ(line_list_next(list.get())->view(), "c");
  EXPECT_EQ(line_list_next(list.get()), nullptr);
  EXPECT_EQ(cursor_text(list.get()), "c") << "the cursor keeps the last line";
  EXPECT_EQ(line_list_prev(list.get())->view(), "b");

  LineListPtr empty = line_list_new();
  EXPECT_EQ(line_list_rewind(empty.get()), nullptr);
  EXPECT_EQ(line_list_next(nullptr), nullptr);
}

TEST_F(LineListTest, DeleteCurrentMovesToFollowerThenPredecessor) {
  LineListPtr list = make_list({"a", "b", "c"});
  line_list_rewind(list.get());
  line_list_next(list.get());
  line_list_delete_current(list.get());
  EXPECT_EQ(cursor_text(list.get()), "c");
  EXPECT_EQ(lines_of(list.get()), (std::vector<std::string>{"a", "c"}));

  line_list_delete_current(list.get());
  EXPECT_EQ(cursor_text(list.get()), "a") << "after the last line, the new last line";
  EXPECT_EQ(list->tail, list->head);
  EXPECT_EQ(list->count, 1u);

  line_list_delete_current(list.get());
  EXPECT_EQ(list->cursor, nullptr);
  EXPECT_EQ(list->head, nullptr);
  EXPECT_EQ(list->tail, nullptr);
  EXPECT_EQ(list->count, 0u);
  line_list_delete_current(list.get());  // no cursor: nothing happens

  LineListPtr first = make_list({"a", "b"});
  line_list_rewind(first.get());
  line_list_delete_current(first.get());
  EXPECT_EQ(cursor_text(first.get()), "b");
  EXPECT_EQ(first->head->prev, nullptr);
}

TEST_F(LineListTest, InsertAfterKeepsTheCursorAndLinksTheTail) {
  LineListPtr list = make_list({"a", "c"});
  EXPECT_FALSE(line_list_insert_after(list.get(), "x", 1)) << "no cursor yet";
  line_list_rewind(list.get());
  ASSERT_TRUE(line_list_insert_after(list.get(), "b", 1));
  EXPECT_EQ(cursor_text(list.get()), "a");
  EXPECT_EQ(lines_of(list.get()), (std::vector<std::string>{"a", "b", "c"}));

  line_list_next(list.get());
  line_list_next(list.get());
  ASSERT_TRUE(line_list_insert_after(list.get(), "d", 1));
  EXPECT_EQ(list->tail->view(), "d");
  EXPECT_EQ(line_list_next(list.get())->view(), "d");
  EXPECT_EQ(list->count, 4u);
  EXPECT_EQ(list->tail->prev->view(), "c");
}

TEST_F(LineListTest, ReplaceSpanRewritesTheLineInPlace) {
  LineListPtr list = make_list({"ab<<X>>cd"});
  Line* line = line_list_rewind(list.get());
  ASSERT_TRUE(line_replace_span(line, 2, 6, "42"));
  EXPECT_EQ(line->view(), "ab42cd");
  EXPECT_EQ(line->size(), 6u);
  ASSERT_TRUE(line_replace_span(line, 0, 5, ""));
  EXPECT_EQ(line->view(), "");
  EXPECT_EQ(line->text()[0], '\0');

  // From a text inside the record to one in a block of its own and back: the kept pieces lie in
  // the line itself each time.
  LineListPtr growing = make_list({"0123456789"});
  Line* grown = line_list_rewind(growing.get());
  ASSERT_TRUE(line_replace_span(grown, 2, 3, "abcdefghijklmnopqrstuvwxyz"));
  EXPECT_EQ(grown->view(), "01abcdefghijklmnopqrstuvwxyz456789");
  ASSERT_TRUE(line_replace_span(grown, 1, 30, "-"));
  EXPECT_EQ(grown->view(), "0-789");
  ASSERT_TRUE(line_replace_span(grown, 4, 4, ""));
  EXPECT_EQ(grown->view(), "0-78");

  LineListPtr other = make_list({"abc"});
  Line* short_line = line_list_rewind(other.get());
  EXPECT_FALSE(line_replace_span(short_line, 1, 3, "x")) << "end past the text";
  EXPECT_FALSE(line_replace_span(short_line, 2, 1, "x")) << "start after end";
  EXPECT_EQ(short_line->view(), "abc");
}

TEST_F(LineListTest, ReplaceSpanWithoutMemoryLeavesTheLineWhole) {
  LineListPtr list = make_list({"ab<<X>>cd"});
  Line* line = line_list_rewind(list.get());
  test::RefuseAllocation refuse(1);
  // A short result stays inside the line record and needs no memory; a long one does.
  EXPECT_FALSE(line_replace_span(line, 2, 6, "a value too long for the line record"));
  EXPECT_EQ(line->view(), "ab<<X>>cd");
  EXPECT_TRUE(line_replace_span(line, 2, 6, "value"));
  EXPECT_EQ(line->view(), "abvaluecd");
}

TEST_F(LineListTest, LinesAreReadWithoutMovingTheCursor) {
  LineListPtr list = make_list({"[HEADER]", "a", "b"});
  line_list_rewind(list.get());
  line_list_next(list.get());
  const LineList& lines = *list;
  std::vector<std::string> seen;
  for (const Line& line : lines.lines()) {
    seen.emplace_back(line.view());
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"[HEADER]", "a", "b"}));
  EXPECT_EQ(lines.lines().front(), list->head);
  EXPECT_EQ(lines.lines().after_first().front()->view(), "a");
  EXPECT_EQ(cursor_text(list.get()), "a");

  LineListPtr empty = line_list_new();
  EXPECT_EQ(empty->lines().begin(), empty->lines().end());
  EXPECT_EQ(empty->lines().after_first().front(), nullptr);
}

TEST_F(LineListTest, ReleasingAListGivesBackEveryByte) {
  {
    LineListPtr list = make_list({"one", "", std::string(1000, 'z')});
    line_list_rewind(list.get());
    ASSERT_TRUE(line_list_insert_after(list.get(), "two", 3));
    EXPECT_GT(mem_in_use(), 1000);
  }
  EXPECT_EQ(mem_in_use(), 0);
}

}  // namespace
}  // namespace ruvo
