#include "xml/qualify.h"

#include <libxml/parser.h>

#include <string>

#include "support/test_support.h"
#include "xml/xml_handles.h"

namespace ruvo {
namespace {

using QualifyTest = test::XmlTest;
using test::parse_xml;

std::string qualified(std::string_view path, bool bound = true) {
  TextBufferPtr result = qualify_path(path, bound);
  return result ? std::string(result->data()) : "<none>";
}

TEST_F(QualifyTest, QualifiesElementStepsOnly) {
  EXPECT_EQ(qualified("//Comprobante/@total"), "//zq-def-ns:Comprobante/@total");
  EXPECT_EQ(qualified("Comprobante/Detalle/@importe"),
            "zq-def-ns:Comprobante/zq-def-ns:Detalle/@importe");
  EXPECT_EQ(qualified("/ns:Comprobante/ns:Partidas"), "/ns:Comprobante/ns:Partidas");
  EXPECT_EQ(qualified("//Detaprod[2]/@importe"), "//zq-def-ns:Detaprod[2]/@importe");
  EXPECT_EQ(qualified("//Detaprod[@importe>10]/text()"),
            "//zq-def-ns:Detaprod[@importe>10]/text()");
  EXPECT_EQ(qualified("a//b/"), "zq-def-ns:a/zq-def-ns:b");
  EXPECT_EQ(qualified("../*/."), "../*/.");
  EXPECT_EQ(qualified("/"), "/");
  EXPECT_EQ(qualified("//"), "//");
  EXPECT_EQ(qualified("//TEXT()/Text()"), "//TEXT()/Text()");
  EXPECT_EQ(qualified("a/node()"), "zq-def-ns:a/zq-def-ns:node()");
  EXPECT_EQ(qualified("child::Detaprod/@attr[1]/text()[1]"), "child::Detaprod/@attr[1]/text()[1]");
  EXPECT_EQ(qualified("//Detaprod[Detalle]"), "//zq-def-ns:Detaprod[Detalle]");

  TextBufferPtr empty = qualify_path("", true);
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->length(), 0u);
  EXPECT_EQ(empty->data()[0], '\0');
}

TEST_F(QualifyTest, MalformedPredicatesAreRewrittenByTheSameRules) {
  // The step's last character is taken for its closing bracket.
  EXPECT_EQ(qualified("a[1"), "zq-def-ns:a[]");
  EXPECT_EQ(qualified("ns:a[1"), "ns:a[]");
  EXPECT_EQ(qualified("a["), "zq-def-ns:a[]");
  // A '/' inside a predicate ends the step there.
  EXPECT_EQ(qualified("a[b/c]"), "zq-def-ns:a[]/zq-def-ns:c]");
}

TEST_F(QualifyTest, WithoutDefaultNamespaceOnlyTheSeparatorsChange) {
  EXPECT_EQ(qualified("//Comprobante/@total", false), "//Comprobante/@total");
  EXPECT_EQ(qualified("a//b/", false), "a/b");
  EXPECT_EQ(qualified("a[1", false), "a[]");

  TextBufferPtr path = text_buffer_from("Detalle/Detaprod/@importe");
  ASSERT_TRUE(path);
  ASSERT_TRUE(path->set_length(16));  // the buffer form stops at the length: "Detalle/Detaprod"
  TextBufferPtr result = qualify_path_buffer(*path, true);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->view(), "zq-def-ns:Detalle/zq-def-ns:Detaprod");
}

TEST_F(QualifyTest, QualifiedNodeNameUsesNonEmptyPrefixesOnly) {
  XmlDocPtr doc =
      parse_xml("<r xmlns='urn:1' xmlns:ns='urn:2'><ns:Sello/><Total/><a xmlns=''/><b/></r>");
  ASSERT_TRUE(doc);
  xmlNode* b = xmlDocGetRootElement(doc.get())->last;
  xmlSetNs(b, xmlNewNs(b, BAD_CAST "urn:3", BAD_CAST ""));
  std::string names;
  for (xmlNode* node = b->parent->children; node != nullptr; node = node->next) {
    TextBufferPtr name = qualified_node_name(node);
    ASSERT_TRUE(name);
    names += std::string(name->view()) + " ";
  }
  EXPECT_EQ(names, "ns:Sello Total a b ");
}

}  // namespace
}  // namespace ruvo
