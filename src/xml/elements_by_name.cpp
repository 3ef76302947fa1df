#include "xml/elements_by_name.h"

#include <cstdint>

namespace ruvo {

void ElementsByName::add(xmlNode* element) {
  Recent& slot = recent_[(reinterpret_cast<std::uintptr_t>(element->name) >> 4) % kRecent];
  if (slot.name != element->name) {
    // A list's address stays as the map grows: its nodes do not move.
    slot = {element->name, &lists_[reinterpret_cast<const char*>(element->name)]};
  }
  slot.nodes->push_back(element);
}

const ElementsByName::Nodes* ElementsByName::find(std::string_view local) const {
  const auto named = lists_.find(local);
  return named != lists_.end() ? &named->second : nullptr;
}

void ElementsByName::clear() noexcept {
  Map().swap(lists_);
  for (Recent& slot : recent_) {
    slot = Recent{};
  }
}

}  // namespace ruvo
