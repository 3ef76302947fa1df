#include "xml/value_lookup.h"

#include <libxml/parser.h>

#include <string>

#include "support/test_support.h"
#include "xml/xml_handles.h"

namespace ruvo {
namespace {

class ValueLookupTest : public test::CleanStateTest {
 protected:
  void SetUp() override {
    test::CleanStateTest::SetUp();
    silence_libxml2_messages();
  }
  void TearDown() override {
    context_ = XPathContext();  // the context goes before its document
    document_.reset();
    test::CleanStateTest::TearDown();
  }

  // Parses a file of the test data folder, or the text itself, and makes the context on it.
  void open(const std::string& name_or_xml, bool is_file = true) {
    context_ = XPathContext();
    const std::string& x = name_or_xml;
    document_.reset(is_file ? xmlParseFile((RUVO_XML_TEST_DATA "/" + x).c_str())
                            : xmlReadMemory(x.data(), static_cast<int>(x.size()), "t", nullptr, 0));
    ASSERT_TRUE(document_) << x;
    context_ = make_xpath_context(document_.get());
  }

  std::string value(const char* element, const char* attribute) {
    TextBufferPtr text = lookup_value(context_, element, attribute);
    return text ? std::string(text->view()) : "<none>";
  }

  XmlDocPtr document_;
  XPathContext context_;
};

TEST_F(ValueLookupTest, FindsTheFirstValueUnderTheDefaultNamespace) {
  open("invoice_default_ns.xml");
  EXPECT_EQ(value("Comprobante", "total"), "1234.50");
  EXPECT_EQ(value("ns:Complemento", "version"), "1.1");
  EXPECT_EQ(value("ns:Complemento/ns:Sello", "valor"), "abc");
  EXPECT_EQ(value("Detalle/Detaprod", "cantidad"), "3");
  // Document order, not depth: the item nested under Otros comes first.
  EXPECT_EQ(value("Detaprod", "cantidad"), "1");
  EXPECT_EQ(value("Emisor", "nombre"), "Caf\xE9 Ol\xE9");
  EXPECT_EQ(value("Emisor", "lema"), "Precio 5? neto");
}

TEST_F(ValueLookupTest, EmptyValueIsTextButMissingIsNone) {
  open("invoice_default_ns.xml");
  TextBufferPtr empty = lookup_value(context_, "Comprobante", "moneda");
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->length(), 0u);
  EXPECT_EQ(empty->data()[0], '\0');
  EXPECT_EQ(value("Comprobante", "fecha"), "<none>");
  EXPECT_EQ(value("Receptor", "nombre"), "<none>");
  EXPECT_EQ(value("otro:Comprobante", "total"), "<none>") << "unbound prefix";
  XPathContext no_context;
  EXPECT_FALSE(lookup_value(no_context, "Comprobante", "total"));
}

TEST_F(ValueLookupTest, DocumentsWithoutDefaultNamespaceOrWithAProlog) {
  open("no_namespace.xml");
  EXPECT_EQ(value("Comprobante", "total"), "88.00");
  EXPECT_EQ(value("cfdi:Impuestos", "total"), "12.00");
  EXPECT_EQ(value("Impuestos", "total"), "<none>");

  open("prolog_before_root.xml");
  EXPECT_EQ(value("Comprobante/Detalle", "importe"), "7.00");
}

TEST_F(ValueLookupTest, ExpressionsLongerThan1023CharactersAreRefused) {
  // "//" + element + "/@ab" is 1023 characters with an element name of 1017.
  const std::string fits(1017, 'E');
  const std::string too_long(1018, 'F');
  open("<r><" + fits + " ab='in'/><" + too_long + " ab='out'/></r>", false);
  EXPECT_EQ(value(fits.c_str(), "ab"), "in");
  EXPECT_EQ(value(too_long.c_str(), "ab"), "<none>");
}

}  // namespace
}  // namespace ruvo
