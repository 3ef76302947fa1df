// Reading the shape of an XPath expression without evaluating it, the way XPath's own
// tokenizer reads it: whether its value can depend on the context node, and whether it is one of
// the shapes a walk of the tree answers exactly (//name, //name[n], either with /@attribute).
#pragma once

#include <libxml/xpath.h>

#include <cstdint>
#include <string_view>

namespace ruvo {

// A name test as libxml2 applies it: a local name, and the namespace URI its prefix is bound
// to in the context (none for an unprefixed name).
struct NameTest {
  std::string_view local;
  const xmlChar* uri = nullptr;
  bool prefixed = false;
};

// The expression //[parent/]element[predicate]/@attribute, the parent step, the predicate and
// the attribute step each optional. The predicate is a position [n], [last()], an attribute
// test [@name] or [@name='value'] (a trailing [1] after an attribute test changes no first
// node, and is read with it).
struct DescendantShape {
  NameTest element;
  std::uint32_t position = 0;  // 0 when the step has no position predicate
  bool last = false;           // [last()]
  bool has_parent = false;     // //parent/element
  NameTest parent;
  bool has_filter = false;  // [@name] or [@name='value']
  NameTest filter;
  bool has_value = false;
  std::string_view value;  // the literal without its quotes
  bool has_attribute = false;
  NameTest attribute;

  // The shapes a walk answered before the index: //name[n] and //name, with /@attribute.
  bool is_plain() const { return !last && !has_parent && !has_filter; }
};

// Reads the (qualified) expression as a DescendantShape. False when it has another shape, a
// name is not a plain ASCII name or its prefix is not bound, or a position is not from 1 to
// 999,999,999: such expressions are left to libxml2. The names and the value are views into the
// expression.
bool read_descendant_shape(xmlXPathContext* context, std::string_view expression,
                           DescendantShape& shape);

// The shape of //element/@attribute as qualification (xml/qualify.h) makes it, for plain names:
// the element in the document's default namespace when one is bound (//zq-def-ns:element/@a),
// in none otherwise. read_descendant_shape reads that expression's text the same way. False when
// a name is not plain, or the prefix of the default namespace is bound to nothing.
bool read_pair_shape(xmlXPathContext* context, std::string_view element, std::string_view attribute,
                     bool default_namespace_bound, DescendantShape& shape);

// True for an ASCII name without prefix ([A-Za-z_][A-Za-z0-9._-]*): a name test that XPath reads
// as written and that matches by plain byte comparison.
bool is_plain_ncname(std::string_view text);

// True when the value of the (qualified) expression cannot depend on the context node: a single
// absolute location path, whatever its predicates hold. Decided conservatively: anything else
// at the top level (a union, an operator, a function call, blanks) is taken as dependent.
bool is_context_free(std::string_view expression);

}  // namespace ruvo
