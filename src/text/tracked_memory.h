// The counted allocator. Every block of the program's own data is taken with tracked_alloc and
// given back with tracked_free and the very size it was taken with, so that mem_in_use is a
// real count of the bytes still held: the memory-count line of a failed run reports leaks.
//
// A refused request still raises the count by its size, so a run that met an allocation
// failure shows it in its final count.
//
// Nothing pairs the two calls by hand: blocks are held by owners that give back the size they
// took. Tracked<T> holds one record, TrackedArray<T> (ByteBlock for bytes) a block of records,
// TrackedAllocator serves standard containers.
#pragma once

#include <cstddef>
#include <limits>
#include <memory>
#include <new>
#include <type_traits>
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

// Owner of a counted block of count records of T: bytes (ByteBlock), plain records, or owners
// of other blocks (Tracked<U>). The records are default-initialised: bytes and plain records
// hold nothing until written, owners start empty. The block is count * sizeof(T) bytes and is
// given back with that size, after the records are destroyed.
template <class T>
class TrackedArray {
  static_assert(std::is_nothrow_default_constructible_v<T> && std::is_nothrow_destructible_v<T>,
                "records are made and destroyed where failure cannot be reported");

 public:
  TrackedArray() = default;
  // Takes a block for count records; check with get() or empty().
  explicit TrackedArray(std::size_t count) noexcept {
    if (count > std::numeric_limits<std::size_t>::max() / sizeof(T)) {
      return;  // no block could hold them
    }
    data_ = static_cast<T*>(tracked_alloc(count * sizeof(T)));
    if (data_ != nullptr) {
      std::uninitialized_default_construct_n(data_, count);
      size_ = count;
    }
  }
  TrackedArray(TrackedArray&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
  TrackedArray& operator=(TrackedArray&& other) noexcept {
    if (this != &other) {
      release();
      data_ = std::exchange(other.data_, nullptr);
      size_ = std::exchange(other.size_, 0);
    }
    return *this;
  }
  TrackedArray(const TrackedArray&) = delete;
  TrackedArray& operator=(const TrackedArray&) = delete;
  ~TrackedArray() { release(); }

  T* get() const noexcept { return data_; }
  T& operator[](std::size_t index) const noexcept { return data_[index]; }
  std::size_t size() const noexcept { return size_; }  // records, not bytes
  bool empty() const noexcept { return data_ == nullptr; }

 private:
  void release() noexcept {
    if (data_ != nullptr) {
      std::destroy_n(data_, size_);
      tracked_free(data_, size_ * sizeof(T));
    }
    data_ = nullptr;
    size_ = 0;
  }

  T* data_ = nullptr;
  std::size_t size_ = 0;
};

// A counted block of bytes of a known size.
using ByteBlock = TrackedArray<char>;

// The counted allocator for standard containers. A refused request throws std::bad_alloc, as
// containers expect; code that uses one catches it where a failure is harmless.
template <class T>
struct TrackedAllocator {
  using value_type = T;
  // T may itself be a pointer (a container of node pointers): an element takes sizeof(T).
  static constexpr std::size_t kElementSize = sizeof(T);  // NOLINT(bugprone-sizeof-expression)

  TrackedAllocator() = default;
  template <class U>
  TrackedAllocator(const TrackedAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    void* block = tracked_alloc(n * kElementSize);
    if (block == nullptr) {
      throw std::bad_alloc();
    }
    return static_cast<T*>(block);
  }
  void deallocate(T* block, std::size_t n) noexcept { tracked_free(block, n * kElementSize); }

  template <class U>
  bool operator==(const TrackedAllocator<U>&) const noexcept {
    return true;
  }
};

}  // namespace ruvo
