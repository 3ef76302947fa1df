#include <cstdio>

#include "base/log_messages.h"
#include "base/run_log.h"
#include "check/check_context.h"
#include "check/inputs.h"
#include "tables/column_table.h"
#include "tables/master_definition.h"

namespace ruvo::check {

namespace {

const char* table_kind(const TableRecord& table) {
  return table.kind == PlaceholderKind::ColumnTable ? "column-table" : "master-table";
}

// The section's line at index (0 = header) and its file line.
struct SectionLine {
  std::string_view text;
  std::size_t file_line = 0;
};

SectionLine section_line(const CheckContext& check, const LineList* section, std::size_t index) {
  const auto header = check.places.header_line.find(section);
  std::size_t i = 0;
  for (const Line& line : section->lines()) {
    if (i == index) {
      return {line.view(), header == check.places.header_line.end() ? 0 : header->second + i};
    }
    ++i;
  }
  return {};
}

class TableExplainer {
 public:
  TableExplainer(CheckContext& check, const TableRecord& table)
      : check_(check), table_(table), shown_(placeholder_text(table.name)) {}

  void explain() {
    text_before_placeholder();
    if (table_.definition_error >= 0) {
      definition_error();
      return;
    }
    if (table_.kind == PlaceholderKind::ColumnTable) {
      column_elements();
    } else {
      master_paths();
    }
    if (!table_.expanded) {
      return;
    }
    const std::size_t first_rows = table_.levels.empty() ? 0 : table_.levels[0].rows;
    if (first_rows == 0) {
      at_template(Severity::Warning,
                  shown_ + " writes no row: " +
                      (table_.levels.empty() ? Text("nothing") : table_.levels[0].searched) +
                      " selects no element; the placeholder's line is removed");
    }
    for (std::size_t level = 0; level < table_.levels.size(); ++level) {
      fields(level);
    }
    if (check_.list) {
      Text counts;
      for (std::size_t level = 0; level < table_.levels.size(); ++level) {
        counts += (level == 0 ? "" : ", ") + table_.levels[level].searched + ": " +
                  number(table_.levels[level].rows) + " rows";
      }
      at_template(Severity::Note,
                  shown_ + " = " +
                      (table_.kind == PlaceholderKind::ColumnTable ? Text("column table, ")
                                                                   : Text("master table, ")) +
                      counts + "; " + number(table_.lines_written) + " lines");
    }
  }

 private:
  Finding& at_template(Severity severity, const Text& message) {
    Finding& finding = check_.findings.add(severity, check_.template_path, table_.place.line,
                                           table_.place.column, table_kind(table_), message);
    if (!table_.levels.empty()) {
      finding.expression = table_.levels[0].searched;
    }
    finding.value = number(table_.lines_written);
    return finding;
  }
  void at_config(Severity severity, std::size_t index, const Text& message) {
    const SectionLine line = section_line(check_, table_.section, index);
    check_.findings.add(severity, check_.config_path, line.file_line, 0, table_kind(table_),
                        message);
  }

  void text_before_placeholder() {
    if (table_.place.column > 1) {
      at_template(Severity::Warning, "the text before " + shown_ +
                                         " is dropped: a table takes its whole line, and only "
                                         "what follows it is kept, as the row text");
    }
  }

  void definition_error() {
    const auto index = static_cast<std::size_t>(table_.definition_error);
    if (index == 0) {
      at_config(
          Severity::Warning, 0,
          "table " + shown_ + " has no field line: the template keeps " + shown_ +
              " as it is (ruvo logs \"" +
              Text(format_message(log_messages::kColumnDefinitionFaulty, table_.name.c_str())) +
              "\")");
    } else {
      const SectionLine line = section_line(check_, table_.section, index);
      at_config(Severity::Warning, index,
                "table " + shown_ + ": the field line \"" + Text(line.text) +
                    "\" has no ':' before its first ','" +
                    (line.text.empty() ? Text(" (a blank line belongs to the section)") : Text()) +
                    "; the template keeps " + shown_ + " as it is");
    }
    at_template(Severity::Warning, shown_ + " stays in the output: its definition in " +
                                       Text(check_.config_path) + " is faulty");
  }

  // Only the last field line's element makes rows; a field line naming another one reads the
  // attribute from the last line's elements all the same.
  void column_elements() {
    std::size_t count = 0;
    for (const Line& line : table_.section->lines()) {
      ++count;
      (void)line;
    }
    std::string_view last;
    for (std::size_t index = count - 1; index >= 1; --index) {
      std::string_view element;
      if (column_field_element(section_line(check_, table_.section, index).text, element)) {
        if (index == count - 1) {
          last = element;
          continue;
        }
        if (element != last) {
          at_config(Severity::Warning, index,
                    "table " + shown_ + ": this line names the element \"" + Text(element) +
                        "\", but only the last line's element (\"" + Text(last) +
                        "\") makes rows, and every field is read from it");
        }
      }
    }
  }

  // Only the first level's path is used.
  void master_paths() {
    MasterChain chain;
    std::size_t levels = 0;
    std::size_t index = 0;
    for (const Line& line : table_.section->lines()) {
      if (index++ == 0) {
        continue;
      }
      if (!read_master_definition(chain, line.view())) {
        return;
      }
      std::size_t now = 0;
      const TrackedList<MasterLevel>::Node* last = nullptr;
      for (const auto* level = chain.levels.first(); level != nullptr; level = level->next) {
        ++now;
        last = level;
      }
      if (now > levels) {
        levels = now;
        if (levels > 1 && last->value.path && last->value.path->length() > 0) {
          at_config(Severity::Warning, index - 1,
                    "table " + shown_ + ": the path \"" + Text(last->value.path->view()) +
                        "\" is not used: only the first level is searched by its path; the "
                        "others are searched among the children (or siblings) of the row above");
        }
      }
    }
  }

  void fields(std::size_t level) {
    const LevelRecord& record = table_.levels[level];
    for (std::size_t field = 0; field < record.fields.size(); ++field) {
      const FieldTally& tally = record.fields[field];
      const Text which = "cell " + number(field + 1) +
                         (table_.levels.size() > 1 ? " of level " + number(level + 1) : Text());
      if (tally.carried > 0) {
        at_template(Severity::Warning,
                    shown_ + ": " + which + " repeats the value of an earlier row in " +
                        number(tally.carried) + " of " + number(record.rows) +
                        " rows (first in row " + number(tally.first_carried_row) +
                        "): those elements lack the attribute, and a column table carries the "
                        "last value on");
      }
      if (record.rows > 0 && tally.missing == record.rows) {
        at_template(Severity::Warning, shown_ + ": " + which + " is empty in every row (" +
                                           number(record.rows) + " rows)");
      }
      if (tally.line_ends > 0) {
        at_template(Severity::Warning, shown_ + ": " + which + " holds line ends in " +
                                           number(tally.line_ends) +
                                           " rows: a cell is one line, so each is written as a "
                                           "blank");
      }
      if (!tally.first_ungrouped.empty()) {
        Finding& finding = at_template(
            Severity::Warning, shown_ + ": " + which + " is listed in COMMA_INSERT, but " +
                                   grouping_changes(tally.first_ungrouped, tally.first_grouped));
        if (const std::size_t line = comma_entry_line(check_, tally.first_entry); line > 0) {
          finding.fix_kind = FixKind::Command;
          finding.fix = without_comma_entry(check_, line);
        }
      }
      if (tally.lossy > 0) {
        const std::string_view name = check_.probe.codec().name();
        at_template(Severity::Warning,
                    shown_ + ": " + which + " holds characters that " +
                        (name == "ISO-8859-1" ? Text("Latin-1") : Text(name)) + " cannot hold (" +
                        characters_lost(tally.lost_texts, check_.probe.codec()) + ") in " +
                        number(tally.lossy) + " rows; they come out as \"?\"; " +
                        check_.encodings.keeping(tally.lost_texts) + " would keep them");
      }
    }
  }

  CheckContext& check_;
  const TableRecord& table_;
  Text shown_;
};

bool section_used(const CheckContext& check, const LineList* section) {
  for (const TableRecord& table : check.run.tables()) {
    if (table.section == section) {
      return true;
    }
  }
  return false;
}

}  // namespace

std::size_t comma_entry_line(const CheckContext& check, const Line* entry) {
  const LineList* comma_section = check.configuration.comma_section();
  if (comma_section == nullptr || entry == nullptr) {
    return 0;
  }
  const auto header = check.places.header_line.find(comma_section);
  std::size_t index = 0;
  for (const Line& line : comma_section->lines()) {
    if (&line == entry) {
      return header == check.places.header_line.end() ? 0 : header->second + index;
    }
    ++index;
  }
  return 0;
}

Text without_comma_entry(const CheckContext& check, std::size_t line) {
  return "sed -i '" + number(line) + "d' " + shell_path(check.config_path);
}

void explain_tables(CheckContext& check) {
  for (const TableRecord& table : check.run.tables()) {
    TableExplainer(check, table).explain();
  }
}

void explain_unused_configuration(CheckContext& check) {
  for (const SectionList* list :
       {check.configuration.column_sections(), check.configuration.master_sections()}) {
    if (list == nullptr) {
      continue;
    }
    for (const SectionNode* node = list->first(); node != nullptr; node = node->next) {
      const LineList* section = node->value.get();
      if (section_used(check, section)) {
        continue;
      }
      const auto header = check.places.header_line.find(section);
      check.findings.add(Severity::Warning, check.config_path,
                         header == check.places.header_line.end() ? 0 : header->second, 0,
                         "unused-section",
                         "no placeholder of the template names this table: \"" +
                             Text(section->head->view()) + "\"");
    }
  }
  const LineList* comma_section = check.configuration.comma_section();
  if (comma_section == nullptr) {
    return;
  }
  const auto header = check.places.header_line.find(comma_section);
  std::size_t index = 0;
  for (const Line& line : comma_section->lines()) {
    if (index++ == 0 || line.size() == 0 || check.run.comma_entry_used(&line)) {
      continue;
    }
    check.findings.add(Severity::Warning, check.config_path,
                       header == check.places.header_line.end() ? 0 : header->second + index - 1, 0,
                       "unused-comma-insert",
                       "no value of this run matched the COMMA_INSERT line \"" + Text(line.view()) +
                           "\"; it lists element:attribute for pairs and table cells, the whole "
                           "placeholder text ({...}, %...%, a bare name) otherwise");
  }
}

}  // namespace ruvo::check
