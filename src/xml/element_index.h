// The document's elements by local name, each list in document order, recorded by one walk the
// first time a search over the whole document is asked for. The shapes of expression_shape.h
// are then answered from the lists of one name instead of a walk of the tree each: a search
// for an element after the line items, or one that a predicate filters, costs the elements of
// that name, not the document.
#pragma once

#include <libxml/tree.h>

#include <string_view>
#include <unordered_map>
#include <vector>

#include "text/tracked_memory.h"
#include "xml/expression_shape.h"

namespace ruvo {

class ElementIndex {
 public:
  // The first node the shape's expression selects, in document order, or none. False when the
  // index could not be had (memory): the expression is then answered another way.
  [[nodiscard]] bool first_match(xmlDoc* document, const DescendantShape& shape,
                                 xmlNode*& found) noexcept;

 private:
  using Nodes = std::vector<xmlNode*, TrackedAllocator<xmlNode*>>;
  using Map =
      std::unordered_map<std::string_view, Nodes, std::hash<std::string_view>, std::equal_to<>,
                         TrackedAllocator<std::pair<const std::string_view, Nodes>>>;

  bool build(xmlDoc* document) noexcept;

  Map by_name_;
  bool built_ = false;
  bool failed_ = false;
};

}  // namespace ruvo
