#include "tables/master_table.h"

#include "tables/table_fixture.h"

namespace ruvo {
namespace {

using Lines = std::vector<std::string>;

class MasterTableTest : public test::TableFixture {
 protected:
  Lines expand(const std::string& template_line, const Lines& definition,
               LineList* comma = nullptr) {
    set_template({template_line}, 0);
    Lines section_lines = {"[MASTER_TABLE]<<T>>"};
    section_lines.insert(section_lines.end(), definition.begin(), definition.end());
    EXPECT_EQ(expand_master_table(context_, template_.get(), nullptr, section(section_lines),
                                  CommaInsert(comma), "T", run_.environment()),
              TableResult::Expanded);
    return output();
  }

  // A root holding n elements <I n="1"/> ... <I n="n"/>.
  void parse_items(int n) {
    std::string xml = "<r>";
    for (int i = 1; i <= n; ++i) {
      xml += "<I n=\"" + std::to_string(i) + "\"/>";
    }
    parse(xml + "</r>");
  }

  // The value lines of a one-field level without the "C" flag.
  static Lines values(const Lines& lines) {
    Lines found;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
      if (lines[i] == "~# ") {
        found.push_back(lines[i + 1]);
      }
    }
    return found;
  }
};

TEST_F(MasterTableTest, WorkedExampleInTextAndXmlMode) {
  const Lines expected = {"~[ A B",  "~# Cant", "2",  "~# Imp",  "10.00", "~]",
                          "~<Monto", "0.16",    "~>", "~<Monto", "0.08",  "~>",
                          "~[ A B",  "~# Cant", "1",  "~# Imp",  "",      "~]"};
  const Lines definition = {"element,Detaprod,,1", "attribute,cantidad,Cant",
                            "attribute,importe,Imp", "element,Cargo,,2C", "attribute,monto,Monto"};
  parse(
      "<Comprobante xmlns=\"urn:factura\">"
      "<Detaprod cantidad=\"2\" importe=\"10.00\"><Cargo monto=\"0.16\"/><Cargo monto=\"0.08\"/>"
      "</Detaprod><Detaprod cantidad=\"1\"/></Comprobante>");
  EXPECT_EQ(expand("<<T>>A B", definition), expected);
  EXPECT_EQ(cursor_line(), "~]");
  run_.settings.output_mode = OutputMode::Xml;
  EXPECT_EQ(expand("<<T>>A B", definition), expected);
  XmlCharPtr last(xmlGetProp(context_.get()->node, BAD_CAST "cantidad"));
  EXPECT_STREQ(reinterpret_cast<const char*>(last.get()), "1")
      << "the context node stays on the last first-level node";
}

TEST_F(MasterTableTest, PreviewKeepsTheFirstAndLastRowsOfEachLevel) {
  parse_items(10);
  run_.settings.preview = {true, 2};
  EXPECT_EQ(values(expand("<<T>>", {"element,I", "attribute,n,"})), (Lines{"1", "2", "9", "10"}));

  parse_items(4);
  EXPECT_EQ(values(expand("<<T>>", {"element,I", "attribute,n,"})), (Lines{"1", "2", "3", "4"}));

  run_.settings.preview = {true, 0};
  EXPECT_EQ(expand("<<T>>", {"element,I", "attribute,n,"}), Lines{});
  run_.settings.preview = {true, -3};
  EXPECT_EQ(expand("<<T>>", {"element,I", "attribute,n,"}), Lines{});
  run_.settings.preview = {true, -2147483647 - 1};
  EXPECT_EQ(expand("<<T>>", {"element,I", "attribute,n,"}), Lines{});
}

TEST_F(MasterTableTest, PreviewAppliesAnewUnderEachParentAndSkipsWhatIsUnder) {
  parse(
      "<r><P p=\"1\"><C c=\"a\"/><C c=\"b\"/><C c=\"c\"/></P><P p=\"2\"><C c=\"d\"/></P>"
      "<P p=\"3\"><C c=\"e\"/></P></r>");
  run_.settings.preview = {true, 1};
  EXPECT_EQ(
      values(expand("<<T>>", {"element,P,,1", "attribute,p,", "element,C,,2", "attribute,c,"})),
      (Lines{"1", "a", "c", "3", "e"}));
}

TEST_F(MasterTableTest, RowsBreakAtTheRowWidth) {
  parse("<r><I a=\"1\" b=\"2\" c=\"3\" d=\"4\" e=\"5\"/></r>");
  const Lines five = {"element,I",     "attribute,a,A", "attribute,b,B",
                      "attribute,c,C", "attribute,d,D", "attribute,e,E"};
  EXPECT_EQ(expand("<<T>>x y", five),
            (Lines{"~[ x y", "~# A", "1", "~# B", "2", "~]", "~[ x y", "~# C", "3", "~# D", "4",
                   "~]", "~[ x y", "~# E", "5", "~]"}));

  Lines five_blocks = five;
  five_blocks[0] = "element,I,,1C";
  EXPECT_EQ(expand("<<T>>x y", five_blocks),
            (Lines{"~<A", "1", "2", "~>", "~<B", "3", "4", "~>", "~<D", "5", "~>"}));

  // Width 1: every cell stands in a row of its own.
  EXPECT_EQ(expand("<<T>>", {"element,I", "attribute,a,A", "attribute,b,B"}),
            (Lines{"~[ ", "~# A", "1", "~]", "~[ ", "~# B", "2", "~]"}));
  // Cells that exactly fill the width end with one row end.
  EXPECT_EQ(expand("<<T>>x y", {"element,I", "attribute,a,A", "attribute,b,B"}),
            (Lines{"~[ x y", "~# A", "1", "~# B", "2", "~]"}));
}

TEST_F(MasterTableTest, SameLevelNumberListsTheSiblingsAgainForEveryNode) {
  parse("<r><A a=\"1\"/><A a=\"2\"/><B b=\"x\"/><B b=\"y\"/></r>");
  EXPECT_EQ(
      values(expand("<<T>>", {"element,A,,1", "attribute,a,", "element,B,,1", "attribute,b,"})),
      (Lines{"1", "x", "y", "2", "x", "y"}));
  // A level named like its predecessor with the same number starts at the first such sibling.
  EXPECT_EQ(
      values(expand("<<T>>", {"element,A,,1", "attribute,a,", "element,A,,1", "attribute,a,"})),
      (Lines{"1", "1", "2", "2", "1", "2"}));
}

TEST_F(MasterTableTest, FirstLevelVisitsOnlyTheFirstSelectedNodesSiblings) {
  parse("<r><g><I n=\"1\"/><x/><I n=\"2\"/></g><g><I n=\"3\"/></g></r>");
  EXPECT_EQ(values(expand("<<T>>", {"element,I", "attribute,n,"})), (Lines{"1", "2"}));
  EXPECT_EQ(values(expand("<<T>>", {"element,I,/r/g[2]/I", "attribute,n,"})), (Lines{"3"}));
  EXPECT_EQ(expand("<<T>>", {"element,I,//nothing", "attribute,n,"}), Lines{});
  // Namespace nodes are no elements and have no siblings to walk.
  EXPECT_EQ(expand("<<T>>", {"element,I,//namespace::*", "attribute,n,"}), Lines{});
}

TEST_F(MasterTableTest, PrefixedLevelNamesMatchTheQualifiedName) {
  parse(
      "<c:R xmlns:c=\"urn:c\" xmlns:d=\"urn:d\"><c:C n=\"1\"><c:T t=\"a\"/><c:T t=\"b\"/></c:C>"
      "<d:C n=\"x\"/><c:C n=\"2\"/></c:R>");
  EXPECT_EQ(
      values(expand("<<T>>", {"element,c:C,,1", "attribute,n,", "element,c:T,,2", "attribute,t,"})),
      (Lines{"1", "a", "b", "2"}));
  // Without a colon the local name is compared, as always; another prefix is another name.
  EXPECT_EQ(values(expand("<<T>>", {"element,C,//c:C", "attribute,n,"})), (Lines{"1", "x", "2"}));
  EXPECT_EQ(expand("<<T>>", {"element,e:C,//c:C", "attribute,n,"}), Lines{});
}

TEST_F(MasterTableTest, ExpressionCellsReadFromTheLevelsElement) {
  parse(
      "<R xmlns=\"urn:r\" xmlns:c=\"urn:c\"><L><c:Q>1500</c:Q><N>uno</N><T v=\"a\"/></L>"
      "<L><T v=\"b\"/><T v=\"c\"/></L></R>");
  LineList* comma = section({"[COMMA_INSERT]", "{c:Q}"});
  EXPECT_EQ(
      expand("<<T>>",
             {"element,L,,1", "attribute,{c:Q},Q", "attribute,{N},N", "attribute,{count(*)},C",
              "element,T,,2", "attribute,{../N},P", "attribute,v,V"},
             comma),
      (Lines{"~[ ", "~# Q", "1,500", "~]",   "~[ ", "~# N", "uno", "~]",   "~[ ", "~# C",
             "",    "~]",   "~[ ",   "~# P", "uno", "~]",   "~[ ", "~# V", "a",   "~]",  //
             "~[ ", "~# Q", "",      "~]",   "~[ ", "~# N", "",    "~]",   "~[ ", "~# C",
             "",    "~]",   "~[ ",   "~# P", "",    "~]",   "~[ ", "~# V", "b",   "~]",
             "~[ ", "~# P", "",      "~]",   "~[ ", "~# V", "c",   "~]"}));
  EXPECT_STREQ(reinterpret_cast<const char*>(context_.get()->node->name), "L")
      << "cells leave the context node on the last first-level element";
}

TEST_F(MasterTableTest, CellsComeFromTheNodesOwnAttributes) {
  parse("<r xmlns:p=\"urn:p\"><I a=\"\" p:b=\"pb\"><I a=\"inner\"/></I></r>");
  EXPECT_EQ(expand("<<T>>", {"element,I", "attribute,,Empty", "attribute,a,A", "attribute,b,B",
                             "attribute,missing,M"}),
            (Lines{"~[ ", "~# Empty", "", "~]", "~[ ", "~# A", "", "~]", "~[ ", "~# B", "pb", "~]",
                   "~[ ", "~# M", "", "~]"}));
}

TEST_F(MasterTableTest, ThousandsSeparatorsFollowTheQualifiedNodeName) {
  parse("<r xmlns:ns=\"urn:n\"><ns:D v=\"1234567\"/><E v=\"1234\"/></r>");
  LineList* comma = section({"[COMMA_INSERT]", "\"ns:D\":v", "E:v"});
  EXPECT_EQ(values(expand("<<T>>", {"element,D,//ns:D", "attribute,v,"}, comma)),
            Lines{"1,234,567"});
  EXPECT_EQ(values(expand("<<T>>", {"element,E", "attribute,v,"}, comma)), Lines{"1,234"});
  LineList* bare = section({"[COMMA_INSERT]", "D:v"});
  EXPECT_EQ(values(expand("<<T>>", {"element,D,//ns:D", "attribute,v,"}, bare)), Lines{"1234567"});
}

// The document's own name is compared: a prefix beyond the configuration's encoding is no '?'
// that an entry written with '?' would match.
TEST_F(MasterTableTest, ThousandsSeparatorsCompareTheDocumentsOwnName) {
  parse(
      "<r xmlns:\xCE\xB1=\"urn:a\" xmlns:\xCE\xB2=\"urn:b\"><\xCE\xB1:Item amt=\"1234\"/>"
      "<\xCE\xB2:Item amt=\"5678\"/><Pa\xC3\xB1o amt=\"9999\"/></r>");
  LineList* question = section({"[COMMA_INSERT]", "'?:Item':amt"});
  EXPECT_EQ(values(expand("<<T>>", {"element,Item,//*[@amt][1]", "attribute,amt,"}, question)),
            (Lines{"1234", "5678"}));
  LineList* latin1 = section({"[COMMA_INSERT]", "Pa\xF1o:amt"});
  EXPECT_EQ(values(expand("<<T>>", {"element,Pa\xF1o", "attribute,amt,"}, latin1)), Lines{"9,999"})
      << "a Latin-1 name still matches the document's UTF-8 one";
}

TEST_F(MasterTableTest, AChainOfAnyLengthCostsNoStack) {
  // Each level used to be one more nested call: a long chain overflowed the stack.
  parse_items(1);
  Lines definition(200000, "element,I,,1");
  definition.push_back("attribute,n");
  EXPECT_EQ(expand("<<T>>", definition), (Lines{"~[ ", "~# ", "1", "~]"}));
}

}  // namespace
}  // namespace ruvo
