#include "text/text_buffer.h"

#include <cstring>
#include <string>

#include "support/test_support.h"

namespace ruvo {
namespace {

using TextBufferTest = test::CleanStateTest;

TEST_F(TextBufferTest, AppendGrowsInStepsOf128AndKeepsTheNul) {
  TextBufferPtr buffer;
  for (int i = 1; i <= 128; ++i) {
    ASSERT_TRUE(text_buffer_append_bytes(buffer, "x", 1));
    ASSERT_EQ(buffer->data()[buffer->length()], '\0');
    if (i == 1 || i == 127) {
      EXPECT_EQ(buffer->capacity(), 128u) << "after " << i << " bytes";
    }
  }
  EXPECT_EQ(buffer->capacity(), 256u);
  EXPECT_EQ(buffer->length(), 128u);
  EXPECT_EQ(buffer->view(), std::string(128, 'x'));
}

TEST_F(TextBufferTest, GrowthRuleExamples) {
  TextBufferPtr three;
  ASSERT_TRUE(text_buffer_append(three, "abc"));
  EXPECT_EQ(three->capacity(), 128u);
  EXPECT_EQ(three->length(), 3u);

  TextBufferPtr empty;
  ASSERT_TRUE(text_buffer_append(empty, ""));
  EXPECT_EQ(empty->capacity(), 128u);
  EXPECT_EQ(empty->length(), 0u);

  // Capacities need not be multiples of 128: growth adds to what was there.
  TextBufferPtr ten = text_buffer_new(10);
  ASSERT_TRUE(ten);
  ASSERT_TRUE(text_buffer_append(ten, "01234567890123456789"));
  EXPECT_EQ(ten->capacity(), 138u);
  EXPECT_EQ(ten->view(), "01234567890123456789");
}

TEST_F(TextBufferTest, AppendCopiesNulBytesAndAcceptsNoSource) {
  TextBufferPtr buffer;
  ASSERT_TRUE(text_buffer_append_bytes(buffer, "a\0b", 3));
  EXPECT_EQ(buffer->length(), 3u);
  EXPECT_EQ(buffer->view(), std::string("a\0b", 3));

  TextBufferPtr absent;
  EXPECT_TRUE(text_buffer_append_buffer(absent, nullptr));
  EXPECT_FALSE(absent);
  ASSERT_TRUE(text_buffer_append_buffer(absent, buffer.get()));
  EXPECT_EQ(absent->view(), std::string("a\0b", 3));
}

TEST_F(TextBufferTest, FailedGrowthLeavesTheBufferAsItWas) {
  TextBufferPtr buffer = text_buffer_from("abc");
  ASSERT_TRUE(buffer);
  test::RefuseAllocation refuse(1);
  EXPECT_FALSE(text_buffer_append(buffer, std::string(200, 'y').c_str()));
  EXPECT_EQ(buffer->view(), "abc");
  EXPECT_EQ(buffer->capacity(), 128u);
}

TEST_F(TextBufferTest, NewCloneFillAndAssign) {
  TextBufferPtr source = text_buffer_from("hello");
  TextBufferPtr clone = text_buffer_clone(*source);
  ASSERT_TRUE(clone);
  EXPECT_EQ(clone->capacity(), 6u);
  EXPECT_EQ(clone->view(), "hello");

  TextBufferPtr piece = text_buffer_new(4);
  ASSERT_TRUE(text_buffer_fill(piece.get(), "abcdef" + 1, 3));
  EXPECT_EQ(piece->view(), "bcd");
  EXPECT_FALSE(text_buffer_fill(piece.get(), "x", 1)) << "fill is only for an empty buffer";

  EXPECT_TRUE(text_buffer_assign(piece.get(), "xyz"));
  EXPECT_EQ(piece->view(), "xyz");
  EXPECT_FALSE(text_buffer_assign(piece.get(), "wxyz")) << "assign must not write past the block";
  EXPECT_EQ(piece->view(), "xyz");
  EXPECT_TRUE(text_buffer_assign_buffer(clone.get(), *piece));
  EXPECT_EQ(clone->view(), "xyz");
}

TEST_F(TextBufferTest, LengthAndBlockChangeOnlyWithinTheBlock) {
  TextBufferPtr buffer = text_buffer_new(4);
  ASSERT_TRUE(buffer);
  EXPECT_EQ(buffer->data()[0], '\0') << "a new buffer holds the empty text";
  std::memcpy(buffer->data(), "abc", 3);
  ASSERT_TRUE(buffer->set_length(3));
  EXPECT_EQ(buffer->view(), "abc");
  EXPECT_EQ(buffer->data()[3], '\0');
  EXPECT_FALSE(buffer->set_length(4)) << "no room for the NUL";
  EXPECT_EQ(buffer->view(), "abc");

  EXPECT_FALSE(buffer->reallocate(3)) << "the text and its NUL must fit";
  ASSERT_TRUE(buffer->reallocate(10));
  EXPECT_EQ(buffer->capacity(), 10u);
  EXPECT_EQ(buffer->view(), "abc");
  EXPECT_EQ(buffer->data()[3], '\0');
  EXPECT_EQ(mem_in_use(), static_cast<std::int64_t>(sizeof(TextBuffer) + 10));

  EXPECT_FALSE(text_buffer_new_empty()->set_length(0)) << "no block to end a text in";
}

TEST_F(TextBufferTest, RemoveCharsStripsEveryQuote) {
  TextBufferPtr stripped = text_remove_chars("a\"b'c", "\"'");
  ASSERT_TRUE(stripped);
  EXPECT_EQ(stripped->view(), "abc");
  EXPECT_EQ(stripped->length(), 3u);
  EXPECT_EQ(text_remove_chars("'ns:Comprobante'", "\"'")->view(), "ns:Comprobante");
  EXPECT_EQ(text_remove_chars("plain", "")->view(), "plain");
}

TEST_F(TextBufferTest, TrimRemovesOnlySpacesAndTabs) {
  char text[] = "\t  x y \t";
  EXPECT_TRUE(text_trim(text));
  EXPECT_STREQ(text, "x y");

  char blanks[] = " \t ";
  EXPECT_TRUE(text_trim(blanks));
  EXPECT_STREQ(blanks, "");

  char empty[] = "";
  EXPECT_FALSE(text_trim(empty));
  EXPECT_FALSE(text_trim(nullptr));

  char line_end[] = "\r1\n";
  EXPECT_TRUE(text_trim(line_end));
  EXPECT_STREQ(line_end, "\r1\n");
}

}  // namespace
}  // namespace ruvo
