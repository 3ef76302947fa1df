// The first nodes of the context-free expressions evaluated so far in a run: the document does
// not change during a run, so such an expression gives the same node every time.
#pragma once

#include <libxml/tree.h>

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "text/tracked_memory.h"

namespace ruvo {

// First nodes of context-free expressions already evaluated in this run.
class ExpressionCache {
 public:
  // The entry for the expression, or none when it was never stored.
  const xmlNode* const* find(std::string_view expression) const;
  // Keeps the first node of the expression; a refused allocation just keeps nothing.
  void store(std::string_view expression, xmlNode* node) noexcept;

 private:
  using Key = std::basic_string<char, std::char_traits<char>, TrackedAllocator<char>>;
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const noexcept {
      return std::hash<std::string_view>{}(text);
    }
  };
  using Map = std::unordered_map<Key, xmlNode*, Hash, std::equal_to<>,
                                 TrackedAllocator<std::pair<const Key, xmlNode*>>>;
  Map entries_;
};

}  // namespace ruvo
