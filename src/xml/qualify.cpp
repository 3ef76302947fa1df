#include "xml/qualify.h"

#include <cstring>
#include <new>

#include "xml/namespaces.h"

namespace ruvo {

namespace {

// ASCII-only case folding: XPath names are compared letter by letter, A-Z against a-z.
bool equals_ignoring_case(std::string_view text, std::string_view word) {
  if (text.size() != word.size()) {
    return false;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
    if (c != word[i]) {
      return false;
    }
  }
  return true;
}

// Steps that never take the prefix: the wildcard, self, parent, text() and attributes.
bool is_special_name(std::string_view name) {
  return equals_ignoring_case(name, "*") || equals_ignoring_case(name, ".") ||
         equals_ignoring_case(name, "..") || equals_ignoring_case(name, "text()") ||
         (!name.empty() && name.front() == '@');
}

bool has_colon(std::string_view name) {
  return name.find(':') != std::string_view::npos;
}

bool append_view(TextBufferPtr& result, std::string_view text) {
  return text_buffer_append_bytes(result, text.data(), text.size());
}

// Steps are joined by one '/', unless the result already ends in one (after a leading "/" or
// "//", or after an empty step inside the path, which collapses "a//b" to "a/b").
bool append_separator(TextBufferPtr& result) {
  if (result->length() == 0 || result->data()[result->length() - 1] == '/') {
    return true;
  }
  return append_view(result, "/");
}

bool append_prefix(TextBufferPtr& result) {
  return text_buffer_append(result, kDefaultNamespacePrefix) && append_view(result, ":");
}

// How a step is read, by its name (the text before its first '[', or the whole step).
StepReading reading_of(std::string_view name, bool prefixed) {
  if (is_special_name(name)) {
    return StepReading::Special;
  }
  if (has_colon(name)) {
    return StepReading::HasColon;
  }
  return prefixed ? StepReading::Prefixed : StepReading::NoDefault;
}

// Tells the trace, when there is one, how the step from start to end was read.
void trace_step(QualifyTrace* trace, const char* path, const char* start, const char* end,
                const char* bracket, bool prefixed) {
  if (trace == nullptr || start == end) {
    return;
  }
  QualifyTrace::Step step;
  step.begin = static_cast<std::size_t>(start - path);
  step.end = static_cast<std::size_t>(end - path);
  const bool has_predicate = bracket != nullptr && bracket < end;
  const std::string_view name(start,
                              static_cast<std::size_t>((has_predicate ? bracket : end) - start));
  step.reading = reading_of(name, prefixed);
  if (has_predicate) {
    step.bracket = static_cast<std::size_t>(bracket - path);
    step.closed_by_qualification = step.reading != StepReading::Special && end[-1] != ']';
  }
  try {
    trace->steps.push_back(step);
  } catch (const std::bad_alloc&) {
    trace->complete = false;
  }
}

void trace_collapse(QualifyTrace* trace, std::size_t first_slash) {
  if (trace == nullptr) {
    return;
  }
  try {
    trace->collapsed.push_back(first_slash);
  } catch (const std::bad_alloc&) {
    trace->complete = false;
  }
}

// A step without predicate. An empty step (two '/' in a row, or a leading '/') writes its own
// '/'.
bool append_step(const char* start, const char* end, TextBufferPtr& result, bool prefixed) {
  const std::string_view step(start, static_cast<std::size_t>(end - start));
  if (step.empty()) {
    return append_view(result, "/");
  }
  if (!append_separator(result)) {
    return false;
  }
  if (prefixed && !is_special_name(step) && !has_colon(step)) {
    if (!append_prefix(result)) {
      return false;
    }
  }
  return append_view(result, step);
}

// A step with a predicate, from start to end with its first '[' at bracket. The predicate is
// copied as written (names inside it stay unqualified) and the step's last character is taken
// to be its closing ']', whatever it is, so an unclosed "a[1" comes out as "a[]".
bool append_predicate_step(const char* start, const char* end, const char* bracket,
                           TextBufferPtr& result, bool prefixed) {
  const std::string_view name(start, static_cast<std::size_t>(bracket - start));
  if (!append_separator(result)) {
    return false;
  }
  if (is_special_name(name)) {
    return append_view(result, std::string_view(start, static_cast<std::size_t>(end - start)));
  }
  // A step that is just "a[" has no room for a predicate before its last character.
  const char* predicate_end = end - 1 > bracket ? end - 1 : bracket + 1;
  const std::string_view predicate(bracket + 1,
                                   static_cast<std::size_t>(predicate_end - (bracket + 1)));
  if (prefixed && !has_colon(name)) {
    if (!append_prefix(result)) {
      return false;
    }
  }
  return append_view(result, name) && append_view(result, "[") && append_view(result, predicate) &&
         append_view(result, "]");
}

// Cuts the path into steps at every '/'. A step ends at the first '/' after its start even
// inside a predicate, so a predicate holding '/' is cut there.
TextBufferPtr qualify_range(const char* path, std::size_t length, bool prefixed,
                            QualifyTrace* trace) {
  if (trace != nullptr) {
    trace->default_namespace = prefixed;
  }
  TextBufferPtr result = text_buffer_new(1);
  if (!result) {
    return result;
  }
  result->data()[0] = '\0';
  if (length == 0) {
    return result;
  }
  const char* position = path;
  const char* const end = path + length;
  const char* bracket = nullptr;  // first '[' at or after position, or end when there is none
  bool after_step = false;        // the last step was not empty
  while (true) {
    const char* slash = static_cast<const char*>(
        std::memchr(position, '/', static_cast<std::size_t>(end - position)));
    if (bracket == nullptr || bracket < position) {
      bracket = static_cast<const char*>(
          std::memchr(position, '[', static_cast<std::size_t>(end - position)));
      if (bracket == nullptr) {
        bracket = end;
      }
    }
    bool ok = true;
    if (slash != nullptr) {
      ok = bracket < slash ? append_predicate_step(position, slash, bracket, result, prefixed)
                           : append_step(position, slash, result, prefixed);
      // An empty step after a step writes the one '/' of the pair: the step's own is dropped.
      if (slash == position && after_step) {
        trace_collapse(trace, static_cast<std::size_t>(position - 1 - path));
      }
      trace_step(trace, path, position, slash, bracket, prefixed);
      after_step = slash != position;
      position = slash + 1;
    } else if (bracket != end) {
      ok = append_predicate_step(position, end, bracket, result, prefixed);
      trace_step(trace, path, position, end, bracket, prefixed);
      position = end;
    } else if (position < end) {
      ok = append_step(position, end, result, prefixed);
      trace_step(trace, path, position, end, bracket, prefixed);
      position = end;
    }
    if (!ok) {
      return TextBufferPtr();
    }
    if (slash == nullptr) {
      return result;
    }
  }
}

}  // namespace

TextBufferPtr qualify_path(std::string_view path, bool default_namespace_bound,
                           QualifyTrace* trace) {
  return qualify_range(path.data(), path.size(), default_namespace_bound, trace);
}

TextBufferPtr qualify_path_buffer(const TextBuffer& path, bool default_namespace_bound,
                                  QualifyTrace* trace) {
  return qualify_range(path.data(), path.length(), default_namespace_bound, trace);
}

TextBufferPtr qualified_node_name(const xmlNode* node) {
  TextBufferPtr name;
  if (node == nullptr) {
    return name;
  }
  const char* local = node->name != nullptr ? reinterpret_cast<const char*>(node->name) : "";
  const xmlNs* ns = node->ns;
  if (ns != nullptr && ns->prefix != nullptr && ns->prefix[0] != '\0') {
    if (!text_buffer_append(name, reinterpret_cast<const char*>(ns->prefix)) ||
        !text_buffer_append(name, ":")) {
      return TextBufferPtr();
    }
  }
  if (!text_buffer_append(name, local)) {
    return TextBufferPtr();
  }
  return name;
}

}  // namespace ruvo
