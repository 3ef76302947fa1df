#include "check/path_traps.h"

#include <array>

namespace ruvo::check {

namespace {

bool is_name_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-' || c == '.' || static_cast<unsigned char>(c) >= 0x80;
}

bool is_name_start(char c) {
  return is_name_char(c) && c != '-' && c != '.' && !(c >= '0' && c <= '9');
}

// Walks the path once, telling the visitor of each character with its bracket depth; quoted
// text inside predicates is passed over.
template <class Visit>
std::size_t scan(std::string_view path, Visit visit) {
  int depth = 0;
  char quote = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const char c = path[i];
    if (quote != 0) {
      if (c == quote) {
        quote = 0;
      }
      continue;
    }
    if ((c == '\'' || c == '"') && depth > 0) {
      quote = c;
      continue;
    }
    if (c == '[') {
      ++depth;
    } else if (c == ']' && depth > 0) {
      --depth;
    }
    if (visit(i, c, depth)) {
      return i;
    }
  }
  return std::string_view::npos;
}

bool is_operator_word(std::string_view word) {
  static constexpr std::array<std::string_view, 4> kWords = {"and", "or", "div", "mod"};
  for (const std::string_view w : kWords) {
    if (word == w) {
      return true;
    }
  }
  return false;
}

}  // namespace

std::size_t double_slash_inside(std::string_view path) {
  // After a step (a name, "*", ".", "]" or ")"): "//" after "(" or "|" starts a path of its own.
  const std::size_t second = scan(path, [&](std::size_t i, char c, int depth) {
    if (depth != 0 || c != '/' || i < 2 || path[i - 1] != '/') {
      return false;
    }
    const char before = path[i - 2];
    return is_name_char(before) || before == '*' || before == ']' || before == ')';
  });
  return second == std::string_view::npos ? second : second - 1;
}

std::size_t slash_in_predicate(std::string_view path) {
  return scan(path, [](std::size_t, char c, int depth) { return depth > 0 && c == '/'; });
}

std::size_t bare_name_in_predicate(std::string_view path) {
  return scan(path, [&](std::size_t i, char c, int depth) {
    if (depth == 0 || !is_name_start(c) || (i > 0 && is_name_char(path[i - 1]))) {
      return false;
    }
    const char before = i > 0 ? path[i - 1] : ' ';
    if (before == '@' || before == '$' || before == ':') {
      return false;
    }
    std::size_t end = i;
    while (end < path.size() && is_name_char(path[end])) {
      ++end;
    }
    const std::string_view word = path.substr(i, end - i);
    std::size_t after = end;
    while (after < path.size() && path[after] == ' ') {
      ++after;
    }
    const char next = after < path.size() ? path[after] : ' ';
    // A function call, an axis, a prefixed name or an operator is no bare element name.
    return next != '(' && next != ':' && !is_operator_word(word);
  });
}

std::size_t function_outside_predicate(std::string_view path) {
  return scan(path, [&](std::size_t i, char c, int depth) {
    if (depth > 0 || c != '(' || i == 0 || !is_name_char(path[i - 1])) {
      return false;
    }
    std::size_t start = i;
    while (start > 0 && is_name_char(path[start - 1])) {
      --start;
    }
    const std::string_view word = path.substr(start, i - start);
    // Node tests keep their meaning: they are never given a prefix.
    return word != "text" && word != "node" && word != "comment" &&
           word != "processing-instruction";
  });
}

std::size_t open_quote(std::string_view text) {
  std::size_t open = std::string_view::npos;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\'' || text[i] == '"') {
      open = open == std::string_view::npos ? i : std::string_view::npos;
    }
  }
  return open;
}

}  // namespace ruvo::check
