// The document's elements by local name, each list in document order. The shapes of
// expression_shape.h are answered from the lists of one name instead of a walk of the tree
// each: a search for an element after the line items, or one that a predicate filters, costs
// the elements of that name, not the document.
//
// The parser notes the lists as it makes the elements (xml/input_document.h), at almost no cost
// while each element is fresh in memory. For a document read another way, they are made only
// when they pay, since most searches of a template find their element near the top (the
// invoice's header, its parties): searches are first answered by walks from the document's
// start, and once the walks have visited kWalkBudget nodes in all, one walk of the whole
// document records the lists. A walk and the lists take the same elements in the same order, so
// both give the same node.
#pragma once

#include <libxml/tree.h>

#include <cstddef>

#include "xml/elements_by_name.h"
#include "xml/expression_shape.h"

namespace ruvo {

class ElementIndex {
 public:
  static constexpr std::size_t kWalkBudget = 20'000;

  ElementIndex() = default;
  // walk_budget: the nodes the walks may visit before the lists are made (0: at once).
  explicit ElementIndex(std::size_t walk_budget) : walk_budget_(walk_budget) {}
  // The lists the parser noted for the whole tree, which outlive the index.
  explicit ElementIndex(const ElementsByName* noted) : noted_(noted) {}

  // The first node the shape's expression selects, in document order, or none. False when the
  // index could not be had (memory): the expression is then answered another way.
  [[nodiscard]] bool first_match(xmlDoc* document, const DescendantShape& shape,
                                 xmlNode*& found) noexcept;

 private:
  bool build(xmlDoc* document) noexcept;
  // Answers the search by a walk from the document's start; false when the walks' budget ran
  // out first. Throws std::bad_alloc when a position's counts cannot get memory.
  bool answer_by_walk(xmlDoc* document, const DescendantShape& shape, xmlNode*& found);

  // The lists searched: the parser's, or the index's own once made.
  const ElementsByName* lists() const { return noted_ != nullptr ? noted_ : &made_; }

  const ElementsByName* noted_ = nullptr;
  ElementsByName made_;
  std::size_t walk_budget_ = kWalkBudget;
  std::size_t walked_ = 0;  // nodes the walks have visited, up to walk_budget_
  bool built_ = false;
  bool failed_ = false;
};

}  // namespace ruvo
