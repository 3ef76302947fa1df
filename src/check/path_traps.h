// Spellings of a path that read differently from what XPath would make of them, found in what
// qualification did to the path (xml/qualify.h's trace) rather than in a second reading of it.
#pragma once

#include <string_view>

#include "check/findings.h"
#include "xml/qualify.h"

namespace ruvo::check {

enum class PathTrapKind {
  DoubleSlash,        // "//" after a step, read as "/": a//b selects b children of a only
  SlashInPredicate,   // a step cut at a '/' inside its [...]: the predicate breaks there
  UnclosedPredicate,  // [...] never closed: the step's last character is read as its ']'
  NameInPredicate,    // an element name inside [...], copied without the default namespace
  PrefixedFunction,   // a function call or node test outside [...] given the prefix like a name
  TextCase,           // text() written in other letters: kept as a node test XPath does not know
};

// Where a trap stands: its first byte in the path and its length there.
struct PathTrap {
  PathTrapKind kind = PathTrapKind::DoubleSlash;
  std::size_t at = 0;
  std::size_t length = 0;
};

// Every trap of the path (as qualification read it) that its trace shows, in path order.
List<PathTrap> path_traps(std::string_view path, const QualifyTrace& trace);

// A quote that no second quote closes: its position, or npos.
std::size_t open_quote(std::string_view text);

}  // namespace ruvo::check
