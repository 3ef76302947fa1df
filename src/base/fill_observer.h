// What the fill and the tables did, told as they do it to an observer: the converter installs
// none, so its runs pay one test of a null pointer per report; ruvo-check installs one to explain
// a run from the run itself.
#pragma once

#include <cstddef>
#include <string_view>

namespace ruvo {

struct Line;
struct LineList;
struct QualifyTrace;

// The kind the scanner made of a placeholder.
enum class PlaceholderKind {
  Empty,
  XPath,
  Environment,
  Pair,
  ColumnTable,
  MasterTable,
  BareElement
};

// Why a single value is what it is.
enum class ValueReason {
  Found,            // a node or the variable gave the value
  NoNode,           // the expression selected no node, or gave a number, string or boolean
  ExpressionError,  // libxml2 refused the expression; the report's error says why
  VariableUnset,    // the environment has no such variable
  NameTooLong,      // element:attribute too long to make an expression of
  NoContent,        // the element found has no text to give: the run ends with a failure
  LineLimit,        // the line reached its limit of placeholders: the rest stays unfilled
  NotRead,          // an environment placeholder that a document value brought: not read
};

struct PlaceholderReport {
  PlaceholderKind kind = PlaceholderKind::Empty;
  const Line* line = nullptr;   // the template line scanned
  std::size_t column = 0;       // where its "<<" stands in the line's own text
  std::string_view content;     // between "<<" and ">>"
  std::string_view expression;  // what was evaluated, qualified and in UTF-8; the variable's name
  // The names as the scanner read them, quotes removed: an element:attribute placeholder's
  // element and attribute, a bare element's name (element).
  std::string_view element;
  std::string_view attribute;
  ValueReason reason = ValueReason::Found;
  std::string_view value;             // the text placed, Latin-1, before entity encoding
  std::string_view written;           // the same as the output has it (entity-encoded in Xml mode)
  std::string_view error;             // libxml2's message, for ExpressionError
  bool grouped = false;               // thousands separators applied
  std::string_view ungrouped;         // the value before them (trimmed), when they were
  const Line* comma_entry = nullptr;  // the COMMA_INSERT line that listed it, when they were
  bool lossy = false;                 // the document's text held characters Latin-1 cannot hold
  std::string_view source;            // that text, UTF-8, when lossy
  // The path qualification read (an XPath placeholder's expression, "//" and a bare element's
  // name), and what qualification did to it (xml/qualify.h); none for the other kinds.
  std::string_view path;
  const QualifyTrace* qualification = nullptr;
  bool brought_in = false;  // its text came (in part) with a document value placed before
};

struct TableStart {
  PlaceholderKind kind = PlaceholderKind::ColumnTable;
  const Line* line = nullptr;
  std::size_t column = 0;
  std::string_view name;
  const LineList* section = nullptr;  // the configuration section that defines it
};

// Where one cell's value came from.
enum class CellSource {
  Read,     // the row's element gave it
  Carried,  // a column table's element lacked it: the value of an earlier row was kept
  Missing,  // no value: an empty cell
};

struct CellReport {
  std::size_t level = 0;  // 0 for a column table; a master table's level, from 0
  std::size_t field = 0;  // the field's place in its level, from 0
  CellSource source = CellSource::Read;
  bool grouped = false;
  bool lossy = false;
  std::string_view text;              // the document's text (UTF-8) of a lossy cell
  bool line_ends = false;             // its value held line ends, written as blanks
  std::string_view value;             // the value placed, when grouped
  std::string_view ungrouped;         // the value before the thousands separators, when grouped
  const Line* comma_entry = nullptr;  // the COMMA_INSERT line that listed the field
};

class FillObserver {
 public:
  FillObserver() = default;
  FillObserver(const FillObserver&) = delete;
  FillObserver& operator=(const FillObserver&) = delete;
  virtual ~FillObserver() = default;

  virtual void placeholder(const PlaceholderReport& report) = 0;

  virtual void table_started(const TableStart& start) = 0;
  // The section's line at fault, counted from 1 after the header; 0 when it has no field line.
  virtual void table_definition_error(int section_line) = 0;
  // The expression that finds a level's elements (a column table's only level, a master
  // table's first), qualified and in UTF-8; and for the other master levels their names.
  virtual void table_level(std::size_t level, std::string_view searched) = 0;
  virtual void table_row(std::size_t level) = 0;
  virtual void table_cell(const CellReport& cell) = 0;
  // The table is done: its line was replaced by these many lines, or left as it was.
  virtual void table_ended(bool expanded, std::size_t lines_written) = 0;

  // A COMMA_INSERT line matched a value's key.
  virtual void comma_entry_matched(const Line* entry) = 0;
};

}  // namespace ruvo
