// A document's elements by local name, each list in document order.
#pragma once

#include <libxml/tree.h>

#include <cstddef>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "text/tracked_memory.h"

namespace ruvo {

class ElementsByName {
 public:
  using Nodes = std::vector<xmlNode*, TrackedAllocator<xmlNode*>>;

  // Puts the element at the end of its name's list; the elements must come in document order.
  // Throws std::bad_alloc when memory is short.
  void add(xmlNode* element);
  // The elements of that local name; none when the document has none.
  const Nodes* find(std::string_view local) const;
  void clear() noexcept;

 private:
  using Map =
      std::unordered_map<std::string_view, Nodes, std::hash<std::string_view>, std::equal_to<>,
                         TrackedAllocator<std::pair<const std::string_view, Nodes>>>;

  // The parser keeps each name once, in its dictionary, so a name is mostly one pointer: the
  // lists of the names met last are found by the pointer, without hashing the name.
  struct Recent {
    const xmlChar* name = nullptr;
    Nodes* nodes = nullptr;
  };
  static constexpr std::size_t kRecent = 8;

  Map lists_;
  Recent recent_[kRecent];
};

}  // namespace ruvo
