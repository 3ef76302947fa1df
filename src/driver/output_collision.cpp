#include "driver/output_collision.h"

#include <sys/stat.h>

namespace ruvo {

namespace {

bool same_file(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool identify(const RunFile& file, struct stat& identity) {
  if (file.open_stream != nullptr) {
    return fstat(fileno(file.open_stream), &identity) == 0;
  }
  return file.path != nullptr && stat(file.path, &identity) == 0;
}

}  // namespace

const char* file_replaced_by_output(const char* output_path, std::initializer_list<RunFile> files) {
  struct stat output;
  if (stat(output_path, &output) != 0 || !S_ISREG(output.st_mode)) {
    return nullptr;
  }
  for (const RunFile& file : files) {
    struct stat identity;
    if (identify(file, identity) && same_file(output, identity)) {
      return file.path;
    }
  }
  return nullptr;
}

}  // namespace ruvo
