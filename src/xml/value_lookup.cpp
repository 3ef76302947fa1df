#include "xml/value_lookup.h"

#include <libxml/xpath.h>

#include <cstdio>
#include <string_view>

#include "xml/qualify.h"
#include "xml/run_text.h"
#include "xml/xml_handles.h"

namespace ruvo {

namespace {

// The unqualified expression and its NUL; longer names are refused.
constexpr std::size_t kExpressionSize = kMaxLookupExpressionLength + 1;

}  // namespace

TextBufferPtr lookup_value(XPathContext& context, const char* element, const char* attribute,
                           LookupTrace* trace) {
  if (context.get() == nullptr || element == nullptr || attribute == nullptr) {
    return TextBufferPtr();
  }
  char expression[kExpressionSize];
  const int written = std::snprintf(expression, sizeof expression, "//%s/@%s", element, attribute);
  if (written < 0 || static_cast<std::size_t>(written) >= sizeof expression) {
    return TextBufferPtr();
  }
  TextBufferPtr qualified =
      qualify_path(std::string_view(expression, static_cast<std::size_t>(written)),
                   context.default_namespace_bound);
  if (!qualified || !run_text_to_utf8(context.text_codec(), qualified)) {
    return TextBufferPtr();
  }
  if (trace != nullptr) {
    trace->expression = text_buffer_from(qualified->view());
  }
  // libxml2 keeps node sets in document order, so the first node is the first match.
  const Evaluation evaluation = evaluate_first(context, qualified->data());
  if (evaluation.node == nullptr) {
    return TextBufferPtr();
  }
  const XmlCharPtr content(xmlNodeGetContent(evaluation.node));
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
