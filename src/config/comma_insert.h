// The COMMA_INSERT section: which values are shown with thousands separators.
//
// After its header, each line is an entry compared untrimmed and without regard to the case of
// A to Z:
// - element:attribute, split at the first ':' outside quotes (a double quote or an apostrophe
//   flips one shared quote state), quotes then removed from both halves; a prefixed element is
//   written between quotes: "ns:Detaprod":importe;
// - a whole placeholder text as written between "<<" and ">>" ({...} or %...%).
//
// The entries are read once, when the configuration is: a fill asks about every value it places,
// and each question then costs a comparison of names per entry, not a reading of the lines.
#pragma once

#include <string_view>
#include <vector>

#include "base/fill_observer.h"
#include "text/line_list.h"
#include "text/text_codec.h"
#include "text/tracked_memory.h"

namespace ruvo {

class CommaInsert {
 public:
  // No section: nothing is grouped.
  CommaInsert() = default;
  // The section's entries, read now; the section must outlive the reading. When memory for the
  // readings is short, each question reads the lines again.
  explicit CommaInsert(const LineList* section) noexcept;

  // The first entry naming the element and the attribute, or none; the observer, when there is
  // one, is told which line matched.
  const Line* pair_entry(std::string_view element, std::string_view attribute,
                         FillObserver* observer = nullptr) const;
  // The same for names as the document spells them (UTF-8): each entry is compared as UTF-8,
  // converted from the encoding of the configuration.
  const Line* pair_entry_utf8(const TextCodec& codec, std::string_view element,
                              std::string_view attribute, FillObserver* observer = nullptr) const;
  // The first entry equal to the whole text, or none.
  const Line* text_entry(std::string_view text, FillObserver* observer = nullptr) const;

 private:
  // Where an entry splits, and how long its halves are with their quotes removed: a name of
  // another length cannot match, so most entries are passed over without a look at their text.
  struct Reading {
    std::size_t split = 0;  // the first ':' outside quotes
    std::size_t element_size = 0;
    std::size_t attribute_size = 0;
    bool pair = false;  // holds such a ':'
  };
  static Reading read(std::string_view entry);
  static bool names(std::string_view entry, const Reading& reading, std::string_view element,
                    std::string_view attribute);

  // Calls visit with each entry line and its reading until visit says it is done.
  template <class Visit>
  const Line* find(Visit visit) const;

  const LineList* section_ = nullptr;
  std::vector<Reading, TrackedAllocator<Reading>> readings_;  // empty: read on each question
};

// The same questions about a section read for them alone (the section may be none).
bool is_comma_pair(const LineList* comma_section, std::string_view element,
                   std::string_view attribute, FillObserver* observer = nullptr);
bool is_comma_text(const LineList* comma_section, std::string_view text,
                   FillObserver* observer = nullptr);

}  // namespace ruvo
