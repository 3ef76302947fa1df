#include "xml/namespaces.h"

#include <libxml/xpathInternals.h>

#include <new>
#include <vector>

#include "xml/input_document.h"
#include "xml/xml_handles.h"
#include "xml/xpath_context.h"

namespace ruvo {

namespace {

const xmlChar* as_xml(const char* text) {
  return reinterpret_cast<const xmlChar*>(text);
}

bool has_ns_def(const xmlNode* node) {
  return node->type == XML_ELEMENT_NODE && node->nsDef != nullptr;
}

// Binds every namespace in scope on the node; the default one goes under zq-def-ns.
void register_in_scope(xmlXPathContext* context, xmlDoc* document, xmlNode* node) {
  XmlNsListPtr list(xmlGetNsList(document, node));
  if (!list) {
    return;
  }
  for (xmlNs** entry = list.get(); *entry != nullptr; ++entry) {
    const xmlNs* ns = *entry;
    if (ns->href == nullptr) {
      continue;
    }
    const bool unprefixed = ns->prefix == nullptr || ns->prefix[0] == '\0';
    xmlXPathRegisterNs(context, unprefixed ? as_xml(kDefaultNamespacePrefix) : ns->prefix,
                       ns->href);
  }
}

// A default namespace bound to the empty URI (xmlns="") is no namespace: unprefixed steps must
// then match elements in no namespace, so qualification leaves them alone.
void bind_default_namespace(XPathContext& context) {
  const xmlChar* uri = xmlXPathNsLookup(context.get(), as_xml(kDefaultNamespacePrefix));
  context.default_namespace_bound = uri != nullptr && uri[0] != '\0';
}

bool is_ancestor(const xmlNode* ancestor, const xmlNode* node) {
  for (node = node->parent; node != nullptr; node = node->parent) {
    if (node == ancestor) {
      return true;
    }
  }
  return false;
}

// Registers at the first node after the element's subtree, if the root holds one: the node the
// walk below visits once it has left that subtree.
void register_after(xmlXPathContext* handle, xmlDoc* document, xmlNode* root, xmlNode* element) {
  xmlNode* node = element;
  while (node != root && node->next == nullptr) {
    node = node->parent;
  }
  if (node != root) {
    register_in_scope(handle, document, node->next);
  }
}

// The registrations of the walk below, made only at the nodes where it registers: the root,
// each declaring element in document order, and after each declaring element's subtree (before
// the next declaring element that is not inside it). Registering the same set twice in a row
// changes nothing, so a node that is both gives the same bindings. False when memory ran short
// before anything was registered.
bool register_declared(xmlXPathContext* handle, xmlDoc* document, xmlNode* root,
                       const DocumentNotes& notes) {
  std::vector<xmlNode*, TrackedAllocator<xmlNode*>> open;  // declaring ancestors, innermost last
  try {
    open.reserve(notes.declaring.size());
  } catch (const std::bad_alloc&) {
    return false;
  }
  register_in_scope(handle, document, root);
  for (xmlNode* element : notes.declaring) {
    while (!open.empty() && !is_ancestor(open.back(), element)) {
      register_after(handle, document, root, open.back());
      open.pop_back();
    }
    register_in_scope(handle, document, element);
    open.push_back(element);
  }
  while (!open.empty()) {
    register_after(handle, document, root, open.back());
    open.pop_back();
  }
  return true;
}

}  // namespace

// Registering on every node would bind, for each prefix, the URI in scope at the last node that
// has the prefix in scope. A node's in-scope set is that of its nearest ancestor-or-self that
// declares namespaces (or of the root), so consecutive nodes of the walk register the same set
// unless the walk enters a node that declares namespaces or has just left the subtree of one.
// Registering only at those nodes (and the root) gives the same bindings at a fraction of the
// cost: an invoice of many items usually declares its namespaces on the root alone.
//
// The walk follows first-child, next-sibling and parent links, so depth costs no stack. It
// descends only into elements: the children of an entity reference belong to the entity
// declaration, not to the document's tree.
void register_namespaces(XPathContext& context, xmlDoc* document, const DocumentNotes* notes) {
  xmlXPathContext* handle = context.get();
  if (handle == nullptr || document == nullptr) {
    return;
  }
  xmlNode* const root = xmlDocGetRootElement(document);
  if (root != nullptr && notes != nullptr && notes->complete &&
      register_declared(handle, document, root, *notes)) {
    bind_default_namespace(context);
    return;
  }
  xmlNode* node = root;
  bool scope_left = false;  // a subtree that declared namespaces was finished since the last node
  while (node != nullptr) {
    if (node == root || has_ns_def(node) || scope_left) {
      register_in_scope(handle, document, node);
      scope_left = false;
    }
    if (node->type == XML_ELEMENT_NODE && node->children != nullptr) {
      node = node->children;
      continue;
    }
    // The node's subtree is done: move to the next node in document order below the root.
    while (true) {
      if (has_ns_def(node)) {
        scope_left = true;
      }
      if (node == root) {
        node = nullptr;
        break;
      }
      if (node->next != nullptr) {
        node = node->next;
        break;
      }
      node = node->parent;
    }
  }
  bind_default_namespace(context);
}

}  // namespace ruvo
