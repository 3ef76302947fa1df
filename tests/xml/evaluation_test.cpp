// The shortcuts of evaluate_first must give exactly what libxml2 gives.
#include <libxml/parser.h>

#include <cstring>

#include "support/test_support.h"
#include "xml/expression_shape.h"
#include "xml/xpath_context.h"

namespace ruvo {
namespace {

constexpr const char* kDocument =
    "<?xml version=\"1.0\"?>\n"
    "<!DOCTYPE r [<!ENTITY e \"<E a='in-entity'/>\">]>\n"
    "<!-- a comment first -->\n"
    "<r xmlns=\"urn:d\" xmlns:p=\"urn:p\" xmlns:q=\"urn:p\" a=\"root\">"
    "<x><E a=\"1\" p:a=\"p1\"/></x>&e;<E b=\"2\"/><p:E a=\"3\" q:b=\"4\"/>"
    "<n xmlns=\"\"><E a=\"plain\"/><F/></n><E a=\"5\"><E a=\"6\"/></E></r>";

constexpr const char* kExpressions[] = {
    "//zq-def-ns:E", "//zq-def-ns:E/@a", "//zq-def-ns:E/@b", "//p:E", "//q:E/@a",
    "//zq-def-ns:E/@p:a", "//p:E/@q:b", "//E", "//E/@a", "//zq-def-ns:F", "//F", "//zq-def-ns:r/@a",
    "//zq-def-ns:E[2]/@a", "/zq-def-ns:r/zq-def-ns:E/@a", "//zq-def-ns:E/@*", "//*/@a",
    "//zq-def-ns:Nada", "//zq-def-ns:E/@nada", "//zq-def-ns:x/zq-def-ns:E", "//zq-def-ns:E[@a='6']",
    "//zq-def-ns:E[1]", "//zq-def-ns:E[1]/@a", "//zq-def-ns:E[2]", "//zq-def-ns:E[2]/@b",
    "//zq-def-ns:E[3]", "//zq-def-ns:E[1]/@p:a", "//p:E[1]/@q:b", "//E[1]/@a", "//F[1]",
    "//zq-def-ns:E[999999999]", "//zq-def-ns:E[0]", "//zq-def-ns:E[01]",
    // Shapes with [last()], an attribute test or a parent step.
    "//zq-def-ns:E[last()]", "//zq-def-ns:E[last()]/@a", "//zq-def-ns:E[@b]",
    "//zq-def-ns:E[@b]/@b", "//zq-def-ns:E[@a='5']", "//zq-def-ns:E[@a=\"6\"]/@a",
    "//zq-def-ns:E[@a='5'][1]", "//zq-def-ns:E[@a='in-entity']", "//zq-def-ns:E[@a='']",
    "//zq-def-ns:E[@nada]", "//E[@a='plain']", "//p:E[@a]/@q:b", "//zq-def-ns:r/zq-def-ns:E/@a",
    "//zq-def-ns:E/zq-def-ns:E", "//zq-def-ns:n/zq-def-ns:E", "//n/E", "//n/E[last()]"};

class EvaluationTest : public test::XmlContextTest {
 protected:
  void SetUp() override {
    XmlContextTest::SetUp();
    open_document(kDocument, "d.xml");
  }

  // What libxml2 itself gives: failed, or the first node (none for an empty or other result).
  std::pair<bool, xmlNode*> plain(const char* expression) {
    XmlXPathObjectPtr result(xmlXPathEvalExpression(BAD_CAST expression, context_.get()));
    if (!result) {
      return {true, nullptr};
    }
    if (result->type != XPATH_NODESET || result->nodesetval == nullptr ||
        result->nodesetval->nodeNr == 0) {
      return {false, nullptr};
    }
    return {false, result->nodesetval->nodeTab[0]};
  }
};

TEST_F(EvaluationTest, GivesWhatLibxml2GivesFirstTimeAndFromTheCache) {
  for (const char* expression : kExpressions) {
    const auto expected = plain(expression);
    for (int round = 0; round < 2; ++round) {
      const Evaluation got = evaluate_first(context_, expression);
      EXPECT_EQ(got.failed, expected.first) << expression << " round " << round;
      EXPECT_EQ(got.node, expected.second) << expression << " round " << round;
    }
  }
}

// Walks from the document's start, the lists of elements by name, and a change from the one to
// the other between two searches all give libxml2's first node.
TEST_F(EvaluationTest, TheIndexGivesTheSameNodesWhenItsListsAreMadeAtAnyPoint) {
  for (const std::size_t budget : {std::size_t{0}, std::size_t{12}, ElementIndex::kWalkBudget}) {
    ElementIndex index(budget);
    for (const char* expression : kExpressions) {
      DescendantShape shape;
      if (!read_descendant_shape(context_.get(), expression, shape)) {
        continue;
      }
      xmlNode* found = nullptr;
      ASSERT_TRUE(index.first_match(context_.get()->doc, shape, found)) << expression;
      EXPECT_EQ(found, plain(expression).second) << expression << " budget " << budget;
    }
  }
}

TEST_F(EvaluationTest, DescendantShapesAreReadOnlyWhenTheIndexAnswersThemExactly) {
  struct Case {
    const char* expression;
    bool read;
    std::uint32_t position;
    bool attribute;
  };
  const Case cases[] = {{"//zq-def-ns:E", true, 0, false},
                        {"//zq-def-ns:E[2]/@a", true, 2, true},
                        {"//p:E[999999999]", true, 999999999, false},
                        {"//E/@p:a", true, 0, true},
                        // Left to libxml2: other predicates, other steps, unbound prefixes.
                        {"//zq-def-ns:E[0]", false, 0, false},
                        {"//zq-def-ns:E[01]", false, 0, false},
                        {"//zq-def-ns:E[1000000000]", false, 0, false},
                        {"//zq-def-ns:E[ 1]", false, 0, false},
                        {"//zq-def-ns:E[1][1]", false, 0, false},
                        {"//zq-def-ns:E[last()]", true, 0, false},
                        {"//zq-def-ns:E[@a='x/y']/@b", true, 0, true},
                        {"//zq-def-ns:E[]", false, 0, false},
                        {"//zq-def-ns:E/@a[1]", false, 0, false},
                        {"//zq-def-ns:x/zq-def-ns:E", true, 0, false},
                        {"//zq-def-ns:E[@a = '1']", false, 0, false},
                        {"//zq-def-ns:E[@a='1'][2]", false, 0, false},
                        {"//zq-def-ns:x[1]/zq-def-ns:E", false, 0, false},
                        {"//a/b/c", false, 0, false},
                        {"//nada:E[1]", false, 0, false},
                        {"/zq-def-ns:r", false, 0, false}};
  for (const Case& c : cases) {
    DescendantShape shape;
    EXPECT_EQ(read_descendant_shape(context_.get(), c.expression, shape), c.read) << c.expression;
    if (c.read) {
      EXPECT_EQ(shape.position, c.position) << c.expression;
      EXPECT_EQ(shape.has_attribute, c.attribute) << c.expression;
    }
  }
}

TEST_F(EvaluationTest, UnboundPrefixesAndRelativeExpressionsAreLeftToLibxml2) {
  EXPECT_TRUE(evaluate_first(context_, "//nada:E/@a").failed);
  EXPECT_TRUE(evaluate_first(context_, "//nada:E/@a").failed) << "failures are never kept";

  // A relative expression follows the context node every time.
  set_context_node(context_, plain("//zq-def-ns:E[@a='5']").second);
  const Evaluation outer = evaluate_first(context_, "zq-def-ns:E/@a");
  set_context_node(context_, plain("//zq-def-ns:x").second);
  const Evaluation inner = evaluate_first(context_, "zq-def-ns:E/@a");
  ASSERT_NE(outer.node, nullptr);
  ASSERT_NE(inner.node, nullptr);
  EXPECT_NE(outer.node, inner.node);
}

TEST(ContextFreeTest, OnlySingleAbsolutePathsAreContextFree) {
  for (const char* expression : {"/", "/a", "//a/@b", "/a/b[c | d][@e = 'x]y']", "//p:a/q:b",
                                 "/a/*/@*", "//a[../b]", "/descendant::a", "/a-b.c/p:*", "/a/.."}) {
    EXPECT_TRUE(is_context_free(expression)) << expression;
  }
  for (const char* expression : {"", "a", "./a", "@a", "//a | b", "/a | b", "count(/a)", "(/a)[1]",
                                 "/a + 1", "/a[1", "/a ", "$v",
                                 // Found by fuzzing: an operator right after a step, whose
                                 // operand is relative.
                                 "/-a", "/a*b", "/*-1", "/a[1]or@b", "/.or@b", "/-*[2/*]"}) {
    EXPECT_FALSE(is_context_free(expression)) << expression;
  }
}

}  // namespace
}  // namespace ruvo
