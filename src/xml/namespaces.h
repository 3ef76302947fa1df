// The document's namespaces in the run's XPath context.
//
// The default namespace is registered under the prefix zq-def-ns, which qualification
// (xml/qualify.h) gives every unprefixed element step. A document that binds no default
// namespace registers nothing under zq-def-ns. Whether the default namespace is bound is kept
// with the context.
#pragma once

#include <libxml/tree.h>

namespace ruvo {

struct XPathContext;
struct DocumentNotes;

inline constexpr const char* kDefaultNamespacePrefix = "zq-def-ns";

// Registers every namespace in scope on the document's root element or any node below it, in
// document order (the last registration of a prefix wins); the default namespace goes under
// zq-def-ns. Starts at the root element, so a comment, processing instruction or DOCTYPE before
// it does not hide the document's namespaces. Complete notes, with the declaring elements, give
// the same bindings without visiting the rest of the tree.
void register_namespaces(XPathContext& context, xmlDoc* document,
                         const DocumentNotes* notes = nullptr);

}  // namespace ruvo
