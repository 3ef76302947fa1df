#include "check/check_context.h"

#include <cstdlib>

#include "check/path_traps.h"

extern char** environ;

namespace ruvo::check {

namespace {

const char* kind_name(PlaceholderKind kind) {
  switch (kind) {
    case PlaceholderKind::XPath:
      return "xpath";
    case PlaceholderKind::Environment:
      return "environment";
    case PlaceholderKind::Pair:
      return "element-attribute";
    case PlaceholderKind::ColumnTable:
      return "column-table";
    case PlaceholderKind::MasterTable:
      return "master-table";
    case PlaceholderKind::BareElement:
      return "bare-element";
    case PlaceholderKind::Empty:
      break;
  }
  return "empty";
}

const char* kind_words(PlaceholderKind kind) {
  switch (kind) {
    case PlaceholderKind::XPath:
      return "XPath";
    case PlaceholderKind::Environment:
      return "environment variable";
    case PlaceholderKind::Pair:
      return "element:attribute";
    case PlaceholderKind::BareElement:
      return "bare element";
    case PlaceholderKind::ColumnTable:
    case PlaceholderKind::MasterTable:
    case PlaceholderKind::Empty:
      break;
  }
  return "empty placeholder";
}

// A value shown inside a one-line message: line ends and tabs written as \n, \r and \t.
Text one_line(std::string_view value) {
  Text out;
  for (const char c : value) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else {
      out += c;
    }
  }
  return out;
}

// Writes findings for one placeholder at its place.
class Explainer {
 public:
  Explainer(CheckContext& check, const PlaceholderRecord& record)
      : check_(check), record_(record), shown_(placeholder_text(record.content)) {}

  void warn(std::string_view kind, const Text& message) { add(Severity::Warning, kind, message); }
  void note(const Text& message) { add(Severity::Note, kind_name(record_.kind), message); }
  // A finding about the placeholder's value also says what the scanner made of it.
  Finding& add(Severity severity, std::string_view kind, const Text& message) {
    const Text said = kind == kind_name(record_.kind) ? message + what_it_is() : message;
    Finding& finding = check_.findings.add(severity, check_.template_path, record_.place.line,
                                           record_.place.column, kind, said);
    finding.expression = record_.expression;
    finding.value = record_.value;
    return finding;
  }

  void path_traps(std::string_view path) {
    if (const std::size_t at = double_slash_inside(path); at != std::string_view::npos) {
      warn("double-slash",
           shown_ + ": \"//\" inside a path is read as \"/\": " + Text(path.substr(0, at)) +
               "//... selects only children of " + Text(path.substr(0, at)) +
               "; write every step, or start the path at the element you want with \"//\"");
    }
    if (const std::size_t at = slash_in_predicate(path); at != std::string_view::npos) {
      warn("slash-in-predicate",
           shown_ +
               ": the path is cut into steps at every \"/\", also inside [...]: the predicate " +
               "breaks at column " + number(at + 1) +
               " of the expression; test an attribute of the element itself ([@a='x']) instead");
    }
    if (!check_.probe.default_namespace_bound()) {
      return;
    }
    if (const std::size_t at = bare_name_in_predicate(path); at != std::string_view::npos) {
      warn("name-in-predicate",
           shown_ + ": names inside [...] are not given the document's default namespace, so \"" +
               Text(path.substr(at, path.find_first_of("[]=<>!/ )", at) - at)) +
               "\" there means an element in no namespace; write it as zq-def-ns:" +
               Text(path.substr(at, path.find_first_of("[]=<>!/ )", at) - at)));
    }
    if (const std::size_t at = function_outside_predicate(path); at != std::string_view::npos) {
      warn("function-name", shown_ +
                                ": in a document with a default namespace, a function name "
                                "outside [...] is given the namespace prefix like an "
                                "element and becomes unknown; use functions only inside "
                                "predicates, or a plain location path");
    }
  }

  void pair_traps() {
    const std::string_view content = record_.content;
    const Text& element = record_.element;
    const Text& attribute = record_.attribute;
    const bool blanks = element.find(' ') != Text::npos || attribute.find(' ') != Text::npos;
    if (blanks) {
      warn("blank-in-name", shown_ + ": blanks are part of the names (element \"" + element +
                                "\", attribute \"" + attribute + "\"); write <<" +
                                trimmed(element) + ":" + trimmed(attribute) + ">>");
    }
    const bool prefix_split =
        attribute.find(':') != Text::npos || (content.front() != '\'' && content.front() != '"' &&
                                              check_.probe.declares_prefix(element));
    if (prefix_split) {
      const std::size_t second = attribute.find(':');
      if (second != Text::npos) {
        warn("prefix-outside-quotes",
             shown_ + ": the first colon splits a prefixed name: element \"" + element +
                 "\", attribute \"" + attribute + "\"; write <<'" + element + ":" +
                 attribute.substr(0, second) + "':" + attribute.substr(second + 1) + ">>");
      } else {
        warn("prefix-outside-quotes", shown_ + ": \"" + element +
                                          "\" is a prefix of the document, but the colon made it "
                                          "an element:attribute pair (element \"" +
                                          element + "\", attribute \"" + attribute +
                                          "\"); for the element " + element + ":" + attribute +
                                          " write <<'" + element + ":" + attribute + "'>>");
      }
    } else if (attribute.find_first_of("/@[") != Text::npos || element.find('/') != Text::npos) {
      warn("unintended-pair",
           shown_ +
               ": the first colon outside quotes made this an element:attribute pair "
               "(element \"" +
               element + "\", attribute \"" + attribute + "\"); for an expression write <<{...}>>");
    }
  }

  void open_quote_trap() {
    if (const std::size_t at = open_quote(record_.content); at != std::string_view::npos) {
      warn("open-quote", shown_ + ": a quote is left open (character " + number(at + 1) +
                             " of the placeholder): a colon after it does not count, and the "
                             "quote stays in the name");
    }
  }

  void explain_found() {
    if (record_.lossy) {
      warn("latin1-loss", shown_ +
                              " holds characters that Latin-1 cannot hold; they come out as "
                              "\"?\": \"" +
                              one_line(record_.value) + "\"");
    }
    if (check_.list) {
      note(shown_ + " = \"" + one_line(record_.value) + "\"" +
           (record_.grouped ? " (thousands separators from COMMA_INSERT)" : ""));
    }
  }

  void explain_pair_empty() {
    const Text& element = record_.element;
    const Text& attribute = record_.attribute;
    xmlNode* found = check_.probe.first_node("//" + element);
    if (found != nullptr) {
      Text message = shown_ + " comes out empty: the " + element + " element has no attribute \"" +
                     attribute + "\"";
      const Text like = check_.probe.attribute_like(element, attribute);
      message += like.empty()
                     ? "; its attributes: " + DocumentProbe::attribute_names(found)
                     : "; did you mean \"" + like + "\" (<<" + element + ":" + like + ">>)?";
      warn(kind_name(record_.kind), message);
      return;
    }
    Text message = shown_ + " comes out empty: no element \"" + element + "\" in the document";
    const Text like = check_.probe.element_like(element);
    if (!like.empty()) {
      message += "; did you mean \"" + like + "\"?";
    }
    warn(kind_name(record_.kind), message);
  }

  void explain_path_empty(std::string_view path) {
    const xmlXPathObjectType type = check_.probe.result_type(record_.expression);
    if (type == XPATH_NUMBER || type == XPATH_STRING || type == XPATH_BOOLEAN) {
      warn(kind_name(record_.kind),
           shown_ + " comes out empty: " + path_words() + " gives a " +
               (type == XPATH_NUMBER   ? "number"
                : type == XPATH_STRING ? "string"
                                       : "boolean") +
               ", not nodes, and an XPath placeholder places only the text of a node it selects");
      return;
    }
    Text message = shown_ + " comes out empty: " + path_words() + " selects nothing";
    const DocumentProbe::Reach reach = check_.probe.reach(path);
    if (reach.node != nullptr) {
      message += "; " + reach.found_part + " finds an element, but \"" + reach.next_step +
                 "\" selects nothing from it";
      const Text children = DocumentProbe::child_names(reach.node);
      message += children.empty() ? Text("; it has no child elements")
                                  : "; its child elements: " + children;
    } else if (!path.empty() && path.front() != '/') {
      message +=
          "; a relative path starts from the node the last XPath or bare-element "
          "placeholder selected, or the last row of a table";
    } else {
      const std::size_t last = path.find_last_of("/:");
      const std::string_view name = path.substr(last == std::string_view::npos ? 0 : last + 1);
      const Text like = check_.probe.element_like(name);
      if (!like.empty() && like != name) {
        message += "; did you mean \"" + like + "\"?";
      }
    }
    warn(kind_name(record_.kind), message);
  }

  void explain_bare_empty() {
    const std::string_view name = record_.element;
    Text message = shown_ + " comes out empty: no element \"" + Text(name) +
                   "\" anywhere in the document (ruvo logs \"Error al reemplazar elemento\")";
    const Text table = nearest_table(name);
    if (!table.empty()) {
      message +=
          "; no table has this name, but " + table + " is defined in " + Text(check_.config_path);
    } else {
      const Text like = check_.probe.element_like(name);
      if (!like.empty()) {
        message += "; did you mean \"" + like + "\"?";
      }
    }
    warn(kind_name(record_.kind), message);
  }

  void explain_unset_variable() {
    Text message =
        shown_ + " comes out empty: the environment has no variable \"" + record_.expression + "\"";
    Text best;
    for (char** variable = environ; variable != nullptr && *variable != nullptr; ++variable) {
      const std::string_view entry = *variable;
      const std::string_view name = entry.substr(0, entry.find('='));
      if (equal_ignoring_case(name, record_.expression) ||
          edit_distance(name, record_.expression, 1) <= 1) {
        best = Text(name);
        break;
      }
    }
    if (!best.empty()) {
      message += "; did you mean %" + best + "%?";
    }
    warn(kind_name(record_.kind), message);
  }

  void explain() {
    open_quote_trap();
    switch (record_.kind) {
      case PlaceholderKind::XPath:
        path_traps(inner());
        break;
      case PlaceholderKind::BareElement:
        path_traps("//" + record_.element);
        break;
      case PlaceholderKind::Pair:
        pair_traps();
        break;
      default:
        break;
    }
    switch (record_.reason) {
      case ValueReason::Found:
        explain_found();
        return;
      case ValueReason::NoNode:
        if (record_.kind == PlaceholderKind::Pair) {
          explain_pair_empty();
        } else if (record_.kind == PlaceholderKind::XPath) {
          explain_path_empty(inner());
        } else if (record_.kind == PlaceholderKind::BareElement) {
          explain_bare_empty();
        } else {
          warn(kind_name(record_.kind), shown_ + " is empty: it is removed from the line");
        }
        return;
      case ValueReason::ExpressionError:
        warn(kind_name(record_.kind),
             shown_ + " comes out empty: libxml2 cannot evaluate " + record_.expression + ": " +
                 trimmed(record_.error) +
                 " (ruvo logs \"La instruccion XPATH no gener\363 resultados\")");
        return;
      case ValueReason::VariableUnset:
        explain_unset_variable();
        return;
      case ValueReason::NameTooLong:
        warn(kind_name(record_.kind), shown_ +
                                          " comes out empty: the names are too long to "
                                          "make an expression of (1023 characters at most)");
        return;
      case ValueReason::NoContent:
        add(Severity::Error, kind_name(record_.kind),
            shown_ +
                ": the node found has no text to give, and ruvo ends with status 257 "
                "without writing the output");
        return;
      case ValueReason::LineLimit:
        warn("line-limit", shown_ +
                               ": the line reached 1000 placeholders (a value that brings "
                               "back its own placeholder?); the rest of the line stays unfilled");
        return;
    }
  }

 private:
  std::string_view inner() const {
    const std::string_view content = record_.content;
    return content.size() >= 2 ? content.substr(1, content.size() - 2) : content;
  }
  Text what_it_is() const {
    Text words = " [" + Text(kind_words(record_.kind));
    if (!record_.expression.empty() && record_.kind != PlaceholderKind::Environment) {
      words += ", evaluated as " + record_.expression;
    }
    if (record_.place.column == 0) {
      words += "; the placeholder came with a value placed earlier on this line, or in a table";
    }
    return words + "]";
  }
  Text path_words() const { return "the expression " + Text(inner()); }
  static Text trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \n");
    const std::size_t last = text.find_last_not_of(" \n");
    return first == std::string_view::npos ? Text() : Text(text.substr(first, last - first + 1));
  }
  // The defined table whose name is nearest to the name, as <<name>>; empty when none is near.
  Text nearest_table(std::string_view name) const {
    for (const SectionList* list : {check_.column_sections, check_.master_sections}) {
      if (list == nullptr) {
        continue;
      }
      for (const SectionNode* node = list->first(); node != nullptr; node = node->next) {
        const std::string_view header = node->value->head->view();
        const std::size_t open = header.find("<<");
        const std::size_t close = open == std::string_view::npos ? open : header.find(">>", open);
        if (close == std::string_view::npos) {
          continue;
        }
        const std::string_view table = header.substr(open + 2, close - open - 2);
        if (equal_ignoring_case(table, name) || edit_distance(table, name, 2) <= 2) {
          return placeholder_text(table);
        }
      }
    }
    return Text();
  }

  CheckContext& check_;
  const PlaceholderRecord& record_;
  Text shown_;
};

}  // namespace

Text placeholder_text(std::string_view content) {
  return "<<" + Text(content) + ">>";
}

void explain_placeholders(CheckContext& check) {
  for (const PlaceholderRecord& record : check.run.placeholders()) {
    Explainer(check, record).explain();
  }
}

}  // namespace ruvo::check
