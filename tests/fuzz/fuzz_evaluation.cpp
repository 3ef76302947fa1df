// The shortcuts of evaluate_first (the cache of context-free expressions and the walk for
// //name and //name/@attribute) against libxml2's own evaluation of the same expression, from
// two different context nodes, as written and as qualified.
//
// Input: byte 0 chooses the document (bits 0-1) and the second context node (the rest of the
// byte); the rest, up to a NUL, is the expression.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_documents.h"
#include "fuzz_support.h"
#include "xml/qualify.h"
#include "xml/xpath_context.h"

using namespace ruvo;

namespace {

// What libxml2 itself gives: failed, or the first node (none for an empty or other result).
struct Plain {
  bool failed = true;
  const xmlNode* node = nullptr;
  XmlXPathObjectPtr result;
};

Plain plain(xmlXPathContext* context, const char* expression) {
  Plain out;
  out.result.reset(xmlXPathEvalExpression(BAD_CAST expression, context));
  if (!out.result) {
    return out;
  }
  out.failed = false;
  const xmlXPathObject* result = out.result.get();
  if (result->type == XPATH_NODESET && result->nodesetval != nullptr &&
      result->nodesetval->nodeNr > 0) {
    out.node = result->nodesetval->nodeTab[0];
  }
  return out;
}

// Namespace nodes are copies made for each result: equal when they name the same binding.
bool same_node(const xmlNode* a, const xmlNode* b) {
  if (a != nullptr && b != nullptr && a->type == XML_NAMESPACE_DECL &&
      b->type == XML_NAMESPACE_DECL) {
    const auto* x = reinterpret_cast<const xmlNs*>(a);
    const auto* y = reinterpret_cast<const xmlNs*>(b);
    return xmlStrEqual(x->href, y->href) && xmlStrEqual(x->prefix, y->prefix);
  }
  return a == b;
}

// One of the document's elements, counted in document order (modulo their number).
xmlNode* element_at(xmlDoc* doc, unsigned index) {
  std::vector<xmlNode*> elements;
  for (xmlNode* node = xmlDocGetRootElement(doc); node != nullptr;) {
    if (node->type == XML_ELEMENT_NODE) {
      elements.push_back(node);
      if (node->children != nullptr) {
        node = node->children;
        continue;
      }
    }
    while (node != nullptr && node->next == nullptr) {
      node = node->parent;
      if (node != nullptr && node->type == XML_DOCUMENT_NODE) {
        node = nullptr;
      }
    }
    if (node != nullptr) {
      node = node->next;
    }
  }
  return elements[index % elements.size()];
}

void compare(XPathContext& context, const char* expression, xmlNode* second_node) {
  xmlXPathContext* handle = context.get();
  xmlNode* const root = xmlDocGetRootElement(handle->doc);
  for (xmlNode* node : {root, second_node, root}) {
    set_context_node(context, node);
    const Evaluation got = evaluate_first(context, expression);
    set_context_node(context, node);
    xmlResetLastError();
    const Plain expected = plain(handle, expression);
    set_context_node(context, node);
    fuzz::check(got.failed == expected.failed, "evaluate_first fails where libxml2 does not");
    fuzz::check(same_node(got.node, expected.node), "evaluate_first gives another node");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::prepare_documents();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) {
    return 0;
  }
  xmlDoc* doc = fuzz::document(data[0] & 3);
  const std::string expression(reinterpret_cast<const char*>(data + 1), size - 1);
  reset_process_state();
  {
    XPathContext context = make_xpath_context(doc);
    fuzz::check(static_cast<bool>(context.handle), "no context");
    xmlNode* second_node = element_at(doc, data[0] >> 2u);
    compare(context, expression.c_str(), second_node);
    TextBufferPtr qualified = qualify_path(expression.c_str(), context.default_namespace_bound);
    if (qualified) {
      compare(context, qualified->data(), second_node);
    }
  }
  fuzz::check_all_released();
  return 0;
}
