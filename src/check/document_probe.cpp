#include "check/document_probe.h"

#include <algorithm>

#include "xml/descendant_walk.h"
#include "xml/qualify.h"
#include "xml/run_text.h"
#include "xml/value_lookup.h"

namespace ruvo::check {

namespace {

// The document's text as the findings hold it: in the run's encoding, like the template.
Text as_run_text(const TextCodec& codec, const xmlChar* utf8) {
  TextBufferPtr text = output_text(codec, utf8);
  return text ? Text(text->view()) : Text();
}

Text node_name(const TextCodec& codec, const xmlNode* node) {
  TextBufferPtr name = qualified_node_name(node);
  if (!name) {
    return Text();
  }
  return as_run_text(codec, reinterpret_cast<const xmlChar*>(name->data()));
}

void add_distinct(List<Text>& list, Text text) {
  if (std::find(list.begin(), list.end(), text) == list.end()) {
    list.push_back(std::move(text));
  }
}

// ASCII letters folded, as the program compares names without regard to case.
unsigned char lower(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte | 0x20U) : byte;
}

// The closest of the candidates: one equal but for case first, then the nearest within two
// edits; empty when the name itself is among them or none is near.
Text closest(const List<Text>& candidates, std::string_view name) {
  Text best;
  std::size_t best_distance = 3;
  for (const Text& candidate : candidates) {
    if (candidate == name) {
      return Text();
    }
    if (equal_ignoring_case(candidate, name)) {
      best = candidate;
      best_distance = 0;
      continue;
    }
    const std::size_t distance = edit_distance(candidate, name, 2);
    if (distance < best_distance) {
      best = candidate;
      best_distance = distance;
    }
  }
  return best;
}

// A step boundary: a '/' outside brackets and quotes.
List<std::size_t> step_ends(std::string_view path) {
  List<std::size_t> ends;
  int depth = 0;
  char quote = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const char c = path[i];
    if (quote != 0) {
      if (c == quote) {
        quote = 0;
      }
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == '[') {
      ++depth;
    } else if (c == ']') {
      --depth;
    } else if (c == '/' && depth == 0 && i > 0 && path[i - 1] != '/') {
      ends.push_back(i);
    }
  }
  ends.push_back(path.size());
  return ends;
}

}  // namespace

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return lower(x) == lower(y); });
}

std::size_t edit_distance(std::string_view a, std::string_view b, std::size_t limit) {
  const std::size_t gap = a.size() > b.size() ? a.size() - b.size() : b.size() - a.size();
  if (gap > limit) {
    return limit + 1;
  }
  List<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) {
    row[j] = j;
  }
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return std::min(row[b.size()], limit + 1);
}

DocumentProbe::DocumentProbe(xmlDoc* document, const DocumentNotes& notes, const TextCodec& codec)
    : document_(document), codec_(codec), context_(make_xpath_context(document, &notes)) {
  context_.codec = &codec;
}

// The names are gathered when first asked for: most runs explain no misspelt name, and a walk
// of a large document costs as much as its fill.
void DocumentProbe::gather_names() const {
  if (names_gathered_) {
    return;
  }
  names_gathered_ = true;
  for (xmlNode* node = document_->children; node != nullptr; node = next_in_document_order(node)) {
    if (node->type != XML_ELEMENT_NODE) {
      continue;
    }
    const Text name = node_name(codec_, node);
    add_distinct(element_names_, name);
    for (const xmlAttr* a = node->properties; a != nullptr; a = a->next) {
      add_distinct(attribute_names_, name + " " + as_run_text(codec_, a->name));
    }
    for (const xmlNs* ns = node->nsDef; ns != nullptr; ns = ns->next) {
      if (ns->prefix != nullptr) {
        add_distinct(prefixes_, as_run_text(codec_, ns->prefix));
      }
    }
  }
}

bool DocumentProbe::declares_prefix(std::string_view prefix) const {
  gather_names();
  return std::find(prefixes_.begin(), prefixes_.end(), prefix) != prefixes_.end();
}

Text DocumentProbe::element_like(std::string_view name) const {
  gather_names();
  return closest(element_names_, name);
}

Text DocumentProbe::attribute_like(std::string_view element, std::string_view attribute) const {
  gather_names();
  List<Text> names;
  for (const Text& pair : attribute_names_) {
    const std::size_t blank = pair.find(' ');
    const std::string_view owner = std::string_view(pair).substr(0, blank);
    const std::string_view local =
        owner.substr(owner.find(':') == std::string_view::npos ? 0 : owner.find(':') + 1);
    if (element.empty() || owner == element || local == element) {
      add_distinct(names, pair.substr(blank + 1));
    }
  }
  return closest(names, attribute);
}

xmlNode* DocumentProbe::first_node(std::string_view path) {
  TextBufferPtr qualified = qualify_path(path, context_.default_namespace_bound);
  if (!qualified || !run_text_to_utf8(codec_, qualified) || context_.get() == nullptr) {
    return nullptr;
  }
  set_context_node(context_, xmlDocGetRootElement(document_));
  const Evaluation evaluation = evaluate_first(context_, qualified->data());
  return evaluation.failed || evaluation.node == nullptr ||
                 evaluation.node->type == XML_NAMESPACE_DECL
             ? nullptr
             : evaluation.node;
}

bool DocumentProbe::pair_finds_value(std::string_view element, std::string_view attribute) {
  const Text element_name(element);
  const Text attribute_name(attribute);
  return context_.get() != nullptr &&
         lookup_value(context_, element_name.c_str(), attribute_name.c_str()) != nullptr;
}

Text DocumentProbe::child_like(const xmlNode* node, std::string_view name) const {
  List<Text> names;
  for (const xmlNode* child = node != nullptr ? node->children : nullptr; child != nullptr;
       child = child->next) {
    if (child->type == XML_ELEMENT_NODE) {
      add_distinct(names, node_name(codec_, child));
    }
  }
  return closest(names, name);
}

xmlXPathObjectType DocumentProbe::result_type(std::string_view qualified) {
  TextBufferPtr expression = text_buffer_from(qualified);
  if (!expression || !run_text_to_utf8(codec_, expression) || context_.get() == nullptr) {
    return XPATH_UNDEFINED;
  }
  set_context_node(context_, xmlDocGetRootElement(document_));
  const XmlXPathObjectPtr result(
      xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(expression->data()), context_.get()));
  return result ? result->type : XPATH_UNDEFINED;
}

Text DocumentProbe::attribute_names(const xmlNode* node) const {
  Text names;
  if (node == nullptr || node->type != XML_ELEMENT_NODE) {
    return names;
  }
  for (const xmlAttr* a = node->properties; a != nullptr; a = a->next) {
    names += (names.empty() ? "" : ", ") + as_run_text(codec_, a->name);
  }
  return names;
}

Text DocumentProbe::child_names(const xmlNode* node) const {
  List<Text> distinct;
  if (node == nullptr) {
    return Text();
  }
  for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE) {
      add_distinct(distinct, node_name(codec_, child));
    }
  }
  Text names;
  for (const Text& name : distinct) {
    names += (names.empty() ? "" : ", ") + name;
  }
  return names;
}

DocumentProbe::Reach DocumentProbe::reach(std::string_view path) {
  Reach reach;
  if (path.empty() || path.front() != '/') {
    return reach;
  }
  const List<std::size_t> ends = step_ends(path);
  std::size_t previous = 0;
  for (const std::size_t end : ends) {
    xmlNode* node = first_node(path.substr(0, end));
    if (node == nullptr) {
      if (reach.node != nullptr) {
        std::string_view step = path.substr(previous, end - previous);
        while (!step.empty() && step.front() == '/') {
          step.remove_prefix(1);
        }
        reach.next_step = Text(step);
      }
      return reach;
    }
    reach.found_part = Text(path.substr(0, end));
    reach.node = node;
    previous = end;
  }
  return Reach{};  // the whole path selects a node
}

}  // namespace ruvo::check
