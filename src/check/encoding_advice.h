// Which encodings would have kept the characters a value lost to the run's encoding.
#pragma once

#include <string_view>

#include "check/findings.h"
#include "text/text_codec.h"

namespace ruvo::check {

class EncodingAdvice {
 public:
  // "-encoding UTF-8", which holds every character, and " or -encoding CP1250" when one of the
  // legacy code pages ISO-8859-2, ISO-8859-15, CP1250 and CP1252 holds every character of the
  // UTF-8 text too (the first that does). The code pages are opened when first asked for.
  Text keeping(std::string_view utf8);

 private:
  static constexpr std::string_view kLegacy[] = {"ISO-8859-2", "ISO-8859-15", "CP1250", "CP1252"};
  TextCodec legacy_[std::size(kLegacy)];
  bool opened_ = false;
};

}  // namespace ruvo::check
