// Thousands separators on any value: the integer part comes out as an optional sign, an
// optional currency symbol and the same digits in the same order with ',' only between two of
// them; the fractional part (from the first '.') comes out as it went in.
#include <cstdint>
#include <cstring>
#include <string>

#include "config/thousands.h"
#include "fuzz_support.h"

using namespace ruvo;

namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

bool is_currency(char c) {
  return c == '$' || c == '\xA3' || c == '\xA5';
}

std::string digits_of(std::string_view text) {
  std::string digits;
  for (const char c : text) {
    if (is_digit(c)) {
      digits += c;
    }
  }
  return digits;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  reset_process_state();
  {
    std::string value(reinterpret_cast<const char*>(data), size);  // c_str() adds the NUL
    TextBufferPtr result = format_thousands(value.data());
    fuzz::check(static_cast<bool>(result), "no result");
    // The value was trimmed in place; what is left of it up to its NUL is what was formatted.
    const std::string_view trimmed(value.c_str());
    const std::string_view out = result->view();
    fuzz::check(out.size() == std::strlen(result->data()), "NUL inside the result");

    const std::size_t in_dot = trimmed.find('.');
    const std::size_t out_dot = out.find('.');
    const std::string_view in_integer = trimmed.substr(0, in_dot);
    const std::string_view out_integer = out.substr(0, out_dot);
    fuzz::check(
        (in_dot == std::string_view::npos) == (out_dot == std::string_view::npos) &&
            (in_dot == std::string_view::npos || trimmed.substr(in_dot) == out.substr(out_dot)),
        "the fractional part changed");

    std::size_t i = 0;
    if (i < out_integer.size() && (out_integer[i] == '-' || out_integer[i] == '+')) {
      ++i;
    }
    if (i < out_integer.size() && is_currency(out_integer[i])) {
      ++i;
    }
    const std::string_view grouped = out_integer.substr(i);
    for (std::size_t k = 0; k < grouped.size(); ++k) {
      const char c = grouped[k];
      fuzz::check(is_digit(c) || (c == ',' && k > 0 && k + 1 < grouped.size() &&
                                  is_digit(grouped[k - 1]) && is_digit(grouped[k + 1])),
                  "a byte other than a digit or a ',' between digits");
    }
    fuzz::check(digits_of(grouped) == digits_of(in_integer), "the integer digits changed");
  }
  fuzz::check_all_released();
  return 0;
}
