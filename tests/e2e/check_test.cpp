// ruvo-check through its binary: each typo a template author makes is reported at its line and
// column with a cause; ruvo's own traps in arguments, encodings and the configuration are
// named; nothing is written; the exit status tells clean, found and could-not-run apart.
#include <string>
#include <vector>

#include "e2e/binary_runner.h"
#include "support/test_support.h"

namespace ruvo {
namespace {

using test::file_exists;
using test::write_file;

constexpr const char* kDocument =
    "<?xml version=\"1.0\"?>\n"
    "<Comprobante xmlns=\"urn:f\" xmlns:x=\"urn:x\" total=\"12345.5\" folio=\"7\">\n"
    "  <Conceptos><Concepto importe=\"10\" d=\"Caf\xC3\xA9 \xE2\x80\xA6\"><Cargo monto=\"1\"/>"
    "</Concepto><Concepto/></Conceptos>\n"
    "  <x:Nota>hola</x:Nota>\n"
    "</Comprobante>\n";

constexpr const char* kConfig =
    "[COMMA_INSERT]\nComprobante:total\nConcepto:sinuso\n"
    "[TABLE_COLUMNS]<<Detalle>>\nConcepto:importe,I\n"
    "[MASTER_TABLE]<<Nunca>>\nelement,Concepto,,1\n";

class CheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(dir_.file("in.xml"), kDocument);
    write_file(dir_.file("Ruvo.cfg"), kConfig);
  }

  // ruvo-check on the template, with ruvo's arguments after the three file names.
  test::BinaryResult check(const std::string& template_text,
                           const std::vector<std::string>& options = {},
                           const std::vector<std::string>& environment = {}) {
    write_file(dir_.file("t.txt"), template_text);
    std::vector<std::string> arguments = {"in.xml", "t.txt", "out.txt"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    test::RunOptions run;
    run.binary = RUVO_CHECK_BINARY;
    run.extra_environment = environment;
    test::BinaryResult result = test::run_binary(dir_.path().string(), arguments, run);
    EXPECT_FALSE(file_exists(dir_.file("out.txt"))) << "ruvo-check never writes the output";
    EXPECT_FALSE(file_exists(dir_.file("Ruvo.log"))) << "nor the run log";
    return result;
  }

  test::TempDir dir_;
};

// One typo per case: the template line, the place reported and what the message must say.
struct Typo {
  const char* line;
  const char* place;
  std::vector<const char*> says;
};

class TypoTest : public CheckTest, public ::testing::WithParamInterface<Typo> {};

TEST_P(TypoTest, IsReportedAtItsPlaceWithItsCause) {
  const Typo& typo = GetParam();
  const test::BinaryResult result =
      check(std::string("Valor: ") + typo.line + "\n", {}, {"HOME=/home/ana"});
  EXPECT_EQ(result.exit_status, 1);
  const std::string& out = result.standard_output;
  EXPECT_NE(out.find(std::string("t.txt:") + typo.place + ": warning: "), std::string::npos) << out;
  for (const char* words : typo.says) {
    EXPECT_NE(out.find(words), std::string::npos) << "missing \"" << words << "\" in:\n" << out;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Typos, TypoTest,
    ::testing::Values(
        Typo{"<<Comprobante:totl>>", "1:8", {"no attribute \"totl\"", "did you mean \"total\""}},
        Typo{"<<comprobante:total>>", "1:8", {"no element \"comprobante\"", "\"Comprobante\"?"}},
        Typo{"<<{//Conceptos/Concept/@importe}>>",
             "1:8",
             {"\"Concept\" selects nothing", "its child elements: Concepto"}},
        Typo{"<<Detale>>", "1:8", {"no table has this name, but <<Detalle>> is defined"}},
        Typo{"<<%HOMEE%>>", "1:8", {"no variable \"HOMEE\"", "did you mean %HOME%?"}},
        Typo{"<< Comprobante:total >>", "1:8", {"blanks are part of the names"}},
        Typo{"<<[1/@importe>>", "1:8", {"also inside [...]", "no element \"[1/@importe\""}},
        Typo{"<<{//Conceptos//Cargo/@monto}>>", "1:8", {"\"//\" inside a path is read as \"/\""}},
        Typo{"<<{//Concepto[Cargo/@monto]/@importe}>>",
             "1:8",
             {"also inside [...]", "libxml2 cannot evaluate"}},
        Typo{"<<{//Concepto[Cargo]/@importe}>>",
             "1:8",
             {"names inside [...] are not given the document's default namespace",
              "zq-def-ns:Cargo"}},
        Typo{"<<{count(//Concepto)}>>", "1:8", {"function name", "Unregistered function"}},
        Typo{"<<x:Nota>>", "1:8", {"\"x\" is a prefix of the document", "<<'x:Nota'>>"}},
        Typo{"<<O'Brien:nombre>>", "1:8", {"a quote is left open"}},
        Typo{"<<{//Concepto/@d}>>", "1:8", {"Latin-1 cannot hold (U+2026)", "\"Caf\xC3\xA9 ?\""}},
        Typo{"<<{//Conceptos/node()}>>", "1:8", {"node() is given the namespace prefix"}},
        Typo{"<<{//x:Nota/TEXT()}>>", "1:8", {"XPath names are case-sensitive", "write text()"}},
        Typo{"<<{//x:Nota/txt()}>>", "1:8", {"did you mean text()?"}}));

TEST_F(CheckTest, ACleanTemplateGivesZeroAndListsItsValues) {
  const test::BinaryResult quiet = check("Total: <<Comprobante:total>>\n<<Detalle>>x\n");
  EXPECT_EQ(quiet.exit_status, 1) << "the unused table and COMMA_INSERT line are found";
  write_file(dir_.file("Ruvo.cfg"), "[COMMA_INSERT]\nComprobante:total\n");
  const test::BinaryResult clean = check("Total: <<Comprobante:total>>, folio <<{//@folio}>>\n");
  EXPECT_EQ(clean.exit_status, 0);
  EXPECT_EQ(clean.standard_output, "ruvo-check: 0 errors, 0 warnings (2 placeholders, 0 tables)\n");
  const test::BinaryResult listed =
      check("Total: <<Comprobante:total>>, folio <<{//@folio}>>\n", {"--list"});
  EXPECT_EQ(listed.exit_status, 0);
  EXPECT_EQ(listed.standard_output,
            "t.txt:1:8: note: <<Comprobante:total>> = \"12,345.5\" (thousands separators from "
            "COMMA_INSERT) [element:attribute, evaluated as //zq-def-ns:Comprobante/@total]\n"
            "t.txt:1:37: note: <<{//@folio}>> = \"7\" [XPath, evaluated as //@folio]\n"
            "ruvo-check: 0 errors, 0 warnings (2 placeholders, 0 tables)\n");
  write_file(dir_.file("Ruvo.cfg"), "");
  const test::BinaryResult json = check("<<{//@folio}>>\n", {"--json", "--list"});
  EXPECT_EQ(json.standard_output,
            "{\"file\":\"t.txt\",\"line\":1,\"column\":1,\"severity\":\"note\",\"kind\":\"xpath\","
            "\"expression\":\"//@folio\",\"value\":\"7\",\"message\":\"<<{//@folio}>> = \\\"7\\\" "
            "[XPath, evaluated as //@folio]\"}\n");
}

// What a supplier's text does to a run: line ends, placeholder text, and values that thousands
// separators would change.
TEST_F(CheckTest, ASuppliersTextIsExplained) {
  write_file(dir_.file("in.xml"),
             "<C xmlns=\"urn:c\" t=\"1 250,00\"><N>uno&#10;&lt;&lt;%HOME%&gt;&gt;</N>"
             "<D v=\"a&#10;b\"/></C>");
  write_file(dir_.file("Ruvo.cfg"), "[COMMA_INSERT]\nC:t\n[TABLE_COLUMNS]<<T>>\nD:v\n");
  const std::string out = check("<<N>>\n<<C:t>>\n<<T>>\n").standard_output;
  for (const char* expected :
       {"t.txt:1:1: warning: <<N>> places a value that holds line ends, so it prints as 2 lines",
        "t.txt:1:1: warning: <<N>> places a value that holds placeholder text, which ruvo fills "
        "in its turn: <<%HOME%>>; an environment placeholder in a document's value is not read",
        "t.txt:1: warning: <<%HOME%>> comes out empty: a value from the document brought it",
        "t.txt:2:1: warning: <<C:t>> is listed in COMMA_INSERT, but \"1 250,00\" is no plain "
        "number, and the thousands separators change what it says: it becomes \"125,000\"",
        "t.txt:3:1: warning: <<T>>: cell 1 holds line ends in 1 rows"}) {
    EXPECT_NE(out.find(expected), std::string::npos) << expected << "\nin:\n" << out;
  }
}

TEST_F(CheckTest, ConfigurationTrapsPointAtTheirLines) {
  write_file(dir_.file("Ruvo.cfg"),
             "[COMMA_INSERT]\nConcepto:sinuso\n"
             "[TABLE_COLUMNS]<<Detalle>>\nCargo:monto,M\nConcepto:importe,I\n"
             "[TABLE_COLUMNS]<<Roto>>\nsin dos puntos\n"
             "[MASTER_TABLE]<<Partidas>>\nelement,Concepto,,1\nelement,Cargo,//Cargo,2\n");
  const std::string out = check("Antes <<Detalle>>\n<<Roto>>\n<<Partidas>>\n").standard_output;
  for (const char* expected :
       {"Ruvo.cfg:2: warning: no value of this run matched the COMMA_INSERT line "
        "\"Concepto:sinuso\"",
        "Ruvo.cfg:4: warning: table <<Detalle>>: this line names the element \"Cargo\", but only "
        "the last line's element (\"Concepto\") makes rows",
        "Ruvo.cfg:7: warning: table <<Roto>>: the field line \"sin dos puntos\" has no ':' before",
        "Ruvo.cfg:10: warning: table <<Partidas>>: the path \"//Cargo\" is not used",
        "t.txt:1:7: warning: the text before <<Detalle>> is dropped",
        "t.txt:1:7: warning: <<Detalle>>: cell 1 is empty in every row (2 rows)",
        "t.txt:1:7: warning: <<Detalle>>: cell 2 repeats the value of an earlier row in 1 of 2 "
        "rows (first in row 2)",
        "t.txt:2:1: warning: <<Roto>> stays in the output"}) {
    EXPECT_NE(out.find(expected), std::string::npos) << expected << "\nin:\n" << out;
  }
}

TEST_F(CheckTest, ArgumentsAndEncodingsRuvoPassesOverAreNamed) {
  const std::string out =
      check("\xEF\xBB\xBFTotal: <<Comprobante:total>>\r\nfin\n", {"-preveiw", "2", "-c"})
          .standard_output;
  for (const char* expected :
       {"command-line:4: warning: ruvo ignores the argument \"-preveiw\": it is no option; did "
        "you mean \"-preview\"?",
        "command-line:5: warning: ruvo ignores the argument \"2\"",
        "t.txt:1:1: warning: the file starts with a UTF-8 byte-order mark",
        "t.txt:2: warning: the file mixes line ends (1 CR LF, 1 LF)"}) {
    EXPECT_NE(out.find(expected), std::string::npos) << expected << "\nin:\n" << out;
  }
  const std::string utf8 = check("Caf\xC3\xA9: <<Comprobante:total>>\n").standard_output;
  EXPECT_NE(utf8.find("t.txt:1:4: warning: the file is UTF-8 text"), std::string::npos) << utf8;
  EXPECT_NE(utf8.find("this looks like a UTF-8 template; run with -encoding UTF-8"),
            std::string::npos)
      << utf8;
}

// In a run of another encoding, what is lost is what that encoding cannot hold, and a file
// that is no text in it is named at its line.
TEST_F(CheckTest, ARunInAnotherEncodingIsExplainedInIt) {
  write_file(dir_.file("in.xml"),
             "<C xmlns=\"urn:c\" n=\"Pe\xC3\xB1"
             "a \xC5\x81\xC3\xB3"
             "d\xC5\xBA\"/>");
  const std::string lost = check("<<C:n>>\n", {"-encoding", "ISO-8859-2"}).standard_output;
  EXPECT_NE(lost.find("t.txt:1:1: warning: <<C:n>> holds characters that ISO-8859-2 cannot hold "
                      "(U+00F1); they come out as \"?\": \"Pe?a \xC5\x81\xC3\xB3"
                      "d\xC5\xBA\""),
            std::string::npos)
      << lost;

  // A UTF-8 run drops the byte-order mark; columns still count the file's bytes.
  const std::string marked = check("\xEF\xBB\xBF<<C:x>>\n", {"-encoding", "UTF-8"}).standard_output;
  EXPECT_NE(marked.find("t.txt:1:4: warning: <<C:x>> comes out empty"), std::string::npos)
      << marked;

  const test::BinaryResult latin1_template = check("Caf\xE9 <<C:n>>\n", {"-encoding", "UTF-8"});
  EXPECT_EQ(latin1_template.exit_status, 2);
  EXPECT_NE(latin1_template.standard_output.find(
                "t.txt:1: error: this line is no text in UTF-8, the run's encoding: ruvo reads "
                "none of the file and ends with status 252"),
            std::string::npos)
      << latin1_template.standard_output;

  write_file(dir_.file("l1.cfg"), "[COMMA_INSERT]\nC:\xE9\n");
  const test::BinaryResult latin1_config =
      check("<<C:n>>\n", {"-encoding", "UTF-8", "-c", "l1.cfg"});
  EXPECT_EQ(latin1_config.exit_status, 1);
  EXPECT_NE(latin1_config.standard_output.find("l1.cfg:2: error: this line is no text in UTF-8"),
            std::string::npos)
      << latin1_config.standard_output;
}

TEST_F(CheckTest, WhatMakesRuvoFailIsAnErrorAndWhatStopsTheCheckGivesTwo) {
  const test::BinaryResult missing_config = check("<<Comprobante:total>>\n", {"-c", "otro.cfg"});
  EXPECT_EQ(missing_config.exit_status, 1);
  EXPECT_NE(missing_config.standard_output.find(
                "otro.cfg: error: the configuration file was not found (looked for " +
                dir_.path().string() + "/otro.cfg); ruvo ends with status 252"),
            std::string::npos)
      << missing_config.standard_output;
  EXPECT_NE(missing_config.standard_output.find("touch otro.cfg"), std::string::npos);

  write_file(dir_.file("t.txt"), "x\n");
  test::RunOptions run;
  run.binary = RUVO_CHECK_BINARY;
  const test::BinaryResult same =
      test::run_binary(dir_.path().string(), {"in.xml", "t.txt", "t.txt"}, run);
  EXPECT_EQ(same.exit_status, 1);
  EXPECT_NE(same.standard_output.find("command-line:3: error: the output t.txt is the same file "
                                      "as t.txt: ruvo writes nothing and ends with status 253"),
            std::string::npos)
      << same.standard_output;

  write_file(dir_.file("in.xml"), "<a>\n<b></a>\n");
  const test::BinaryResult broken = check("x\n");
  EXPECT_EQ(broken.exit_status, 1);
  EXPECT_NE(broken.standard_output.find("in.xml:3:1: error: Premature end of data in tag a"),
            std::string::npos)
      << broken.standard_output;

  const test::BinaryResult unreadable =
      test::run_binary(dir_.path().string(), {"nada.xml", "t.txt", "out.txt"}, run);
  EXPECT_EQ(unreadable.exit_status, 2);
  EXPECT_EQ(test::run_binary(dir_.path().string(), {"in.xml"}, run).exit_status, 2);
}

}  // namespace
}  // namespace ruvo
