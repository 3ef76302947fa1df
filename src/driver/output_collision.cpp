#include "driver/output_collision.h"

#include <sys/stat.h>

#include <string_view>

#include "text/file_handle.h"
#include "text/text_buffer.h"

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

// The folder a path names its file in, and the file's name there.
struct Place {
  TextBufferPtr folder;
  std::string_view name;
};

Place place_of(const char* path) {
  const std::string_view whole = path;
  const std::size_t slash = whole.rfind('/');
  if (slash == std::string_view::npos) {
    return {text_buffer_from("."), whole};
  }
  return {text_buffer_from(slash == 0 ? std::string_view("/") : whole.substr(0, slash)),
          whole.substr(slash + 1)};
}

// Whether two paths name the same entry of the same folder, whether or not it exists.
bool same_place(const char* a, const char* b) {
  const Place first = place_of(a);
  const Place second = place_of(b);
  struct stat first_folder;
  struct stat second_folder;
  return first.folder && second.folder && first.name == second.name &&
         stat(first.folder->data(), &first_folder) == 0 &&
         stat(second.folder->data(), &second_folder) == 0 && same_file(first_folder, second_folder);
}

}  // namespace

const char* file_replaced_by_output(const char* output_path, std::initializer_list<RunFile> files) {
  struct stat output;
  if (stat(output_path, &output) != 0) {
    for (const RunFile& file : files) {
      struct stat identity;
      if (file.made_by_run && file.path != nullptr && !identify(file, identity) &&
          same_place(output_path, file.path)) {
        return file.path;
      }
    }
    return nullptr;
  }
  if (!S_ISREG(output.st_mode)) {
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
