#include "tables/column_table.h"

#include <optional>

#include "tables/table_fixture.h"

namespace ruvo {
namespace {

using Lines = std::vector<std::string>;

constexpr const char* kInvoice =
    "<Comprobante xmlns=\"urn:factura\">"
    "<Detaprod cantidad=\"2\" descripcion=\"Tornillo\" importe=\"150.00\"/>"
    "<Detaprod cantidad=\"1\" descripcion=\"Tuerca\"/>"
    "</Comprobante>";

class ColumnTableTest : public test::TableFixture {
 protected:
  TableResult expand(LineList* table_section, LineList* comma = nullptr) {
    return expand_column_table("Detalle", template_.get(), nullptr, context_, table_section,
                               CommaInsert(comma), run_.environment());
  }

  LineList* detalle_section() {
    return section({"[TABLE_COLUMNS]<<Detalle>>", "Detaprod:cantidad,Jr@?",
                    "Detaprod:descripcion,Jl@?", "Detaprod:importe,Jr@?"});
  }

  std::vector<std::string> log_lines() {
    run_.flush_log();
    return test::masked_log_lines(test::read_file(log_path_));
  }

  void open_log() {
    log_path_ = dir_.file("Ruvo.log");
    run_.log_to(log_path_);
  }

  test::TempDir dir_;
  std::string log_path_;
};

TEST_F(ColumnTableTest, WorkedExampleInTextMode) {
  parse(kInvoice);
  set_template({"Factura", "<<Detalle>>", "Fin"}, 1);
  EXPECT_EQ(expand(detalle_section()), TableResult::Expanded);
  EXPECT_EQ(output(), (Lines{"Factura", "~[ ", "~# Jr@?", "2", "~# Jl@?", "Tornillo", "~# Jr@?",
                             "150.00", "~]", "~[ ", "~# Jr@?", "1", "~# Jl@?", "Tuerca", "~# Jr@?",
                             "150.00", "~]", "Fin"}));
  EXPECT_EQ(cursor_line(), "~]");
  // The context node stays on the last element that made a row.
  ASSERT_NE(context_.get()->node, nullptr);
  XmlCharPtr last(xmlGetProp(context_.get()->node, BAD_CAST "descripcion"));
  EXPECT_STREQ(reinterpret_cast<const char*>(last.get()), "Tuerca");
}

TEST_F(ColumnTableTest, XmlModeEncodesValuesAndLatin1IsKept) {
  parse("<C xmlns=\"urn:f\"><D d=\"Tornillo &amp; tuerca\" n=\"ca\xC3\xB1o\"/></C>");
  run_.settings.output_mode = OutputMode::Xml;
  set_template({"<<Detalle>>"}, 0);
  EXPECT_EQ(expand(section({"[TABLE_COLUMNS]<<Detalle>>", "D:d", "D:n,N"})), TableResult::Expanded);
  const Lines lines = output();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[2], "Tornillo &amp; tuerca");
  EXPECT_EQ(lines[3], "~# N");
  // A Latin-1 byte of a document without declared encoding is written as a reference.
  EXPECT_EQ(lines[4], "ca&#xF1;o");
}

TEST_F(ColumnTableTest, FieldsKeepTheirLastValueAndEmptyBeforeAny) {
  parse("<r><D b=\"1\"/><D a=\"x\" b=\"2\"/><D/></r>");
  set_template({"<<Detalle>>"}, 0);
  EXPECT_EQ(expand(section({"[TABLE_COLUMNS]<<Detalle>>", "D:a", "D:b"})), TableResult::Expanded);
  EXPECT_EQ(output(), (Lines{"~[ ", "~# ", "", "~# ", "1", "~]",   //
                             "~[ ", "~# ", "x", "~# ", "2", "~]",  //
                             "~[ ", "~# ", "x", "~# ", "2", "~]"}));
}

TEST_F(ColumnTableTest, TheLastFieldLineNamesTheRowElement) {
  parse("<r><A x=\"ax\" y=\"ay\"/><B x=\"bx\" y=\"by\"/></r>");
  set_template({"<<Detalle>>"}, 0);
  EXPECT_EQ(expand(section({"[TABLE_COLUMNS]<<Detalle>>", "A:x,L1,more,", "B:y,L2  "})),
            TableResult::Expanded);
  EXPECT_EQ(output(), (Lines{"~[ ", "~# L1,more,", "bx", "~# L2  ", "by", "~]"}));
}

TEST_F(ColumnTableTest, PrefixedAndOddAttributeNamesAreEvaluatedAsWritten) {
  parse("<r xmlns:p=\"urn:p\"><D a=\"plain\" p:a=\"prefixed\" b=\"B\"/><D/></r>");
  set_template({"<<Detalle>>"}, 0);
  EXPECT_EQ(expand(section({"[TABLE_COLUMNS]<<Detalle>>", "D:p:a", "D:a", "D:b | ../@x", "D:1x"})),
            TableResult::Expanded);
  EXPECT_EQ(output(),
            (Lines{"~[ ", "~# ", "prefixed", "~# ", "plain", "~# ", "B", "~# ", "", "~]",
                   "~[ ", "~# ", "prefixed", "~# ", "plain", "~# ", "B", "~# ", "", "~]"}));
}

TEST_F(ColumnTableTest, RowTextIsWhatFollowsTheFirstCloseMarker) {
  parse(kInvoice);
  set_template({"<<Detalle>> Jl@?"}, 0);
  ASSERT_EQ(expand(section({"[TABLE_COLUMNS]<<Detalle>>", "Detaprod:cantidad"})),
            TableResult::Expanded);
  EXPECT_EQ(output().front(), "~[  Jl@?");

  set_template({"a >> b <<Detalle>>c"}, 0);
  ASSERT_EQ(expand(section({"[TABLE_COLUMNS]<<Detalle>>", "Detaprod:cantidad"})),
            TableResult::Expanded);
  EXPECT_EQ(output().front(), "~[  b <<Detalle>>c");
}

TEST_F(ColumnTableTest, NoMatchingElementRemovesTheLine) {
  parse(kInvoice);
  set_template({"before", "<<Detalle>>", "after"}, 1);
  EXPECT_EQ(expand(section({"[TABLE_COLUMNS]<<Detalle>>", "Nada:x"})), TableResult::Expanded);
  EXPECT_EQ(output(), (Lines{"before", "after"}));
  EXPECT_EQ(cursor_line(), "before");
}

TEST_F(ColumnTableTest, DefinitionErrorsAreLoggedAndLeaveTheTemplate) {
  parse(kInvoice);
  open_log();
  for (const Lines& definition : {Lines{"[TABLE_COLUMNS]<<Detalle>>", "Detaprod:cantidad", ""},
                                  Lines{"[TABLE_COLUMNS]<<Detalle>>", "Detaprod,cantidad:x"},
                                  Lines{"[TABLE_COLUMNS]<<Detalle>>"}}) {
    set_template({"x", "<<Detalle>> y"}, 1);
    EXPECT_EQ(expand(section(definition)), TableResult::NotExpanded);
    EXPECT_EQ(output(), (Lines{"x", "<<Detalle>> y"}));
    EXPECT_EQ(cursor_line(), "<<Detalle>> y");
  }
  const std::string message =
      "TS:ERROR: No se encuentra la configuraci\363n de elemento:atributo en linea 1 para MT "
      "'Detalle'";
  EXPECT_EQ(log_lines(), (Lines{message, message, message}));
}

TEST_F(ColumnTableTest, ListedPairsAreGroupedByThousands) {
  parse("<C xmlns=\"urn:f\"><D v=\"1234567.5\"/><E v=\"1234\"/></C>");
  LineList* comma = section({"[COMMA_INSERT]", "d:V"});
  set_template({"<<Detalle>>", "<<Otra>>"}, 0);
  ASSERT_EQ(expand(section({"[TABLE_COLUMNS]<<Detalle>>", "D:v"}), comma), TableResult::Expanded);
  line_list_next(template_.get());
  ASSERT_EQ(expand_column_table("Otra", template_.get(), nullptr, context_,
                                section({"[TABLE_COLUMNS]<<Otra>>", "E:v"}), CommaInsert(comma),
                                run_.environment()),
            TableResult::Expanded);
  EXPECT_EQ(output(), (Lines{"~[ ", "~# ", "1,234,567.5", "~]", "~[ ", "~# ", "1234", "~]"}));
}

// Line data kept in element text, under prefixed elements (as UBL puts it).
constexpr const char* kTextLines =
    "<Invoice xmlns=\"urn:i\" xmlns:cac=\"urn:cac\" xmlns:cbc=\"urn:cbc\">"
    "<cac:InvoiceLine><cbc:ID>1</cbc:ID><cbc:Qty unit=\"H87\">1500</cbc:Qty>"
    "<cac:Item><cbc:Name>Tornillo</cbc:Name></cac:Item><Nota>n1</Nota></cac:InvoiceLine>"
    "<cac:InvoiceLine><cbc:ID>2</cbc:ID></cac:InvoiceLine></Invoice>";

TEST_F(ColumnTableTest, QuotedElementsAndExpressionFieldsReadLinesKeptInText) {
  parse(kTextLines);
  LineList* comma = section({"[COMMA_INSERT]", "{cbc:Qty}", "cac:InvoiceLine:cbc:ID"});
  set_template({"<<Detalle>>"}, 0);
  ASSERT_EQ(
      expand(section({"[TABLE_COLUMNS]<<Detalle>>", "'cac:InvoiceLine':{cbc:ID},Id",
                      "\"cac:InvoiceLine\":{cbc:Qty},Jr@?", "'cac:InvoiceLine':{cac:Item/cbc:Name}",
                      "'cac:InvoiceLine':{Nota},N", "'cac:InvoiceLine':{cbc:Qty/@unit},{u}",
                      "'cac:InvoiceLine':{count(*)}", "'cac:InvoiceLine':{cbc:ID}x,L"}),
             comma),
      TableResult::Expanded);
  // No value is carried from one row to the next; the pair line never matches a field.
  EXPECT_EQ(output(),
            (Lines{"~[ ", "~# Id",  "1",   "~# Jr@?", "1,500", "~# ",  "Tornillo", "~# N",
                   "n1",  "~# {u}", "H87", "~# ",     "",      "~# L", "",         "~]",  //
                   "~[ ", "~# Id",  "2",   "~# Jr@?", "",      "~# ",  "",         "~# N",
                   "",    "~# {u}", "",    "~# ",     "",      "~# L", "",         "~]"}));
  EXPECT_STREQ(reinterpret_cast<const char*>(context_.get()->node->name), "InvoiceLine")
      << "fields leave the context node on the row's element";
  // Without its closing quote and colon, a quoted name is read as always: no rows.
  set_template({"<<Detalle>>"}, 0);
  ASSERT_EQ(expand(section({"[TABLE_COLUMNS]<<Detalle>>", "'cac:InvoiceLine:{cbc:ID}"})),
            TableResult::Expanded);
  EXPECT_EQ(output(), Lines{});
}

}  // namespace
}  // namespace ruvo
