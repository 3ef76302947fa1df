#include "config/thousands.h"
#include "config/comma_insert.h"

#include <string>
#include <utility>
#include <vector>

#include "support/test_support.h"

namespace ruvo {
namespace {

using test::make_list;
using ThousandsTest = test::CleanStateTest;
using CommaEntryTest = test::CleanStateTest;

// The formatted text of a value, or "<none>".
std::string formatted(std::string value) {
  TextBufferPtr result = format_thousands(value.data());
  if (!result) {
    return "<none>";
  }
  EXPECT_EQ(result->data()[result->length()], '\0');
  return std::string(result->view());
}

TEST_F(ThousandsTest, GroupsTheIntegerDigitsAndKeepsTheFraction) {
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"1234567.891", "1,234,567.891"},
      {"1234", "1,234"},
      {"123", "123"},
      {"1000000", "1,000,000"},
      {"-1234.5", "-1,234.5"},
      {"1234-", "-1,234"},
      {"$1234567", "$1,234,567"},
      {"$-1234.50", "-$1,234.50"},
      {"\2432500", "\2432,500"},  // \243 is the pound sign
      {"1,234,567", "1234567"},
      {"12a34", "1,234"},
      {"1.234.567", "1.234.567"},
      {".5", ".5"},
      {"", ""},
      // Beyond the basic rows: the leftmost sign and symbol win, a yen sign counts, digits
      // are counted across dropped bytes, Latin-1 letters are dropped.
      {"+-5000", "+5,000"},
      {"\245$1000", "\2451,000"},  // \245 is the yen sign
      {"-$.75", "-$.75"},
      {"1234,5678", "12,345,678"},
      {"12\3513456", "123,456"},
      {"9876.5x,y", "9,876.5x,y"},
  };
  for (const auto& [value, expected] : rows) {
    EXPECT_EQ(formatted(value), expected) << "value " << value;
  }

  const std::string grown = formatted(std::string(1000, '7') + "." + std::string(3000, '1'));
  EXPECT_EQ(grown.size(), 1000u + 333u + 1u + 3000u);
  EXPECT_EQ(grown.substr(0, 6), "7,777,");

  char value[] = " \t-1234.5\t ";
  TextBufferPtr result = format_thousands(value);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->view(), "-1,234.5");
  EXPECT_STREQ(value, "-1234.5") << "the caller's text is trimmed in place";
}

// In another encoding the formatter works on characters: a currency symbol stays whole, any
// other character beyond ASCII is dropped whole, and the result is text in that encoding.
TEST_F(ThousandsTest, AnotherEncodingIsGroupedByCharacters) {
  TextCodec utf8;
  ASSERT_EQ(utf8.open("UTF-8"), TextCodec::Opening::Opened);
  const auto grouped = [](const TextCodec& codec, std::string value) {
    TextBufferPtr result = format_thousands(value.data(), codec);
    return result ? std::string(result->view()) : "<none>";
  };
  EXPECT_EQ(grouped(utf8, "\xE2\x82\xAC 1234567.50"),
            "\xE2\x82\xAC"
            "1,234,567.50");
  EXPECT_EQ(grouped(utf8,
                    "-\xC2\xA3"
                    "1234"),
            "-\xC2\xA3"
            "1,234");
  EXPECT_EQ(grouped(utf8,
                    "1\xC2\xA0"
                    "234\xE2\x80\xAF"
                    "567"),
            "1234567")
      << "no-break spaces are dropped whole, never cut into bytes, and no ',' takes their place";
  TextCodec cp1252;
  ASSERT_EQ(cp1252.open("CP1252"), TextCodec::Opening::Opened);
  EXPECT_EQ(grouped(cp1252, "\x80 12345"),
            "\x80"
            "12,345")
      << "the euro sign of CP1252";
  EXPECT_EQ(grouped(TextCodec(), "\xA5 12345"), formatted("\xA5 12345")) << "Latin-1 as ever";
}

TEST_F(CommaEntryTest, EntriesMatchIgnoringAsciiCaseOnly) {
  LineListPtr section = make_list({
      "[COMMA_INSERT]Header:name",  // never an entry, whatever follows the brackets
      "COMPROBANTE:TOTAL",
      "Comprobante:subTotal ",  // the trailing blank is part of the attribute
      "\"ns:Detaprod\":importe",
      "ns:Concepto:valor",  // splits after ns
      "'ns:Otro\":x",       // either quote closes what the other opened
      "Pa\xD1o:a",          // only A to Z fold
      "{//Total}",
  });
  const LineList* s = section.get();  // looking entries up leaves the section as it is
  EXPECT_TRUE(is_comma_pair(s, "comprobante", "Total"));
  EXPECT_FALSE(is_comma_pair(s, "Comprobante", "subTotal"));
  EXPECT_TRUE(is_comma_pair(s, "Comprobante", "subtotal "));
  EXPECT_TRUE(is_comma_pair(s, "ns:Detaprod", "importe"));
  EXPECT_FALSE(is_comma_pair(s, "ns:Concepto", "valor"));
  EXPECT_TRUE(is_comma_pair(s, "ns", "Concepto:valor"));
  EXPECT_TRUE(is_comma_pair(s, "ns:Otro", "x"));
  EXPECT_TRUE(is_comma_pair(s, "Pa\xD1o", "A"));
  EXPECT_FALSE(is_comma_pair(s, "Pa\xF1o", "a"));
  EXPECT_FALSE(is_comma_pair(s, "Header", "name"));

  EXPECT_TRUE(is_comma_text(s, "{//TOTAL}"));
  EXPECT_TRUE(is_comma_text(s, "comprobante:total")) << "a pair line is also a whole text";
  EXPECT_FALSE(is_comma_text(s, "{//Total} "));
  EXPECT_FALSE(is_comma_text(s, "[COMMA_INSERT]Header:name"));

  LineListPtr header_only = make_list({"[COMMA_INSERT]"});
  EXPECT_FALSE(is_comma_text(header_only.get(), "[COMMA_INSERT]"));
  EXPECT_FALSE(is_comma_pair(nullptr, "a", "b"));
  EXPECT_FALSE(is_comma_text(nullptr, "a"));
}

}  // namespace
}  // namespace ruvo
