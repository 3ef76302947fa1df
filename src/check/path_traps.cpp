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

bool is_operator_word(std::string_view word) {
  static constexpr std::array<std::string_view, 4> kWords = {"and", "or", "div", "mod"};
  for (const std::string_view w : kWords) {
    if (word == w) {
      return true;
    }
  }
  return false;
}

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool is_text_test_in_other_letters(std::string_view name) {
  constexpr std::string_view kText = "text()";
  if (name.size() != kText.size() || name == kText) {
    return false;
  }
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (lower(name[i]) != kText[i]) {
      return false;
    }
  }
  return true;
}

// The end of the name starting at i (before to).
std::size_t name_end(std::string_view path, std::size_t i, std::size_t to) {
  while (i < to && is_name_char(path[i])) {
    ++i;
  }
  return i;
}

// Whether the name from i to end is an element name: no function call, axis, prefix,
// attribute, variable or operator.
bool is_element_name(std::string_view path, std::size_t from, std::size_t i, std::size_t end,
                     std::size_t to) {
  const char before = i > from ? path[i - 1] : ' ';
  if (before == '@' || before == '$' || before == ':') {
    return false;
  }
  std::size_t after = end;
  while (after < to && path[after] == ' ') {
    ++after;
  }
  const char next = after < to ? path[after] : ' ';
  return next != '(' && next != ':' && !is_operator_word(path.substr(i, end - i));
}

// The first element name in a predicate copied as written (from..to of the path), outside
// quotes; npos when there is none.
std::size_t bare_name_in(std::string_view path, std::size_t from, std::size_t to,
                         std::size_t& length) {
  char quote = 0;
  for (std::size_t i = from; i < to; ++i) {
    const char c = path[i];
    if (quote != 0 || c == '\'' || c == '"') {
      if (quote == 0) {
        quote = c;
      } else if (c == quote) {
        quote = 0;
      }
      continue;
    }
    if (!is_name_start(c) || (i > from && is_name_char(path[i - 1]))) {
      continue;
    }
    const std::size_t end = name_end(path, i, to);
    if (is_element_name(path, from, i, end, to)) {
      length = end - i;
      return i;
    }
  }
  return std::string_view::npos;
}

// The traps of one step.
void step_traps(std::string_view path, const QualifyTrace& trace, const QualifyTrace::Step& step,
                List<PathTrap>& traps) {
  const bool predicate = step.bracket != std::string_view::npos && step.bracket < step.end;
  const std::string_view name =
      path.substr(step.begin, (predicate ? step.bracket : step.end) - step.begin);
  if (step.reading == StepReading::Prefixed && name.find('(') != std::string_view::npos) {
    traps.push_back({PathTrapKind::PrefixedFunction, step.begin, name.size()});
  }
  if (step.reading == StepReading::Special && is_text_test_in_other_letters(name)) {
    traps.push_back({PathTrapKind::TextCase, step.begin, name.size()});
  }
  if (step.closed_by_qualification) {
    const bool cut = step.end < path.size() && path[step.end] == '/';
    traps.push_back({cut ? PathTrapKind::SlashInPredicate : PathTrapKind::UnclosedPredicate,
                     cut ? step.end : step.end - 1, 1});
    return;
  }
  if (predicate && trace.default_namespace) {
    std::size_t length = 0;
    const std::size_t at = bare_name_in(path, step.bracket + 1, step.end - 1, length);
    if (at != std::string_view::npos) {
      traps.push_back({PathTrapKind::NameInPredicate, at, length});
    }
  }
}

}  // namespace

List<PathTrap> path_traps(std::string_view path, const QualifyTrace& trace) {
  List<PathTrap> traps;
  std::size_t collapsed = 0;
  // Only a pair of slashes before a further step is a trap: a//b reads as a/b. A longer run
  // (a///b) or one at the end (a//), which are no XPath at all, lose a slash all the same.
  const auto collapses_before = [&](std::size_t at) {
    for (; collapsed < trace.collapsed.size() && trace.collapsed[collapsed] < at; ++collapsed) {
      const std::size_t first = trace.collapsed[collapsed];
      if (first + 2 < path.size() && path[first + 2] != '/') {
        traps.push_back({PathTrapKind::DoubleSlash, first, 2});
      }
    }
  };
  for (const QualifyTrace::Step& step : trace.steps) {
    collapses_before(step.begin);
    if (step.end <= path.size() && step.begin < step.end) {  // else a trace of another text
      step_traps(path, trace, step, traps);
    }
  }
  collapses_before(std::string_view::npos);
  return traps;
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
