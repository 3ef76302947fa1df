#include "tables/table_output.h"

#include <libxml/entities.h>

#include "text/process_state.h"
#include "xml/xml_handles.h"

namespace ruvo {

namespace {

std::string_view view_of(const TextBuffer* buffer) {
  return buffer != nullptr ? buffer->view() : std::string_view();
}

// A marker followed by a label, in a counted buffer; none when memory is short.
TextBufferPtr marker_with_label(const char* marker, const TextBuffer* label) {
  TextBufferPtr line = text_buffer_from(marker);
  if (line && !text_buffer_append_buffer(line, label)) {
    line.reset();
  }
  return line;
}

void write_marker_with_label(TableOutput& out, const char* marker, const TextBuffer* label) {
  TextBufferPtr line = marker_with_label(marker, label);
  if (line) {
    write_table_line(out, line->view());
  }
}

}  // namespace

TableOutput begin_table_output(LineList* lines) {
  TableOutput out{lines, false};
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
  if (out.at_top) {
    if (line_list_prepend(out.lines, text.data(), text.size())) {
      line_list_rewind(out.lines);
      out.at_top = false;
    }
    return;
  }
  if (line_list_insert_after(out.lines, text.data(), text.size())) {
    line_list_next(out.lines);
  }
}

void open_table_row(TableOutput& out, bool c_flag, const TextBuffer* label,
                    std::string_view row_text) {
  if (c_flag) {
    write_marker_with_label(out, "~<", label);
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
    write_marker_with_label(out, "~# ", label);
  }
  if (value != nullptr && run_settings().output_mode == OutputMode::Xml) {
    XmlCharPtr encoded(
        xmlEncodeEntitiesReentrant(document, reinterpret_cast<const xmlChar*>(value->data())));
    if (encoded) {
      write_table_line(out, reinterpret_cast<const char*>(encoded.get()));
      return;
    }
  }
  write_table_line(out, view_of(value));
}

}  // namespace ruvo
