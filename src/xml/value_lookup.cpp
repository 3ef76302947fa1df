#include "xml/value_lookup.h"

#include <libxml/xpath.h>

#include <cstdio>
#include <string_view>

#include "xml/expression_shape.h"
#include "xml/namespaces.h"
#include "xml/qualify.h"
#include "xml/run_text.h"
#include "xml/xml_handles.h"

namespace ruvo {

namespace {

// The unqualified expression and its NUL; longer names are refused.
constexpr std::size_t kExpressionSize = kMaxLookupExpressionLength + 1;

// The node //element/@attribute selects. Plain names are answered from the shape the
// qualified expression has, without writing and reading it; any other expression is qualified
// as text and evaluated. The qualified expression goes to the trace, when there is one.
const xmlNode* find_value_node(XPathContext& context, std::string_view element,
                               std::string_view attribute, LookupTrace* trace) {
  xmlXPathContext* handle = context.get();
  DescendantShape shape;
  xmlNode* found = nullptr;
  if (read_pair_shape(handle, element, attribute, context.default_namespace_bound, shape) &&
      context.index.first_match(handle->doc, shape, found)) {
    if (trace != nullptr) {
      trace->expression = text_buffer_from("//");
      if (!trace->expression ||
          (context.default_namespace_bound &&
           (!text_buffer_append(trace->expression, kDefaultNamespacePrefix) ||
            !text_buffer_append(trace->expression, ":"))) ||
          !text_buffer_append_bytes(trace->expression, element.data(), element.size()) ||
          !text_buffer_append(trace->expression, "/@") ||
          !text_buffer_append_bytes(trace->expression, attribute.data(), attribute.size())) {
        trace->expression.reset();
      }
    }
    return found;
  }
  char expression[kExpressionSize];
  const int written =
      std::snprintf(expression, sizeof expression, "//%.*s/@%.*s", static_cast<int>(element.size()),
                    element.data(), static_cast<int>(attribute.size()), attribute.data());
  if (written < 0 || static_cast<std::size_t>(written) >= sizeof expression) {
    return nullptr;
  }
  TextBufferPtr qualified =
      qualify_path(std::string_view(expression, static_cast<std::size_t>(written)),
                   context.default_namespace_bound);
  if (!qualified || !run_text_to_utf8(context.text_codec(), qualified)) {
    return nullptr;
  }
  if (trace != nullptr) {
    trace->expression = text_buffer_from(qualified->view());
  }
  // libxml2 keeps node sets in document order, so the first node is the first match.
  return evaluate_first(context, qualified->data()).node;
}

}  // namespace

TextBufferPtr lookup_value(XPathContext& context, std::string_view element,
                           std::string_view attribute, LookupTrace* trace) {
  // The names end at a NUL, as the expression's text would; longer names make an expression
  // longer than a lookup takes: no value.
  element = element.substr(0, element.find('\0'));
  attribute = attribute.substr(0, attribute.find('\0'));
  if (context.get() == nullptr || 4 + element.size() + attribute.size() >= kExpressionSize) {
    return TextBufferPtr();
  }
  const xmlNode* node = find_value_node(context, element, attribute, trace);
  if (node == nullptr) {
    return TextBufferPtr();
  }
  const XmlCharPtr content(xmlNodeGetContent(node));
  if (!content) {
    return TextBufferPtr();
  }
  if (trace != nullptr) {
    trace->lossy = output_loses(context.text_codec(), content.get());
    if (trace->lossy) {
      trace->source = text_buffer_from(reinterpret_cast<const char*>(content.get()));
    }
  }
  return output_text(context.text_codec(), content.get());
}

}  // namespace ruvo
