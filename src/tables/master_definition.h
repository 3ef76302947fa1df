// Master-table definitions: a chain of levels, each naming an element and its cells.
//
// A MASTER_TABLE section names the table on its header and holds definition lines split at ',':
//   element,<name>[,<path>[,<level>[C]]]   a level; the path serves the first level only
//   attribute,<name>[,<label>]             a cell of the last level read
// Kinds are matched without regard to case. The level number is read from a fourth field
// wherever one stands and carries on to the lines after it. The "C" flag is on when the fourth
// field holds a "C" and its first "C" is the line's last character: its rows are blocks
// ("~<" label ... "~>") without column labels. Lines without ',' or of another kind are skipped.
//
// Every level uses the same row text and row width, taken from the placeholder's line.
#pragma once

#include <libxml/tree.h>

#include <cstdint>
#include <string_view>

#include "text/line_list.h"
#include "text/text_buffer.h"
#include "text/tracked_list.h"
#include "xml/xml_handles.h"

namespace ruvo {

struct MasterField {
  TextBufferPtr name;       // attribute name, or {expression}; empty makes an always-empty cell
  TextBufferPtr utf8_name;  // while expanded: the name as the document spells it, if not ASCII
  TextBufferPtr label;      // column label, or the block start's label; may be empty
  // For {expression}: compiled at the first cell (the context knows the namespaces then).
  XmlXPathCompExprPtr compiled;
  bool compile_tried = false;
  // While a table is expanded: whether the last namespace seen on this level's nodes puts the
  // field in COMMA_INSERT, so the test is not repeated for every node.
  const xmlNs* grouped_for = nullptr;
  bool grouped_known = false;
  bool grouped = false;
  const Line* comma_entry = nullptr;  // the COMMA_INSERT line that lists it, while grouped
};

struct MasterLevel {
  TextBufferPtr name;       // element name, matched without prefix
  TextBufferPtr utf8_name;  // while expanded: the name as the document spells it, if not ASCII
  TextBufferPtr path;       // empty when the line gives none
  bool c_flag = false;
  std::int32_t level = 0;
  TrackedList<MasterField> fields;
};

struct MasterChain {
  TrackedList<MasterLevel> levels;
  std::int32_t level_number = 0;  // the number in force while the section is read
};

// Reads the section's definition lines into a new chain; none when memory runs out (nothing
// read is kept then).
[[nodiscard]] Tracked<MasterChain> read_master_definitions(LineList* section);
// Splits one definition line and adds a level or a field; false only when memory ran out.
[[nodiscard]] bool read_master_definition(MasterChain& chain, std::string_view line);

[[nodiscard]] bool add_master_level(MasterChain& chain, TextBufferPtr name, TextBufferPtr path,
                                    std::int32_t level, bool c_flag);
// Adds a field to the last level; false when there is no level yet or memory ran out.
[[nodiscard]] bool add_master_field(MasterChain& chain, TextBufferPtr name, TextBufferPtr label);

struct RowLayout {
  TextBufferPtr row_text;  // "~[ " and the following text; none when memory is short
  std::int32_t width = 1;
};

// The row text and width of the line holding the placeholder named name. The following text is
// what stands after the first occurrence of name, less the two characters after it (the ">>").
[[nodiscard]] RowLayout take_row_layout(std::string_view line, std::string_view name);

// Runs of blanks (0x20 only) in the text, plus one.
std::int32_t count_row_width(std::string_view text);

}  // namespace ruvo
