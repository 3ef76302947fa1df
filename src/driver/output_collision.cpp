#include "driver/output_collision.h"

#include <sys/stat.h>

#include <string_view>

#include "text/file_handle.h"
#include "text/text_buffer.h"
#include "text/text_file.h"

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

bool holds_placeholder(std::string_view line) {
  const std::size_t open = line.find("<<");
  return open != std::string_view::npos && line.find(">>", open + 2) != std::string_view::npos;
}

bool output_looks_like_template(const char* output_path, const LineList& template_lines) {
  for (const Line& line : template_lines.lines()) {
    if (holds_placeholder(line.view())) {
      return false;
    }
  }
  struct stat output;
  if (stat(output_path, &output) != 0 || !S_ISREG(output.st_mode)) {
    return false;
  }
  FilePtr file(std::fopen(output_path, "rb"));
  if (!file) {
    return false;
  }
  // The file is read in blocks; a line's state carries from one block to the next.
  char block[kReadChunkSize];
  bool opened = false;  // the line so far holds a "<<"
  char previous = '\0';
  for (std::size_t got; (got = std::fread(block, 1, sizeof block, file.get())) > 0;) {
    for (std::size_t i = 0; i < got; ++i) {
      const char c = block[i];
      if (c == '\n') {
        opened = false;
      } else if (c == '<' && previous == '<' && !opened) {
        opened = true;
        previous = '\0';  // "<<<" opens once; the ">>" must follow the pair
        continue;
      } else if (c == '>' && previous == '>' && opened) {
        return true;
      }
      previous = c;
    }
  }
  return false;
}

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
