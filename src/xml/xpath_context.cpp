#include "xml/xpath_context.h"

#include <libxml/xmlmemory.h>
#include <libxml/xpathInternals.h>

#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace ruvo {

namespace {

// xmlGetNsList hands out an array that only libxml2 may release.
struct NsListFree {
  void operator()(xmlNs** list) const { xmlFree(list); }
};
using NsListPtr = std::unique_ptr<xmlNs*, NsListFree>;

const xmlChar* as_xml(const char* text) {
  return reinterpret_cast<const xmlChar*>(text);
}

bool has_ns_def(const xmlNode* node) {
  return node->type == XML_ELEMENT_NODE && node->nsDef != nullptr;
}

// Binds every namespace in scope on the node; the default one goes under zq-def-ns.
void register_in_scope(xmlXPathContext* context, xmlDoc* document, xmlNode* node) {
  NsListPtr list(xmlGetNsList(document, node));
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

// ASCII-only case folding: XPath names are compared letter by letter, A-Z against a-z.
bool equals_ignoring_case(std::string_view text, std::string_view word) {
  if (text.size() != word.size()) {
    return false;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
    if (c != word[i]) {
      return false;
    }
  }
  return true;
}

// Steps that never take the prefix: the wildcard, self, parent, text() and attributes.
bool is_special_name(std::string_view name) {
  return equals_ignoring_case(name, "*") || equals_ignoring_case(name, ".") ||
         equals_ignoring_case(name, "..") || equals_ignoring_case(name, "text()") ||
         (!name.empty() && name.front() == '@');
}

bool has_colon(std::string_view name) {
  return name.find(':') != std::string_view::npos;
}

bool append_view(TextBufferPtr& result, std::string_view text) {
  return text_buffer_append_bytes(result, text.data(), text.size());
}

// Steps are joined by one '/', unless the result already ends in one (after a leading "/" or
// "//", or after an empty step inside the path, which collapses "a//b" to "a/b").
bool append_separator(TextBufferPtr& result) {
  if (result->length() == 0 || result->data()[result->length() - 1] == '/') {
    return true;
  }
  return append_view(result, "/");
}

bool append_prefix(TextBufferPtr& result) {
  return text_buffer_append(result, kDefaultNamespacePrefix) && append_view(result, ":");
}

// A step without predicate. An empty step (two '/' in a row, or a leading '/') writes its own
// '/'.
bool append_step(const char* start, const char* end, TextBufferPtr& result, bool prefixed) {
  const std::string_view step(start, static_cast<std::size_t>(end - start));
  if (step.empty()) {
    return append_view(result, "/");
  }
  if (!append_separator(result)) {
    return false;
  }
  if (prefixed && !is_special_name(step) && !has_colon(step)) {
    if (!append_prefix(result)) {
      return false;
    }
  }
  return append_view(result, step);
}

// A step with a predicate, from start to end with its first '[' at bracket. The predicate is
// copied as written (names inside it stay unqualified) and the step's last character is taken
// to be its closing ']', whatever it is, so an unclosed "a[1" comes out as "a[]".
bool append_predicate_step(const char* start, const char* end, const char* bracket,
                           TextBufferPtr& result, bool prefixed) {
  const std::string_view name(start, static_cast<std::size_t>(bracket - start));
  if (!append_separator(result)) {
    return false;
  }
  if (is_special_name(name)) {
    return append_view(result, std::string_view(start, static_cast<std::size_t>(end - start)));
  }
  // A step that is just "a[" has no room for a predicate before its last character.
  const char* predicate_end = end - 1 > bracket ? end - 1 : bracket + 1;
  const std::string_view predicate(bracket + 1,
                                   static_cast<std::size_t>(predicate_end - (bracket + 1)));
  if (prefixed && !has_colon(name)) {
    if (!append_prefix(result)) {
      return false;
    }
  }
  return append_view(result, name) && append_view(result, "[") && append_view(result, predicate) &&
         append_view(result, "]");
}

// Cuts the path into steps at every '/'. A step ends at the first '/' after its start even
// inside a predicate, so a predicate holding '/' is cut there.
TextBufferPtr qualify_range(const char* path, std::size_t length, bool prefixed) {
  TextBufferPtr result = text_buffer_new(1);
  if (!result) {
    return result;
  }
  result->data()[0] = '\0';
  if (length == 0) {
    return result;
  }
  const char* position = path;
  const char* const end = path + length;
  const char* bracket = nullptr;  // first '[' at or after position, or end when there is none
  while (true) {
    const char* slash = static_cast<const char*>(
        std::memchr(position, '/', static_cast<std::size_t>(end - position)));
    if (bracket == nullptr || bracket < position) {
      bracket = static_cast<const char*>(
          std::memchr(position, '[', static_cast<std::size_t>(end - position)));
      if (bracket == nullptr) {
        bracket = end;
      }
    }
    bool ok = true;
    if (slash != nullptr) {
      ok = bracket < slash ? append_predicate_step(position, slash, bracket, result, prefixed)
                           : append_step(position, slash, result, prefixed);
      position = slash + 1;
    } else if (bracket != end) {
      ok = append_predicate_step(position, end, bracket, result, prefixed);
      position = end;
    } else if (position < end) {
      ok = append_step(position, end, result, prefixed);
      position = end;
    }
    if (!ok) {
      return TextBufferPtr();
    }
    if (slash == nullptr) {
      return result;
    }
  }
}

}  // namespace

XPathContext make_xpath_context(xmlDoc* document, const NamespaceDeclarations* declarations) {
  XPathContext context;
  if (document == nullptr) {
    return context;
  }
  context.handle.reset(xmlXPathNewContext(document));
  if (context.handle) {
    register_namespaces(context, document, declarations);
  }
  return context;
}

namespace {

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
                       const NamespaceDeclarations& declarations) {
  std::vector<xmlNode*, TrackedAllocator<xmlNode*>> open;  // declaring ancestors, innermost last
  try {
    open.reserve(declarations.elements.size());
  } catch (const std::bad_alloc&) {
    return false;
  }
  register_in_scope(handle, document, root);
  for (xmlNode* element : declarations.elements) {
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
void register_namespaces(XPathContext& context, xmlDoc* document,
                         const NamespaceDeclarations* declarations) {
  xmlXPathContext* handle = context.get();
  if (handle == nullptr || document == nullptr) {
    return;
  }
  xmlNode* const root = xmlDocGetRootElement(document);
  if (root != nullptr && declarations != nullptr && declarations->complete &&
      register_declared(handle, document, root, *declarations)) {
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

TextBufferPtr qualify_path(std::string_view path, bool default_namespace_bound) {
  return qualify_range(path.data(), path.size(), default_namespace_bound);
}

TextBufferPtr qualify_path_buffer(const TextBuffer& path, bool default_namespace_bound) {
  return qualify_range(path.data(), path.length(), default_namespace_bound);
}

TextBufferPtr qualified_node_name(const xmlNode* node) {
  TextBufferPtr name;
  if (node == nullptr) {
    return name;
  }
  const char* local = node->name != nullptr ? reinterpret_cast<const char*>(node->name) : "";
  const xmlNs* ns = node->ns;
  if (ns != nullptr && ns->prefix != nullptr && ns->prefix[0] != '\0') {
    if (!text_buffer_append(name, reinterpret_cast<const char*>(ns->prefix)) ||
        !text_buffer_append(name, ":")) {
      return TextBufferPtr();
    }
  }
  if (!text_buffer_append(name, local)) {
    return TextBufferPtr();
  }
  return name;
}

}  // namespace ruvo
