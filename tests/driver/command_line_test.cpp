#include "driver/command_line.h"

#include <string>
#include <vector>

#include "support/test_support.h"

namespace ruvo {
namespace {

class CommandLineTest : public test::CleanStateTest {
 protected:
  std::vector<std::string> split(const char* text) {
    table_ = ArgTable();
    EXPECT_TRUE(table_.allocate());
    stored_ = split_command_line(text, table_, ArgTable::kSlots);
    std::vector<std::string> arguments;
    for (int i = 0; i < stored_.count; ++i) {
      arguments.emplace_back(table_.at(i));
    }
    return arguments;
  }

  // Splits and applies the options; true when "-h" was met.
  bool options(const char* text) {
    split(text);
    return apply_options(table_, stored_.count, settings_);
  }

  void TearDown() override {
    table_ = ArgTable();
    test::CleanStateTest::TearDown();
  }

  ArgTable table_;
  StoredArguments stored_;
  RunSettings settings_;
};

using Args = std::vector<std::string>;

TEST_F(CommandLineTest, SplitsOnSpacesOnlyAndDropsOuterQuotes) {
  EXPECT_EQ(split(""), Args{});
  EXPECT_EQ(split("   "), Args{});
  EXPECT_EQ(split("  a  b "), (Args{"a", "b"}));
  EXPECT_EQ(split("a\tb c"), (Args{"a\tb", "c"})) << "a tab does not split";
  EXPECT_EQ(split("\"in put.xml\" 'tem plate' x\"o u\"t"),
            (Args{"in put.xml", "tem plate", "x\"o u\"t"}));
  EXPECT_EQ(split("\"\" ''"), (Args{"", ""}));
  // One flag serves both quote characters: a single quote closes a double-quoted run.
  EXPECT_EQ(split("\"a b' c"), (Args{"\"a b'", "c"}));
  // A quote left open takes the rest of the text; a lone quote stays as it is.
  EXPECT_EQ(split("a \"b c"), (Args{"a", "\"b c"}));
  EXPECT_EQ(split("a \""), (Args{"a", "\""}));
  EXPECT_EQ(split("\"a' b"), (Args{"\"a'", "b"})) << "different outer quotes stay";
}

TEST_F(CommandLineTest, StoresAtMostNineteenArguments) {
  std::string text;
  for (int i = 1; i <= 25; ++i) {
    text += "a" + std::to_string(i) + " ";
  }
  const Args arguments = split(text.c_str());
  ASSERT_EQ(arguments.size(), 19u);
  EXPECT_EQ(arguments.back(), "a19");

  // What follows the 19th argument is ignored, even an argument too long for a slot.
  text += std::string(300, 'x');
  EXPECT_EQ(split(text.c_str()).size(), 19u);
  EXPECT_FALSE(stored_.too_long);
}

TEST_F(CommandLineTest, RefusesAnArgumentLongerThanItsSlot) {
  const std::string fits(259, 'f');
  EXPECT_EQ(split(("a " + fits).c_str()), (Args{"a", fits}));
  EXPECT_FALSE(stored_.too_long);

  split(("a " + fits + "g b").c_str());
  EXPECT_TRUE(stored_.too_long);

  // The argv form stores each element as it is, quotes and blanks included.
  ArgTable table;
  ASSERT_TRUE(table.allocate());
  const char* argv[] = {"\"x y\"", "", "-c"};
  const StoredArguments stored = store_arguments(3, argv, table, ArgTable::kSlots);
  EXPECT_EQ(stored.count, 3);
  EXPECT_STREQ(table.at(0), "\"x y\"");
  EXPECT_STREQ(table.at(1), "");
  const std::string too_long(260, 'z');
  const char* long_argv[] = {"a", too_long.c_str()};
  EXPECT_TRUE(store_arguments(2, long_argv, table, ArgTable::kSlots).too_long);
}

TEST_F(CommandLineTest, OptionsTakePositionsAndTheLastOneWins) {
  EXPECT_FALSE(options("in.xml -xml tpl.txt out.txt"));
  EXPECT_STREQ(table_.at(1), "-xml") << "an option among the first three is a position";
  EXPECT_EQ(settings_.output_mode, OutputMode::Xml);

  settings_ = RunSettings{};
  EXPECT_FALSE(options("a b c -XML -Text"));
  EXPECT_EQ(settings_.output_mode, OutputMode::Text);

  settings_ = RunSettings{};
  EXPECT_FALSE(options("a b c -c"));
  EXPECT_STREQ(settings_.config_path, "Ruvo.cfg");

  settings_ = RunSettings{};
  EXPECT_FALSE(options("a b c -c one.cfg -c -xml"));
  EXPECT_STREQ(settings_.config_path, "-xml") << "the following argument is not consumed";
  EXPECT_EQ(settings_.output_mode, OutputMode::Xml);
  settings_ = RunSettings{};
}

TEST_F(CommandLineTest, PreviewReadsTheFollowingArgumentAsRowCount) {
  const auto preview = [&](const char* text) {
    settings_ = RunSettings{};
    EXPECT_FALSE(options(text));
    return settings_.preview;
  };
  EXPECT_EQ(preview("a b c -preview").rows, 10);
  EXPECT_TRUE(preview("a b c -preview").on);
  EXPECT_EQ(preview("a b c -preview abc").rows, 0);
  EXPECT_TRUE(preview("a b c -preview abc").on);
  EXPECT_EQ(preview("a b c -preview -5").rows, -5);
  EXPECT_EQ(preview("a b c -PREVIEW 3x").rows, 3);
  EXPECT_FALSE(preview("a b c").on);
  settings_ = RunSettings{};
}

TEST_F(CommandLineTest, HelpWinsWhereverItStands) {
  EXPECT_TRUE(options("x -H y z w"));
  EXPECT_TRUE(options("-h"));
  EXPECT_FALSE(options("-help a b"));
}

TEST(RowCountTest, ReadsLikeADecimalIntegerAndHoldsAtTheLimits) {
  EXPECT_EQ(parse_row_count("  +12"), 12);
  EXPECT_EQ(parse_row_count("\t-7z"), -7);
  EXPECT_EQ(parse_row_count(""), 0);
  EXPECT_EQ(parse_row_count("- 3"), 0);
  EXPECT_EQ(parse_row_count("99999999999999999999"), 2147483647);
  EXPECT_EQ(parse_row_count("-99999999999999999999"), -2147483647 - 1);
}

}  // namespace
}  // namespace ruvo
