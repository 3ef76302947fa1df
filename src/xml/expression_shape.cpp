#include "xml/expression_shape.h"

#include <libxml/xpathInternals.h>

#include <cstring>

namespace ruvo {

namespace {

bool is_name_start(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool is_name_char(char c) {
  return is_name_start(c) || (c >= '0' && c <= '9') || c == '.' || c == '-';
}

// Reads an ASCII QName; false when it is not one, or its prefix is not bound (libxml2 then
// reports the error itself).
bool read_name_test(xmlXPathContext* context, std::string_view text, NameTest& test) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) {
    test.local = text;
    return is_plain_ncname(text);
  }
  const std::string_view prefix = text.substr(0, colon);
  test.local = text.substr(colon + 1);
  if (!is_plain_ncname(prefix) || !is_plain_ncname(test.local) || prefix.size() > 255) {
    return false;
  }
  char terminated[256];
  std::memcpy(terminated, prefix.data(), prefix.size());
  terminated[prefix.size()] = '\0';
  test.uri = xmlXPathNsLookup(context, reinterpret_cast<const xmlChar*>(terminated));
  test.prefixed = true;
  return test.uri != nullptr;
}

// The position a predicate "[n]" asks for: 1 to 999,999,999 written without leading zeros; 0
// when the text is not such a predicate.
std::uint32_t read_position(std::string_view text) {
  if (text.size() < 3 || text.size() > 11 || text.front() != '[' || text.back() != ']' ||
      text[1] == '0') {
    return 0;
  }
  std::uint32_t position = 0;
  for (const char c : text.substr(1, text.size() - 2)) {
    if (c < '0' || c > '9') {
      return 0;
    }
    position = position * 10 + static_cast<std::uint32_t>(c - '0');
  }
  return position;
}

// The end of the NCName starting at i, or i when none starts there.
std::size_t skip_name(std::string_view text, std::size_t i) {
  if (i == text.size() || !is_name_start(text[i])) {
    return i;
  }
  while (i < text.size() && is_name_char(text[i])) {
    ++i;
  }
  return i;
}

// The end of the predicate opening at i (past its ']'), or npos when it is not closed. Inside,
// the context is the step's own node, so anything but an unclosed quote or bracket may stand.
std::size_t skip_predicate(std::string_view text, std::size_t i) {
  int depth = 0;
  char quote = '\0';
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (quote != '\0') {
      quote = c == quote ? '\0' : quote;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == '[') {
      ++depth;
    } else if (c == ']' && --depth == 0) {
      return i + 1;
    }
  }
  return std::string_view::npos;
}

// The end of what opens a step at i: "@" or an axis name with its "::"; i when neither does.
std::size_t skip_axis(std::string_view text, std::size_t i) {
  if (text.substr(i, 1) == "@") {
    return i + 1;
  }
  const std::size_t axis_end = skip_name(text, i);
  if (axis_end > i && text.substr(axis_end, 2) == "::") {
    return axis_end + 2;
  }
  return i;
}

// The end of the name test at i: "*", a name, prefix:* or prefix:name; npos when none starts
// there. A "::" after the name is left for the tokenizer (it is no prefix).
std::size_t skip_name_test(std::string_view text, std::size_t i) {
  if (text.substr(i, 1) == "*") {
    return i + 1;
  }
  const std::size_t name_end = skip_name(text, i);
  if (name_end == i) {
    return std::string_view::npos;
  }
  if (text.substr(name_end, 1) != ":" || text.substr(name_end, 2) == "::") {
    return name_end;
  }
  const std::size_t local_start = name_end + 1;
  const std::size_t local_end =
      text.substr(local_start, 1) == "*" ? local_start + 1 : skip_name(text, local_start);
  return local_end == local_start ? std::string_view::npos : local_end;
}

// The end of the predicates starting at i, none or more; npos when one is not closed.
std::size_t skip_predicates(std::string_view text, std::size_t i) {
  while (i < text.size() && text[i] == '[') {
    i = skip_predicate(text, i);
    if (i == std::string_view::npos) {
      return i;
    }
  }
  return i;
}

// The end of the step starting at i: ".", "..", or [axis "::" | "@"] name test, then its
// predicates; npos when no such step starts there.
std::size_t skip_step(std::string_view text, std::size_t i) {
  std::size_t end = 0;
  if (text.substr(i, 2) == "..") {
    end = i + 2;
  } else if (text.substr(i, 1) == ".") {
    end = i + 1;
  } else {
    end = skip_name_test(text, skip_axis(text, i));
  }
  return end == std::string_view::npos ? end : skip_predicates(text, end);
}

}  // namespace

bool is_plain_ncname(std::string_view text) {
  if (text.empty() || !is_name_start(text.front())) {
    return false;
  }
  for (const char c : text) {
    if (!is_name_char(c)) {
      return false;
    }
  }
  return true;
}

bool read_descendant_shape(xmlXPathContext* context, std::string_view expression,
                           DescendantShape& shape) {
  if (!expression.starts_with("//")) {
    return false;
  }
  std::string_view rest = expression.substr(2);
  std::string_view attribute_part;
  const std::size_t slash = rest.find('/');
  if (slash != std::string_view::npos) {
    if (rest.substr(slash, 2) != "/@") {
      return false;
    }
    attribute_part = rest.substr(slash + 2);
    rest = rest.substr(0, slash);
    if (attribute_part.empty()) {
      return false;
    }
  }
  shape.position = 0;
  const std::size_t bracket = rest.find('[');
  if (bracket != std::string_view::npos) {
    shape.position = read_position(rest.substr(bracket));
    if (shape.position == 0) {
      return false;
    }
    rest = rest.substr(0, bracket);
  }
  shape.has_attribute = !attribute_part.empty();
  return read_name_test(context, rest, shape.element) &&
         (!shape.has_attribute || read_name_test(context, attribute_part, shape.attribute));
}

// Steps are read as XPath's tokenizer reads them, so that what follows a complete step (a '*'
// or a '-' after a name, a name after ']') is never taken for part of the path: "/a*b", "/-a"
// and "/a[1]or@b" are operators with a relative operand.
bool is_context_free(std::string_view expression) {
  if (expression == "/") {
    return true;
  }
  std::size_t i = 0;
  while (i < expression.size()) {
    if (expression[i] != '/') {
      return false;
    }
    i += expression.substr(i, 2) == "//" ? 2 : 1;
    i = skip_step(expression, i);
    if (i == std::string_view::npos) {
      return false;
    }
  }
  return !expression.empty();
}

}  // namespace ruvo
