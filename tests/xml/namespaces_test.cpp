#include "xml/namespaces.h"

#include <libxml/parser.h>
#include <libxml/xpathInternals.h>

#include <string>

#include "support/test_support.h"
#include "xml/xml_handles.h"
#include "xml/xpath_context.h"

namespace ruvo {
namespace {

using NamespacesTest = test::XmlTest;
using test::parse_xml;

// The URI a prefix ends bound to once the document's namespaces are registered.
std::string bound_uri(const std::string& xml, const char* prefix, int options = 0) {
  XmlDocPtr doc = parse_xml(xml, options);
  EXPECT_TRUE(doc) << xml;
  XPathContext context = make_xpath_context(doc.get());
  const xmlChar* uri = xmlXPathNsLookup(context.get(), BAD_CAST prefix);
  return uri != nullptr ? reinterpret_cast<const char*>(uri) : "<unbound>";
}

// Each prefix ends bound to the URI in scope at the last node of the walk that has it in
// scope, so a redeclaring subtree followed by more of the outer scope does not win.
TEST_F(NamespacesTest, LastNodeInScopeDecidesTheBinding) {
  EXPECT_EQ(bound_uri("<r xmlns:p='urn:a'><x xmlns:p='urn:b'/><y/></r>", "p"), "urn:a");
  EXPECT_EQ(bound_uri("<r xmlns:p='urn:a'><y/><x xmlns:p='urn:b'/></r>", "p"), "urn:b");
  EXPECT_EQ(bound_uri("<r xmlns:p='urn:a'><x xmlns:p='urn:b'><z/></x></r>", "p"), "urn:b");
  // The whitespace after the inner element is a node of the outer scope.
  EXPECT_EQ(bound_uri("<r xmlns:p='urn:a'><x xmlns:p='urn:b'><z/></x>\n</r>", "p"), "urn:a");
  EXPECT_EQ(bound_uri("<r xmlns:p='a'><w><x xmlns:p='b'><v xmlns:q='q'/></x></w><y/></r>", "p"),
            "a");
  EXPECT_EQ(bound_uri("<r xmlns='urn:1'><b xmlns='urn:2'/><c/></r>", kDefaultNamespacePrefix),
            "urn:1");
  EXPECT_EQ(bound_uri("<!-- c --><?pi x?><r xmlns='urn:1'/>", kDefaultNamespacePrefix), "urn:1");
  EXPECT_EQ(bound_uri("<r><a/>text<b/></r>", kDefaultNamespacePrefix), "<unbound>");

  // A walk by recursion would need one frame per level.
  constexpr std::size_t kDepth = 2000;
  std::string deep;
  for (std::size_t i = 0; i < kDepth; ++i) {
    deep = "<e>" + deep + "</e>";
  }
  deep.insert(3 * kDepth, "<leaf xmlns:deep='urn:deep'/>");
  EXPECT_EQ(bound_uri(deep, "deep", XML_PARSE_HUGE), "urn:deep");
}

TEST_F(NamespacesTest, DefaultNamespaceIsBoundOnlyToANonEmptyUri) {
  XmlDocPtr plain = parse_xml("<r xmlns:p='urn:p'><p:a/></r>");
  XmlDocPtr undeclared = parse_xml("<r xmlns='urn:1'><a xmlns=''><b/></a></r>");
  XmlDocPtr redeclared = parse_xml("<r xmlns='urn:1'><a xmlns=''/><b/></r>");
  ASSERT_TRUE(plain && undeclared && redeclared);
  EXPECT_FALSE(make_xpath_context(plain.get()).default_namespace_bound);
  EXPECT_FALSE(make_xpath_context(undeclared.get()).default_namespace_bound);
  EXPECT_TRUE(make_xpath_context(redeclared.get()).default_namespace_bound);
  EXPECT_FALSE(make_xpath_context(nullptr).get());
}

}  // namespace
}  // namespace ruvo
