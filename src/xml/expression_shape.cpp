#include "xml/expression_shape.h"

#include <libxml/xpathInternals.h>

#include <cstring>

#include "xml/namespaces.h"

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
// The name test prefix:local, the prefix bound in the context.
bool read_prefixed_name(xmlXPathContext* context, std::string_view prefix, std::string_view local,
                        NameTest& test) {
  test.local = local;
  if (!is_plain_ncname(prefix) || !is_plain_ncname(local) || prefix.size() > 255) {
    return false;
  }
  char terminated[256];
  std::memcpy(terminated, prefix.data(), prefix.size());
  terminated[prefix.size()] = '\0';
  test.uri = xmlXPathNsLookup(context, reinterpret_cast<const xmlChar*>(terminated));
  test.prefixed = true;
  return test.uri != nullptr;
}

bool read_name_test(xmlXPathContext* context, std::string_view text, NameTest& test) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) {
    test.local = text;
    return is_plain_ncname(text);
  }
  return read_prefixed_name(context, text.substr(0, colon), text.substr(colon + 1), test);
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

namespace {

// The path cut at each '/' outside brackets and quotes; false when a bracket or quote is left
// open or there are more than three steps.
bool cut_steps(std::string_view path, std::string_view (&steps)[3], std::size_t& count) {
  count = 0;
  int depth = 0;
  char quote = '\0';
  std::size_t start = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    const char c = i < path.size() ? path[i] : '/';
    if (quote != '\0') {
      if (c == quote) {
        quote = '\0';
      }
      continue;
    }
    if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == '[') {
      ++depth;
    } else if (c == ']') {
      --depth;
    } else if (c == '/' && depth == 0) {
      if (count == 3) {
        return false;
      }
      steps[count++] = path.substr(start, i - start);
      start = i + 1;
    }
  }
  return quote == '\0' && depth == 0;
}

// The code point of the UTF-8 sequence at text[i] and its length; a length of 0 for a sequence
// that is malformed, cut short or longer than it needs to be.
std::size_t decode_sequence(std::string_view text, std::size_t i, std::uint32_t& code) {
  const auto lead = static_cast<unsigned char>(text[i]);
  code = lead;
  if (lead < 0x80) {
    return 1;
  }
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || i + length > text.size()) {
    return 0;
  }
  code = lead & (0x7FU >> length);
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0U) != 0x80U) {
      return 0;
    }
    code = (code << 6) | (next & 0x3FU);
  }
  const std::uint32_t smallest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
  return code < smallest ? 0 : length;
}

bool is_xml_char(std::uint32_t code) {
  return code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
         (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
}

// Whether libxml2 reads the text inside a literal: XML characters, in UTF-8. Anything else is
// an error it reports, so such an expression is left to it.
bool is_literal_text(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    std::uint32_t code = 0;
    const std::size_t length = decode_sequence(text, i, code);
    if (length == 0 || !is_xml_char(code)) {
      return false;
    }
    i += length;
  }
  return true;
}

// [@name] or [@name='value'] (either quote): an attribute of no namespace, and the value it
// must equal.
bool read_attribute_test(std::string_view text, DescendantShape& shape) {
  if (!text.starts_with("[@") || !text.ends_with("]")) {
    return false;
  }
  const std::string_view inside = text.substr(2, text.size() - 3);
  const std::size_t equals = inside.find('=');
  const std::string_view name = inside.substr(0, equals);
  if (!is_plain_ncname(name)) {
    return false;
  }
  shape.filter.local = name;
  shape.has_filter = true;
  if (equals == std::string_view::npos) {
    return true;
  }
  const std::string_view literal = inside.substr(equals + 1);
  if (literal.size() < 2 || (literal.front() != '\'' && literal.front() != '"') ||
      literal.back() != literal.front() ||
      literal.substr(1, literal.size() - 2).find(literal.front()) != std::string_view::npos ||
      !is_literal_text(literal.substr(1, literal.size() - 2))) {
    return false;
  }
  shape.has_value = true;
  shape.value = literal.substr(1, literal.size() - 2);
  return true;
}

// The element step: a name, then none or one of [n], [last()], [@name], [@name='value'] (this
// last two perhaps followed by [1]).
bool read_element_step(xmlXPathContext* context, std::string_view step, DescendantShape& shape) {
  const std::size_t bracket = step.find('[');
  if (bracket != std::string_view::npos) {
    std::string_view predicate = step.substr(bracket);
    if (predicate == "[last()]") {
      shape.last = true;
    } else if (predicate.starts_with("[@")) {
      if (predicate.ends_with("][1]")) {
        predicate.remove_suffix(3);
      }
      if (!read_attribute_test(predicate, shape)) {
        return false;
      }
    } else {
      shape.position = read_position(predicate);
      if (shape.position == 0) {
        return false;
      }
    }
    step = step.substr(0, bracket);
  }
  return read_name_test(context, step, shape.element);
}

}  // namespace

bool read_descendant_shape(xmlXPathContext* context, std::string_view expression,
                           DescendantShape& shape) {
  if (!expression.starts_with("//")) {
    return false;
  }
  std::string_view steps[3];
  std::size_t count = 0;
  if (!cut_steps(expression.substr(2), steps, count) || count == 0) {
    return false;
  }
  shape = DescendantShape{};
  if (count > 1 && steps[count - 1].starts_with("@")) {
    shape.has_attribute = true;
    if (!read_name_test(context, steps[count - 1].substr(1), shape.attribute)) {
      return false;
    }
    --count;
  }
  if (count == 2) {
    shape.has_parent = true;
    if (!read_name_test(context, steps[0], shape.parent)) {
      return false;
    }
  } else if (count != 1) {
    return false;
  }
  return read_element_step(context, steps[count - 1], shape);
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

bool read_pair_shape(xmlXPathContext* context, std::string_view element, std::string_view attribute,
                     bool default_namespace_bound, DescendantShape& shape) {
  shape = DescendantShape();
  shape.has_attribute = true;
  shape.attribute.local = attribute;
  if (!is_plain_ncname(attribute)) {
    return false;
  }
  if (!default_namespace_bound) {
    shape.element.local = element;
    return is_plain_ncname(element);
  }
  return read_prefixed_name(context, kDefaultNamespacePrefix, element, shape.element);
}

}  // namespace ruvo
