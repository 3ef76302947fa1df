// The observer ruvo-check installs while the template is filled: it keeps what every
// placeholder and table did, placed at its line and column of the template file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "base/fill_observer.h"
#include "check/findings.h"
#include "text/line_list.h"
#include "text/text_codec.h"
#include "xml/qualify.h"

namespace ruvo::check {

// The name findings and pages give a kind: "xpath", "element-attribute", "bare-element", ...
const char* kind_name(PlaceholderKind kind);

// Where a placeholder stands in the template file. A placeholder that a value brought in (a
// value holding "<<...>>") or that stands in a table's lines has no column of its own: it is
// given the line it came from and column 0.
struct Place {
  std::size_t line = 0;
  std::size_t column = 0;
};

struct PlaceholderRecord {
  PlaceholderKind kind = PlaceholderKind::Empty;
  Place place;
  Text content;
  Text expression;  // Latin-1, as every text of a finding
  Text element;     // the scanner's names, quotes removed (see PlaceholderReport)
  Text attribute;
  ValueReason reason = ValueReason::Found;
  Text value;    // Latin-1
  Text written;  // as the output has it (entity-encoded in Xml mode)
  Text error;    // libxml2's message, Latin-1
  bool grouped = false;
  Text ungrouped;                     // the value before the thousands separators, when grouped
  const Line* comma_entry = nullptr;  // the COMMA_INSERT line that matched, when grouped
  bool lossy = false;
  Text lost;                // the characters lost, by code point (characters_lost)
  Text lost_source;         // the document's text (UTF-8) they were lost from
  bool brought_in = false;  // it came with a document value placed before on its line
  // The path qualification read and what it did to it, for XPath and bare-element placeholders.
  Text path;
  QualifyTrace qualification;
  bool qualified = false;
};

struct FieldTally {
  std::size_t read = 0;
  std::size_t carried = 0;
  std::size_t missing = 0;
  std::size_t lossy = 0;
  Text lost_texts;                    // the document's texts (UTF-8) of the first lossy cells
  std::size_t line_ends = 0;          // rows whose value held line ends
  std::size_t first_carried_row = 0;  // from 1
  bool grouped = false;
  // The first grouped value that is no plain number, its text before the separators and the
  // COMMA_INSERT line that matched.
  Text first_grouped;
  Text first_ungrouped;
  const Line* first_entry = nullptr;
};

struct LevelRecord {
  Text searched;  // the first level's expression; a later level's name (Latin-1)
  std::size_t rows = 0;
  List<FieldTally> fields;
};

// One cell the table wrote, in the order of its value lines: what a drawing of the output
// tells of it.
struct CellRecord {
  std::uint16_t level = 0;
  std::uint16_t field = 0;
  CellSource source = CellSource::Read;
  bool grouped = false;
  bool lossy = false;
};

struct TableRecord {
  PlaceholderKind kind = PlaceholderKind::ColumnTable;
  Place place;
  Text name;
  const LineList* section = nullptr;
  int definition_error = -1;  // the section's line at fault (0: no field line); -1 for none
  List<LevelRecord> levels;
  List<CellRecord> cells;
  bool expanded = false;
  std::size_t lines_written = 0;
};

// One placeholder or one table, in the order the scan met them.
struct Event {
  bool is_table = false;
  std::size_t index = 0;
};

class RunObserver final : public FillObserver {
 public:
  // The template's lines before the fill, numbered from 1; the texts are kept to find columns,
  // which count the file's bytes: mark_bytes were dropped from the first line before the fill.
  // The document's texts are recorded in the run's encoding.
  RunObserver(const LineList& template_lines, const TextCodec& codec, std::size_t mark_bytes = 0);

  void placeholder(const PlaceholderReport& report) override;
  void table_started(const TableStart& start) override;
  void table_definition_error(int section_line) override;
  void table_level(std::size_t index, std::string_view searched) override;
  void table_row(std::size_t index) override;
  void table_cell(const CellReport& cell) override;
  void table_ended(bool expanded, std::size_t lines_written) override;
  void comma_entry_matched(const Line* entry) override;

  const List<Event>& events() const { return events_; }
  const List<PlaceholderRecord>& placeholders() const { return placeholders_; }
  const List<TableRecord>& tables() const { return tables_; }
  // The template's lines as they were before the fill, from line 1 (a byte-order mark dropped).
  const List<Text>& template_texts() const { return texts_; }
  std::size_t mark_bytes() const { return mark_bytes_; }
  bool comma_entry_used(const Line* entry) const { return comma_used_.count(entry) > 0; }

 private:
  Place place_of(const Line* line, std::size_t column, std::string_view content) const;
  LevelRecord& level(std::size_t index);

  using LineNumbers =
      std::unordered_map<const Line*, std::size_t, std::hash<const Line*>, std::equal_to<>,
                         TrackedAllocator<std::pair<const Line* const, std::size_t>>>;
  const TextCodec& codec_;
  std::size_t mark_bytes_;
  LineNumbers numbers_;
  List<Text> texts_;  // the template's lines as they were, from line 1
  mutable std::size_t last_line_ = 1;
  const Line* table_line_ = nullptr;  // the line of the table being expanded
  List<Event> events_;
  List<PlaceholderRecord> placeholders_;
  List<TableRecord> tables_;
  std::unordered_set<const Line*, std::hash<const Line*>, std::equal_to<>,
                     TrackedAllocator<const Line*>>
      comma_used_;
};

}  // namespace ruvo::check
