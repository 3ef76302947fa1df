#include "preview/preview_page.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "check/run_observer.h"
#include "text/line_list.h"

namespace ruvo::preview {

namespace {

using check::CellRecord;
using check::Finding;
using check::List;
using check::PlaceholderRecord;
using check::Severity;
using check::severity_name;
using check::TableRecord;
using check::Text;

constexpr std::string_view kStyle =
    "body{font:14px/1.4 sans-serif;margin:1.5em;color:#222;background:#fff}"
    "h1{font-size:1.3em}h2{font-size:1.1em;margin-top:2em;border-bottom:1px solid #ccc}"
    ".counts{font-weight:bold}.status{color:#a00;font-weight:bold}"
    ".drawn{font-family:monospace;border:1px solid #ccc;padding:1em}"
    ".line,.block .cell{white-space:pre-wrap;min-height:1.4em}"
    ".value{background:#e6f0ff;border-bottom:1px dotted #36c}"
    ".value.lossy,.cell.lossy{background:#fff0d0}.value.empty{padding:0 .3em}"
    "table.rows{border-collapse:collapse;margin:.3em 0;font-family:monospace}"
    "table.rows th,table.rows td{border:1px solid #aaa;padding:.1em .5em;vertical-align:top}"
    "table.rows th{background:#eee}td.rowtext{color:#555}td.lines{font-size:.8em}"
    "td.cell.carried{color:#777;font-style:italic}td.cell.missing{background:#f4f4f4}"
    "td.children{padding-left:2em;border:none}.block{border:1px solid #6a6;margin:.3em 0;"
    "padding:.2em .5em}.block-label{font-weight:bold;color:#363}.empty-table,.omitted{"
    "color:#777;font-style:italic}.flag{color:#fff;padding:0 .3em;border-radius:.3em;"
    "text-decoration:none;margin-left:.3em}.flag.error{background:#c00}"
    ".flag.warning{background:#d80}.flag.note{background:#59c}li.error{color:#a00}"
    "li.warning{color:#850}table.values{border-collapse:collapse}"
    "table.values td,table.values th{border:1px solid #ccc;padding:.1em .4em}"
    "pre.raw{border:1px solid #ccc;padding:.5em}pre.raw span.n{color:#999}"
    "pre.log{background:#fee;padding:.5em}";

void append_escaped(Text& html, std::string_view text) {
  for (const char c : text) {
    switch (c) {
      case '<':
        html += "&lt;";
        break;
      case '>':
        html += "&gt;";
        break;
      case '&':
        html += "&amp;";
        break;
      case '"':
        html += "&quot;";
        break;
      default:
        html += c;
    }
  }
}

bool starts_with(std::string_view text, std::string_view lead) {
  return text.substr(0, lead.size()) == lead;
}

// One row ("~[ ") or block ("~<") of a table's lines, with its cells.
struct Cell {
  std::string_view label;
  std::string_view value;
  const CellRecord* record = nullptr;
};

struct Unit {
  bool block = false;
  bool stray = false;     // a line of no row: drawn as it is
  std::string_view text;  // a row's text after "~[ ", a block's label
  std::size_t first = 0;  // its first and last output lines, from 0
  std::size_t last = 0;
  std::size_t level = 0;
  List<Cell> cells;
  List<std::size_t> children;  // units nested under it
};

class Page {
 public:
  Page(const check::ExplainedRun& run, const PageOptions& options, Text& html)
      : run_(run), options_(options), html_(html), codec_(run.codec()) {}

  void write() {
    html_ += "<!DOCTYPE html>\n<html lang=\"es\"><head><meta charset=\"utf-8\">";
    html_ += "<title>ruvo-preview: ";
    text(run_.template_path());
    html_ += "</title><style>";
    html_ += kStyle;
    html_ += "</style></head>\n<body>\n<h1>ruvo-preview: ";
    text(run_.template_path());
    html_ += "</h1>\n";
    collect_lines();
    write_counts();
    if (run_.output() != nullptr && run_.observer() != nullptr) {
      html_ += "<h2 id=\"drawn\">The output, drawn</h2>\n<div class=\"drawn\">\n";
      draw_output();
      html_ += "</div>\n";
    }
    write_findings();
    write_values();
    write_raw();
    html_ += "</body></html>\n";
  }

 private:
  // Text of the run's encoding, escaped, in UTF-8.
  void text(std::string_view run_text) { append_escaped(html_, check::as_utf8(codec_, run_text)); }

  void number(std::size_t n) { html_ += check::number(n); }

  void collect_lines() {
    if (const LineList* output = run_.output()) {
      // A value that held line ends makes one line of the list several of the file.
      std::size_t file_line = 1;
      for (const Line& line : output->lines()) {
        lines_.push_back(line.view());
        file_lines_.push_back(file_line);
        file_line +=
            1 + static_cast<std::size_t>(std::count(line.view().begin(), line.view().end(), '\n'));
      }
    }
    drawn_.assign(lines_.size(), 1);
    for (std::size_t i = 0; i < run_.findings().all().size(); ++i) {
      const Finding& finding = run_.findings().all()[i];
      if (finding.file == run_.template_path() && finding.line > 0) {
        findings_at_.emplace(finding.line, i);
      }
    }
  }

  void write_counts() {
    const check::Findings& findings = run_.findings();
    const check::RunObserver* observer = run_.observer();
    html_ += "<p class=\"counts\" id=\"counts\">";
    number(observer != nullptr ? observer->placeholders().size() : 0);
    html_ += " placeholders, ";
    number(observer != nullptr ? observer->tables().size() : 0);
    html_ += " tables; <a href=\"#findings\">";
    number(findings.count(Severity::Error));
    html_ += " errors, ";
    number(findings.count(Severity::Warning));
    html_ += " warnings</a></p>\n";
    if (run_.run_status() != kExitSuccess) {
      html_ += "<p class=\"status\" id=\"status\">ruvo would end with status ";
      number(static_cast<std::size_t>(run_.run_status()));
      html_ += " and write no output.</p>\n";
    }
    if (!run_.logged().empty()) {
      html_ += "<p>What ruvo would append to its run log:</p><pre class=\"log\" id=\"log\">";
      for (const check::RecordedLog::Line& line : run_.logged()) {
        html_ += line.message ? "" : "                ";
        text(line.text);
        html_ += '\n';
      }
      html_ += "</pre>\n";
    }
  }

  // Marks the findings at a template line where that line is drawn.
  void flags(std::size_t template_line) {
    const auto [from, to] = findings_at_.equal_range(template_line);
    for (auto found = from; found != to; ++found) {
      const Finding& finding = run_.findings().all()[found->second];
      html_ += "<a class=\"flag ";
      html_ += severity_name(finding.severity);
      html_ += "\" href=\"#f";
      number(found->second);
      html_ += "\" title=\"";
      text(finding.message);
      html_ += "\">";
      html_ += severity_name(finding.severity);
      html_ += "</a>";
    }
  }

  void draw_output() {
    const check::RunObserver& observer = *run_.observer();
    std::unordered_multimap<std::size_t, std::size_t> values_at;  // template line -> record
    for (std::size_t i = 0; i < observer.placeholders().size(); ++i) {
      const PlaceholderRecord& record = observer.placeholders()[i];
      if (record.place.column > 0 && !record.brought_in) {
        values_at.emplace(record.place.line, i);
      }
    }
    std::unordered_map<std::size_t, std::size_t> table_at;  // template line -> table
    for (std::size_t i = 0; i < observer.tables().size(); ++i) {
      if (observer.tables()[i].expanded) {
        table_at.emplace(observer.tables()[i].place.line, i);
      }
    }
    const List<Text>& template_texts = observer.template_texts();
    std::size_t cursor = 0;
    for (std::size_t line = 1; line <= template_texts.size(); ++line) {
      const auto table = table_at.find(line);
      if (table != table_at.end()) {
        const TableRecord& record = observer.tables()[table->second];
        const std::size_t end = std::min(cursor + record.lines_written, lines_.size());
        draw_table(record, line, cursor, end);
        cursor = end;
        continue;
      }
      if (cursor >= lines_.size()) {
        break;
      }
      draw_line(template_texts[line - 1], line, values_at, cursor);
      ++cursor;
    }
    for (; cursor < lines_.size(); ++cursor) {
      plain_line(cursor, 0);
    }
  }

  void line_open(std::size_t output_line) {
    html_ += "<div class=\"line\" id=\"d";
    number(output_line + 1);
    html_ += "\">";
  }

  void plain_line(std::size_t output_line, std::size_t template_line) {
    line_open(output_line);
    text(lines_[output_line]);
    if (template_line > 0) {
      flags(template_line);
    }
    html_ += "</div>\n";
  }

  // A text line: its values as spans when the template line with its values in place gives the
  // output line exactly; otherwise (a value brought placeholders in) the line as it is.
  void draw_line(std::string_view original, std::size_t line,
                 const std::unordered_multimap<std::size_t, std::size_t>& values_at,
                 std::size_t output_line) {
    const check::RunObserver& observer = *run_.observer();
    const std::size_t before = line == 1 ? observer.mark_bytes() : 0;
    List<std::size_t> records;
    const auto [from, to] = values_at.equal_range(line);
    for (auto found = from; found != to; ++found) {
      records.push_back(found->second);
    }
    std::sort(records.begin(), records.end());
    // The pieces: literal text and values, in line order.
    struct Piece {
      std::string_view literal;
      const PlaceholderRecord* record = nullptr;
      std::size_t index = 0;
    };
    List<Piece> pieces;
    Text rebuilt;
    std::size_t at = 0;
    bool fits = true;
    for (const std::size_t index : records) {
      const PlaceholderRecord& record = observer.placeholders()[index];
      const std::size_t column =
          record.place.column - 1 - std::min(before, record.place.column - 1);
      const std::size_t length = record.content.size() + 4;
      if (column < at || column + length > original.size()) {
        fits = false;
        break;
      }
      pieces.push_back({original.substr(at, column - at)});
      pieces.push_back({{}, &record, index});
      rebuilt.append(original.substr(at, column - at));
      rebuilt += record.written;
      at = column + length;
    }
    if (!fits || (rebuilt += original.substr(at)) != lines_[output_line]) {
      plain_line(output_line, line);
      return;
    }
    pieces.push_back({original.substr(at)});
    line_open(output_line);
    for (const Piece& piece : pieces) {
      if (piece.record == nullptr) {
        text(piece.literal);
        continue;
      }
      value_span(*piece.record, piece.index);
    }
    flags(line);
    html_ += "</div>\n";
  }

  void value_span(const PlaceholderRecord& record, std::size_t index) {
    html_ += "<a class=\"value";
    html_ += record.lossy ? " lossy" : "";
    html_ += record.written.empty() ? " empty" : "";
    html_ += "\" href=\"#v";
    number(index);
    html_ += "\" title=\"";
    origin(record);
    html_ += "\">";
    text(record.written);
    html_ += "</a>";
  }

  // Where a single value came from, in one line.
  void origin(const PlaceholderRecord& record) {
    html_ += "line ";
    number(record.place.line);
    html_ += ", column ";
    number(record.place.column);
    html_ += ": ";
    html_ += check::kind_name(record.kind);
    html_ += " &lt;&lt;";
    text(record.content);
    html_ += "&gt;&gt;";
    if (!record.expression.empty()) {
      html_ += ", evaluated ";
      text(record.expression);
    }
    html_ += record.grouped ? "; thousands separators applied" : "";
    if (record.lossy) {
      html_ += "; characters lost: ";
      append_escaped(html_, record.lost_source);
    }
  }

  // The table's output lines [first, end) read as the renderer reads them.
  List<Unit> read_units(const TableRecord& record, std::size_t first, std::size_t end) const {
    List<Unit> units;
    std::size_t cell = 0;
    const auto next_cell = [&](Unit& unit, std::string_view label, std::string_view value) {
      const CellRecord* kept = cell < record.cells.size() ? &record.cells[cell] : nullptr;
      ++cell;
      if (unit.cells.empty() && kept != nullptr) {
        unit.level = kept->level;
      }
      unit.cells.push_back({label, value, kept});
    };
    for (std::size_t i = first; i < end; ++i) {
      const std::string_view line = lines_[i];
      Unit& unit = units.emplace_back();
      unit.first = i;
      if (starts_with(line, "~[ ") || line == "~[") {
        unit.text = line.substr(std::min<std::size_t>(3, line.size()));
        for (++i; i < end && lines_[i] != "~]"; ++i) {
          if (starts_with(lines_[i], "~# ") && i + 1 < end) {
            next_cell(unit, lines_[i].substr(3), lines_[i + 1]);
            ++i;
          } else {
            next_cell(unit, {}, lines_[i]);
          }
        }
      } else if (starts_with(line, "~<")) {
        unit.block = true;
        unit.text = line.substr(2);
        for (++i; i < end && lines_[i] != "~>"; ++i) {
          next_cell(unit, {}, lines_[i]);
        }
      } else {
        unit.stray = true;
        unit.text = line;
      }
      unit.last = std::min(i, end - 1);
    }
    return units;
  }

  // Nests each unit under the unit of the level above that came last before it.
  static List<std::size_t> nest(List<Unit>& units) {
    List<std::size_t> roots;
    List<std::size_t> open;  // the chain of units the next one may nest under
    for (std::size_t i = 0; i < units.size(); ++i) {
      while (!open.empty() && units[open.back()].level >= units[i].level) {
        open.pop_back();
      }
      (open.empty() ? roots : units[open.back()].children).push_back(i);
      if (!units[i].stray) {
        open.push_back(i);
      }
    }
    return roots;
  }

  void draw_table(const TableRecord& record, std::size_t line, std::size_t first, std::size_t end) {
    html_ += "<div class=\"table\" data-table=\"";
    text(record.name);
    html_ += "\" id=\"t";
    number(line);
    html_ += "\">";
    flags(line);
    if (first == end) {
      html_ += "<p class=\"empty-table\">table &lt;&lt;";
      text(record.name);
      html_ += "&gt;&gt; (line ";
      number(line);
      html_ += "): no rows</p></div>\n";
      return;
    }
    List<Unit> units = read_units(record, first, end);
    const List<std::size_t> roots = nest(units);
    List<std::size_t> shown;
    std::size_t left_out = 0;
    const std::size_t edge = options_.edge_rows;
    if (!options_.all_rows && roots.size() > 2 * edge) {
      left_out = roots.size() - 2 * edge;
      shown.assign(roots.begin(), roots.begin() + static_cast<std::ptrdiff_t>(edge));
      for (std::size_t i = edge; i < edge + left_out; ++i) {
        mark_left_out(units, roots[i]);
      }
      shown.insert(shown.end(), roots.end() - static_cast<std::ptrdiff_t>(edge), roots.end());
    } else {
      shown = roots;
    }
    draw_units(record, units, shown, edge, left_out);
    html_ += "</div>\n";
  }

  void mark_left_out(const List<Unit>& units, std::size_t index) {
    for (std::size_t i = units[index].first; i <= units[index].last; ++i) {
      drawn_[i] = 0;
    }
    for (const std::size_t child : units[index].children) {
      mark_left_out(units, child);
    }
  }

  // Draws sibling units: runs of rows with the same labels as one HTML table each; the note on
  // left-out rows goes after the first `edge` of them.
  void draw_units(const TableRecord& record, const List<Unit>& units,
                  const List<std::size_t>& siblings, std::size_t edge, std::size_t left_out) {
    bool table_open = false;
    const Unit* heading = nullptr;
    for (std::size_t k = 0; k < siblings.size(); ++k) {
      const Unit& unit = units[siblings[k]];
      if (left_out > 0 && k == edge) {
        close_table(table_open);
        html_ += "<p class=\"omitted\">";
        number(left_out);
        html_ += " rows left out (ruvo-preview --all draws every row)</p>";
        heading = nullptr;
      }
      if (unit.block || unit.stray) {
        close_table(table_open);
        heading = nullptr;
        unit.block ? draw_block(record, units, unit) : draw_stray(unit);
        continue;
      }
      if (heading == nullptr || !same_labels(*heading, unit)) {
        close_table(table_open);
        open_table(unit);
        table_open = true;
        heading = &unit;
      }
      draw_row(record, units, unit);
    }
    close_table(table_open);
  }

  static bool same_labels(const Unit& a, const Unit& b) {
    if (a.cells.size() != b.cells.size()) {
      return false;
    }
    for (std::size_t i = 0; i < a.cells.size(); ++i) {
      if (a.cells[i].label != b.cells[i].label) {
        return false;
      }
    }
    return true;
  }

  void open_table(const Unit& unit) {
    html_ += "<table class=\"rows\"><thead><tr>";
    for (const Cell& cell : unit.cells) {
      html_ += "<th>";
      text(cell.label);
      html_ += "</th>";
    }
    html_ += "<th class=\"rowtext\">row text</th><th class=\"lines\">lines</th></tr></thead>";
    html_ += "<tbody>\n";
  }

  void close_table(bool& open) {
    if (open) {
      html_ += "</tbody></table>\n";
      open = false;
    }
  }

  void cell_title(const TableRecord& record, const Cell& cell) {
    html_ += "table &lt;&lt;";
    text(record.name);
    html_ += "&gt;&gt; of line ";
    number(record.place.line);
    if (cell.record == nullptr) {
      return;
    }
    html_ += ", level ";
    number(cell.record->level);
    html_ += ", field ";
    number(cell.record->field + 1u);
    switch (cell.record->source) {
      case CellSource::Read:
        html_ += ": read from the row's element";
        break;
      case CellSource::Carried:
        html_ += ": carried from an earlier row (the element has none)";
        break;
      case CellSource::Missing:
        html_ += ": missing (no value)";
        break;
    }
    html_ += cell.record->grouped ? "; thousands separators applied" : "";
    html_ += cell.record->lossy ? "; characters lost" : "";
  }

  void cell_class(const Cell& cell) {
    html_ += "cell";
    if (cell.record == nullptr) {
      return;
    }
    html_ += cell.record->source == CellSource::Carried   ? " carried"
             : cell.record->source == CellSource::Missing ? " missing"
                                                          : "";
    html_ += cell.record->lossy ? " lossy" : "";
  }

  void lines_link(const Unit& unit) {
    html_ += "<a href=\"#o";
    number(file_lines_[unit.first]);
    html_ += "\">";
    number(file_lines_[unit.first]);
    html_ += "&ndash;";
    number(file_lines_[unit.last]);
    html_ += "</a>";
  }

  void draw_row(const TableRecord& record, const List<Unit>& units, const Unit& unit) {
    html_ += "<tr class=\"row\" id=\"d";
    number(unit.first + 1);
    html_ += "\">";
    for (const Cell& cell : unit.cells) {
      html_ += "<td class=\"";
      cell_class(cell);
      html_ += "\" title=\"";
      cell_title(record, cell);
      html_ += "\">";
      text(cell.value);
      html_ += "</td>";
    }
    html_ += "<td class=\"rowtext\">";
    text(unit.text);
    html_ += "</td><td class=\"lines\">";
    lines_link(unit);
    html_ += "</td></tr>\n";
    if (!unit.children.empty()) {
      html_ += "<tr><td class=\"children\" colspan=\"";
      number(unit.cells.size() + 2);
      html_ += "\">";
      draw_units(record, units, unit.children, 0, 0);
      html_ += "</td></tr>\n";
    }
  }

  void draw_block(const TableRecord& record, const List<Unit>& units, const Unit& unit) {
    html_ += "<div class=\"block\" id=\"d";
    number(unit.first + 1);
    html_ += "\"><span class=\"block-label\">";
    text(unit.text);
    html_ += "</span> ";
    lines_link(unit);
    for (const Cell& cell : unit.cells) {
      html_ += "<div class=\"";
      cell_class(cell);
      html_ += "\" title=\"";
      cell_title(record, cell);
      html_ += "\">";
      text(cell.value);
      html_ += "</div>";
    }
    if (!unit.children.empty()) {
      draw_units(record, units, unit.children, 0, 0);
    }
    html_ += "</div>\n";
  }

  void draw_stray(const Unit& unit) {
    line_open(unit.first);
    text(unit.text);
    html_ += "</div>\n";
  }

  void write_findings() {
    const List<Finding>& all = run_.findings().all();
    html_ += "<h2 id=\"findings\">Findings</h2>\n";
    if (all.empty()) {
      html_ += "<p>None.</p>\n";
      return;
    }
    html_ += "<ol class=\"findings\">\n";
    for (std::size_t i = 0; i < all.size(); ++i) {
      const Finding& finding = all[i];
      html_ += "<li id=\"f";
      number(i);
      html_ += "\" class=\"";
      html_ += severity_name(finding.severity);
      html_ += "\"><span class=\"where\">";
      text(finding.file);
      if (finding.line > 0) {
        html_ += ':';
        number(finding.line);
        if (finding.column > 0) {
          html_ += ':';
          number(finding.column);
        }
      }
      html_ += "</span>: ";
      html_ += severity_name(finding.severity);
      html_ += " [";
      text(finding.kind);
      html_ += "] ";
      text(finding.message);
      html_ += "</li>\n";
    }
    html_ += "</ol>\n";
  }

  void write_values() {
    const check::RunObserver* observer = run_.observer();
    if (observer == nullptr || observer->placeholders().empty()) {
      return;
    }
    html_ +=
        "<h2 id=\"values\">Values and their origins</h2>\n<table class=\"values\"><thead><tr>"
        "<th>line</th><th>column</th><th>kind</th><th>placeholder</th><th>evaluated</th>"
        "<th>value</th><th>separators</th><th>characters lost</th></tr></thead><tbody>\n";
    for (std::size_t i = 0; i < observer->placeholders().size(); ++i) {
      const PlaceholderRecord& record = observer->placeholders()[i];
      html_ += "<tr id=\"v";
      number(i);
      html_ += "\"><td class=\"line\">";
      number(record.place.line);
      html_ += "</td><td class=\"column\">";
      number(record.place.column);
      html_ += "</td><td class=\"kind\">";
      html_ += check::kind_name(record.kind);
      html_ += "</td><td class=\"content\">&lt;&lt;";
      text(record.content);
      html_ += "&gt;&gt;</td><td class=\"expression\">";
      text(record.expression);
      html_ += "</td><td class=\"written\">";
      text(record.written);
      html_ += "</td><td>";
      html_ += record.grouped ? "applied" : "";
      html_ += "</td><td>";
      if (record.lossy) {
        append_escaped(html_, record.lost_source);
      }
      html_ += "</td></tr>\n";
    }
    html_ += "</tbody></table>\n";
  }

  void write_raw() {
    if (lines_.empty()) {
      return;
    }
    html_ += "<h2 id=\"raw\">The output as ruvo writes it</h2>\n<pre class=\"raw\">";
    std::size_t skipped = 0;
    for (std::size_t i = 0; i <= lines_.size(); ++i) {
      if (i < lines_.size() && drawn_[i] == 0) {
        ++skipped;
        continue;
      }
      if (skipped > 0) {
        html_ += "<span class=\"omitted\">&hellip; ";
        number(skipped);
        html_ += " lines left out</span>\n";
        skipped = 0;
      }
      if (i == lines_.size()) {
        break;
      }
      std::size_t number_of_line = file_lines_[i];
      std::string_view rest = lines_[i];
      for (bool more = true; more; ++number_of_line) {
        const std::size_t end = rest.find('\n');
        more = end != std::string_view::npos;
        html_ += "<span id=\"o";
        number(number_of_line);
        html_ += "\"><span class=\"n\">";
        number(number_of_line);
        html_ += "</span> ";
        text(rest.substr(0, end));
        html_ += "</span>\n";
        rest.remove_prefix(more ? end + 1 : rest.size());
      }
    }
    html_ += "</pre>\n";
  }

  const check::ExplainedRun& run_;
  const PageOptions& options_;
  Text& html_;
  const TextCodec& codec_;
  List<std::string_view> lines_;
  List<std::size_t> file_lines_;  // per line of the list: its first line in the file, from 1
  List<unsigned char> drawn_;     // per output line: 0 when its row is left out
  std::unordered_multimap<std::size_t, std::size_t> findings_at_;  // template line -> finding
};

}  // namespace

void write_preview_page(const check::ExplainedRun& run, const PageOptions& options, Text& html) {
  Page(run, options, html).write();
}

}  // namespace ruvo::preview
