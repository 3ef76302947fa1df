#include "xml/element_index.h"

#include <cstring>
#include <new>

#include "xml/descendant_walk.h"
#include "xml/xml_handles.h"

namespace ruvo {

namespace {

using ParentCounts =
    std::unordered_map<const xmlNode*, std::uint32_t, std::hash<const xmlNode*>, std::equal_to<>,
                       TrackedAllocator<std::pair<const xmlNode* const, std::uint32_t>>>;

// Whether a later sibling passes the same name test: the node is then not last().
bool has_later_match(const xmlNode* node, const NameTest& test) {
  for (const xmlNode* sibling = node->next; sibling != nullptr; sibling = sibling->next) {
    if (sibling->type == XML_ELEMENT_NODE && element_matches(sibling, test)) {
      return true;
    }
  }
  return false;
}

// The string value of the attribute equals the text: its one text child as it stands, else
// what libxml2 puts together.
bool attribute_equals(xmlNode* attribute, std::string_view value) {
  const xmlNode* child = attribute->children;
  if (child != nullptr && child->next == nullptr && child->type == XML_TEXT_NODE) {
    const char* text = reinterpret_cast<const char*>(child->content);
    return text != nullptr && std::strlen(text) == value.size() &&
           std::memcmp(text, value.data(), value.size()) == 0;
  }
  if (child == nullptr) {
    return value.empty();
  }
  XmlCharPtr content(xmlNodeGetContent(attribute));
  const char* text = reinterpret_cast<const char*>(content.get());
  return text != nullptr && std::strlen(text) == value.size() &&
         std::memcmp(text, value.data(), value.size()) == 0;
}

// Whether the element passes the shape's parent test and attribute test.
bool passes_filters(xmlNode* node, const DescendantShape& shape) {
  if (shape.has_parent) {
    const xmlNode* parent = node->parent;
    if (parent == nullptr || parent->type != XML_ELEMENT_NODE ||
        !element_matches(parent, shape.parent)) {
      return false;
    }
  }
  if (shape.has_filter) {
    xmlNode* attribute = matching_attribute(node, shape.filter);
    if (attribute == nullptr || (shape.has_value && !attribute_equals(attribute, shape.value))) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool ElementIndex::build(xmlDoc* document) noexcept {
  built_ = true;
  try {
    for (xmlNode* node = document != nullptr ? document->children : nullptr; node != nullptr;
         node = next_in_document_order(node)) {
      if (node->type == XML_ELEMENT_NODE && node->name != nullptr) {
        by_name_[reinterpret_cast<const char*>(node->name)].push_back(node);
      }
    }
  } catch (const std::bad_alloc&) {
    Map().swap(by_name_);
    failed_ = true;
  }
  return !failed_;
}

bool ElementIndex::first_match(xmlDoc* document, const DescendantShape& shape,
                               xmlNode*& found) noexcept {
  found = nullptr;
  if (failed_ || (!built_ && !build(document))) {
    return false;
  }
  const auto named = by_name_.find(shape.element.local);
  if (named == by_name_.end()) {
    return true;
  }
  try {
    ParentCounts counts;
    for (xmlNode* node : named->second) {
      if (!element_matches(node, shape.element)) {
        continue;
      }
      // Positions count the parent's children that pass the name test, in document order.
      if (shape.position > 0 && ++counts[node->parent] != shape.position) {
        continue;
      }
      if ((shape.last && has_later_match(node, shape.element)) || !passes_filters(node, shape)) {
        continue;
      }
      found = shape.has_attribute ? matching_attribute(node, shape.attribute) : node;
      if (found != nullptr) {
        return true;
      }
    }
  } catch (const std::bad_alloc&) {
    found = nullptr;
    return false;
  }
  return true;
}

}  // namespace ruvo
