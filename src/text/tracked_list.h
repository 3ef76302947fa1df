// TrackedList: a singly linked list of records in counted blocks, kept in the order appended.
// Released front to back without recursion, so a list of any length is safe to drop.
//
// For records added one at a time whose number is not known beforehand and which others point
// at (a table's fields and levels, the configuration's sections, an arena's chunks): each stays
// where it was made, where a growing TrackedArray would move them all.
#pragma once

#include <utility>

#include "text/tracked_memory.h"

namespace ruvo {

template <class T>
class TrackedList {
 public:
  struct Node {
    T value;
    Node* next = nullptr;
  };

  TrackedList() = default;
  TrackedList(const TrackedList&) = delete;
  TrackedList& operator=(const TrackedList&) = delete;
  TrackedList(TrackedList&& other) noexcept
      : first_(std::exchange(other.first_, nullptr)), last_(std::exchange(other.last_, nullptr)) {}
  ~TrackedList() {
    while (first_ != nullptr) {
      Node* next = first_->next;
      TrackedDeleter<Node>()(first_);
      first_ = next;
    }
  }

  // Appends a record made from the value; none when its block cannot be had.
  T* append(T&& value) noexcept {
    Tracked<Node> node = make_tracked<Node>(Node{std::move(value), nullptr});
    if (!node) {
      return nullptr;
    }
    Node* raw = node.release();
    if (last_ != nullptr) {
      last_->next = raw;
    } else {
      first_ = raw;
    }
    last_ = raw;
    return &raw->value;
  }

  Node* first() const { return first_; }
  T* back() const { return last_ != nullptr ? &last_->value : nullptr; }
  bool empty() const { return first_ == nullptr; }

 private:
  Node* first_ = nullptr;
  Node* last_ = nullptr;
};

}  // namespace ruvo
