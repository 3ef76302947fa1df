// Asking for a part of the document tree before it is read.
//
// The tables walk elements that lie far apart in memory, and each step of the walk waits for
// the record of the next one. The parser makes an element's attributes right after the element,
// so asking early for the element after the next sibling (an invoice's next item, past the blank
// text between them) brings its attributes along while the current one is written. A search
// through the elements of one name asks for those a few places ahead in its list.
#pragma once

#include <cstddef>

#include <libxml/tree.h>

namespace ruvo {

// The element's record and what follows it: 2 KiB, an element and a few attributes with their
// text.
inline void prefetch_element(const xmlNode* element) {
  constexpr int kLines = 32;
  const char* ahead = reinterpret_cast<const char*>(element);
  for (std::ptrdiff_t line = 0; line < kLines; ++line) {
    __builtin_prefetch(ahead + 64 * line);
  }
}

inline void prefetch_element_after_next(const xmlNode* node) {
  const xmlNode* between = node->next;
  if (between != nullptr && between->next != nullptr) {
    prefetch_element(between->next);
  }
}

}  // namespace ruvo
