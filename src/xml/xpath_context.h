// The run's one XPath context and the qualification of the paths users write.
//
// Invoices put their elements in a default namespace while templates name them without prefix.
// Under XPath 1.0 an unprefixed name matches only elements in no namespace, so the default
// namespace is registered under the prefix zq-def-ns, and qualification gives every unprefixed
// element step that prefix. A document that binds no default namespace registers nothing under
// zq-def-ns; qualification then adds no prefix, so unprefixed steps match elements in no
// namespace. Whether the default namespace is bound is kept with the context.
#pragma once

#include <libxml/tree.h>
#include <libxml/xpath.h>

#include <string_view>

#include "text/text_buffer.h"
#include "xml/evaluation.h"
#include "xml/input_document.h"
#include "xml/xml_handles.h"

namespace ruvo {

inline constexpr const char* kDefaultNamespacePrefix = "zq-def-ns";

struct XPathContext {
  XmlXPathContextPtr handle;  // none when the context could not be made
  bool default_namespace_bound = false;
  ExpressionCache cache;  // first nodes of the context-free expressions evaluated so far

  xmlXPathContext* get() const { return handle.get(); }
};

// Makes the context on the document and registers the document's namespaces in it, using the
// declarations noted while it was read when there are any.
[[nodiscard]] XPathContext make_xpath_context(xmlDoc* document,
                                              const NamespaceDeclarations* declarations = nullptr);

// Registers every namespace in scope on the document's root element or any node below it, in
// document order (the last registration of a prefix wins); the default namespace goes under
// zq-def-ns. Starts at the root element, so a comment, processing instruction or DOCTYPE before
// it does not hide the document's namespaces. A complete list of the declaring elements gives
// the same bindings without visiting the rest of the tree.
void register_namespaces(XPathContext& context, xmlDoc* document,
                         const NamespaceDeclarations* declarations = nullptr);

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
