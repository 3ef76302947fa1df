// {expression} in a table definition: evaluated from each row's element, never moving the
// context node that the table leaves or that the next level searches from.
#pragma once

#include <libxml/tree.h>
#include <libxml/xpath.h>

#include <string_view>

#include "xml/xml_handles.h"
#include "xml/xpath_context.h"

namespace ruvo {

// The text between the braces, qualified like an XPath placeholder and made UTF-8, compiled
// once for the table; none when it does not compile or memory is short.
[[nodiscard]] XmlXPathCompExprPtr compile_braced_expression(XPathContext& context,
                                                            std::string_view braced);

// The content of the first node the expression selects from the node (all text below an
// element); none for no node, a result of another type, or short memory. The context node is
// left as it was.
[[nodiscard]] XmlCharPtr first_node_content(XPathContext& context, xmlXPathCompExpr* expression,
                                            xmlNode* from);

}  // namespace ruvo
