// The encodings a run may be in: which are taken, and what converting to and from UTF-8 does.
#include "text/text_codec.h"

#include <string>

#include "support/test_support.h"

namespace ruvo {
namespace {

using TextCodecTest = test::CleanStateTest;

std::string from_utf8(const TextCodec& codec, std::string_view utf8, bool* lost = nullptr) {
  TextBufferPtr out;
  return codec.from_utf8(utf8, out, lost) ? std::string(out->view()) : "<failed>";
}

TEST_F(TextCodecTest, OnlyKnownAsciiCompatibleEncodingsAreTaken) {
  TextCodec codec;
  EXPECT_TRUE(codec.is_latin1());
  for (const char* latin1 : {"ISO-8859-1", "latin1", "Iso8859-1"}) {
    EXPECT_EQ(codec.open(latin1), TextCodec::Opening::Opened) << latin1;
    EXPECT_TRUE(codec.is_latin1()) << latin1;
  }
  for (const char* name :
       {"UTF-8", "utf8", "ISO-8859-2", "cp1252", "WINDOWS-1250", "ISO-8859-15"}) {
    EXPECT_EQ(codec.open(name), TextCodec::Opening::Opened) << name;
    EXPECT_FALSE(codec.is_latin1()) << name;
  }
  for (const char* name : {"UTF-16", "UTF-32LE", "UTF-7", "IBM037", "SHIFT_JIS", "ISO-2022-JP"}) {
    EXPECT_EQ(codec.open(name), TextCodec::Opening::NotAsciiCompatible) << name;
    EXPECT_TRUE(codec.is_latin1()) << "a refused encoding leaves Latin-1";
  }
  for (const char* name : {"NO-SUCH-CODE", "", "UTF-8//TRANSLIT"}) {
    EXPECT_EQ(codec.open(name), TextCodec::Opening::Unknown) << name;
  }
}

TEST_F(TextCodecTest, WhatAnEncodingCannotHoldBecomesAQuestionMark) {
  TextCodec codec;
  bool lost = false;
  EXPECT_EQ(from_utf8(codec, "A\xC3\xB1o \xE2\x82\xAC", &lost), "A\xF1o ?");
  EXPECT_TRUE(lost);
  ASSERT_EQ(codec.open("ISO-8859-2"), TextCodec::Opening::Opened);
  EXPECT_EQ(from_utf8(codec, "\xC5\xBC\xC3\xB3\xC5\x82\xE2\x82\xAC", &lost), "\xBF\xF3\xB3?");
  EXPECT_TRUE(lost);
  ASSERT_EQ(codec.open("CP1252"), TextCodec::Opening::Opened);
  EXPECT_EQ(from_utf8(codec, "\xE2\x82\xAC \xE2\x80\x93", &lost), "\x80 \x96");
  EXPECT_FALSE(lost);
  ASSERT_EQ(codec.open("UTF-8"), TextCodec::Opening::Opened);
  EXPECT_EQ(from_utf8(codec, "ok \xC3\x28 \xF0\x9F\x98\x80", &lost), "ok ?( \xF0\x9F\x98\x80")
      << "a malformed byte is one '?', and the text goes on";
  EXPECT_TRUE(lost);
}

TEST_F(TextCodecTest, TextThatIsNotValidInItsEncodingIsFound) {
  TextCodec codec;
  EXPECT_EQ(codec.first_invalid("\xFF\xFE any byte"), std::string_view::npos);
  TextBufferPtr out;
  ASSERT_TRUE(codec.to_utf8("A\xF1o", out));
  EXPECT_EQ(out->view(), "A\xC3\xB1o");
  ASSERT_EQ(codec.open("UTF-8"), TextCodec::Opening::Opened);
  EXPECT_EQ(codec.first_invalid("caf\xC3\xA9 y m\xE1s"), 9u);
  EXPECT_EQ(codec.first_invalid("caf\xC3"), 3u) << "a character cut off at the end";
  std::size_t at = 0;
  EXPECT_FALSE(codec.to_utf8("x\xE9", out, &at));
  EXPECT_EQ(at, 1u);
}

}  // namespace
}  // namespace ruvo
