#include "check/encoding_advice.h"

namespace ruvo::check {

Text EncodingAdvice::keeping(std::string_view utf8) {
  if (!opened_) {
    for (std::size_t i = 0; i < std::size(kLegacy); ++i) {
      static_cast<void>(legacy_[i].open(kLegacy[i]));  // one that cannot be had is Latin-1
    }
    opened_ = true;
  }
  Text advice = "-encoding UTF-8";
  for (std::size_t i = 0; i < std::size(kLegacy); ++i) {
    TextBufferPtr converted;
    bool lost = true;
    if (!legacy_[i].is_latin1() && legacy_[i].from_utf8(utf8, converted, &lost) && !lost) {
      advice += " or -encoding ";
      advice += kLegacy[i];
      break;
    }
  }
  return advice;
}

}  // namespace ruvo::check
