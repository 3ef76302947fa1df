// Evaluating the expressions of single-value placeholders, as fast as the document allows.
//
// The document does not change during a run, so an expression whose value cannot depend on the
// context node gives the same node every time: its first node is kept and reused. The common
// shapes //name, //name[n] and either with /@attribute are answered by a walk in document order
// that stops at the first match, with exactly the name tests libxml2 applies. Everything else is
// left to libxml2.
#pragma once

#include <libxml/tree.h>
#include <libxml/xpath.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "text/tracked_memory.h"
#include "xml/xml_handles.h"

namespace ruvo {

struct XPathContext;

// What an evaluation gave: no result at all (libxml2 failed and recorded why), or the first
// node of a node-set result, which is none for an empty set and for any other result type.
struct Evaluation {
  bool failed = false;
  xmlNode* node = nullptr;
  XmlXPathObjectPtr result;  // keeps node alive when it belongs to the result (namespace nodes)
};

// First nodes of context-free expressions already evaluated in this run.
class ExpressionCache {
 public:
  // The entry for the expression, or none when it was never stored.
  const xmlNode* const* find(std::string_view expression) const;
  // Keeps the first node of the expression; a refused allocation just keeps nothing.
  void store(std::string_view expression, xmlNode* node) noexcept;

 private:
  using Key = std::basic_string<char, std::char_traits<char>, TrackedAllocator<char>>;
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const noexcept {
      return std::hash<std::string_view>{}(text);
    }
  };
  using Map = std::unordered_map<Key, xmlNode*, Hash, std::equal_to<>,
                                 TrackedAllocator<std::pair<const Key, xmlNode*>>>;
  Map entries_;
};

// A name test as libxml2 applies it: a local name, and the namespace URI its prefix is bound
// to in the context (none for an unprefixed name).
struct NameTest {
  std::string_view local;
  const xmlChar* uri = nullptr;
  bool prefixed = false;
};

// The expression //element[position]/@attribute, the predicate and the attribute step each
// optional.
struct DescendantShape {
  NameTest element;
  std::uint32_t position = 0;  // 0 when the step has no predicate
  bool has_attribute = false;
  NameTest attribute;
};

// Reads the (qualified) expression as a DescendantShape. False when it has another shape, a
// name is not a plain ASCII name or its prefix is not bound, or the predicate is not a
// position from 1 to 999,999,999: such expressions are left to libxml2. The names are views
// into the expression.
bool read_descendant_shape(xmlXPathContext* context, std::string_view expression,
                           DescendantShape& shape);

// The elements //name selects, in document order, one at a time: the first, then the one after
// a given one. None when there are no more.
xmlNode* first_descendant(xmlDoc* document, const NameTest& test);
xmlNode* next_descendant(xmlNode* node, const NameTest& test);

// True for an ASCII name without prefix ([A-Za-z_][A-Za-z0-9._-]*): a name test that XPath reads
// as written and that matches by plain byte comparison.
bool is_plain_ncname(std::string_view text);

// True when the value of the (qualified) expression cannot depend on the context node: a single
// absolute location path, whatever its predicates hold. Decided conservatively: anything else
// at the top level (a union, an operator, a function call, blanks) is taken as dependent.
bool is_context_free(std::string_view expression);

// Evaluates the qualified expression in the run's context like xmlXPathEvalExpression.
[[nodiscard]] Evaluation evaluate_first(XPathContext& context, const char* expression);

}  // namespace ruvo
