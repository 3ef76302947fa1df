// A C stream that closes itself.
#pragma once

#include <cstdio>
#include <memory>

namespace ruvo {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace ruvo
