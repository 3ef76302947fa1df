#include "xml/descendant_walk.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "text/tracked_memory.h"

namespace ruvo {

namespace {

// Byte by byte, so that most names differ at their first byte, and never past the end of the
// node's name.
bool same_name(const xmlChar* name, std::string_view local) {
  if (name == nullptr) {
    return false;
  }
  for (std::size_t i = 0; i < local.size(); ++i) {
    if (name[i] == '\0' || name[i] != static_cast<unsigned char>(local[i])) {
      return false;
    }
  }
  return name[local.size()] == '\0';
}

}  // namespace

bool has_local_name(const xmlNode* node, std::string_view local) {
  return same_name(node->name, local);
}

bool element_matches(const xmlNode* node, const NameTest& test) {
  if (!same_name(node->name, test.local)) {
    return false;
  }
  if (!test.prefixed) {
    return node->ns == nullptr;
  }
  return node->ns != nullptr && xmlStrEqual(test.uri, node->ns->href);
}

xmlNode* matching_attribute(xmlNode* element, const NameTest& test) {
  for (xmlAttr* attribute = element->properties; attribute != nullptr;
       attribute = attribute->next) {
    if (!same_name(attribute->name, test.local)) {
      continue;
    }
    const bool matches =
        test.prefixed ? attribute->ns != nullptr && xmlStrEqual(test.uri, attribute->ns->href)
                      : attribute->ns == nullptr || attribute->ns->prefix == nullptr;
    if (matches) {
      return reinterpret_cast<xmlNode*>(attribute);
    }
  }
  return nullptr;
}

// Entity references and the document type declaration are not part of the searched tree.
xmlNode* next_in_document_order(xmlNode* node) {
  if (node->type == XML_ELEMENT_NODE && node->children != nullptr) {
    return node->children;
  }
  while (node != nullptr && node->next == nullptr) {
    node = node->parent;
    if (node != nullptr && node->type == XML_DOCUMENT_NODE) {
      return nullptr;
    }
  }
  return node != nullptr ? node->next : nullptr;
}

namespace {

// The first element in document order that is the position-th of its parent's children
// matching the test (and holds the attribute when one is asked for), as //name[n] selects
// them. Each open level of the walk counts its matching children. False when the counts could
// not get memory.
bool first_positioned(xmlDoc* document, const DescendantShape& shape, xmlNode*& found) {
  found = nullptr;
  try {
    std::vector<std::uint32_t, TrackedAllocator<std::uint32_t>> counts(1, 0);
    xmlNode* node = document->children;
    while (node != nullptr) {
      if (node->type == XML_ELEMENT_NODE) {
        if (element_matches(node, shape.element) && ++counts.back() == shape.position) {
          found = shape.has_attribute ? matching_attribute(node, shape.attribute) : node;
          if (found != nullptr) {
            return true;
          }
        }
        if (node->children != nullptr) {
          counts.push_back(0);
          node = node->children;
          continue;
        }
      }
      while (node->next == nullptr) {
        node = node->parent;
        counts.pop_back();
        if (node == nullptr || node->type == XML_DOCUMENT_NODE) {
          return true;
        }
      }
      node = node->next;
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

}  // namespace

xmlNode* first_descendant(xmlDoc* document, const NameTest& test) {
  xmlNode* node = document != nullptr ? document->children : nullptr;
  while (node != nullptr && (node->type != XML_ELEMENT_NODE || !element_matches(node, test))) {
    node = next_in_document_order(node);
  }
  return node;
}

xmlNode* next_descendant(xmlNode* node, const NameTest& test) {
  do {
    node = next_in_document_order(node);
  } while (node != nullptr && (node->type != XML_ELEMENT_NODE || !element_matches(node, test)));
  return node;
}

bool first_shape_match(xmlDoc* document, const DescendantShape& shape, xmlNode*& found) {
  if (shape.position > 0) {
    return first_positioned(document, shape, found);
  }
  found = nullptr;
  for (xmlNode* node = first_descendant(document, shape.element); node != nullptr;
       node = next_descendant(node, shape.element)) {
    found = shape.has_attribute ? matching_attribute(node, shape.attribute) : node;
    if (found != nullptr) {
      return true;
    }
  }
  return true;
}

}  // namespace ruvo
