// Filling templates through the built binary: every placeholder kind, both tables, both output
// modes, thousands separators, preview, and the failing ending.
#include <string>
#include <vector>

#include "e2e/binary_runner.h"
#include "support/test_support.h"

namespace ruvo {
namespace {

using test::read_file;
using test::write_file;
using Lines = std::vector<std::string>;

constexpr const char* kMemoryLine = "TS:INFO. Conteo de Memoria Total memoria final:: 0";

// A default namespace on the root, a prefixed element, accents (UTF-8) and an ampersand.
constexpr const char* kInvoice =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!-- before the root -->\n"
    "<Comprobante xmlns=\"urn:factura\" xmlns:ns=\"urn:ns\" total=\"1234567.891\" "
    "subTotal=\"1000\" nombre=\"Pe\xC3\xB1"
    "a &amp; Hijos\">\n"
    "  <ns:Extra valor=\"9876\"/>\n"
    "  <Detaprod cantidad=\"2\" descripcion=\"Tornillo\" importe=\"150.00\">\n"
    "    <Cargo monto=\"0.16\"/><Cargo monto=\"0.08\"/>\n"
    "  </Detaprod>\n"
    "  <Detaprod cantidad=\"1\" descripcion=\"Tuerca\"/>\n"
    "  <Nota>A &amp; B</Nota>\n"
    "</Comprobante>\n";

class FillTest : public ::testing::Test {
 protected:
  void SetUp() override { write_file(dir_.file("in.xml"), kInvoice); }

  // Runs the template and configuration given as lines; returns the output file.
  std::string fill(const Lines& template_lines, const Lines& config, Lines options = {},
                   int expected_status = 0) {
    write_file(dir_.file("tpl.txt"), joined(template_lines));
    write_file(dir_.file("Ruvo.cfg"), joined(config));
    Lines arguments = {"in.xml", "tpl.txt", "out.txt"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    const test::BinaryResult result =
        test::run_binary(dir_.path().string(), arguments, {"RUVO_TEST_VALUE=1234.5"});
    EXPECT_EQ(result.exit_status, expected_status);
    EXPECT_EQ(result.standard_output, "");
    EXPECT_EQ(result.standard_error, "");
    return read_file(dir_.file("out.txt"));
  }

  static std::string joined(const Lines& lines) {
    std::string text;
    for (const std::string& line : lines) {
      text += line + "\n";
    }
    return text;
  }

  Lines log() const { return test::masked_log_lines(read_file(dir_.file("Ruvo.log"))); }

  test::TempDir dir_;
};

TEST_F(FillTest, EveryPlaceholderKindInTextMode) {
  EXPECT_EQ(fill({"pair=<<Comprobante:subTotal>> quoted=<<'ns:Extra':'valor'>> none=<<X:y>>",
                  "xpath=<<{//ns:Extra/@valor}>> env=<<%RUVO_TEST_VALUE%>> <<%>><<%%>>",
                  "bare=<<Nota>> latin1=<<Comprobante:nombre>> empty=a<<>>b <<a>>>"},
                 {}),
            "pair=1000 quoted=9876 none=\n"
            "xpath=9876 env=1234.5 \n"
            "bare=A & B latin1=Pe\xF1"
            "a & Hijos empty=ab >");
  EXPECT_EQ(log(), (Lines{"TS:WARNING: Error al reemplazar elemento:", "                //a"}));
}

TEST_F(FillTest, XmlModeEncodesEveryKindButTheBareElement) {
  EXPECT_EQ(fill({"<<Comprobante:nombre>>|<<{//Nota}>>|<<Nota>>"}, {}, {"-xml"}),
            "Pe\xF1"
            "a &amp; Hijos|A &amp; B|A & B");
}

TEST_F(FillTest, ListedValuesGetThousandsSeparatorsForEveryCaller) {
  EXPECT_EQ(fill({"<<Comprobante:total>> <<Comprobante:subTotal>> <<'ns:Extra':valor>>",
                  "<<{//ns:Extra/@valor}>> <<{//@subTotal}>> <<%RUVO_TEST_VALUE%>> <<Nota>>",
                  "<<Lista>>"},
                 {"[COMMA_INSERT]", "COMPROBANTE:TOTAL", "\"ns:Extra\":valor",
                  "{//ns:Extra/@valor}", "%ruvo_test_value%", "Detaprod:importe",
                  "[TABLE_COLUMNS]<<Lista>>", "Detaprod:importe"}),
            "1,234,567.891 1000 9,876\n"
            "9,876 1000 1,234.5 A & B\n"
            "~[ \n~# \n150.00\n~]\n~[ \n~# \n150.00\n~]");
}

TEST_F(FillTest, ColumnTableWorkedExample) {
  EXPECT_EQ(fill({"Factura", "<<Detalle>>", "Fin"},
                 {"[TABLE_COLUMNS]<<Detalle>>", "Detaprod:cantidad,Jr@?",
                  "Detaprod:descripcion,Jl@?", "Detaprod:importe,Jr@?"}),
            "Factura\n~[ \n~# Jr@?\n2\n~# Jl@?\nTornillo\n~# Jr@?\n150.00\n~]\n"
            "~[ \n~# Jr@?\n1\n~# Jl@?\nTuerca\n~# Jr@?\n150.00\n~]\nFin");
}

TEST_F(FillTest, MasterTableWorkedExampleAndPreview) {
  const Lines config = {"[MASTER_TABLE]<<Partidas>>", "element,Detaprod,,1",
                        "attribute,cantidad,Cant",    "attribute,importe,Imp",
                        "element,Cargo,,2C",          "attribute,monto,Monto"};
  const std::string expected =
      "~[ A B\n~# Cant\n2\n~# Imp\n150.00\n~]\n~<Monto\n0.16\n~>\n~<Monto\n0.08\n~>\n"
      "~[ A B\n~# Cant\n1\n~# Imp\n\n~]";
  EXPECT_EQ(fill({"<<Partidas>>A B"}, config), expected);
  EXPECT_EQ(fill({"<<Partidas>>A B"}, config, {"-preview", "5"}), expected);
  EXPECT_EQ(fill({"<<Partidas>>A B"}, config, {"-preview", "1"}),
            "~[ A B\n~# Cant\n2\n~# Imp\n150.00\n~]\n~<Monto\n0.16\n~>\n~<Monto\n0.08\n~>\n"
            "~[ A B\n~# Cant\n1\n~# Imp\n\n~]");
  EXPECT_EQ(fill({"x", "<<Partidas>>A B", "y"}, config, {"-preview", "0"}), "x\ny");
}

TEST_F(FillTest, ContextNodeCarriesFromXPathAndTablesToRelativePlaceholders) {
  EXPECT_EQ(fill({"<<{//Detaprod[2]}>><<{@descripcion}>>", "[<<Detaprod>>]<<{@importe}>>",
                  "<<Lista>>", "<<{@descripcion}>>"},
                 {"[TABLE_COLUMNS]<<Lista>>", "Detaprod:cantidad"}),
            "Tuerca\n[\n    \n  ]150.00\n~[ \n~# \n2\n~]\n~[ \n~# \n1\n~]\nTuerca");
}

TEST_F(FillTest, ValuesThatBringPlaceholdersAreFilledInTurn) {
  write_file(dir_.file("in.xml"),
             "<r a=\"&lt;&lt;r:b&gt;&gt;\" b=\"B\" self=\"x&lt;&lt;r:self&gt;&gt;\"/>");
  EXPECT_EQ(fill({"<<r:a>>"}, {}), "B");
  // A value that brings back its own placeholder stops after 1000 replacements on its line.
  const std::string out = fill({"<<r:self>>", "next <<r:b>>"}, {});
  EXPECT_EQ(out, std::string(1000, 'x') + "<<r:self>>\nnext B");
  EXPECT_EQ(log(), (Lines{"TS:WARNING: Limite de reemplazos alcanzado en la linea; el resto de "
                          "la linea queda sin llenar:",
                          "                r:self"}));
}

// The template and the configuration are Latin-1 (0xF3 is ó, 0xED í); the document's names and
// values are UTF-8. Names and literals reach libxml2 as UTF-8, so accents match.
TEST_F(FillTest, AccentedNamesAndLiteralsOfLatin1TemplatesMatchTheDocument) {
  write_file(dir_.file("in.xml"),
             "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
             "<Factura xmlns=\"urn:f\"><Direcci\xC3\xB3n calle=\"Ju\xC3\xA1rez\"/>"
             "<D d=\"Charola met\xC3\xA1lica\" v=\"1500\" c\xC3\xB3"
             "digo=\"7\"/>"
             "<D d=\"otra\" v=\"2\" c\xC3\xB3"
             "digo=\"8\"/><Secci\xC3\xB3n>texto</Secci\xC3\xB3n>"
             "</Factura>\n");
  EXPECT_EQ(fill({"<<Direcci\xF3n:calle>>|<<{//D[@d=\"Charola met\xE1lica\"]/@v}>>|<<Secci\xF3n>>",
                  "<<T>>", "<<M>>"},
                 {"[COMMA_INSERT]",
                  "D:c\xF3"
                  "digo",
                  "D:v", "[TABLE_COLUMNS]<<T>>",
                  "D:c\xF3"
                  "digo,C",
                  "[MASTER_TABLE]<<M>>", "element,D,,1", "attribute,v,V", "element,D,,1",
                  "attribute,c\xF3"
                  "digo,C"}),
            "Ju\xE1rez|1500|texto\n"
            "~[ \n~# C\n7\n~]\n~[ \n~# C\n8\n~]\n"
            "~[ \n~# V\n1,500\n~]\n~[ \n~# C\n7\n~]\n~[ \n~# C\n8\n~]\n"
            "~[ \n~# V\n2\n~]\n~[ \n~# C\n7\n~]\n~[ \n~# C\n8\n~]");
  EXPECT_EQ(log(), Lines{}) << "nothing to warn about";

  write_file(
      dir_.file("in.xml"),
      "<Factura><Secci\xC3\xB3n n=\"1\"><Secci\xC3\xB3n n=\"2\"/></Secci\xC3\xB3n></Factura>");
  EXPECT_EQ(fill({"<<M>>"}, {"[MASTER_TABLE]<<M>>", "element,Secci\xF3n,,1", "attribute,n,N",
                             "element,Secci\xF3n,,2", "attribute,n,N"}),
            "~[ \n~# N\n1\n~]\n~[ \n~# N\n2\n~]");
}

TEST_F(FillTest, FailingXPathLogsItsOwnError) {
  EXPECT_EQ(fill({"[<<{//nada:x}>>] [<<{count(//Detaprod)}>>] [<<{//Nada}>>]"}, {}), "[] [] []");
  // Qualification prefixes the function name too: count() is unknown under zq-def-ns.
  const std::string warning = "TS:WARNING: La instruccion XPATH no gener\363 resultados";
  EXPECT_EQ(log(),
            (Lines{warning,
                   "                XML Error #1219 in [(null)]. Undefined "
                   "namespace prefix",
                   "", warning,
                   "                XML Error #1209 in [(null)]. Unregistered function", ""}));
}

TEST_F(FillTest, BareElementWithoutContentEndsTheRunWith257) {
  write_file(dir_.file("out.txt"), "previous output");
  // A processing instruction found through //: it has no content to place.
  write_file(dir_.file("in.xml"), "<r><?pi?></r>");
  fill({"a <<r:x>>", "<<processing-instruction()>>"}, {}, {}, 1);
  EXPECT_EQ(read_file(dir_.file("out.txt")), "previous output");
  EXPECT_EQ(log(), (Lines{"TS:ERROR: El archivo de configuraci\363n no contiene definici\363n "
                          "para master table [processing-instruction()]",
                          kMemoryLine}));
}

TEST_F(FillTest, FaultyColumnDefinitionLeavesItsLineAndTheScanGoesOn) {
  EXPECT_EQ(fill({"<<Lista>> <<Comprobante:subTotal>>", "<<Comprobante:subTotal>>"},
                 {"[TABLE_COLUMNS]<<Lista>>", "", "[COMMA_INSERT]"}),
            "<<Lista>> <<Comprobante:subTotal>>\n1000");
  EXPECT_EQ(log(), (Lines{"TS:ERROR: No se encuentra la configuraci\363n de elemento:atributo en "
                          "linea 1 para MT 'Lista'"}));
}

// A supplier's text: a note and cells that hold line ends and begin lines with markers, and
// placeholder text in a value.
constexpr const char* kSupplied =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<C xmlns=\"urn:c\"><D v=\"line one&#10;~] fake end&#13;&#10;~[ row\" w=\"~] x\"/>"
    "<D v=\"&amp; a&#13;b\" w=\"~# label\"/>"
    "<Note>Calle 1&#10;~&lt; block&#10;&lt;&lt;%RUVO_SECRET%&gt;&gt; &lt;&lt;{//Ok}&gt;&gt;</Note>"
    "<Ok>ok</Ok><Start>~] start</Start></C>\n";

TEST_F(FillTest, ASuppliersValueForgesNoTableLine) {
  write_file(dir_.file("in.xml"), kSupplied);
  const Lines config = {"[TABLE_COLUMNS]<<T>>", "D:v,V",     "D:w,W",
                        "[MASTER_TABLE]<<M>>",  "element,D", "attribute,w,W"};
  // Cells are one line each and begin with no marker; a single value keeps its line ends, and
  // each line it would begin with a marker gets a blank first.
  EXPECT_EQ(fill({"<<Start>>", "<<T>>", "<<M>>", "<<{//D/@v}>>"}, config),
            " ~] start\n"
            "~[ \n~# V\nline one ~] fake end ~[ row\n~# W\n ~] x\n~]\n"
            "~[ \n~# V\n& a b\n~# W\n ~# label\n~]\n"
            "~[ \n~# W\n ~] x\n~]\n~[ \n~# W\n ~# label\n~]\n"
            "line one\n ~] fake end\r\n ~[ row");
  EXPECT_EQ(fill({"<<T>>"}, config, {"-xml"}),
            "~[ \n~# V\nline one ~] fake end ~[ row\n~# W\n ~] x\n~]\n"
            "~[ \n~# V\n&amp; a b\n~# W\n ~# label\n~]")
      << "in Xml mode too, the line ends are blanks before the value is encoded";
  EXPECT_EQ(log(), Lines{}) << "nothing to report";
}

// Placeholder text in a document's value is filled in its turn, but an environment placeholder
// in it is never read; the template's own is.
TEST_F(FillTest, ASuppliersValueReadsNoEnvironment) {
  write_file(dir_.file("in.xml"), kSupplied);
  const std::string home = "HOME=" + dir_.path().string();
  write_file(dir_.file("tpl.txt"), "<<Note>>|<<%RUVO_SECRET%>>\n");
  write_file(dir_.file("Ruvo.cfg"), "");
  const test::BinaryResult result = test::run_binary(
      dir_.path().string(), {"in.xml", "tpl.txt", "out.txt"}, {"RUVO_SECRET=s3cr3t"});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(read_file(dir_.file("out.txt")), "Calle 1\n ~< block\n ok|s3cr3t");
}

}  // namespace
}  // namespace ruvo
