// Walks of the document in document order that stop at the first match, with exactly the name
// tests libxml2 applies: they answer //name, //name[n] and either with /@attribute without
// building a node-set.
#pragma once

#include <libxml/tree.h>

#include "xml/expression_shape.h"

namespace ruvo {

// The name tests as libxml2 applies them: an element's local name and namespace; an attribute
// of the element that passes the test, or none.
bool element_matches(const xmlNode* node, const NameTest& test);
bool has_local_name(const xmlNode* node, std::string_view local);
xmlNode* matching_attribute(xmlNode* element, const NameTest& test);
// The next node in document order, descending only into elements.
xmlNode* next_in_document_order(xmlNode* node);

// The elements //name selects, in document order, one at a time: the first, then the one after
// a given one. None when there are no more.
xmlNode* first_descendant(xmlDoc* document, const NameTest& test);
xmlNode* next_descendant(xmlNode* node, const NameTest& test);

// The first node the shape's expression selects, in document order, or none. False when the
// counts a positioned shape keeps could not get memory: the expression is then left to libxml2.
[[nodiscard]] bool first_shape_match(xmlDoc* document, const DescendantShape& shape,
                                     xmlNode*& found);

}  // namespace ruvo
