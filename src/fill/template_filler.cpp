#include "fill/template_filler.h"

#include "base/log_messages.h"
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

// A half of a pair with its quotes removed: the text itself when it holds none (most do), else a
// copy made in kept; false when memory for the copy is short.
bool unquoted(std::string_view half, TextBufferPtr& kept, std::string_view& name) {
  if (half.find('"') == std::string_view::npos && half.find('\'') == std::string_view::npos) {
    name = half;
    return true;
  }
  kept = text_remove_chars(half, kQuotes);
  name = kept ? kept->view() : std::string_view();
  return kept != nullptr;
}

FillStatus fill_pair_placeholder(FillContext& fill, std::string_view line, std::size_t colon,
                                 std::size_t close, Span span) {
  const std::size_t content_start = span.start + 2;
  TextBufferPtr element_copy;
  TextBufferPtr attribute_copy;
  std::string_view element;
  std::string_view attribute;
  if (!unquoted(line.substr(content_start, colon - content_start), element_copy, element) ||
      !unquoted(line.substr(colon + 1, close - colon - 1), attribute_copy, attribute)) {
    return FillStatus::OutOfMemory;
  }
  FillObserver* observer = fill.run.observer;
  LookupTrace trace;
  TextBufferPtr value =
      lookup_value(fill.xpath, element, attribute, observer != nullptr ? &trace : nullptr);
  PlaceholderReport told;
  told.kind = PlaceholderKind::Pair;
  told.content = line.substr(content_start, close - content_start);
  told.element = element;
  told.attribute = attribute;
  told.expression = trace.expression ? trace.expression->view() : std::string_view();
  if (!value) {
    told.reason = trace.expression ? ValueReason::NoNode : ValueReason::NameTooLong;
    return place_text(fill, span, "", true, &told);
  }
  TextBufferPtr ungrouped;
  if (const Line* entry = fill.comma.pair_entry(element, attribute, observer)) {
    TextBufferPtr grouped = format_thousands(value->data(), fill.xpath.text_codec());
    told.comma_entry = entry;
    if (grouped) {
      ungrouped = std::move(value);
      told.ungrouped = ungrouped->view();
      value = std::move(grouped);
      told.grouped = true;
    }
  }
  told.value = value->view();
  told.lossy = trace.lossy;
  told.source = trace.source ? trace.source->view() : std::string_view();
  return place_text(fill, span, value->view(), true, &told);
}

// Tells the observer, when there is one, about a table and what it did to the template.
class TableTold {
 public:
  TableTold(const FillContext& fill, PlaceholderKind kind, const TextBuffer& name,
            const LineList* section, std::size_t column)
      : observer_(fill.run.observer), lines_(fill.template_lines) {
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
Step fill_placeholder(FillContext& fill, const Configuration& configuration,
                      const TextBuffer& content, std::size_t close, Span span) {
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
  LineList* columns = find_section(content.data(), configuration.column_sections());
  LineList* masters =
      columns == nullptr ? find_section(content.data(), configuration.master_sections()) : nullptr;
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
                                               fill.xpath, columns, fill.comma, fill.run)
                         : expand_master_table(fill.xpath, fill.template_lines, fill.output,
                                               masters, fill.comma, content.data(), fill.run);
  told.ended(result);
  return after_table(result);
}

// Fills the next placeholder of the scanned line, or finds that it has none, and says where the
// scan goes on. A failure is logged here, where the placeholder is known.
Step scan_next(FillContext& fill, const Configuration& configuration) {
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
    log_line(fill.run.log, log_messages::kLineLimitReached);
    log_detail(fill.run.log, content->data());
    if (FillObserver* observer = fill.run.observer) {
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
    if (FillObserver* observer = fill.run.observer) {
      PlaceholderReport told;
      told.line = scan.line();
      told.column = open;
      observer->placeholder(told);
    }
  }
  const Step step = content->length() == 0
                        ? after_value(place_text(fill, span, "", false))
                        : fill_placeholder(fill, configuration, *content, close, span);
  if (step == Step::Failed) {
    // The template keeps every replacement made, this one included.
    log_line(fill.run.log, format_message(log_messages::kNoMasterDefinition, content->data()));
  }
  return step;
}

FillOutcome out_of_memory(RunLog* log) {
  log_line(log, log_messages::kFillOutOfMemory);
  return FillOutcome::Failed;
}

}  // namespace

FillOutcome fill_template(xmlDoc* document, LineList* template_lines,
                          const Configuration& configuration, const RunEnvironment& run,
                          OutputFile* output, const DocumentNotes* notes) {
  XPathContext xpath = make_xpath_context(document, notes);
  if (!xpath.handle) {
    return out_of_memory(run.log);
  }
  xpath.codec = run.codec;
  // Whatever way the scan ends, the line it stands on is made whole (see fill/scan_line.h).
  ScanLine scan(line_list_rewind(template_lines));
  FillContext fill{run, xpath, template_lines, configuration.comma_insert(), output, scan};
  while (scan.line() != nullptr) {
    switch (scan_next(fill, configuration)) {
      case Step::SameLine:
        break;
      case Step::TableEnd:
        // The scan goes on from the table's last line.
        if (!scan.move_to(line_list_current(template_lines))) {
          return out_of_memory(run.log);
        }
        break;
      case Step::NextLine:
        if (!scan.move_to(line_list_next(template_lines))) {
          return out_of_memory(run.log);
        }
        break;
      case Step::Failed:
        return FillOutcome::Failed;
      case Step::OutOfMemory:
        return out_of_memory(run.log);
    }
  }
  return FillOutcome::Filled;
}

}  // namespace ruvo
