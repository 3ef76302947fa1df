#include "xml/evaluation.h"

#include <libxml/xpathInternals.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "xml/xpath_context.h"

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

bool same_name(const xmlChar* name, std::string_view local) {
  return name != nullptr && std::strlen(reinterpret_cast<const char*>(name)) == local.size() &&
         std::memcmp(name, local.data(), local.size()) == 0;
}

bool element_matches(const xmlNode* node, const NameTest& test) {
  if (!same_name(node->name, test.local)) {
    return false;
  }
  if (!test.prefixed) {
    return node->ns == nullptr;
  }
  return node->ns != nullptr && xmlStrEqual(test.uri, node->ns->href);
}

xmlNode* matching_attribute(xmlNode* element, const NameTest& test) {
  for (xmlAttr* attribute = element->properties; attribute != nullptr;
       attribute = attribute->next) {
    if (!same_name(attribute->name, test.local)) {
      continue;
    }
    const bool matches =
        test.prefixed ? attribute->ns != nullptr && xmlStrEqual(test.uri, attribute->ns->href)
                      : attribute->ns == nullptr || attribute->ns->prefix == nullptr;
    if (matches) {
      return reinterpret_cast<xmlNode*>(attribute);
    }
  }
  return nullptr;
}

// The next node in document order, descending only into elements (entity references and the
// document type declaration are not part of the searched tree).
xmlNode* next_in_document_order(xmlNode* node) {
  if (node->type == XML_ELEMENT_NODE && node->children != nullptr) {
    return node->children;
  }
  while (node != nullptr && node->next == nullptr) {
    node = node->parent;
    if (node != nullptr && node->type == XML_DOCUMENT_NODE) {
      return nullptr;
    }
  }
  return node != nullptr ? node->next : nullptr;
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

// The first element in document order that is the position-th of its parent's children
// matching the test (and holds the attribute when one is asked for), as //name[n] selects
// them. Each open level of the walk counts its matching children. False when the counts could
// not get memory.
bool first_positioned(xmlDoc* document, const DescendantShape& shape, xmlNode*& found) {
  found = nullptr;
  try {
    std::vector<std::uint32_t, TrackedAllocator<std::uint32_t>> counts(1, 0);
    xmlNode* node = document->children;
    while (node != nullptr) {
      if (node->type == XML_ELEMENT_NODE) {
        if (element_matches(node, shape.element) && ++counts.back() == shape.position) {
          found = shape.has_attribute ? matching_attribute(node, shape.attribute) : node;
          if (found != nullptr) {
            return true;
          }
        }
        if (node->children != nullptr) {
          counts.push_back(0);
          node = node->children;
          continue;
        }
      }
      while (node->next == nullptr) {
        node = node->parent;
        counts.pop_back();
        if (node == nullptr || node->type == XML_DOCUMENT_NODE) {
          return true;
        }
      }
      node = node->next;
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

// //name, //name[n], //name/@attribute or //name[n]/@attribute, answered by a walk that stops
// at the first match: the first node of the result in document order. False when the
// expression has another shape.
bool evaluate_descendant_shape(xmlXPathContext* context, std::string_view expression,
                               xmlNode*& found) {
  DescendantShape shape;
  if (!read_descendant_shape(context, expression, shape)) {
    return false;
  }
  if (shape.position > 0) {
    return first_positioned(context->doc, shape, found);
  }
  found = nullptr;
  for (xmlNode* node = first_descendant(context->doc, shape.element); node != nullptr;
       node = next_descendant(node, shape.element)) {
    found = shape.has_attribute ? matching_attribute(node, shape.attribute) : node;
    if (found != nullptr) {
      return true;
    }
  }
  return true;
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

xmlNode* first_descendant(xmlDoc* document, const NameTest& test) {
  xmlNode* node = document != nullptr ? document->children : nullptr;
  while (node != nullptr && (node->type != XML_ELEMENT_NODE || !element_matches(node, test))) {
    node = next_in_document_order(node);
  }
  return node;
}

xmlNode* next_descendant(xmlNode* node, const NameTest& test) {
  do {
    node = next_in_document_order(node);
  } while (node != nullptr && (node->type != XML_ELEMENT_NODE || !element_matches(node, test)));
  return node;
}

const xmlNode* const* ExpressionCache::find(std::string_view expression) const {
  const auto entry = entries_.find(expression);
  return entry == entries_.end() ? nullptr : &entry->second;
}

void ExpressionCache::store(std::string_view expression, xmlNode* node) noexcept {
  try {
    entries_.emplace(Key(expression), node);
  } catch (const std::bad_alloc&) {
    // Without memory the expression is simply evaluated again next time.
  }
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

Evaluation evaluate_first(XPathContext& context, const char* expression) {
  Evaluation evaluation;
  const std::string_view text(expression);
  const bool context_free = is_context_free(text);
  if (context_free) {
    if (const xmlNode* const* cached = context.cache.find(text)) {
      evaluation.node = const_cast<xmlNode*>(*cached);
      return evaluation;
    }
    if (evaluate_descendant_shape(context.get(), text, evaluation.node)) {
      context.cache.store(text, evaluation.node);
      return evaluation;
    }
  }
  evaluation.result.reset(
      xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(expression), context.get()));
  if (!evaluation.result) {
    evaluation.failed = true;
    return evaluation;
  }
  const xmlXPathObject* result = evaluation.result.get();
  if (result->type == XPATH_NODESET && result->nodesetval != nullptr &&
      result->nodesetval->nodeNr > 0) {
    evaluation.node = result->nodesetval->nodeTab[0];
  }
  // Namespace nodes are copies that live as long as the result: they are never kept.
  if (context_free && (evaluation.node == nullptr || evaluation.node->type != XML_NAMESPACE_DECL)) {
    context.cache.store(text, evaluation.node);
    evaluation.result.reset();
  }
  return evaluation;
}

}  // namespace ruvo
