// Configuration sections.
//
// The configuration file is read in sections. A section opens at a header line: any line that
// contains "[" NAME "]" (NAME matched exactly), taken whole. It runs up to, not including, the
// next bracket line (a line whose first character other than space and tab is '['), or to the
// end of the file. The table kinds carry the table's name on the header line as "<<" name ">>".
// Lines outside the sections of interest are ignored; there is no comment syntax.
#pragma once

#include "text/line_list.h"
#include "text/tracked_list.h"
#include "text/tracked_memory.h"

namespace ruvo {

inline constexpr const char* kCommaInsertSection = "COMMA_INSERT";
inline constexpr const char* kTableColumnsSection = "TABLE_COLUMNS";
inline constexpr const char* kMasterTableSection = "MASTER_TABLE";

// State of one extraction pass over the configuration, kept beside the list's cursor: once a
// call has reached the end of the list, the pass is over and every later call gives none.
struct SectionPass {
  bool reached_end = false;
};

// The next section of that NAME, from the configuration's cursor on (from its first line when
// the cursor is unset): a new list holding copies of the section's lines, header first. None
// when there is no further section (or memory for the header text is short). The cursor is
// left where the next call of the same pass goes on.
[[nodiscard]] LineListPtr extract_section(LineList* config, const char* name, SectionPass& pass);

// Sections in the order they were appended (file order). The list owns its nodes and sections.
using SectionList = TrackedList<LineListPtr>;
using SectionNode = SectionList::Node;
using SectionListPtr = Tracked<SectionList>;

[[nodiscard]] SectionListPtr section_list_new();
// Appends the section at the end; the list takes ownership. False (the section released) when
// the node cannot be had.
bool section_list_append(SectionList* list, LineListPtr section);
// Cuts what a run uses from the configuration: every TABLE_COLUMNS and every MASTER_TABLE
// section, in file order, into the two lists, and returns the first COMMA_INSERT section (or
// none). One pass per kind, each from the configuration's first line.
[[nodiscard]] LineListPtr cut_configuration(LineList* config, SectionList* column_sections,
                                            SectionList* master_sections);

// The first section whose header line contains "<<" name ">>", still owned by the list; none
// when no section matches. The headers are read without moving any cursor; the section found is
// handed back rewound, ready to be read from its header.
LineList* find_section(const char* name, const SectionList* list);

}  // namespace ruvo
