// Table lines in the template.
//
// A table placeholder's whole line is replaced by marker lines and value lines, which the
// renderer reads back as rows and cells:
//
//   "~[ " + following text   row start (column tables, master levels without the "C" flag)
//   "~# " + label            column label, before every value line of such a row
//   value                    one cell's text alone (entity-encoded in Xml mode); empty when none
//   "~]"                     row end
//   "~<" + label             block start (master levels with the "C" flag; no column labels)
//   "~>"                     block end
//
// Every line is written right after the previous one, so the lines come out in the order they
// are written and the cursor ends on the last line written; the scanner goes on from there.
#pragma once

#include <libxml/tree.h>

#include <string_view>

#include "base/run_settings.h"
#include "text/line_list.h"
#include "text/output_file.h"
#include "text/text_buffer.h"
#include "text/text_codec.h"

namespace ruvo {

// Where the next table line goes: after the cursor line, or at the very top of the template
// when the placeholder's line was its first line; and the run's output, when it streams, which
// takes the template's lines as soon as they are final.
struct TableOutput {
  LineList* lines = nullptr;
  OutputFile* output = nullptr;        // none: every line stays in the template until the end
  OutputMode mode = OutputMode::Text;  // Xml: cell values are entity-encoded
  const TextCodec* codec = nullptr;    // the encoding the values are in; none for Latin-1
  bool at_top = false;
  bool wrote_line = false;  // the cursor is on a line this table wrote
};

// Removes the placeholder's line (the cursor line) and leaves the output so that the next line
// written takes its place. When no line is then written, the cursor is on the line before the
// removed one, or on the new first line, or none in a template left empty.
TableOutput begin_table_output(LineList* lines, OutputFile* output,
                               OutputMode mode = OutputMode::Text);

// Inserts a copy of the text after the cursor line and moves the cursor onto it. A line that
// cannot be had is left out and the cursor stays.
void write_table_line(TableOutput& out, std::string_view text);

void open_table_row(TableOutput& out, bool c_flag, const TextBuffer* label,
                    std::string_view row_text);
void close_table_row(TableOutput& out, bool c_flag);
// Without the "C" flag first the column label line, then the value line; a value of none gives
// an empty line.
void write_table_cell(TableOutput& out, xmlDoc* document, bool c_flag, const TextBuffer* label,
                      const TextBuffer* value);

}  // namespace ruvo
