// The counted allocator. Every block of the program's own data is taken with tracked_alloc and
// given back with tracked_free and the very size it was taken with, so that mem_in_use is a
// real count of the bytes still held: the memory-count line of a failed run reports leaks.
//
// A refused request still raises the count by its size, so a run that met an allocation
// failure shows it in its final count.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <utility>

namespace ruvo {

// A block of the given size, or none when the heap (or the test-only fault switch) refuses.
[[nodiscard]] void* tracked_alloc(std::size_t size) noexcept;
// Releases a block taken with tracked_alloc; size must be the size it was taken with.
void tracked_free(void* block, std::size_t size) noexcept;

// Owner of one record placed in a tracked block; the deleter gives back sizeof(T).
template <class T>
struct TrackedDeleter {
  void operator()(T* record) const noexcept {
    record->~T();
    tracked_free(record, sizeof(T));
  }
};
template <class T>
using Tracked = std::unique_ptr<T, TrackedDeleter<T>>;

// Makes a record in a tracked block; none when the block cannot be had.
template <class T, class... Args>
[[nodiscard]] Tracked<T> make_tracked(Args&&... args) noexcept {
  void* block = tracked_alloc(sizeof(T));
  if (block == nullptr) {
    return Tracked<T>();
  }
  return Tracked<T>(::new (block) T(std::forward<Args>(args)...));
}

// Owner of a tracked byte block of a known size.
class ByteBlock {
 public:
  ByteBlock() = default;
  // Takes a block of the given size; check with get() or empty().
  explicit ByteBlock(std::size_t size) noexcept
      : data_(static_cast<char*>(tracked_alloc(size))), size_(data_ ? size : 0) {}
  ByteBlock(ByteBlock&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
  ByteBlock& operator=(ByteBlock&& other) noexcept {
    if (this != &other) {
      release();
      data_ = std::exchange(other.data_, nullptr);
      size_ = std::exchange(other.size_, 0);
    }
    return *this;
  }
  ByteBlock(const ByteBlock&) = delete;
  ByteBlock& operator=(const ByteBlock&) = delete;
  ~ByteBlock() { release(); }

  char* get() const noexcept { return data_; }
  std::size_t size() const noexcept { return size_; }
  bool empty() const noexcept { return data_ == nullptr; }

 private:
  void release() noexcept {
    if (data_ != nullptr) {
      tracked_free(data_, size_);
    }
    data_ = nullptr;
    size_ = 0;
  }

  char* data_ = nullptr;
  std::size_t size_ = 0;
};

// The counted allocator for standard containers. A refused request throws std::bad_alloc, as
// containers expect; code that uses one catches it where a failure is harmless.
template <class T>
struct TrackedAllocator {
  using value_type = T;

  TrackedAllocator() = default;
  template <class U>
  TrackedAllocator(const TrackedAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    void* block = tracked_alloc(n * sizeof(T));
    if (block == nullptr) {
      throw std::bad_alloc();
    }
    return static_cast<T*>(block);
  }
  void deallocate(T* block, std::size_t n) noexcept { tracked_free(block, n * sizeof(T)); }

  template <class U>
  bool operator==(const TrackedAllocator<U>&) const noexcept {
    return true;
  }
};

}  // namespace ruvo
