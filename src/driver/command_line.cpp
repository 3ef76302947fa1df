#include "driver/command_line.h"

#include <strings.h>

#include <cstring>
#include <utility>

#include "text/decimal.h"

namespace ruvo {

namespace {

bool is_quote(char c) {
  return c == '"' || c == '\'';
}

bool option_is(const char* argument, const char* word) {
  // strcasecmp folds only A to Z in the C locale the program runs in.
  return strcasecmp(argument, word) == 0;
}

}  // namespace

bool ArgTable::allocate() {
  slots_ = TrackedArray<SlotPtr>();
  TrackedArray<SlotPtr> slots(kSlots);
  if (slots.empty()) {
    return false;
  }
  for (std::size_t i = 0; i < slots.size(); ++i) {
    slots[i] = make_tracked<Slot>();
    if (!slots[i]) {
      return false;
    }
  }
  slots_ = std::move(slots);
  return true;
}

bool ArgTable::store(int index, const char* bytes, std::size_t length) {
  if (slots_.empty() || index < 0 || index >= kSlots || length > kMaxArgumentLength) {
    return false;
  }
  char* slot = slots_[static_cast<std::size_t>(index)]->bytes;
  std::memcpy(slot, bytes, length);
  slot[length] = '\0';
  return true;
}

StoredArguments split_command_line(const char* text, ArgTable& table, int max) {
  StoredArguments stored;
  if (text == nullptr) {
    return stored;
  }
  const char* p = text;
  while (*p != '\0' && stored.count < max - 1) {
    while (*p == ' ') {
      ++p;
    }
    if (*p == '\0') {
      break;  // blanks at the end make no argument
    }
    const char* begin = p;
    bool quoted = false;
    while (*p != '\0' && (quoted || *p != ' ')) {
      if (is_quote(*p)) {
        quoted = !quoted;
      }
      ++p;
    }
    std::size_t length = static_cast<std::size_t>(p - begin);
    // Only a pair of the same quote around the whole argument is removed; a lone quote stays.
    if (length >= 2 && is_quote(begin[0]) && begin[length - 1] == begin[0]) {
      ++begin;
      length -= 2;
    }
    if (!table.store(stored.count, begin, length)) {
      stored.too_long = true;
      return stored;
    }
    ++stored.count;
  }
  return stored;
}

StoredArguments store_arguments(int argc, const char* const* argv, ArgTable& table, int max) {
  StoredArguments stored;
  for (int i = 0; i < argc && stored.count < max - 1; ++i) {
    if (!table.store(stored.count, argv[i], std::strlen(argv[i]))) {
      stored.too_long = true;
      return stored;
    }
    ++stored.count;
  }
  return stored;
}

std::int32_t parse_row_count(const char* text) {
  return parse_leading_int32(text);
}

const OptionSpec* find_option(const char* argument) {
  for (const OptionSpec& option : kOptions) {
    if (option_is(argument, option.word)) {
      return &option;
    }
  }
  return nullptr;
}

bool is_option_word(const char* argument) {
  return find_option(argument) != nullptr;
}

bool apply_option(const OptionSpec& option, const char* value, RunSettings& settings) {
  switch (option.effect) {
    case OptionEffect::Help:
      return false;
    case OptionEffect::Preview:
      settings.preview.on = true;
      settings.preview.rows = value != nullptr ? parse_row_count(value) : kPreviewRowsWhenLast;
      break;
    case OptionEffect::Configuration:
      if (value != nullptr) {
        settings.config_path = value;
      }
      break;
    case OptionEffect::XmlMode:
      settings.output_mode = OutputMode::Xml;
      break;
    case OptionEffect::TextMode:
      settings.output_mode = OutputMode::Text;
      break;
    case OptionEffect::Encoding:
      if (value != nullptr) {
        settings.encoding = value;
      }
      break;
  }
  return true;
}

bool apply_options(const ArgTable& table, int count, RunSettings& settings) {
  for (int i = 0; i < count; ++i) {
    const OptionSpec* option = find_option(table.at(i));
    if (option != nullptr &&
        !apply_option(*option, i + 1 < count ? table.at(i + 1) : nullptr, settings)) {
      return true;
    }
  }
  return false;
}

void print_option_synopsis(std::FILE* out) {
  const char* separator = "";
  for (const OptionSpec& option : kOptions) {
    std::fprintf(out, "%s[%s%s%s]", separator, option.word, option.value_name != nullptr ? " " : "",
                 option.value_name != nullptr ? option.value_name : "");
    separator = " ";
  }
}

void print_option_lines(std::FILE* out) {
  for (const OptionSpec& option : kOptions) {
    char shown[32];
    std::snprintf(shown, sizeof shown, "%s%s%s", option.word,
                  option.value_name != nullptr ? " " : "",
                  option.value_name != nullptr ? option.value_name : "");
    std::fprintf(out, "  %-12s %s\n", shown, option.help);
  }
}

}  // namespace ruvo
