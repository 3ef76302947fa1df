// Reading UTF-8, one character at a time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ruvo {

// The length of the well-formed UTF-8 sequence at text[0] (at most available bytes long), with
// its code point in code; 0 when the bytes there are not one (a stray continuation byte, a lead
// byte without its continuations, an overlong form, a surrogate, a code point past Unicode).
std::size_t utf8_decode(const unsigned char* text, std::size_t available, std::uint32_t& code);

// The bytes a code point takes in UTF-8, written to out (room for 4): their count.
std::size_t utf8_encode(std::uint32_t code, char* out);

}  // namespace ruvo
