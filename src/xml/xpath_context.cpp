#include "xml/xpath_context.h"

#include <string_view>

#include "xml/descendant_walk.h"
#include "xml/expression_shape.h"
#include "xml/input_document.h"
#include "xml/namespaces.h"

namespace ruvo {

namespace {

// The shapes of expression_shape.h, answered from the index of the document's elements by
// name: the first node of the result in document order. A plain shape is answered by a walk
// when the index cannot be had. False when the expression has another shape.
bool evaluate_descendant_shape(XPathContext& context, std::string_view expression,
                               xmlNode*& found) {
  DescendantShape shape;
  if (!read_descendant_shape(context.get(), expression, shape)) {
    return false;
  }
  xmlDoc* document = context.get()->doc;
  return context.index.first_match(document, shape, found) ||
         (shape.is_plain() && first_shape_match(document, shape, found));
}

}  // namespace

XPathContext make_xpath_context(xmlDoc* document, const DocumentNotes* notes) {
  XPathContext context;
  if (document == nullptr) {
    return context;
  }
  context.handle.reset(xmlXPathNewContext(document));
  if (context.handle) {
    register_namespaces(context, document, notes);
  }
  if (notes != nullptr && notes->complete) {
    context.index = ElementIndex(&notes->by_name);
  }
  return context;
}

Evaluation evaluate_first(XPathContext& context, const char* expression) {
  Evaluation evaluation;
  const std::string_view text(expression);
  const bool context_free = is_context_free(text);
  if (context_free) {
    if (const xmlNode* const* cached = context.cache.find(text)) {
      evaluation.node = const_cast<xmlNode*>(*cached);
      return evaluation;
    }
    if (evaluate_descendant_shape(context, text, evaluation.node)) {
      context.cache.store(text, evaluation.node);
      return evaluation;
    }
  }
  evaluation.result.reset(
      xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(expression), context.get()));
  if (!evaluation.result) {
    evaluation.failed = true;
    return evaluation;
  }
  const xmlXPathObject* result = evaluation.result.get();
  if (result->type == XPATH_NODESET && result->nodesetval != nullptr &&
      result->nodesetval->nodeNr > 0) {
    evaluation.node = result->nodesetval->nodeTab[0];
  }
  // Namespace nodes are copies that live as long as the result: they are never kept.
  if (context_free && (evaluation.node == nullptr || evaluation.node->type != XML_NAMESPACE_DECL)) {
    context.cache.store(text, evaluation.node);
    evaluation.result.reset();
  }
  return evaluation;
}

}  // namespace ruvo
