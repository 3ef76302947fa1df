#include "xml/xpath_context.h"

#include <libxml/parser.h>

#include <cstring>
#include <vector>

#include "support/test_support.h"
#include "xml/xml_handles.h"

namespace ruvo {
namespace {

class XPathContextTest : public test::XmlContextTest {
 protected:
  void SetUp() override {
    XmlContextTest::SetUp();
    open_document("<r xmlns:p='urn:p'><a/><b/></r>");
  }

  // The nodes of the expression's result, which stays alive in result_.
  const xmlNodeSet& nodes(const char* expression) {
    result_.reset(xmlXPathEvalExpression(BAD_CAST expression, context_.get()));
    EXPECT_TRUE(result_ && result_->nodesetval != nullptr) << expression;
    return *result_->nodesetval;
  }
  xmlNode* node() const { return context_.get()->node; }

  XmlXPathObjectPtr result_;
};

TEST_F(XPathContextTest, ANamespaceNodeNeverBecomesTheContextNode) {
  xmlNode* const a = xmlDocGetRootElement(document_.get())->children;
  set_context_node(context_, a);
  EXPECT_EQ(node(), a);
  const xmlNodeSet& namespaces = nodes("/*/namespace::*");
  ASSERT_GT(namespaces.nodeNr, 0);
  set_context_node(context_, namespaces.nodeTab[0]);
  EXPECT_EQ(node(), a);
  set_context_node(context_, nullptr);
  EXPECT_EQ(node(), nullptr);
}

TEST_F(XPathContextTest, EachNodeOfAResultIsTheContextNodeWhileItIsVisited) {
  xmlNode* const root = xmlDocGetRootElement(document_.get());
  set_context_node(context_, root);
  std::vector<xmlNode*> visited;
  const xmlNodeSet& elements = nodes("/*/*");
  for_each_as_context_node(context_, elements, [&] { visited.push_back(node()); });
  EXPECT_EQ(visited, std::vector<xmlNode*>(elements.nodeTab, elements.nodeTab + 2));
  xmlNode* const last = elements.nodeTab[1];
  EXPECT_EQ(node(), last) << "the last node stays the context node";

  visited.clear();
  const xmlNodeSet& namespaces = nodes("/*/namespace::p");
  for_each_as_context_node(context_, namespaces, [&] { visited.push_back(node()); });
  ASSERT_EQ(visited.size(), 1u);
  EXPECT_EQ(visited[0]->type, XML_NAMESPACE_DECL);
  EXPECT_EQ(node(), last) << "a namespace node gives way to the node from before";
}

}  // namespace
}  // namespace ruvo
