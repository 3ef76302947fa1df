#include "tables/master_definition.h"

#include <strings.h>

#include "text/decimal.h"

namespace ruvo {

namespace {

bool kind_is(std::string_view kind, const char* word) {
  const std::size_t length = std::char_traits<char>::length(word);
  return kind.size() == length && strncasecmp(kind.data(), word, length) == 0;
}

// The definition line cut at its commas: fields 3 and 4 may be missing.
struct DefinitionFields {
  std::string_view kind;
  std::string_view name;
  std::string_view path_or_label;
  std::string_view level;
  bool has_level = false;
};

DefinitionFields split_definition(std::string_view line, std::size_t first_comma) {
  DefinitionFields fields;
  fields.kind = line.substr(0, first_comma);
  const std::string_view rest = line.substr(first_comma + 1);
  const std::size_t second = rest.find(',');
  fields.name = rest.substr(0, second);
  if (second == std::string_view::npos) {
    return fields;
  }
  const std::string_view after_second = rest.substr(second + 1);
  const std::size_t third = after_second.find(',');
  fields.path_or_label = after_second.substr(0, third);
  if (third != std::string_view::npos) {
    fields.level = after_second.substr(third + 1);
    fields.has_level = true;
  }
  return fields;
}

// A level number followed directly or after a blank by a "C" that ends the line.
bool has_c_flag(std::string_view level_field) {
  const std::size_t c = level_field.find('C');
  return c != std::string_view::npos && c + 1 == level_field.size();
}

}  // namespace

bool add_master_level(MasterChain& chain, TextBufferPtr name, TextBufferPtr path,
                      std::int32_t level, bool c_flag) {
  MasterLevel made;
  made.name = std::move(name);
  made.path = std::move(path);
  made.level = level;
  made.c_flag = c_flag;
  return chain.levels.append(std::move(made)) != nullptr;
}

bool add_master_field(MasterChain& chain, TextBufferPtr name, TextBufferPtr label) {
  MasterLevel* level = chain.levels.back();
  if (level == nullptr) {
    return false;
  }
  MasterField field;
  field.name = std::move(name);
  field.label = std::move(label);
  return level->fields.append(std::move(field)) != nullptr;
}

bool read_master_definition(MasterChain& chain, std::string_view line) {
  const std::size_t first_comma = line.find(',');
  if (first_comma == std::string_view::npos) {
    return true;
  }
  const DefinitionFields fields = split_definition(line, first_comma);
  bool c_flag = false;
  if (fields.has_level) {
    chain.level_number = parse_leading_int32(fields.level);
    c_flag = has_c_flag(fields.level);
  }
  const bool is_element = kind_is(fields.kind, "element");
  if (!is_element && !kind_is(fields.kind, "attribute")) {
    return true;
  }
  if (!is_element && chain.levels.empty()) {
    return true;  // a cell before any level belongs nowhere
  }
  TextBufferPtr name = text_buffer_from(fields.name);
  TextBufferPtr second = text_buffer_from(fields.path_or_label);
  if (!name || !second) {
    return false;
  }
  if (is_element) {
    return add_master_level(chain, std::move(name), std::move(second), chain.level_number, c_flag);
  }
  return add_master_field(chain, std::move(name), std::move(second));
}

Tracked<MasterChain> read_master_definitions(LineList* section) {
  Tracked<MasterChain> chain = make_tracked<MasterChain>();
  if (!chain) {
    return chain;
  }
  line_list_rewind(section);
  for (const Line* line = line_list_next(section); line != nullptr;
       line = line_list_next(section)) {
    if (!read_master_definition(*chain, line->view())) {
      return Tracked<MasterChain>();
    }
  }
  return chain;
}

std::int32_t count_row_width(std::string_view text) {
  std::int32_t runs = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == ' ' && (i == 0 || text[i - 1] != ' ')) {
      ++runs;
    }
  }
  return runs + 1;
}

RowLayout take_row_layout(std::string_view line, std::string_view name) {
  std::string_view following;
  const std::size_t at = line.find(name);
  if (at != std::string_view::npos && at + name.size() + 2 <= line.size()) {
    following = line.substr(at + name.size() + 2);
  }
  RowLayout layout;
  layout.row_text = text_buffer_from("~[ ");
  if (layout.row_text &&
      !text_buffer_append_bytes(layout.row_text, following.data(), following.size())) {
    layout.row_text.reset();
  }
  layout.width = count_row_width(following);
  return layout;
}

}  // namespace ruvo
