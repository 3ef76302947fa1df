// Files that close themselves: a C stream, and a file descriptor.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <utility>

namespace ruvo {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// A file descriptor, closed when its owner goes. Where a failed close matters (the bytes may not
// have reached the file), close() says so.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int descriptor) noexcept : descriptor_(descriptor) {}
  Fd(Fd&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      static_cast<void>(close());
      descriptor_ = std::exchange(other.descriptor_, -1);
    }
    return *this;
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { static_cast<void>(close()); }

  int get() const noexcept { return descriptor_; }
  bool is_open() const noexcept { return descriptor_ >= 0; }

  // Closes the descriptor now. False when the close fails or none was open.
  [[nodiscard]] bool close() noexcept {
    return is_open() && ::close(std::exchange(descriptor_, -1)) == 0;
  }

 private:
  int descriptor_ = -1;
};

}  // namespace ruvo
