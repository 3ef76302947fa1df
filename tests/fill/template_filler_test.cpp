// The scanner in-process: how placeholders are found and classified, and where the scan goes
// after each one.
#include "fill/template_filler.h"

#include <optional>

#include "tables/table_fixture.h"
#include "text/output_file.h"

namespace ruvo {
namespace {

using Lines = std::vector<std::string>;

constexpr const char* kDocument =
    "<Comprobante xmlns=\"urn:f\" xmlns:ns=\"urn:ns\" total=\"1234\" subTotal=\"99\">"
    "<ns:Comprobante total=\"5\" Comprobante=\"ns-attr\"/>"
    "<Total>T</Total><Num>5000</Num><a>A&amp;B</a><D importe=\"7\"/><D "
    "importe=\"8\"/><ns:Nota>N</ns:Nota><ns:Grupo><ns:Cantidad>12000</ns:Cantidad></ns:Grupo>"
    "</Comprobante>";

class TemplateFillerTest : public test::TableFixture {
 protected:
  void SetUp() override {
    TableFixture::SetUp();
    configuration_.emplace();
  }
  void TearDown() override {
    configuration_.reset();
    TableFixture::TearDown();
  }

  // Fills the template twice: once holding every line, once handing finished lines to an
  // output file as a run does. Both must give the same bytes. The COMMA_INSERT section is the
  // given lines, or none.
  Lines fill(const Lines& lines, const Lines& comma = {}) {
    parse(kDocument);
    configuration_->set_comma_section(comma.empty() ? LineListPtr() : test::make_list(comma));
    template_ = test::make_list(lines);
    EXPECT_EQ(fill_template(document_.get(), template_.get(), *configuration_, run_.environment(),
                            nullptr),
              FillOutcome::Filled);
    const Lines held = output();

    const std::string path = dir_.file("out.txt");
    {
      LineListPtr streamed = test::make_list(lines);
      OutputFile file(path.c_str());
      EXPECT_TRUE(file.streams());
      EXPECT_EQ(fill_template(document_.get(), streamed.get(), *configuration_, run_.environment(),
                              &file),
                FillOutcome::Filled);
      EXPECT_TRUE(file.finish(streamed.get()));
    }
    std::string joined;
    for (std::size_t i = 0; i < held.size(); ++i) {
      joined += (i > 0 ? "\n" : "") + held[i];
    }
    EXPECT_EQ(test::read_file(path), joined) << "streamed output differs from the held one";
    return held;
  }

  void add_column(const Lines& lines) {
    ASSERT_TRUE(configuration_->add_column_section(test::make_list(lines)));
  }
  void add_master(const Lines& lines) {
    ASSERT_TRUE(configuration_->add_master_section(test::make_list(lines)));
  }

  std::optional<Configuration> configuration_;
  test::TempDir dir_;
};

TEST_F(TemplateFillerTest, FindsPlaceholdersLeftToRight) {
  EXPECT_EQ(fill({}), Lines{});
  EXPECT_EQ(fill({"a<<>>b", "<<Comprobante:subTotal>> - <<Comprobante:total>>", "<<a>>>"}),
            (Lines{"ab", "99 - 1234", "A&B>"}));
  EXPECT_EQ(fill({"x >> <<y", "<<Comprobante:total>> <<z", "<<"}),
            (Lines{"x >> <<y", "1234 <<z", "<<"}));
}

TEST_F(TemplateFillerTest, SeparatorColonDecidesTheElementAttributeKind) {
  EXPECT_EQ(fill({"<<'ns:Comprobante':'total'>>", "<<ns:Comprobante>>", "<<Total>> 10:30",
                  "<<a'b:c>> it's 10:30", "<<{//ns:Comprobante/@total}>>"}),
            (Lines{"5", "", "T 10:30", " it's 10:30", "5"}));
}

TEST_F(TemplateFillerTest, ColumnTablesWinOverMasterTablesOfTheSameName) {
  add_column({"[TABLE_COLUMNS]<<T>>", "D:importe"});
  add_master({"[MASTER_TABLE]<<T>>", "element,D", "attribute,importe,M"});
  add_master({"[MASTER_TABLE]<<M>>", "element,D", "attribute,importe,M"});
  EXPECT_EQ(fill({"<<T>>", "<<M>>"}), (Lines{"~[ ", "~# ", "7", "~]", "~[ ", "~# ", "8", "~]",  //
                                             "~[ ", "~# M", "7", "~]", "~[ ", "~# M", "8", "~]"}));
}

TEST_F(TemplateFillerTest, TableLineIsFilledToTheLeftAndKeptAsRowTextToTheRight) {
  add_column({"[TABLE_COLUMNS]<<T>>", "D:importe"});
  EXPECT_EQ(fill({"<<T>>", "<<Comprobante:subTotal>> <<T>> <<Comprobante:total>>",
                  "after <<Comprobante:subTotal>>"}),
            (Lines{"~[ ", "~# ", "7", "~]", "~[ ", "~# ", "8", "~]",  //
                   "~[  <<Comprobante:total>>", "~# ", "7", "~]",     //
                   "~[  <<Comprobante:total>>", "~# ", "8", "~]", "after 99"}));
}

TEST_F(TemplateFillerTest, TablesAnywhereStreamLikeTheyAreHeld) {
  add_column({"[TABLE_COLUMNS]<<T>>", "D:importe,I"});
  add_column({"[TABLE_COLUMNS]<<N>>", "Nada:x"});
  add_master({"[MASTER_TABLE]<<M>>", "element,D,,1C", "attribute,importe,M"});
  EXPECT_EQ(fill({"<<T>>", "<<M>>"}), (Lines{"~[ ", "~# I", "7", "~]", "~[ ", "~# I", "8", "~]",
                                             "~<M", "7", "~>", "~<M", "8", "~>"}));
  EXPECT_EQ(fill({"head <<Total>>", "<<N>>", "<<M>> tail", "<<N>>", "<<Num>>", "<<T>>"}),
            (Lines{"head T", "~<M", "7", "~>", "~<M", "8", "~>", "5000", "~[ ", "~# I", "7", "~]",
                   "~[ ", "~# I", "8", "~]"}));
}

TEST_F(TemplateFillerTest, LongLinesKeepValuesApartUntilOneBringsAPlaceholder) {
  setenv("RUVO_FILL_NEXT", "<<Num>>", 1);
  setenv("RUVO_FILL_LT", "<", 1);
  EXPECT_EQ(fill({"a <<Comprobante:subTotal>> b <<%RUVO_FILL_NEXT%>> c <<Total>><<a>>",
                  "<<%RUVO_FILL_LT%>><<Total>> <<Total>>"}),
            (Lines{"a 99 b 5000 c TA&B", " T"}))
      << "a value's '<' and the next placeholder make \"<<<Total>>\", an element not found";
  // The thousandth placeholder of a line is its last; what follows stays as written.
  std::string line;
  for (int i = 0; i <= kMaxPlaceholdersPerLine; ++i) {
    line += "<<Total>>,";
  }
  std::string filled;
  for (int i = 0; i < kMaxPlaceholdersPerLine; ++i) {
    filled += "T,";
  }
  EXPECT_EQ(fill({line, "<<Total>>"}), (Lines{filled + "<<Total>>,", "T"}));
  unsetenv("RUVO_FILL_NEXT");
  unsetenv("RUVO_FILL_LT");
}

TEST_F(TemplateFillerTest, TableWithoutRowsOnTheFirstOrOnlyLine) {
  add_column({"[TABLE_COLUMNS]<<N>>", "Nada:x"});
  EXPECT_EQ(fill({"<<N>>", "<<Comprobante:subTotal>>"}), Lines{"99"});
  EXPECT_EQ(fill({"<<N>>"}), Lines{});
  EXPECT_EQ(fill({"<<Comprobante:subTotal>>", "<<N>>"}), Lines{"99"});
}

TEST_F(TemplateFillerTest, XPathResultsThatAreNoNodesPlaceNothing) {
  EXPECT_EQ(fill({"[<<{count(//ns:Comprobante)}>>][<<{'text'}>>][<<{}>>][<<{//nada}>>]"}),
            Lines{"[][][][]"});
}

TEST_F(TemplateFillerTest, XPathAndBareElementsMoveTheContextNode) {
  EXPECT_EQ(fill({"<<{//D[2]}>><<{@importe}>> <<{@importe}>>", "<<ns:Comprobante:x>>",
                  "<<D>><<{@importe}>>"}),
            (Lines{"8 ", "", "7"}));
  // A namespace node of a result dies with it, so it never becomes the context node.
  EXPECT_EQ(fill({"<<{//D[2]}>><<{//namespace::*}>>|<<{@importe}>>"}),
            Lines{"http://www.w3.org/XML/1998/namespace|8"});
}

TEST_F(TemplateFillerTest, ARepeatedExpressionStillMovesTheContextNode) {
  EXPECT_EQ(fill({"<<{/Comprobante/D[2]}>><<{@importe}>>", "<<{//D[1]}>><<{@importe}>>",
                  "<<{/Comprobante/D[2]}>><<{@importe}>>", "<<D>><<{@importe}>>"}),
            (Lines{"8", "7", "8", "7"}));
}

TEST_F(TemplateFillerTest, WholeTextKeysOfTheCommaSection) {
  setenv("RUVO_FILL_TOTAL", "1234567", 1);
  const Lines comma = {"[COMMA_INSERT]", "%RUVO_FILL_TOTAL%", "{//@total}", "Num",
                       "comprobante:SUBTOTAL"};
  EXPECT_EQ(fill({"<<%RUVO_FILL_TOTAL%>> <<{//@total}>> <<{/*/@total}>> <<Num>> <<Total>>"}, comma),
            Lines{"1,234,567 1,234 1234 5,000 T"});
  const Lines bare_name = {"[COMMA_INSERT]", "RUVO_FILL_TOTAL"};
  EXPECT_EQ(fill({"<<%RUVO_FILL_TOTAL%>> <<%UNSET_RUVO_VARIABLE%>>"}, bare_name),
            Lines{"1234567 "});
  unsetenv("RUVO_FILL_TOTAL");
}

TEST_F(TemplateFillerTest, QuotedBareElementsMayHoldAPrefixOrAPath) {
  const Lines comma = {"[COMMA_INSERT]", "ns:Cantidad"};
  EXPECT_EQ(fill({"<<'ns:Nota'>>|<<\"ns:Nota\">>|<<'ns:Grupo/ns:Cantidad'>>|<<'Total'>>",
                  "<<'ns:Cantidad'>>", "<<'ns:Nota'x>>|<<''>>|<<'a\"b'>>|<<'ns:Nota\">>"},
                 comma),
            (Lines{"N|N|12000|T", "12,000", "|||"}));
}

TEST_F(TemplateFillerTest, XmlModeLeavesBareElementsUnencoded) {
  run_.settings.output_mode = OutputMode::Xml;
  EXPECT_EQ(fill({"<<a>> <<{//a}>>"}), Lines{"A&B A&amp;B"});
}

}  // namespace
}  // namespace ruvo
