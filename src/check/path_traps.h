// Spellings of a path that read differently from what XPath would make of them, as this
// program qualifies and cuts paths. Each answer is the 0-based position of the trap in the
// text, or npos.
#pragma once

#include <string_view>

namespace ruvo::check {

// "//" after the path's start: read as "/", so a//b selects b children of a only.
std::size_t double_slash_inside(std::string_view path);
// A '/' inside [...]: the path is cut into steps there, and the predicate with it.
std::size_t slash_in_predicate(std::string_view path);
// An element name inside [...] without a prefix: it is not given the default namespace.
std::size_t bare_name_in_predicate(std::string_view path);
// A function call outside [...]: its name is given the namespace prefix like an element's.
std::size_t function_outside_predicate(std::string_view path);
// A quote that no second quote closes.
std::size_t open_quote(std::string_view text);

}  // namespace ruvo::check
