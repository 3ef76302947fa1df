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

ArgTable::ArgTable(ArgTable&& other) noexcept : slots_(std::exchange(other.slots_, nullptr)) {}

ArgTable& ArgTable::operator=(ArgTable&& other) noexcept {
  ArgTable discarded(std::move(*this));
  slots_ = std::exchange(other.slots_, nullptr);
  return *this;
}

ArgTable::~ArgTable() {
  if (slots_ == nullptr) {
    return;
  }
  for (int i = 0; i < kSlots; ++i) {
    if (slots_[i] != nullptr) {
      tracked_free(slots_[i], kSlotSize);
    }
  }
  tracked_free(slots_, kSlots * sizeof(char*));
}

bool ArgTable::allocate() {
  void* array = tracked_alloc(kSlots * sizeof(char*));
  if (array == nullptr) {
    return false;
  }
  slots_ = static_cast<char**>(array);
  for (int i = 0; i < kSlots; ++i) {
    slots_[i] = nullptr;
  }
  for (int i = 0; i < kSlots; ++i) {
    slots_[i] = static_cast<char*>(tracked_alloc(kSlotSize));
    if (slots_[i] == nullptr) {
      ArgTable discarded(std::move(*this));
      return false;
    }
  }
  return true;
}

bool ArgTable::store(int index, const char* bytes, std::size_t length) {
  if (slots_ == nullptr || index < 0 || index >= kSlots || length > kMaxArgumentLength) {
    return false;
  }
  std::memcpy(slots_[index], bytes, length);
  slots_[index][length] = '\0';
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
