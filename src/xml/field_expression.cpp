#include "xml/field_expression.h"

#include "text/text_buffer.h"
#include "xml/qualify.h"
#include "xml/run_text.h"

namespace ruvo {

XmlXPathCompExprPtr compile_braced_expression(XPathContext& context, std::string_view braced) {
  TextBufferPtr inner = text_buffer_from(braced.substr(1, braced.size() - 2));
  TextBufferPtr qualified =
      inner ? qualify_path_buffer(*inner, context.default_namespace_bound) : TextBufferPtr();
  if (!qualified || !run_text_to_utf8(context.text_codec(), qualified)) {
    return XmlXPathCompExprPtr();
  }
  return XmlXPathCompExprPtr(
      xmlXPathCtxtCompile(context.get(), reinterpret_cast<const xmlChar*>(qualified->data())));
}

XmlCharPtr first_node_content(XPathContext& context, xmlXPathCompExpr* expression, xmlNode* from) {
  xmlXPathContext* handle = context.get();
  xmlNode* const kept = handle->node;
  handle->node = from;
  XmlXPathObjectPtr result(xmlXPathCompiledEval(expression, handle));
  handle->node = kept;
  if (!result || result->type != XPATH_NODESET || result->nodesetval == nullptr ||
      result->nodesetval->nodeNr == 0) {
    return XmlCharPtr();
  }
  return XmlCharPtr(xmlNodeGetContent(result->nodesetval->nodeTab[0]));
}

}  // namespace ruvo
