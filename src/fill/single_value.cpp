#include "fill/single_value.h"

#include <libxml/xmlerror.h>

#include <cstdlib>

#include "base/process_state.h"
#include "base/run_log.h"
#include "config/thousands.h"
#include "xml/entity_encoding.h"
#include "xml/latin1.h"
#include "xml/qualify.h"

namespace ruvo {

namespace {

// The value as it is placed: grouped by thousands when the section lists the key. When the
// grouping cannot be had for lack of memory, the value is placed as it is.
TextBufferPtr with_separators(TextBufferPtr value, LineList* comma_section, std::string_view key,
                              bool& grouped) {
  grouped = false;
  if (value && is_comma_text(comma_section, key)) {
    TextBufferPtr separated = format_thousands(value->data());
    if (separated) {
      grouped = true;
      return separated;
    }
  }
  return value;
}

// Tells the observer, when there is one, what became of the placeholder.
void report(const FillContext& fill, Span span, PlaceholderReport report) {
  if (FillObserver* observer = fill_observer()) {
    report.line = fill.scan.line();
    report.column = span.start;
    observer->placeholder(report);
  }
}

std::string_view view_of(const TextBufferPtr& text) {
  return text ? text->view() : std::string_view();
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

FillStatus place_text(FillContext& fill, Span span, std::string_view text, bool encode) {
  TextBufferPtr encoded;
  if (encode && run_settings().output_mode == OutputMode::Xml) {
    encoded = encode_entities(fill.xpath.get()->doc, text);
    if (encoded) {
      text = encoded->view();
    }
  }
  return fill.scan.place(span.start, span.end, text) ? FillStatus::Filled : FillStatus::OutOfMemory;
}

FillStatus fill_xpath_placeholder(FillContext& fill, const TextBuffer& content, Span span) {
  const std::string_view inner = content.view().substr(1, content.length() - 2);
  TextBufferPtr expression = text_buffer_from(inner);
  TextBufferPtr qualified =
      expression ? qualify_path_buffer(*expression, fill.xpath.default_namespace_bound)
                 : TextBufferPtr();
  PlaceholderReport told;
  told.kind = PlaceholderKind::XPath;
  told.content = content.view();
  told.reason = ValueReason::NoNode;
  if (!qualified || !latin1_to_utf8_in_place(qualified)) {
    report(fill, span, told);
    return place_text(fill, span, "", true);
  }
  told.expression = qualified->view();
  // The error line must describe this evaluation, not an older error of the run.
  xmlResetLastError();
  const Evaluation evaluation = evaluate_first(fill.xpath, qualified->data());
  if (evaluation.failed) {
    if (xmlGetLastError() != nullptr) {
      log_line(run_log(), "WARNING: La instruccion XPATH no gener\363 resultados");
      log_xml_error(run_log());
      told.reason = ValueReason::ExpressionError;
      told.error = last_error_message();
    }
    report(fill, span, told);
    return place_text(fill, span, "", true);
  }
  xmlNode* node = evaluation.node;
  if (node == nullptr) {
    report(fill, span, told);
    return place_text(fill, span, "", true);
  }
  set_context_node(fill.xpath, node);
  XmlCharPtr node_content(xmlNodeGetContent(node));
  if (!node_content) {
    report(fill, span, told);
    return place_text(fill, span, "", true);
  }
  TextBufferPtr text = with_separators(content_to_latin1(node_content.get()), fill.comma_section,
                                       content.view(), told.grouped);
  told.reason = ValueReason::Found;
  told.value = view_of(text);
  told.lossy = fill_observer() != nullptr && loses_characters(node_content.get());
  report(fill, span, told);
  return place_text(fill, span, text ? text->view() : "", true);
}

FillStatus fill_env_placeholder(FillContext& fill, const TextBuffer& content, Span span) {
  PlaceholderReport told;
  told.kind = PlaceholderKind::Environment;
  told.content = content.view();
  told.reason = ValueReason::VariableUnset;
  if (content.length() <= 2) {
    report(fill, span, told);
    return place_text(fill, span, "", true);
  }
  TextBufferPtr name = text_buffer_from(content.view().substr(1, content.length() - 2));
  told.expression = view_of(name);
  const char* variable = name ? std::getenv(name->data()) : nullptr;
  if (variable == nullptr) {
    report(fill, span, told);
    return place_text(fill, span, "", true);
  }
  TextBufferPtr text =
      with_separators(text_buffer_from(variable), fill.comma_section, content.view(), told.grouped);
  told.reason = ValueReason::Found;
  told.value = view_of(text);
  report(fill, span, told);
  return place_text(fill, span, text ? text->view() : "", true);
}

FillStatus fill_element_placeholder(FillContext& fill, const TextBuffer& content, Span span) {
  const std::string_view name = bare_element_name(content.view());
  TextBufferPtr path = text_buffer_from("//");
  if (!path || !text_buffer_append_bytes(path, name.data(), name.size())) {
    return place_text(fill, span, "", false) == FillStatus::Filled ? FillStatus::ElementFailed
                                                                   : FillStatus::OutOfMemory;
  }
  TextBufferPtr qualified = qualify_path_buffer(*path, fill.xpath.default_namespace_bound);
  const Evaluation evaluation = qualified && latin1_to_utf8_in_place(qualified)
                                    ? evaluate_first(fill.xpath, qualified->data())
                                    : Evaluation{};
  xmlNode* node = evaluation.node;
  PlaceholderReport told;
  told.kind = PlaceholderKind::BareElement;
  told.content = content.view();
  told.element = name;
  told.expression = view_of(qualified);
  told.reason = ValueReason::NoNode;
  if (node == nullptr) {
    report(fill, span, told);
    const FillStatus placed = place_text(fill, span, "", false);
    log_line(run_log(), "WARNING: Error al reemplazar elemento:");
    log_detail(run_log(), path->data());
    return placed;
  }
  set_context_node(fill.xpath, node);
  XmlCharPtr node_content(xmlNodeGetContent(node));
  TextBufferPtr value = node_content ? content_to_latin1(node_content.get()) : TextBufferPtr();
  if (!value) {
    told.reason = ValueReason::NoContent;
    report(fill, span, told);
    return place_text(fill, span, "", false) == FillStatus::Filled ? FillStatus::ElementFailed
                                                                   : FillStatus::OutOfMemory;
  }
  TextBufferPtr text = with_separators(std::move(value), fill.comma_section, name, told.grouped);
  told.reason = ValueReason::Found;
  told.value = view_of(text);
  told.lossy = fill_observer() != nullptr && loses_characters(node_content.get());
  report(fill, span, told);
  return place_text(fill, span, text ? text->view() : "", false);
}

}  // namespace ruvo
