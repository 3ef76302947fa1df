#include "fill/single_value.h"

#include <libxml/xmlerror.h>

#include <cstdlib>

#include "base/log_messages.h"
#include "base/run_log.h"
#include "config/thousands.h"
#include "xml/entity_encoding.h"
#include "xml/qualify.h"
#include "xml/run_text.h"

namespace ruvo {

namespace {

// The value as it is placed: grouped by thousands when the section lists the key. When the
// grouping cannot be had for lack of memory, the value is placed as it is.
// The value before the separators stays in ungrouped (trimmed), for the observer's report.
TextBufferPtr with_separators(const FillContext& fill, TextBufferPtr value, std::string_view key,
                              PlaceholderReport& told, TextBufferPtr& ungrouped) {
  told.grouped = false;
  const Line* entry = value ? fill.comma.text_entry(key, fill.run.observer) : nullptr;
  if (entry != nullptr) {
    TextBufferPtr separated = format_thousands(value->data(), fill.xpath.text_codec());
    if (separated) {
      told.grouped = true;
      told.comma_entry = entry;
      ungrouped = std::move(value);
      told.ungrouped = ungrouped->view();
      return separated;
    }
  }
  return value;
}

std::string_view view_of(const TextBufferPtr& text) {
  return text ? text->view() : std::string_view();
}

// Whether the document's text loses characters on its way to Latin-1, found out only for an
// observer, with that text.
void tell_losses(const FillContext& fill, const xmlChar* content, PlaceholderReport& told) {
  if (fill.run.observer != nullptr && output_loses(fill.xpath.text_codec(), content)) {
    told.lossy = true;
    told.source = reinterpret_cast<const char*>(content);
  }
}

std::string_view last_error_message() {
  const xmlError* error = xmlGetLastError();
  return error != nullptr && error->message != nullptr ? std::string_view(error->message)
                                                       : std::string_view();
}

// The element a bare-element placeholder names: its whole content, or what stands between the
// quotes of a content quoted whole ('cbc:Note'), which may then hold a prefix or a path. Taken
// as it is, a quoted content would make the expression //'cbc:Note', which is no location path.
std::string_view bare_element_name(std::string_view content) {
  const bool quoted_whole =
      content.size() >= 3 && (content.front() == '\'' || content.front() == '"') &&
      content.back() == content.front() &&
      content.substr(1, content.size() - 2).find_first_of("'\"") == std::string_view::npos;
  return quoted_whole ? content.substr(1, content.size() - 2) : content;
}

}  // namespace

FillStatus place_text(FillContext& fill, Span span, std::string_view text, bool encode,
                      PlaceholderReport* told) {
  TextBufferPtr encoded;
  if (encode && fill.run.settings.output_mode == OutputMode::Xml) {
    encoded = encode_entities(fill.xpath.get()->doc, text, fill.xpath.text_codec());
    if (encoded) {
      text = encoded->view();
    }
  }
  // A value never begins a line the renderer would take for a table line.
  const TextBufferPtr guarded = guarded_value(text, fill.scan.surroundings(span.start, span.end));
  if (guarded) {
    text = guarded->view();
  }
  if (told != nullptr && fill.run.observer != nullptr) {
    told->line = fill.scan.line();
    told->column = span.start;
    told->written = text;
    told->brought_in = fill.scan.brought_in(span.start, span.end);
    fill.run.observer->placeholder(*told);
  }
  // What the document gives is remembered where it stands: an environment placeholder in it is
  // a supplier's text, whose variable is never read.
  const bool from_document = told != nullptr && told->kind != PlaceholderKind::Environment;
  return fill.scan.place(span.start, span.end, text, from_document) ? FillStatus::Filled
                                                                    : FillStatus::OutOfMemory;
}

FillStatus fill_xpath_placeholder(FillContext& fill, const TextBuffer& content, Span span) {
  const std::string_view inner = content.view().substr(1, content.length() - 2);
  TextBufferPtr expression = text_buffer_from(inner);
  QualifyTrace trace;
  QualifyTrace* traced = fill.run.observer != nullptr ? &trace : nullptr;
  TextBufferPtr qualified =
      expression ? qualify_path_buffer(*expression, fill.xpath.default_namespace_bound, traced)
                 : TextBufferPtr();
  PlaceholderReport told;
  told.kind = PlaceholderKind::XPath;
  told.content = content.view();
  told.reason = ValueReason::NoNode;
  told.path = inner;
  told.qualification = traced;
  if (!qualified || !run_text_to_utf8(fill.xpath.text_codec(), qualified)) {
    return place_text(fill, span, "", true, &told);
  }
  told.expression = qualified->view();
  // The error line must describe this evaluation, not an older error of the run.
  xmlResetLastError();
  const Evaluation evaluation = evaluate_first(fill.xpath, qualified->data());
  if (evaluation.failed) {
    if (xmlGetLastError() != nullptr) {
      log_line(fill.run.log, log_messages::kXPathFailed);
      log_xml_error(fill.run.log);
      told.reason = ValueReason::ExpressionError;
      told.error = last_error_message();
    }
    return place_text(fill, span, "", true, &told);
  }
  xmlNode* node = evaluation.node;
  if (node == nullptr) {
    return place_text(fill, span, "", true, &told);
  }
  set_context_node(fill.xpath, node);
  XmlCharPtr node_content(xmlNodeGetContent(node));
  if (!node_content) {
    return place_text(fill, span, "", true, &told);
  }
  TextBufferPtr ungrouped;
  TextBufferPtr text =
      with_separators(fill, output_text(fill.xpath.text_codec(), node_content.get()),
                      content.view(), told, ungrouped);
  told.reason = ValueReason::Found;
  told.value = view_of(text);
  tell_losses(fill, node_content.get(), told);
  return place_text(fill, span, text ? text->view() : "", true, &told);
}

FillStatus fill_env_placeholder(FillContext& fill, const TextBuffer& content, Span span) {
  PlaceholderReport told;
  told.kind = PlaceholderKind::Environment;
  told.content = content.view();
  told.reason = ValueReason::VariableUnset;
  if (content.length() <= 2) {
    return place_text(fill, span, "", true, &told);
  }
  TextBufferPtr name = text_buffer_from(content.view().substr(1, content.length() - 2));
  told.expression = view_of(name);
  if (fill.scan.brought_in(span.start, span.end)) {
    // A document value brought it: the machine's environment is not the supplier's to read.
    told.reason = ValueReason::NotRead;
    return place_text(fill, span, "", true, &told);
  }
  const char* variable = name ? std::getenv(name->data()) : nullptr;
  if (variable == nullptr) {
    return place_text(fill, span, "", true, &told);
  }
  TextBufferPtr ungrouped;
  TextBufferPtr text =
      with_separators(fill, text_buffer_from(variable), content.view(), told, ungrouped);
  told.reason = ValueReason::Found;
  told.value = view_of(text);
  return place_text(fill, span, text ? text->view() : "", true, &told);
}

FillStatus fill_element_placeholder(FillContext& fill, const TextBuffer& content, Span span) {
  const std::string_view name = bare_element_name(content.view());
  TextBufferPtr path = text_buffer_from("//");
  if (!path || !text_buffer_append_bytes(path, name.data(), name.size())) {
    return place_text(fill, span, "", false) == FillStatus::Filled ? FillStatus::ElementFailed
                                                                   : FillStatus::OutOfMemory;
  }
  QualifyTrace trace;
  QualifyTrace* traced = fill.run.observer != nullptr ? &trace : nullptr;
  TextBufferPtr qualified = qualify_path_buffer(*path, fill.xpath.default_namespace_bound, traced);
  const Evaluation evaluation = qualified && run_text_to_utf8(fill.xpath.text_codec(), qualified)
                                    ? evaluate_first(fill.xpath, qualified->data())
                                    : Evaluation{};
  xmlNode* node = evaluation.node;
  PlaceholderReport told;
  told.kind = PlaceholderKind::BareElement;
  told.content = content.view();
  told.element = name;
  told.expression = view_of(qualified);
  told.reason = ValueReason::NoNode;
  told.path = path->view();
  told.qualification = traced;
  if (node == nullptr) {
    const FillStatus placed = place_text(fill, span, "", false, &told);
    log_line(fill.run.log, log_messages::kElementNotReplaced);
    log_detail(fill.run.log, path->data());
    return placed;
  }
  set_context_node(fill.xpath, node);
  XmlCharPtr node_content(xmlNodeGetContent(node));
  TextBufferPtr value =
      node_content ? output_text(fill.xpath.text_codec(), node_content.get()) : TextBufferPtr();
  if (!value) {
    told.reason = ValueReason::NoContent;
    return place_text(fill, span, "", false, &told) == FillStatus::Filled
               ? FillStatus::ElementFailed
               : FillStatus::OutOfMemory;
  }
  TextBufferPtr ungrouped;
  TextBufferPtr text = with_separators(fill, std::move(value), name, told, ungrouped);
  told.reason = ValueReason::Found;
  told.value = view_of(text);
  tell_losses(fill, node_content.get(), told);
  return place_text(fill, span, text ? text->view() : "", false, &told);
}

}  // namespace ruvo
