#include "xml/expression_cache.h"

#include <new>

namespace ruvo {

const xmlNode* const* ExpressionCache::find(std::string_view expression) const {
  const auto entry = entries_.find(expression);
  return entry == entries_.end() ? nullptr : &entry->second;
}

void ExpressionCache::store(std::string_view expression, xmlNode* node) noexcept {
  try {
    entries_.emplace(Key(expression), node);
  } catch (const std::bad_alloc&) {
    // Without memory the expression is simply evaluated again next time.
  }
}

}  // namespace ruvo
