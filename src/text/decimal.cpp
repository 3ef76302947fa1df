#include "text/decimal.h"

#include <algorithm>
#include <cctype>
#include <limits>

namespace ruvo {

std::int32_t parse_leading_int32(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = std::min(value * 10 + (text[i] - '0'), kMax + 1);
  }
  return static_cast<std::int32_t>(negative ? -value : std::min(value, kMax));
}

}  // namespace ruvo
