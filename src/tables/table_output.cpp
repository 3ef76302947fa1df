#include "tables/table_output.h"

#include "tables/marker_guard.h"
#include "text/output_file.h"
#include "xml/entity_encoding.h"
#include "xml/xml_handles.h"

namespace ruvo {

namespace {

std::string_view view_of(const TextBuffer* buffer) {
  return buffer != nullptr ? buffer->view() : std::string_view();
}

// Inserts the line made of the two pieces after the cursor line (or at the top) and moves the
// cursor onto it. A line that cannot be had is left out and the cursor stays.
//
// Once a table line stands at the cursor, nothing before it can change any more: the scan goes
// on from the table's last line. Those lines go to the output at once (when it streams), so a
// table of any size holds one line in memory.
void write_joined_line(TableOutput& out, std::string_view first, std::string_view second) {
  LineList* lines = out.lines;
  if (out.at_top) {
    if (line_list_prepend_joined(lines, first, second)) {
      line_list_rewind(lines);
      out.at_top = false;
      out.wrote_line = true;
    }
    return;
  }
  // Streaming, with this table's previous line alone before the rest of the template: that line
  // goes out and its record takes the new text. Only a text that fits inside the record, so
  // that taking it cannot fail once the previous line is out.
  Line* cursor = line_list_current(lines);
  if (out.wrote_line && out.output != nullptr && cursor == lines->head &&
      first.size() + second.size() < Line::kInlineSize) {
    put_current_line(out.output, lines);
    static_cast<void>(cursor->assign(first, second));
    return;
  }
  if (line_list_insert_joined_after(lines, first, second)) {
    line_list_next(lines);
    put_finished_lines(out.output, lines);
    out.wrote_line = true;
  }
}

}  // namespace

TableOutput begin_table_output(LineList* lines, OutputFile* output, OutputMode mode) {
  TableOutput out{lines, output, mode};
  const Line* line = line_list_current(lines);
  if (line == nullptr) {
    return out;
  }
  const bool was_first = line->prev == nullptr;
  const bool was_last = line->next == nullptr;
  line_list_delete_current(lines);
  if (was_first) {
    // Nothing precedes: the table's lines go to the top, and until one is written the cursor is
    // on the new first line (or none).
    out.at_top = true;
  } else if (!was_last) {
    line_list_prev(lines);
  }
  return out;
}

void write_table_line(TableOutput& out, std::string_view text) {
  write_joined_line(out, text, {});
}

void open_table_row(TableOutput& out, bool c_flag, const TextBuffer* label,
                    std::string_view row_text) {
  if (c_flag) {
    write_joined_line(out, "~<", view_of(label));
  } else {
    write_table_line(out, row_text);
  }
}

void close_table_row(TableOutput& out, bool c_flag) {
  write_table_line(out, c_flag ? "~>" : "~]");
}

void write_table_cell(TableOutput& out, xmlDoc* document, bool c_flag, const TextBuffer* label,
                      const TextBuffer* value) {
  if (!c_flag) {
    write_joined_line(out, "~# ", view_of(label));
  }
  // A cell is one line that begins with no marker, whatever its value holds.
  const TextBufferPtr guarded = guarded_cell(view_of(value));
  const std::string_view text = guarded ? guarded->view() : view_of(value);
  if (value != nullptr && out.mode == OutputMode::Xml) {
    TextBufferPtr encoded =
        encode_entities(document, text, out.codec != nullptr ? *out.codec : latin1_codec());
    if (encoded) {
      write_table_line(out, encoded->view());
      return;
    }
  }
  write_table_line(out, text);
}

}  // namespace ruvo
