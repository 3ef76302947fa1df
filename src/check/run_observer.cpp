#include "check/run_observer.h"

#include <algorithm>

#include "xml/run_text.h"

namespace ruvo::check {

namespace {

// Expressions reach libxml2 in UTF-8; findings hold the run's encoding, like the template they
// quote.
Text run_text_of(const TextCodec& codec, std::string_view utf8) {
  const Text terminated(utf8);
  TextBufferPtr text = output_text(codec, reinterpret_cast<const xmlChar*>(terminated.c_str()));
  return text ? Text(text->view()) : Text();
}

}  // namespace

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

RunObserver::RunObserver(const LineList& template_lines, const TextCodec& codec,
                         std::size_t mark_bytes)
    : codec_(codec), mark_bytes_(mark_bytes) {
  std::size_t number = 0;
  for (const Line& line : template_lines.lines()) {
    numbers_.emplace(&line, ++number);
    texts_.emplace_back(line.view());
  }
}

Place RunObserver::place_of(const Line* line, std::size_t column, std::string_view content) const {
  const auto found = numbers_.find(line);
  if (found == numbers_.end()) {
    return {last_line_, 0};
  }
  last_line_ = found->second;
  const Text& original = texts_[found->second - 1];
  const Text written = "<<" + Text(content) + ">>";
  const std::size_t before = found->second == 1 ? mark_bytes_ : 0;
  if (column <= original.size() && original.compare(column, written.size(), written) == 0) {
    return {found->second, before + column + 1};
  }
  // Values placed before it on the line moved it: its first spelling in the line as written.
  const std::size_t at = original.find(written);
  return {found->second, at == Text::npos ? 0 : before + at + 1};
}

void RunObserver::placeholder(const PlaceholderReport& report) {
  PlaceholderRecord& record = placeholders_.emplace_back();
  record.kind = report.kind;
  record.place = place_of(report.line, report.column, report.content);
  if (report.brought_in) {
    record.place.column = 0;  // it stands nowhere in the template, whatever text it shares
  }
  record.content = Text(report.content);
  record.expression = report.kind == PlaceholderKind::Environment
                          ? Text(report.expression)
                          : run_text_of(codec_, report.expression);
  record.element = Text(report.element);
  record.attribute = Text(report.attribute);
  record.reason = report.reason;
  record.value = Text(report.value);
  record.written = Text(report.written);
  record.error = run_text_of(codec_, report.error);
  record.grouped = report.grouped;
  record.ungrouped = Text(report.ungrouped);
  record.comma_entry = report.comma_entry;
  record.brought_in = report.brought_in;
  record.lossy = report.lossy;
  record.lost = report.lossy ? characters_lost(report.source, codec_) : Text();
  record.lost_source = report.lossy ? Text(report.source) : Text();
  if (report.qualification != nullptr) {
    record.path = Text(report.path);
    record.qualification.steps = report.qualification->steps;
    record.qualification.collapsed = report.qualification->collapsed;
    record.qualification.default_namespace = report.qualification->default_namespace;
    record.qualification.complete = report.qualification->complete;
    record.qualified = true;
  }
  events_.push_back({false, placeholders_.size() - 1});
}

void RunObserver::table_started(const TableStart& start) {
  TableRecord& table = tables_.emplace_back();
  table.kind = start.kind;
  table.place = place_of(start.line, start.column, start.name);
  table.name = Text(start.name);
  table.section = start.section;
  events_.push_back({true, tables_.size() - 1});
  table_line_ = start.line;
}

void RunObserver::table_definition_error(int section_line) {
  tables_.back().definition_error = section_line;
}

LevelRecord& RunObserver::level(std::size_t index) {
  List<LevelRecord>& levels = tables_.back().levels;
  while (levels.size() <= index) {
    levels.emplace_back();
  }
  return levels[index];
}

void RunObserver::table_level(std::size_t index, std::string_view searched) {
  level(index).searched = run_text_of(codec_, searched);
}

void RunObserver::table_row(std::size_t index) {
  ++level(index).rows;
}

void RunObserver::table_cell(const CellReport& cell) {
  constexpr std::size_t kMostKept = UINT16_MAX;
  tables_.back().cells.push_back({static_cast<std::uint16_t>(std::min(cell.level, kMostKept)),
                                  static_cast<std::uint16_t>(std::min(cell.field, kMostKept)),
                                  cell.source, cell.grouped, cell.lossy});
  LevelRecord& row_level = level(cell.level);
  while (row_level.fields.size() <= cell.field) {
    row_level.fields.emplace_back();
  }
  FieldTally& tally = row_level.fields[cell.field];
  switch (cell.source) {
    case CellSource::Read:
      ++tally.read;
      break;
    case CellSource::Carried:
      if (tally.carried++ == 0) {
        tally.first_carried_row = row_level.rows;
      }
      break;
    case CellSource::Missing:
      ++tally.missing;
      break;
  }
  tally.lossy += cell.lossy ? 1 : 0;
  tally.line_ends += cell.line_ends ? 1 : 0;
  if (!cell.ungrouped.empty() && tally.first_ungrouped.empty() &&
      !is_plain_number(cell.ungrouped)) {
    tally.first_grouped = Text(cell.value);
    tally.first_ungrouped = Text(cell.ungrouped);
    tally.first_entry = cell.comma_entry;
  }
  // Enough of the lossy cells' texts to name what they lose, however many rows there are.
  constexpr std::size_t kLostTextKept = 4096;
  if (cell.lossy && tally.lost_texts.size() < kLostTextKept) {
    tally.lost_texts += cell.text;
  }
  tally.grouped = tally.grouped || cell.grouped;
}

void RunObserver::table_ended(bool expanded, std::size_t lines_written) {
  if (expanded) {
    // The table's line is released, and its address may serve a later line.
    numbers_.erase(table_line_);
  }
  tables_.back().expanded = expanded;
  tables_.back().lines_written = lines_written;
}

void RunObserver::comma_entry_matched(const Line* entry) {
  comma_used_.insert(entry);
}

}  // namespace ruvo::check
