// The run's one XPath context: its handle, whether the document binds a default namespace, the
// first nodes of the context-free expressions evaluated so far, and the context node.
//
// Evaluation goes as fast as the document allows. The document does not change during a run, so
// an expression whose value cannot depend on the context node gives the same node every time:
// its first node is kept and reused. The common shapes //name, //name[n] and either with
// /@attribute are answered by a walk in document order that stops at the first match, with
// exactly the name tests libxml2 applies. Everything else is left to libxml2.
#pragma once

#include <libxml/tree.h>
#include <libxml/xpath.h>

#include "text/text_codec.h"
#include "xml/element_index.h"
#include "xml/expression_cache.h"
#include "xml/run_text.h"
#include "xml/xml_handles.h"

namespace ruvo {

struct DocumentNotes;

struct XPathContext {
  XmlXPathContextPtr handle;  // none when the context could not be made
  bool default_namespace_bound = false;
  ExpressionCache cache;             // first nodes of the context-free expressions evaluated so far
  ElementIndex index;                // the elements by name, for searches over the document
  const TextCodec* codec = nullptr;  // the run's encoding; none for Latin-1

  xmlXPathContext* get() const { return handle.get(); }
  const TextCodec& text_codec() const { return codec != nullptr ? *codec : latin1_codec(); }
};

// Makes the context on the document and registers the document's namespaces in it, using the
// notes taken while it was read when there are any (which then outlive the context).
[[nodiscard]] XPathContext make_xpath_context(xmlDoc* document,
                                              const DocumentNotes* notes = nullptr);

// Makes the node the context node of the relative expressions evaluated next; none clears it.
// A namespace node of a result is a copy that dies with the result, so it never becomes the
// context node: the context node stays as it was.
inline void set_context_node(XPathContext& context, xmlNode* node) {
  if (node == nullptr || node->type != XML_NAMESPACE_DECL) {
    context.get()->node = node;
  }
}

// Calls visit with each node of a result as the context node in turn, namespace nodes included:
// the result that holds them outlives the visit. Afterwards the context node is the one the
// last visit left, as set_context_node leaves it, so a namespace node gives way to the context
// node from before.
template <typename Visit>
void for_each_as_context_node(XPathContext& context, const xmlNodeSet& nodes, Visit&& visit) {
  xmlXPathContext* handle = context.get();
  xmlNode* const before = handle->node;
  for (int i = 0; i < nodes.nodeNr; ++i) {
    handle->node = nodes.nodeTab[i];
    visit();
  }
  xmlNode* const last = handle->node;
  handle->node = before;
  set_context_node(context, last);
}

// What an evaluation gave: no result at all (libxml2 failed and recorded why), or the first
// node of a node-set result, which is none for an empty set and for any other result type.
struct Evaluation {
  bool failed = false;
  xmlNode* node = nullptr;
  XmlXPathObjectPtr result;  // keeps node alive when it belongs to the result (namespace nodes)
};

// Evaluates the qualified expression in the run's context like xmlXPathEvalExpression.
[[nodiscard]] Evaluation evaluate_first(XPathContext& context, const char* expression);

}  // namespace ruvo
