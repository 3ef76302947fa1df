// Qualification of the paths users write.
//
// Invoices put their elements in a default namespace while templates name them without prefix.
// Under XPath 1.0 an unprefixed name matches only elements in no namespace, so qualification
// gives every unprefixed element step the prefix the default namespace is registered under
// (xml/namespaces.h). When the document binds no default namespace it adds no prefix, so
// unprefixed steps match elements in no namespace.
#pragma once

#include <libxml/tree.h>

#include <string_view>

#include "text/text_buffer.h"

namespace ruvo {

// Qualifies a path: unprefixed element steps receive "zq-def-ns:" when default_namespace_bound.
// Attribute steps, *, ., .., text() and steps holding ':' stay as written; a predicate is copied
// unchanged except that the step's last character becomes ']'; "//" inside a path becomes "/".
[[nodiscard]] TextBufferPtr qualify_path(std::string_view path, bool default_namespace_bound);
// The same for a path held in a buffer (its length marks the end).
[[nodiscard]] TextBufferPtr qualify_path_buffer(const TextBuffer& path,
                                                bool default_namespace_bound);

// prefix:name when the element's namespace has a non-empty prefix, else its local name.
[[nodiscard]] TextBufferPtr qualified_node_name(const xmlNode* node);

}  // namespace ruvo
