#include "xml/element_index.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "xml/descendant_walk.h"
#include "xml/prefetch.h"
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

// Takes the elements of the shape's name one at a time, in document order, and tells when one
// is the first node the shape selects (found: the element or its attribute).
class Candidates {
 public:
  explicit Candidates(const DescendantShape& shape) : shape_(shape) {}

  // next_named: the element of the same local name after it in document order, when known.
  bool take(xmlNode* node, const xmlNode* next_named, xmlNode*& found) {
    if (!matches(node)) {
      return false;
    }
    // Positions count the parent's children that pass the name test, in document order.
    if (shape_.position > 0 && ++counts_[node->parent] != shape_.position) {
      return false;
    }
    if ((shape_.last && !is_last(node, next_named)) || !passes_filters(node, shape_)) {
      return false;
    }
    found = shape_.has_attribute ? matching_attribute(node, shape_.attribute) : node;
    return found != nullptr;
  }

 private:
  // element_matches, with the namespace record of the last match taken as matching again: the
  // elements of one name mostly share the record of the one declaration in scope.
  bool matches(const xmlNode* node) {
    const NameTest& test = shape_.element;
    if (test.prefixed && node->ns != nullptr && node->ns == matched_ns_) {
      return has_local_name(node, test.local);
    }
    const bool matched = element_matches(node, test);
    if (matched && test.prefixed) {
      matched_ns_ = node->ns;
    }
    return matched;
  }

  // Whether no later sibling passes the name test. The next element of the name, when it is a
  // sibling that passes, settles it without a look at the siblings between.
  bool is_last(const xmlNode* node, const xmlNode* next_named) {
    if (next_named != nullptr && next_named->parent == node->parent && matches(next_named)) {
      return false;
    }
    return !has_later_match(node, shape_.element);
  }

  const DescendantShape& shape_;
  ParentCounts counts_;
  const xmlNs* matched_ns_ = nullptr;
};

}  // namespace

bool ElementIndex::answer_by_walk(xmlDoc* document, const DescendantShape& shape, xmlNode*& found) {
  Candidates candidates(shape);
  for (xmlNode* node = document != nullptr ? document->children : nullptr; node != nullptr;
       node = next_in_document_order(node)) {
    if (walked_ >= walk_budget_) {
      return false;
    }
    ++walked_;
    if (node->type == XML_ELEMENT_NODE && candidates.take(node, nullptr, found)) {
      return true;
    }
  }
  return true;  // the whole document was walked: nothing matches
}

bool ElementIndex::build(xmlDoc* document) noexcept {
  built_ = true;
  try {
    for (xmlNode* node = document != nullptr ? document->children : nullptr; node != nullptr;
         node = next_in_document_order(node)) {
      if (node->type == XML_ELEMENT_NODE && node->name != nullptr) {
        made_.add(node);
      }
    }
  } catch (const std::bad_alloc&) {
    made_.clear();
    failed_ = true;
  }
  return !failed_;
}

bool ElementIndex::first_match(xmlDoc* document, const DescendantShape& shape,
                               xmlNode*& found) noexcept {
  found = nullptr;
  try {
    if (noted_ == nullptr && !built_ && !failed_ && answer_by_walk(document, shape, found)) {
      return true;
    }
    found = nullptr;
    if (noted_ == nullptr && (failed_ || (!built_ && !build(document)))) {
      return false;
    }
    const ElementsByName::Nodes* named = lists()->find(shape.element.local);
    if (named == nullptr) {
      return true;
    }
    Candidates candidates(shape);
    constexpr std::size_t kAhead = 8;
    const std::size_t count = named->size();
    for (std::size_t i = 0; i < count; ++i) {
      if (i + kAhead < count) {
        prefetch_element((*named)[i + kAhead]);
      }
      if (candidates.take((*named)[i], i + 1 < count ? (*named)[i + 1] : nullptr, found)) {
        return true;
      }
    }
  } catch (const std::bad_alloc&) {
    found = nullptr;
    return false;
  }
  found = nullptr;
  return true;
}

}  // namespace ruvo
