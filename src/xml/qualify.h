// Qualification of the paths users write.
//
// Invoices put their elements in a default namespace while templates name them without prefix.
// Under XPath 1.0 an unprefixed name matches only elements in no namespace, so qualification
// gives every unprefixed element step the prefix the default namespace is registered under
// (xml/namespaces.h). When the document binds no default namespace it adds no prefix, so
// unprefixed steps match elements in no namespace.
#pragma once

#include <libxml/tree.h>

#include <cstddef>
#include <string_view>
#include <vector>

#include "text/text_buffer.h"
#include "text/tracked_memory.h"

namespace ruvo {

// How qualification read one step of a path.
enum class StepReading {
  Prefixed,   // an element name: it received the default namespace's prefix
  Special,    // *, ., .., text() in any case of its letters, or an attribute: as written
  HasColon,   // held ':' (a prefix, or an axis such as child::): as written
  NoDefault,  // the document binds no default namespace: no step receives the prefix
};

// What qualification did to a path, for a program that explains a run: which steps received the
// prefix, which "//" inside the path became "/", where a predicate was cut. Positions are
// bytes of the path as written, from 0.
struct QualifyTrace {
  struct Step {
    std::size_t begin = 0;
    std::size_t end = 0;                           // one past its last byte
    std::size_t bracket = std::string_view::npos;  // its first '[', when it has one
    StepReading reading = StepReading::Prefixed;
    // A step with a predicate whose last byte is not ']': that byte was taken to be its ']' (the
    // step was cut at a '/' inside its brackets, or they were never closed).
    bool closed_by_qualification = false;
  };
  std::vector<Step, TrackedAllocator<Step>> steps;  // the steps that are not empty, in order
  // The first '/' of every "//" after a step: the pair reads as one '/', so a//b is a/b.
  std::vector<std::size_t, TrackedAllocator<std::size_t>> collapsed;
  bool default_namespace = false;  // unprefixed element steps were to receive the prefix
  bool complete = true;            // false when memory for a record ran short
};

// Qualifies a path: unprefixed element steps receive "zq-def-ns:" when default_namespace_bound.
// Attribute steps, *, ., .., text() and steps holding ':' stay as written; a predicate is copied
// unchanged except that the step's last character becomes ']'; "//" inside a path becomes "/".
// With a trace, says what it did there (a trace that memory ran short for is incomplete).
[[nodiscard]] TextBufferPtr qualify_path(std::string_view path, bool default_namespace_bound,
                                         QualifyTrace* trace = nullptr);
// The same for a path held in a buffer (its length marks the end).
[[nodiscard]] TextBufferPtr qualify_path_buffer(const TextBuffer& path,
                                                bool default_namespace_bound,
                                                QualifyTrace* trace = nullptr);

// prefix:name when the element's namespace has a non-empty prefix, else its local name.
[[nodiscard]] TextBufferPtr qualified_node_name(const xmlNode* node);

}  // namespace ruvo
