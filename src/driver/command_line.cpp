#include "driver/command_line.h"

#include <strings.h>

#include <cstring>
#include <utility>

#include "base/process_state.h"
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

bool is_option_word(const char* argument) {
  for (const char* word : kOptionWords) {
    if (option_is(argument, word)) {
      return true;
    }
  }
  return false;
}

bool option_takes_value(const char* argument) {
  return option_is(argument, "-preview") || option_is(argument, "-c");
}

bool apply_options(const ArgTable& table, int count) {
  RunSettings& settings = run_settings();
  for (int i = 0; i < count; ++i) {
    const char* argument = table.at(i);
    const bool has_next = i + 1 < count;
    if (option_is(argument, "-h")) {
      return true;
    }
    if (option_is(argument, "-preview")) {
      settings.preview.on = true;
      settings.preview.rows = has_next ? parse_row_count(table.at(i + 1)) : 10;
    } else if (option_is(argument, "-c")) {
      if (has_next) {
        settings.config_path = table.at(i + 1);
      }
    } else if (option_is(argument, "-xml")) {
      settings.output_mode = OutputMode::Xml;
    } else if (option_is(argument, "-text")) {
      settings.output_mode = OutputMode::Text;
    }
  }
  return false;
}

}  // namespace ruvo
