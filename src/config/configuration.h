// What a run uses of its configuration file: the first COMMA_INSERT section and every
// TABLE_COLUMNS and MASTER_TABLE section, each kind in file order. It is cut from the file's
// lines once; a fill reads it (and moves the sections' cursors while it reads a table), and
// ruvo-batch hands the same one to every document.
#pragma once

#include <utility>

#include "config/comma_insert.h"
#include "config/sections.h"
#include "text/line_list.h"

namespace ruvo {

class Configuration {
 public:
  // Makes the two section lists, empty; usable() is false when memory for them is short.
  Configuration() : columns_(section_list_new()), masters_(section_list_new()) {}

  bool usable() const { return columns_ && masters_; }

  // Cuts the sections from the configuration file's lines, which may be released afterwards.
  void cut(LineList* config_lines) {
    set_comma_section(cut_configuration(config_lines, columns_.get(), masters_.get()));
  }

  // Sections made one by one (tests); an append is false, the section released, when memory
  // for it is short.
  void set_comma_section(LineListPtr section) {
    comma_ = std::move(section);
    comma_insert_ = CommaInsert(comma_.get());
  }
  bool add_column_section(LineListPtr section) {
    return section_list_append(columns_.get(), std::move(section));
  }
  bool add_master_section(LineListPtr section) {
    return section_list_append(masters_.get(), std::move(section));
  }

  // The COMMA_INSERT section, or none, and its entries.
  LineList* comma_section() const { return comma_.get(); }
  const CommaInsert& comma_insert() const { return comma_insert_; }
  const SectionList* column_sections() const { return columns_.get(); }
  const SectionList* master_sections() const { return masters_.get(); }

 private:
  SectionListPtr columns_;
  SectionListPtr masters_;
  LineListPtr comma_;
  CommaInsert comma_insert_;
};

}  // namespace ruvo
