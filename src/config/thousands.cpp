#include "config/thousands.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "text/utf8.h"

namespace ruvo {

namespace {

constexpr unsigned char kPoundSign = 0xA3;
constexpr unsigned char kYenSign = 0xA5;
constexpr std::uint32_t kEuroSign = 0x20AC;

bool is_currency(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return c == '$' || byte == kPoundSign || byte == kYenSign;
}

bool is_currency_character(std::uint32_t code) {
  return code == '$' || code == kPoundSign || code == kYenSign || code == kEuroSign;
}

// The integer part's characters (bytes or code points) grouped right to left into reversed,
// which takes 2 * count + 1: its digits with a ',' after each three, then its currency symbol
// and its sign; everything else is dropped. Returns how many were written.
template <class Char, class IsCurrency>
std::size_t group_reversed(const Char* integer, std::size_t count, Char* reversed,
                           IsCurrency is_currency_symbol) {
  const auto digit = [](Char c) { return c >= '0' && c <= '9'; };
  std::size_t written = 0;
  Char sign{};
  Char currency{};
  std::size_t group = 0;
  for (std::size_t i = count; i-- > 0;) {
    const Char c = integer[i];
    if (c == '-' || c == '+') {
      sign = c;  // a sign further left wins
    } else if (is_currency_symbol(c)) {
      currency = c;
    } else if (digit(c)) {
      reversed[written++] = c;
      ++group;
      // Dropped characters do not break a group, but a ',' only goes between adjacent digits.
      if (group % 3 == 0 && i > 0 && digit(integer[i - 1])) {
        reversed[written++] = ',';
        group = 0;
      }
    }
  }
  if (currency != Char{}) {
    reversed[written++] = currency;
  }
  if (sign != Char{}) {
    reversed[written++] = sign;
  }
  return written;
}

}  // namespace

bool format_thousands_into(char* value, TextBufferPtr& result) {
  if (value == nullptr) {
    return false;
  }
  text_trim(value);
  const std::size_t n = std::strlen(value);
  // Digits, one ',' per three of them, a sign and a symbol never need more than 2n + 1 bytes.
  constexpr std::size_t kStackWork = 256;
  char stack_work[kStackWork];
  ByteBlock heap_work;
  char* out = stack_work;
  if (2 * n + 1 > kStackWork) {
    heap_work = ByteBlock(2 * n + 1);
    if (heap_work.empty()) {
      return false;
    }
    out = heap_work.get();
  }

  // The integer part ends at the first '.'; the fraction is that '.' and what follows it.
  const std::size_t integer_length = std::min(std::string_view(value, n).find('.'), n);

  // The grouped digits are built right to left, then turned around.
  const std::size_t written = group_reversed(value, integer_length, out, is_currency);
  std::reverse(out, out + written);

  const std::size_t fraction = n - integer_length;
  const std::size_t size = written + fraction;
  if (!result || result->capacity() < size + 1) {
    TextBufferPtr larger = text_buffer_new(std::max(size + 1, 2 * n + 1));
    if (!larger) {
      return false;
    }
    result = std::move(larger);
  }
  std::memcpy(result->data(), out, written);
  if (fraction > 0) {
    std::memcpy(result->data() + written, value + integer_length, fraction);
  }
  return result->set_length(size);
}

TextBufferPtr format_thousands(char* value) {
  TextBufferPtr result;
  if (!format_thousands_into(value, result)) {
    result.reset();
  }
  return result;
}

namespace {

// The same rules on characters of UTF-8 text: a character is kept, dropped or moved whole.
bool format_utf8_thousands(std::string_view utf8, TextBufferPtr& result) {
  const std::size_t integer_length = std::min(utf8.find('.'), utf8.size());
  // Characters of the integer part, then what the result starts with, in reverse.
  TrackedArray<std::uint32_t> characters(integer_length + 1);
  TrackedArray<std::uint32_t> reversed(2 * integer_length + 3);
  if (characters.empty() || reversed.empty()) {
    return false;
  }
  std::size_t count = 0;
  const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
  for (std::size_t at = 0; at < integer_length;) {
    std::uint32_t code = 0;
    const std::size_t length = utf8_decode(bytes + at, integer_length - at, code);
    characters[count++] = length == 0 ? 0xFFFD : code;
    at += length == 0 ? 1 : length;
  }
  const std::size_t written =
      group_reversed(characters.get(), count, reversed.get(), is_currency_character);
  const std::string_view fraction = utf8.substr(integer_length);
  TextBufferPtr grouped = text_buffer_new(4 * written + fraction.size() + 1);
  if (!grouped) {
    return false;
  }
  std::size_t size = 0;
  for (std::size_t i = written; i-- > 0;) {
    size += utf8_encode(reversed[i], grouped->data() + size);
  }
  std::memcpy(grouped->data() + size, fraction.data(), fraction.size());
  size += fraction.size();
  if (!grouped->set_length(size)) {
    return false;
  }
  result = std::move(grouped);
  return true;
}

}  // namespace

bool format_thousands_into(char* value, TextBufferPtr& result, const TextCodec& codec) {
  if (codec.is_latin1()) {
    return format_thousands_into(value, result);
  }
  if (value == nullptr) {
    return false;
  }
  text_trim(value);
  TextBufferPtr utf8;
  TextBufferPtr grouped;
  TextBufferPtr written;
  if (!codec.to_utf8(value, utf8) || !format_utf8_thousands(utf8->view(), grouped) ||
      !codec.from_utf8(grouped->view(), written)) {
    return false;
  }
  result = std::move(written);
  return true;
}

TextBufferPtr format_thousands(char* value, const TextCodec& codec) {
  TextBufferPtr result;
  if (!format_thousands_into(value, result, codec)) {
    result.reset();
  }
  return result;
}

}  // namespace ruvo
