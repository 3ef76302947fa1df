// A configuration file: cut into its sections, sections looked up by name, master-table
// definitions read, comma entries matched, and a row layout taken from one of its lines.
#include <cstdint>
#include <string>
#include <string_view>

#include "config/comma_insert.h"
#include "config/sections.h"
#include "config/thousands.h"
#include "fuzz_support.h"
#include "tables/master_definition.h"

using namespace ruvo;

namespace {

bool is_bracket_line(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  return first != std::string_view::npos && text[first] == '[';
}

// Every section holds its header first and no bracket line after it; the sections of one name
// never hold more lines than the file.
void check_sections(const SectionList* sections, const char* name, std::size_t file_lines) {
  const std::string header = std::string("[") + name + "]";
  std::size_t lines = 0;
  for (const SectionNode* node = sections->first(); node != nullptr; node = node->next) {
    const LineList* section = node->value.get();
    fuzz::check(section != nullptr && section->count > 0, "an empty section");
    fuzz::check_list(section);
    fuzz::check(section->head->view().find(header) != std::string_view::npos,
                "a section without its header");
    for (const Line* line = section->head->next; line != nullptr; line = line->next) {
      fuzz::check(!is_bracket_line(line->view()), "a bracket line inside a section");
    }
    lines += section->count;
  }
  fuzz::check(lines <= file_lines, "sections hold more lines than the file");
}

// The first section whose header holds "<<" name ">>", or none.
void check_found(const SectionList* sections, const char* name) {
  const std::string key = std::string("<<") + name + ">>";
  const LineList* expected = nullptr;
  for (const SectionNode* node = sections->first(); node != nullptr && !expected;
       node = node->next) {
    if (node->value->head->view().find(key) != std::string_view::npos) {
      expected = node->value.get();
    }
  }
  fuzz::check(find_section(name, sections) == expected, "find_section");
}

void check_chain(const MasterChain& chain) {
  for (const auto* level = chain.levels.first(); level != nullptr; level = level->next) {
    fuzz::check(level->value.name && level->value.path, "a level without name or path");
    for (const auto* field = level->value.fields.first(); field != nullptr; field = field->next) {
      fuzz::check(field->value.name && field->value.label, "a field without name or label");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  reset_process_state();
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // A name the input itself suggests: what stands between its first "<<" and the ">>" after it.
  std::string name;
  const std::size_t open = bytes.find("<<");
  const std::size_t close = open == std::string_view::npos ? open : bytes.find(">>", open);
  if (close != std::string_view::npos) {
    name = std::string(bytes.substr(open + 2, close - open - 2));
  }
  {
    LineListPtr config = fuzz::load_lines(bytes.data(), bytes.size());
    SectionListPtr columns = section_list_new();
    SectionListPtr masters = section_list_new();
    fuzz::check(columns && masters, "no section lists");

    LineListPtr comma = cut_configuration(config.get(), columns.get(), masters.get());
    check_sections(columns.get(), kTableColumnsSection, config->count);
    check_sections(masters.get(), kMasterTableSection, config->count);
    if (comma) {
      fuzz::check_list(comma.get());
    }

    for (const std::string& key :
         {std::string("Detalle"), std::string("Partidas"), std::string(), name}) {
      check_found(columns.get(), key.c_str());
      check_found(masters.get(), key.c_str());
    }
    for (const SectionNode* node = masters->first(); node != nullptr; node = node->next) {
      Tracked<MasterChain> chain = read_master_definitions(node->value.get());
      fuzz::check(static_cast<bool>(chain), "no master chain");
      check_chain(*chain);
    }

    // Comma entries against the name cut at its first ':', and as a whole text.
    const std::size_t colon = name.find(':');
    static_cast<void>(is_comma_pair(comma.get(), std::string_view(name).substr(0, colon),
                                    colon == std::string::npos ? "" : name.substr(colon + 1)));
    static_cast<void>(is_comma_text(comma.get(), name));

    if (config->tail != nullptr) {
      RowLayout layout = take_row_layout(config->tail->view(), name);
      fuzz::check(
          layout.row_text && layout.row_text->view().substr(0, 3) == "~[ " && layout.width >= 1,
          "row layout");
    }
  }
  fuzz::check_all_released();
  return 0;
}
