#pragma once

#include <cstdint>
#include <string_view>

namespace ruvo {

// Reads a decimal integer from the start of a text: leading white space skipped, an optional
// sign, then digits up to the first other byte; 0 without digits. Values beyond 32 bits are
// held at the limit.
std::int32_t parse_leading_int32(std::string_view text);

}  // namespace ruvo
