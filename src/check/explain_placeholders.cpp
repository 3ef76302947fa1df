#include <cstdlib>

#include "base/log_messages.h"
#include "check/check_context.h"
#include "check/path_traps.h"
#include "fill/template_filler.h"
#include "xml/value_lookup.h"

extern char** environ;

namespace ruvo::check {

namespace {

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

Text trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \n");
  const std::size_t last = text.find_last_not_of(" \n");
  return first == std::string_view::npos ? Text() : Text(text.substr(first, last - first + 1));
}

// Node tests, which a path step names with parentheses like a function.
bool is_node_test(std::string_view step) {
  const std::string_view name = step.substr(0, step.find('('));
  return name == "node" || name == "comment" || name == "processing-instruction";
}

// The node test a step's call is a typing away from (txt() for text()), when it names no
// function of XPath 1.0; empty when there is none.
Text node_test_like(std::string_view step) {
  static constexpr std::string_view kFunctions[] = {"last",
                                                    "position",
                                                    "count",
                                                    "id",
                                                    "local-name",
                                                    "name",
                                                    "namespace-uri",
                                                    "string",
                                                    "concat",
                                                    "starts-with",
                                                    "contains",
                                                    "substring-before",
                                                    "substring-after",
                                                    "substring",
                                                    "string-length",
                                                    "translate",
                                                    "normalize-space",
                                                    "boolean",
                                                    "not",
                                                    "true",
                                                    "false",
                                                    "lang",
                                                    "number",
                                                    "sum",
                                                    "floor",
                                                    "ceiling",
                                                    "round"};
  const std::string_view name = step.substr(0, step.find('('));
  for (const std::string_view function : kFunctions) {
    if (name == function) {
      return Text();
    }
  }
  for (const std::string_view test : {std::string_view("text"), std::string_view("node")}) {
    if (name != test && edit_distance(name, test, 1) <= 1) {
      return Text(test) + "()";
    }
  }
  return Text();
}

// The name between apostrophes, as a placeholder quotes a prefixed one.
Text quoted(std::string_view name) {
  Text text;
  text.reserve(name.size() + 2);
  text += '\'';
  text += name;
  text += '\'';
  return text;
}

// The bare-element placeholder for a name: quoted whole when it holds a colon, which would
// otherwise make an element:attribute pair of it.
Text bare_text(std::string_view name) {
  return placeholder_text(name.find(':') != std::string_view::npos ? quoted(name) : Text(name));
}

// Writes findings for one placeholder at its place.
class Explainer {
 public:
  Explainer(CheckContext& check, std::size_t index)
      : check_(check),
        index_(index),
        record_(check.run.placeholders()[index]),
        shown_(placeholder_text(record_.content)) {}

  Finding& warn(std::string_view kind, const Text& message) {
    return add(Severity::Warning, kind, message);
  }
  void note(const Text& message) { add(Severity::Note, kind_name(record_.kind), message); }
  // A finding about the placeholder's value also says what the scanner made of it.
  Finding& add(Severity severity, std::string_view kind, const Text& message) {
    const Text said = kind == kind_name(record_.kind) ? message + what_it_is() : message;
    Finding& finding = check_.findings.add(severity, check_.template_path, record_.place.line,
                                           record_.place.column, kind, said);
    finding.expression = record_.expression;
    finding.value = record_.written;
    return finding;
  }
  // Offers the placeholder text as the fix, when the placeholder has a column of its own (one a
  // value brought in cannot be edited where it stands).
  void offer(Finding& finding, const Text& replacement) const {
    if (record_.place.column > 0) {
      finding.fix_kind = FixKind::Replace;
      finding.fix = replacement;
    }
  }

  void path_traps() {
    if (!record_.qualified) {
      return;
    }
    const std::string_view path = record_.path;
    bool said[6] = {};
    for (const PathTrap& trap : check::path_traps(path, record_.qualification)) {
      bool& once = said[static_cast<int>(trap.kind)];
      if (!once) {
        once = true;
        path_trap(path, trap);
      }
    }
  }

  void path_trap(std::string_view path, const PathTrap& trap) {
    const std::string_view part = path.substr(trap.at, trap.length);
    switch (trap.kind) {
      case PathTrapKind::DoubleSlash: {
        const Text before(path.substr(0, trap.at));
        warn("double-slash", shown_ + ": \"//\" inside a path is read as \"/\": " + before +
                                 "//... selects only children of " + before +
                                 "; write every step, or start the path at the element you want "
                                 "with \"//\"");
        return;
      }
      case PathTrapKind::SlashInPredicate:
        warn("slash-in-predicate",
             shown_ +
                 ": the path is cut into steps at every \"/\", also inside [...]: the predicate " +
                 "breaks at column " + number(trap.at + 1) +
                 " of the expression; test an attribute of the element itself ([@a='x']) instead");
        return;
      case PathTrapKind::UnclosedPredicate:
        warn("open-predicate", shown_ + ": a [...] is not closed: its step's last character, \"" +
                                   Text(part) + "\", is read as its ']'");
        return;
      case PathTrapKind::NameInPredicate: {
        const Text qualified = "zq-def-ns:" + Text(part);
        Finding& finding = warn(
            "name-in-predicate",
            shown_ + ": names inside [...] are not given the document's default namespace, so \"" +
                Text(part) + "\" there means an element in no namespace; write it as " + qualified);
        const Text fixed =
            Text(path.substr(0, trap.at)) + qualified + Text(path.substr(trap.at + trap.length));
        offer_path(finding, fixed);
        return;
      }
      case PathTrapKind::PrefixedFunction:
        if (const Text test = node_test_like(part); !test.empty()) {
          Finding& finding = warn(
              "function-name",
              shown_ + ": " + Text(part) + " is no node test XPath knows; did you mean " + test +
                  "? Taken for a name, it is given the namespace prefix (zq-def-ns:" + Text(part) +
                  ")");
          const std::size_t open = part.find('(');
          const std::size_t close = part.find(')', open);
          const std::size_t length = close == std::string_view::npos ? part.size() : close + 1;
          offer_path(finding,
                     Text(path.substr(0, trap.at)) + test + Text(path.substr(trap.at + length)));
        } else if (is_node_test(part)) {
          warn("function-name",
               shown_ + ": " + Text(part) +
                   " is given the namespace prefix like an element name (zq-def-ns:" + Text(part) +
                   "), and is then no node test; in a document with a default namespace, end "
                   "the path at an element or use text()");
        } else {
          warn("function-name", shown_ +
                                    ": in a document with a default namespace, a function name "
                                    "outside [...] is given the namespace prefix like an "
                                    "element and becomes unknown; use functions only inside "
                                    "predicates, or a plain location path");
        }
        return;
      case PathTrapKind::TextCase: {
        Finding& finding = warn(
            "text-case", shown_ + ": " + Text(part) +
                             " is left without the namespace prefix like text(), but XPath names "
                             "are case-sensitive: only text() is a node test; write text()");
        const Text fixed =
            Text(path.substr(0, trap.at)) + "text()" + Text(path.substr(trap.at + trap.length));
        offer_path(finding, fixed);
        return;
      }
    }
  }

  // Offers a mended path of an XPath placeholder as its fix, once the document shows that it
  // selects a node.
  void offer_path(Finding& finding, const Text& path) {
    if (record_.kind == PlaceholderKind::XPath && !path.empty() && path.front() == '/' &&
        check_.probe.first_node(path) != nullptr) {
      offer(finding, placeholder_text(enclosed("{", path, "}")));
    }
  }

  void pair_traps() {
    const Text& element = record_.element;
    const Text& attribute = record_.attribute;
    const bool blanks = element.find(' ') != Text::npos || attribute.find(' ') != Text::npos;
    if (blanks) {
      const Text element_trimmed = trimmed(element);
      const Text attribute_trimmed = trimmed(attribute);
      Finding& finding =
          warn("blank-in-name", shown_ + ": blanks are part of the names (element \"" + element +
                                    "\", attribute \"" + attribute + "\"); write " +
                                    pair_text(element_trimmed, attribute_trimmed));
      if (check_.probe.pair_finds_value(element_trimmed, attribute_trimmed)) {
        offer(finding, pair_text(element_trimmed, attribute_trimmed));
      }
    }
    // A colon that split the names wrongly shows only as a value not found.
    if (record_.reason != ValueReason::NoNode) {
      return;
    }
    const std::string_view content = record_.content;
    const bool prefix_split =
        attribute.find(':') != Text::npos || (content.front() != '\'' && content.front() != '"' &&
                                              check_.probe.declares_prefix(element));
    if (prefix_split) {
      const std::size_t second = attribute.find(':');
      if (second != Text::npos) {
        const Text prefixed = element + ":" + attribute.substr(0, second);
        const Text rest = attribute.substr(second + 1);
        Finding& finding = warn("prefix-outside-quotes",
                                shown_ + ": the first colon splits a prefixed name: element \"" +
                                    element + "\", attribute \"" + attribute + "\"; for the " +
                                    prefixed + " element write " + pair_text(prefixed, rest));
        if (check_.probe.pair_finds_value(prefixed, rest)) {
          offer(finding, pair_text(prefixed, rest));
        }
      } else {
        const Text whole = element + ":" + attribute;
        Finding& finding = warn(
            "prefix-outside-quotes",
            shown_ + ": \"" + element +
                "\" is a prefix of the document, but the colon made it an element:attribute pair "
                "(element \"" +
                element + "\", attribute \"" + attribute + "\"); for the element " + whole +
                " write " + bare_text(whole));
        if (check_.probe.first_node("//" + whole) != nullptr) {
          offer(finding, bare_text(whole));
        }
      }
    } else if (attribute.find_first_of("/@[") != Text::npos || element.find('/') != Text::npos) {
      Finding& finding = warn(
          "unintended-pair",
          shown_ +
              ": the first colon outside quotes made this an element:attribute pair "
              "(element \"" +
              element + "\", attribute \"" + attribute + "\"); for an expression write <<{...}>>");
      if (content.front() == '/' && check_.probe.first_node(content) != nullptr) {
        offer(finding, placeholder_text(enclosed("{", content, "}")));
      }
    }
  }

  void open_quote_trap() {
    if (const std::size_t at = open_quote(record_.content); at != std::string_view::npos) {
      warn("open-quote", shown_ + ": a quote is left open (character " + number(at + 1) +
                             " of the placeholder): a colon after it does not count, and the "
                             "quote stays in the name");
    }
  }

  // The placeholders the value brought, which the scan met right after it on its line.
  Text placeholders_brought() const {
    const List<PlaceholderRecord>& all = check_.run.placeholders();
    Text brought;
    for (std::size_t i = index_ + 1; i < all.size(); ++i) {
      if (!all[i].brought_in || all[i].place.line != record_.place.line) {
        break;
      }
      brought += (brought.empty() ? "" : ", ") + placeholder_text(all[i].content);
    }
    return brought;
  }

  void explain_value_text() {
    const std::string_view value = record_.written;
    if (value.find_first_of("\r\n") != std::string_view::npos) {
      std::size_t lines = 1;
      for (std::size_t i = 0; i < value.size(); ++i) {
        const bool crlf = value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n';
        lines += (value[i] == '\n' || value[i] == '\r') && !crlf ? 1 : 0;
      }
      warn("line-end", shown_ + " places a value that holds line ends, so it prints as " +
                           number(lines) + " lines: \"" + one_line(value) + "\"");
    }
    if (const Text brought = placeholders_brought(); !brought.empty()) {
      warn("placeholder-in-value",
           shown_ + " places a value that holds placeholder text, which ruvo fills in its turn: " +
               brought + "; an environment placeholder in a document's value is not read");
    }
    if (record_.grouped && !is_plain_number(record_.ungrouped)) {
      Finding& finding =
          warn("comma-insert", shown_ + " is listed in COMMA_INSERT, but " +
                                   grouping_changes(record_.ungrouped, record_.value));
      if (const std::size_t line = comma_entry_line(check_, record_.comma_entry); line > 0) {
        finding.fix_kind = FixKind::Command;
        finding.fix = without_comma_entry(check_, line);
      }
    }
  }

  void explain_found() {
    explain_value_text();
    if (record_.lossy) {
      warn("latin1-loss", shown_ + " holds characters that " + encoding_name() + " cannot hold (" +
                              record_.lost + "); they come out as \"?\": \"" +
                              one_line(record_.value) + "\"; " +
                              check_.encodings.keeping(record_.lost_source) + " would keep them");
    }
    if (check_.list) {
      note(shown_ + " = \"" + one_line(record_.written) + "\"" +
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
                     ? "; its attributes: " + check_.probe.attribute_names(found)
                     : "; did you mean \"" + like + "\" (" + pair_text(element, like) + ")?";
      Finding& finding = warn(kind_name(record_.kind), message);
      if (!like.empty() && check_.probe.pair_finds_value(element, like)) {
        offer(finding, pair_text(element, like));
      }
      return;
    }
    Text message = shown_ + " comes out empty: no element \"" + element + "\" in the document";
    const Text like = check_.probe.element_like(element);
    if (!like.empty()) {
      message += "; did you mean \"" + like + "\"?";
    }
    Finding& finding = warn(kind_name(record_.kind), message);
    if (!like.empty() && check_.probe.pair_finds_value(like, attribute)) {
      offer(finding, pair_text(like, attribute));
    }
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
    Text fixed;
    const DocumentProbe::Reach reach = check_.probe.reach(path);
    if (reach.node != nullptr) {
      message += "; " + reach.found_part + " finds an element, but \"" + reach.next_step +
                 "\" selects nothing from it";
      const Text children = check_.probe.child_names(reach.node);
      message += children.empty() ? Text("; it has no child elements")
                                  : "; its child elements: " + children;
      fixed = mended_step(path, reach);
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
    Finding& finding = warn(kind_name(record_.kind), message);
    if (!fixed.empty()) {
      offer_path(finding, fixed);
    }
  }

  // The path with the step that selects nothing renamed to the child element its name is
  // nearest to; empty when no child is near.
  Text mended_step(std::string_view path, const DocumentProbe::Reach& reach) const {
    const std::string_view step = reach.next_step;
    const std::size_t name_end = step.find_first_of("[/");
    const std::string_view name = step.substr(0, name_end);
    const Text like = check_.probe.child_like(reach.node, name);
    const std::size_t at = path.find(step, reach.found_part.size());
    if (like.empty() || name.empty() || at == std::string_view::npos) {
      return Text();
    }
    return Text(path.substr(0, at)) + like + Text(path.substr(at + name.size()));
  }

  void explain_bare_empty() {
    const std::string_view name = record_.element;
    Text message = shown_ + " comes out empty: no element \"" + Text(name) +
                   "\" anywhere in the document (ruvo logs \"" + log_messages::kElementNotReplaced +
                   "\")";
    const Text table = nearest_table(name);
    if (!table.empty()) {
      message +=
          "; no table has this name, but " + table + " is defined in " + Text(check_.config_path);
      offer(warn(kind_name(record_.kind), message), table);
      return;
    }
    const Text like = check_.probe.element_like(name);
    if (!like.empty()) {
      message += "; did you mean \"" + like + "\"?";
    }
    Finding& finding = warn(kind_name(record_.kind), message);
    if (!like.empty() && check_.probe.first_node("//" + like) != nullptr) {
      offer(finding, bare_text(like));
    }
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
    Finding& finding = warn(kind_name(record_.kind), message);
    if (!best.empty()) {
      offer(finding, placeholder_text(enclosed("%", best, "%")));
    }
  }

  void explain_traps() {
    open_quote_trap();
    if (record_.kind == PlaceholderKind::Pair) {
      pair_traps();
    } else {
      path_traps();
    }
  }

  void explain() {
    explain_traps();
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
        warn(kind_name(record_.kind), shown_ + " comes out empty: libxml2 cannot evaluate " +
                                          record_.expression + ": " + trimmed(record_.error) +
                                          " (ruvo logs \"" + log_messages::kXPathFailed + "\")");
        return;
      case ValueReason::VariableUnset:
        explain_unset_variable();
        return;
      case ValueReason::NameTooLong:
        warn(kind_name(record_.kind),
             shown_ + " comes out empty: the names are too long to make an expression of (" +
                 number(kMaxLookupExpressionLength) + " characters at most)");
        return;
      case ValueReason::NoContent:
        // The status and the log line are added where the fill's outcome is known.
        add(Severity::Error, kind_name(record_.kind),
            shown_ + ": the node found has no text to give, and ruvo writes no output");
        return;
      case ValueReason::NotRead:
        warn(kind_name(record_.kind),
             shown_ +
                 " comes out empty: a value from the document brought it, and ruvo never "
                 "reads the environment for a supplier's text");
        return;
      case ValueReason::LineLimit:
        warn("line-limit", shown_ + ": the line reached " + number(kMaxPlaceholdersPerLine) +
                               " placeholders (a value that brings back its own placeholder?); "
                               "the rest of the line stays unfilled");
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
  Text encoding_name() const {
    const std::string_view name = check_.probe.codec().name();
    return name == "ISO-8859-1" ? Text("Latin-1") : Text(name);
  }
  // The defined table whose name is nearest to the name, as <<name>>; empty when none is near.
  Text nearest_table(std::string_view name) const {
    for (const SectionList* list :
         {check_.configuration.column_sections(), check_.configuration.master_sections()}) {
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
  std::size_t index_;
  const PlaceholderRecord& record_;
  Text shown_;
};

}  // namespace

Text placeholder_text(std::string_view content) {
  return "<<" + Text(content) + ">>";
}

Text pair_text(std::string_view element, std::string_view attribute) {
  Text content = element.find(':') != std::string_view::npos ? quoted(element) : Text(element);
  content += ':';
  content += attribute;
  return placeholder_text(content);
}

void explain_placeholders(CheckContext& check) {
  for (std::size_t index = 0; index < check.run.placeholders().size(); ++index) {
    Explainer(check, index).explain();
  }
}

}  // namespace ruvo::check
