#include "xml/latin1.h"

#include <string>

#include "support/test_support.h"

namespace ruvo {
namespace {

using Latin1Test = test::CleanStateTest;

std::string latin1(const char* utf8) {
  TextBufferPtr text = content_to_latin1(reinterpret_cast<const xmlChar*>(utf8));
  return text ? std::string(text->data(), text->length()) : "<none>";
}

TEST_F(Latin1Test, ConversionMarksWhatLatin1CannotHoldAndGoesOn) {
  EXPECT_EQ(latin1("a\xC2\xA0\xC3\xA9\xC3\xBF"), "a\xA0\xE9\xFF");
  EXPECT_EQ(latin1("5\xE2\x82\xAC neto"), "5? neto");
  EXPECT_EQ(latin1("x\xF0\x9F\x98\x80y"), "x?y") << "one mark per character";
  EXPECT_EQ(latin1(nullptr), "");
  // Every byte of a malformed sequence is marked on its own.
  EXPECT_EQ(latin1("a\xFF\x80"
                   "b\xC3"),
            "a??b?");
  EXPECT_EQ(latin1("\xE2\x82"
                   "b"),
            "??b");
  EXPECT_EQ(latin1("\xC0\xAF|\xED\xA0\x80|\xF4\x90\x80\x80"), "??|???|????");
}

}  // namespace
}  // namespace ruvo
