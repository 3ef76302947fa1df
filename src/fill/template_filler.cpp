#include "fill/template_filler.h"

#include "base/process_state.h"
#include "base/run_log.h"
#include "config/thousands.h"
#include "fill/single_value.h"
#include "tables/column_table.h"
#include "tables/master_table.h"
#include "xml/value_lookup.h"

namespace ruvo {

namespace {

constexpr const char* kQuotes = "\"'";

bool is_quote(char c) {
  return c == '"' || c == '\'';
}

// The line's first colon outside quotes, searched from the placeholder's "<<" with one quote
// state that either quote character flips; npos when none stands before close. Only a colon
// inside the placeholder makes it an element:attribute pair, so the search stops at its ">>".
std::size_t separator_colon(std::string_view line, std::size_t open, std::size_t close) {
  bool quoted = false;
  for (std::size_t i = open; i < close; ++i) {
    if (is_quote(line[i])) {
      quoted = !quoted;
    } else if (line[i] == ':' && !quoted) {
      return i;
    }
  }
  return std::string_view::npos;
}

FillStatus fill_pair_placeholder(FillContext& fill, std::string_view line, std::size_t colon,
                                 std::size_t close, Span span) {
  const std::size_t content_start = span.start + 2;
  TextBufferPtr element =
      text_remove_chars(line.substr(content_start, colon - content_start), kQuotes);
  TextBufferPtr attribute = text_remove_chars(line.substr(colon + 1, close - colon - 1), kQuotes);
  if (!element || !attribute) {
    return FillStatus::OutOfMemory;
  }
  FillObserver* observer = fill_observer();
  LookupTrace trace;
  TextBufferPtr value = lookup_value(fill.xpath, element->data(), attribute->data(),
                                     observer != nullptr ? &trace : nullptr);
  PlaceholderReport told;
  told.kind = PlaceholderKind::Pair;
  told.line = fill.scan.line();
  told.column = span.start;
  told.content = line.substr(content_start, close - content_start);
  told.element = element->view();
  told.attribute = attribute->view();
  if (!value) {
    if (observer != nullptr) {
      told.expression = trace.expression ? trace.expression->view() : std::string_view();
      told.reason = trace.expression ? ValueReason::NoNode : ValueReason::NameTooLong;
      observer->placeholder(told);
    }
    return place_text(fill, span, "", true);
  }
  if (is_comma_pair(fill.comma_section, element->view(), attribute->view())) {
    TextBufferPtr grouped = format_thousands(value->data());
    if (grouped) {
      value = std::move(grouped);
      told.grouped = true;
    }
  }
  if (observer != nullptr) {
    told.expression = trace.expression ? trace.expression->view() : std::string_view();
    told.value = value->view();
    told.lossy = trace.lossy;
    observer->placeholder(told);
  }
  return place_text(fill, span, value->view(), true);
}

// Tells the observer, when there is one, about a table and what it did to the template.
class TableTold {
 public:
  TableTold(const FillContext& fill, PlaceholderKind kind, const TextBuffer& name,
            const LineList* section, std::size_t column)
      : observer_(fill_observer()), lines_(fill.template_lines) {
    if (observer_ != nullptr) {
      observer_->table_started({kind, fill.scan.line(), column, name.view(), section});
      count_before_ = lines_->count;
    }
  }
  void ended(TableResult result) {
    if (observer_ != nullptr) {
      const bool expanded = result == TableResult::Expanded;
      // The placeholder's line gave way to the table's lines.
      const auto written = expanded ? lines_->count - count_before_ + 1 : 0;
      observer_->table_ended(expanded, static_cast<std::size_t>(written));
    }
  }

 private:
  FillObserver* observer_;
  const LineList* lines_;
  decltype(LineList::count) count_before_ = 0;
};

// Where the scan goes after a placeholder: the same line again from its first character, the
// line a table ended on, the next line, or the end of the run.
enum class Step { SameLine, TableEnd, NextLine, Failed, OutOfMemory };

Step after_table(TableResult result) {
  // A table left in place (a faulty definition, no memory) is passed over with its line.
  return result == TableResult::Expanded ? Step::TableEnd : Step::NextLine;
}

Step after_value(FillStatus status) {
  switch (status) {
    case FillStatus::Filled:
      return Step::SameLine;
    case FillStatus::ElementFailed:
      return Step::Failed;
    case FillStatus::OutOfMemory:
      break;
  }
  return Step::OutOfMemory;
}

// Fills the first placeholder of the cursor line.
Step fill_placeholder(FillContext& fill, const SectionList* column_sections,
                      const SectionList* master_sections, const TextBuffer& content,
                      std::size_t close, Span span) {
  const std::string_view text = content.view();
  if (text.front() == '{' && text.back() == '}') {
    return after_value(fill_xpath_placeholder(fill, content, span));
  }
  if (text.front() == '%' && text.back() == '%') {
    return after_value(fill_env_placeholder(fill, content, span));
  }
  const std::string_view line = fill.scan.text();
  const std::size_t colon = separator_colon(line, span.start, close);
  if (colon != std::string_view::npos) {
    return after_value(fill_pair_placeholder(fill, line, colon, close, span));
  }
  LineList* columns = find_section(content.data(), column_sections);
  LineList* masters = columns == nullptr ? find_section(content.data(), master_sections) : nullptr;
  if (columns == nullptr && masters == nullptr) {
    return after_value(fill_element_placeholder(fill, content, span));
  }
  // A table reads its whole line: what was kept apart goes into it first.
  if (!fill.scan.make_whole()) {
    return Step::OutOfMemory;
  }
  TableTold told(fill,
                 columns != nullptr ? PlaceholderKind::ColumnTable : PlaceholderKind::MasterTable,
                 content, columns != nullptr ? columns : masters, span.start);
  const TableResult result =
      columns != nullptr ? expand_column_table(content.data(), fill.template_lines, fill.output,
                                               fill.xpath, columns, fill.comma_section)
                         : expand_master_table(fill.xpath, fill.template_lines, fill.output,
                                               masters, fill.comma_section, content.data());
  told.ended(result);
  return after_table(result);
}

// Fills the next placeholder of the scanned line, or finds that it has none, and says where the
// scan goes on. A failure is logged here, where the placeholder is known.
Step scan_next(FillContext& fill, const SectionList* column_sections,
               const SectionList* master_sections) {
  ScanLine& scan = fill.scan;
  const std::string_view text = scan.text();
  const std::size_t open = text.find("<<", scan.resume());
  const std::size_t close = open == std::string_view::npos ? open : text.find(">>", open);
  if (close == std::string_view::npos) {
    return Step::NextLine;
  }
  const Span span{open, close + 1};
  TextBufferPtr content = text_buffer_from(text.substr(open + 2, close - open - 2));
  if (!content) {
    return Step::OutOfMemory;
  }
  if (scan.handled() == kMaxPlaceholdersPerLine) {
    if (!scan.make_whole()) {
      return Step::OutOfMemory;
    }
    log_line(run_log(),
             "WARNING: Limite de reemplazos alcanzado en la linea; el resto de la "
             "linea queda sin llenar:");
    log_detail(run_log(), content->data());
    if (FillObserver* observer = fill_observer()) {
      PlaceholderReport told;
      told.line = scan.line();
      told.column = open;
      told.content = content->view();
      told.reason = ValueReason::LineLimit;
      observer->placeholder(told);
    }
    return Step::NextLine;
  }
  scan.count_handled();
  if (content->length() == 0) {
    if (FillObserver* observer = fill_observer()) {
      PlaceholderReport told;
      told.line = scan.line();
      told.column = open;
      observer->placeholder(told);
    }
  }
  const Step step =
      content->length() == 0
          ? after_value(place_text(fill, span, "", false))
          : fill_placeholder(fill, column_sections, master_sections, *content, close, span);
  if (step == Step::Failed) {
    // The template keeps every replacement made, this one included.
    log_line(run_log(), format_message("ERROR: El archivo de configuraci\363n no contiene "
                                       "definici\363n para master table [%s]",
                                       content->data()));
  }
  return step;
}

FillOutcome out_of_memory() {
  log_line(run_log(), "ERROR: Memoria insuficiente para llenar la plantilla.");
  return FillOutcome::Failed;
}

}  // namespace

FillOutcome fill_template(xmlDoc* document, LineList* template_lines, LineList* comma_section,
                          const SectionList* column_sections, const SectionList* master_sections,
                          OutputFile* output, const NamespaceDeclarations* declarations) {
  XPathContext xpath = make_xpath_context(document, declarations);
  if (!xpath.handle) {
    return out_of_memory();
  }
  // Whatever way the scan ends, the line it stands on is made whole (see fill/scan_line.h).
  ScanLine scan(line_list_rewind(template_lines));
  FillContext fill{xpath, template_lines, comma_section, output, scan};
  while (scan.line() != nullptr) {
    switch (scan_next(fill, column_sections, master_sections)) {
      case Step::SameLine:
        break;
      case Step::TableEnd:
        // The scan goes on from the table's last line.
        if (!scan.move_to(line_list_current(template_lines))) {
          return out_of_memory();
        }
        break;
      case Step::NextLine:
        if (!scan.move_to(line_list_next(template_lines))) {
          return out_of_memory();
        }
        break;
      case Step::Failed:
        return FillOutcome::Failed;
      case Step::OutOfMemory:
        return out_of_memory();
    }
  }
  return FillOutcome::Filled;
}

}  // namespace ruvo
