#include "text/utf8.h"

namespace ruvo {

std::size_t utf8_decode(const unsigned char* text, std::size_t available, std::uint32_t& code) {
  const unsigned char lead = text[0];
  std::size_t length = 0;
  std::uint32_t minimum = 0;
  if (lead < 0x80) {
    code = lead;
    return 1;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1FU;
    minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0FU;
    minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07U;
    minimum = 0x10000;
  } else {
    return 0;
  }
  if (length > available) {
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if ((text[i] & 0xC0U) != 0x80U) {
      return 0;
    }
    code = (code << 6U) | (text[i] & 0x3FU);
  }
  // Overlong forms, surrogates and code points past Unicode are malformed.
  if (code < minimum || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
    return 0;
  }
  return length;
}

std::size_t utf8_encode(std::uint32_t code, char* out) {
  if (code < 0x80) {
    out[0] = static_cast<char>(code);
    return 1;
  }
  if (code < 0x800) {
    out[0] = static_cast<char>(0xC0U | (code >> 6U));
    out[1] = static_cast<char>(0x80U | (code & 0x3FU));
    return 2;
  }
  if (code < 0x10000) {
    out[0] = static_cast<char>(0xE0U | (code >> 12U));
    out[1] = static_cast<char>(0x80U | ((code >> 6U) & 0x3FU));
    out[2] = static_cast<char>(0x80U | (code & 0x3FU));
    return 3;
  }
  out[0] = static_cast<char>(0xF0U | (code >> 18U));
  out[1] = static_cast<char>(0x80U | ((code >> 12U) & 0x3FU));
  out[2] = static_cast<char>(0x80U | ((code >> 6U) & 0x3FU));
  out[3] = static_cast<char>(0x80U | (code & 0x3FU));
  return 4;
}

}  // namespace ruvo
