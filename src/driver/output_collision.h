// The output must never replace one of the run's own files: a swapped argument order
// ("ruvo in.xml out.txt template.txt") would otherwise overwrite the template, or the invoice.
#pragma once

#include <cstdio>
#include <initializer_list>
#include <string_view>

#include "text/line_list.h"

namespace ruvo {

// A file the run reads or appends to: its path as given, and its open stream when the run
// holds it open (the run log), which is then looked at instead of the path. A file the run
// makes before the output is looked at (the run log, which ruvo-check only stands in for) is
// there by then even when it is not yet.
struct RunFile {
  const char* path;
  std::FILE* open_stream = nullptr;
  bool made_by_run = false;
};

// The path of the first of `files` that is the very file the output names (same device and
// inode, so links and other spellings of the path are caught), or none. An output that does
// not exist yet replaces nothing, unless it names the place of a file the run makes; one that
// is not a regular file (a device such as /dev/null) replaces nothing.
const char* file_replaced_by_output(const char* output_path, std::initializer_list<RunFile> files);

// Whether a line holds a placeholder: a "<<" followed on it by ">>".
bool holds_placeholder(std::string_view line);

// Whether the output looks like the template the arguments were meant to name: an existing
// regular file that holds a placeholder while the template holds none ("ruvo in.xml out.txt
// template.txt" with an out.txt of an earlier run). Such an output is not replaced.
bool output_looks_like_template(const char* output_path, const LineList& template_lines);

}  // namespace ruvo
