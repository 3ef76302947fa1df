// Questions put to the document to explain an empty value: which names it has, which of them a
// mistyped name was meant to be, what an element holds, and how far a path gets. Every
// expression is qualified and evaluated by the same code as in a run, in a context of its own.
#pragma once

#include <libxml/tree.h>

#include <string_view>

#include "check/findings.h"
#include "text/text_codec.h"
#include "xml/input_document.h"
#include "xml/xpath_context.h"

namespace ruvo::check {

class DocumentProbe {
 public:
  // Names and texts of the document are given in the run's encoding, like the template's.
  DocumentProbe(xmlDoc* document, const DocumentNotes& notes, const TextCodec& codec);

  bool default_namespace_bound() const { return context_.default_namespace_bound; }
  const TextCodec& codec() const { return codec_; }
  // The prefixes the document declares anywhere, Latin-1.
  bool declares_prefix(std::string_view prefix) const;

  // The document's element name (local, or prefix:local) that equals the name but for case or
  // for up to two typed characters; empty when none is that close. Latin-1 in and out.
  Text element_like(std::string_view name) const;
  // The same among attribute names of the elements of the given (qualified) name, or of all.
  Text attribute_like(std::string_view element, std::string_view attribute) const;

  // The first node that the Latin-1 path selects from the root, or none; the path is qualified
  // first. False when the expression cannot be evaluated.
  xmlNode* first_node(std::string_view path);
  // Whether an element:attribute placeholder of these names (Latin-1, quotes removed) finds a
  // value: the very lookup a run makes.
  bool pair_finds_value(std::string_view element, std::string_view attribute);
  // The name among the node's child elements that equals the name but for case or up to two
  // typed characters; empty when none is that close.
  Text child_like(const xmlNode* node, std::string_view name) const;
  // What kind of result the qualified Latin-1 expression gives, evaluated from the root;
  // XPATH_UNDEFINED when it cannot be evaluated.
  xmlXPathObjectType result_type(std::string_view qualified);
  // The names of the node's attributes, or of its child elements, comma-separated.
  Text attribute_names(const xmlNode* node) const;
  Text child_names(const xmlNode* node) const;

  // For a path from the root (starting with '/') that selects nothing: the longest leading part
  // that still selects a node, with that node; empty when even the first step selects nothing
  // or the path is not one to cut into steps.
  struct Reach {
    Text found_part;  // Latin-1
    Text next_step;
    xmlNode* node = nullptr;
  };
  Reach reach(std::string_view path);

 private:
  xmlDoc* document_;
  const TextCodec& codec_;
  XPathContext context_;
  void gather_names() const;
  mutable bool names_gathered_ = false;
  mutable List<Text> element_names_;    // distinct, as the document writes them, Latin-1
  mutable List<Text> attribute_names_;  // "element attribute" pairs, distinct
  mutable List<Text> prefixes_;
};

// The edit distance between two short texts, stopping at limit + 1.
std::size_t edit_distance(std::string_view a, std::string_view b, std::size_t limit);
bool equal_ignoring_case(std::string_view a, std::string_view b);

}  // namespace ruvo::check
