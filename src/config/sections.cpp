#include "config/sections.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "text/text_buffer.h"

namespace ruvo {

namespace {

// The name wrapped in its markers ("[" name "]", "<<" name ">>") in a buffer of exactly the
// size it needs; none when the buffer cannot be had.
TextBufferPtr wrapped_name(const char* open, const char* name, const char* close) {
  const std::size_t length = std::strlen(open) + std::strlen(name) + std::strlen(close);
  TextBufferPtr text = text_buffer_new(length + 1);
  if (!text) {
    return text;
  }
  std::snprintf(text->data(), text->capacity(), "%s%s%s", open, name, close);
  if (!text->set_length(length)) {
    text.reset();
  }
  return text;
}

bool contains(const Line* line, std::string_view text) {
  return line->view().find(text) != std::string_view::npos;
}

// A line whose first '[' has only spaces and tabs before it starts a new section of some name.
bool is_bracket_line(const Line* line) {
  for (const char c : line->view()) {
    if (c == '[') {
      return true;
    }
    if (c != ' ' && c != '\t') {
      return false;
    }
  }
  return false;
}

}  // namespace

LineListPtr extract_section(LineList* config, const char* name, SectionPass& pass) {
  if (config == nullptr || name == nullptr || pass.reached_end) {
    return LineListPtr();
  }
  TextBufferPtr header = wrapped_name("[", name, "]");
  if (!header) {
    return LineListPtr();
  }
  Line* line = line_list_current(config);
  if (line == nullptr) {
    line = line_list_rewind(config);
  }
  if (line == nullptr) {
    pass.reached_end = true;
    return LineListPtr();
  }
  LineListPtr section = line_list_new();
  if (!section) {
    return section;
  }

  bool open = false;
  while (line != nullptr) {
    if (!open) {
      if (contains(line, header->view())) {
        // Without its header a section would be misread (its first entry taken for the header),
        // so a header that cannot be copied gives none; the cursor stays on it.
        if (!line_list_append(section.get(), line->text(), line->size())) {
          return LineListPtr();
        }
        open = true;
      }
    } else if (is_bracket_line(line)) {
      // The cursor stays on this line: the next call starts with it, so that a section of the
      // same name that follows directly is found too.
      break;
    } else {
      // A content line that cannot be copied is left out of the section.
      static_cast<void>(line_list_append(section.get(), line->text(), line->size()));
    }
    line = line_list_next(config);
    if (line == nullptr) {
      // The cursor keeps the last line, so the end is remembered in the pass instead.
      pass.reached_end = true;
    }
  }

  if (section->count == 0) {
    return LineListPtr();
  }
  return section;
}

SectionListPtr section_list_new() {
  return make_tracked<SectionList>();
}

bool section_list_append(SectionList* list, LineListPtr section) {
  // On every refusal the section is released here, as the list would have owned it.
  return list != nullptr && section && list->append(std::move(section)) != nullptr;
}

namespace {

void extract_every_section(LineList* config, const char* name, SectionList* sections) {
  line_list_rewind(config);
  SectionPass pass;
  for (LineListPtr section = extract_section(config, name, pass); section;
       section = extract_section(config, name, pass)) {
    section_list_append(sections, std::move(section));
  }
}

}  // namespace

LineListPtr cut_configuration(LineList* config, SectionList* column_sections,
                              SectionList* master_sections) {
  line_list_rewind(config);
  SectionPass comma_pass;
  LineListPtr comma_section = extract_section(config, kCommaInsertSection, comma_pass);
  extract_every_section(config, kTableColumnsSection, column_sections);
  extract_every_section(config, kMasterTableSection, master_sections);
  return comma_section;
}

LineList* find_section(const char* name, const SectionList* list) {
  if (name == nullptr || list == nullptr) {
    return nullptr;
  }
  TextBufferPtr key = wrapped_name("<<", name, ">>");
  if (!key) {
    return nullptr;
  }
  for (const SectionNode* node = list->first(); node != nullptr; node = node->next) {
    LineList* section = node->value.get();
    const Line* header = section != nullptr ? section->lines().front() : nullptr;
    if (header != nullptr && contains(header, key->view())) {
      line_list_rewind(section);
      return section;
    }
  }
  return nullptr;
}

}  // namespace ruvo
