#include "config/comma_insert.h"

#include <algorithm>
#include <new>

namespace ruvo {

namespace {

bool is_quote(char c) {
  return c == '"' || c == '\'';
}

// Only A to Z fold: letters beyond ASCII must match exactly.
char fold(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equal_folded(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return fold(x) == fold(y); });
}

// Compares one half of a pair entry with a name as if every quote had been removed from the
// entry first.
bool equal_unquoted_folded(std::string_view entry, std::string_view name) {
  std::size_t matched = 0;
  for (const char c : entry) {
    if (is_quote(c)) {
      continue;
    }
    if (matched == name.size() || fold(c) != fold(name[matched])) {
      return false;
    }
    ++matched;
  }
  return matched == name.size();
}

std::size_t unquoted_size(std::string_view text) {
  return text.size() - static_cast<std::size_t>(std::count_if(text.begin(), text.end(), is_quote));
}

void report_match(FillObserver* observer, const Line& entry) {
  if (observer != nullptr) {
    observer->comma_entry_matched(&entry);
  }
}

bool is_ascii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

// Either quote character flips one shared quote state.
CommaInsert::Reading CommaInsert::read(std::string_view entry) {
  Reading reading;
  bool quoted = false;
  for (std::size_t i = 0; i < entry.size(); ++i) {
    if (is_quote(entry[i])) {
      quoted = !quoted;
    } else if (entry[i] == ':' && !quoted) {
      reading.split = i;
      reading.pair = true;
      reading.element_size = unquoted_size(entry.substr(0, i));
      reading.attribute_size = unquoted_size(entry.substr(i + 1));
      break;
    }
  }
  return reading;
}

bool CommaInsert::names(std::string_view entry, const Reading& reading, std::string_view element,
                        std::string_view attribute) {
  return reading.pair && reading.element_size == element.size() &&
         reading.attribute_size == attribute.size() &&
         equal_unquoted_folded(entry.substr(0, reading.split), element) &&
         equal_unquoted_folded(entry.substr(reading.split + 1), attribute);
}

CommaInsert::CommaInsert(const LineList* section) noexcept : section_(section) {
  if (section == nullptr) {
    return;
  }
  try {
    for (const Line& line : section->lines().after_first()) {  // the header is no entry
      readings_.push_back(read(line.view()));
    }
  } catch (const std::bad_alloc&) {
    readings_.clear();
  }
}

template <class Visit>
const Line* CommaInsert::find(Visit visit) const {
  if (section_ == nullptr) {
    return nullptr;
  }
  std::size_t index = 0;
  for (const Line& line : section_->lines().after_first()) {
    const Reading reading = readings_.empty() ? read(line.view()) : readings_[index++];
    if (visit(line.view(), reading)) {
      return &line;
    }
  }
  return nullptr;
}

const Line* CommaInsert::pair_entry(std::string_view element, std::string_view attribute,
                                    FillObserver* observer) const {
  const Line* found = find([&](std::string_view entry, const Reading& reading) {
    return names(entry, reading, element, attribute);
  });
  if (found != nullptr) {
    report_match(observer, *found);
  }
  return found;
}

const Line* CommaInsert::pair_entry_utf8(const TextCodec& codec, std::string_view element,
                                         std::string_view attribute, FillObserver* observer) const {
  const Line* found = find([&](std::string_view entry, const Reading& reading) {
    if (!reading.pair) {
      return false;
    }
    if (is_ascii(entry)) {
      return names(entry, reading, element, attribute);
    }
    TextBufferPtr utf8;
    if (!codec.to_utf8(entry, utf8)) {
      return false;  // not text in the encoding, or no memory: it names nothing
    }
    return names(utf8->view(), read(utf8->view()), element, attribute);
  });
  if (found != nullptr) {
    report_match(observer, *found);
  }
  return found;
}

const Line* CommaInsert::text_entry(std::string_view text, FillObserver* observer) const {
  const Line* found = find([&](std::string_view entry, const Reading& /*reading*/) {
    return equal_folded(entry, text);
  });
  if (found != nullptr) {
    report_match(observer, *found);
  }
  return found;
}

bool is_comma_pair(const LineList* comma_section, std::string_view element,
                   std::string_view attribute, FillObserver* observer) {
  return CommaInsert(comma_section).pair_entry(element, attribute, observer) != nullptr;
}

bool is_comma_text(const LineList* comma_section, std::string_view text, FillObserver* observer) {
  return CommaInsert(comma_section).text_entry(text, observer) != nullptr;
}

}  // namespace ruvo
