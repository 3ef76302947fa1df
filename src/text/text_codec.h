// The encoding the template, the configuration and the output are text in, and the conversions
// between it and UTF-8 (the document's text, and what libxml2 reads), through the platform's
// iconv. Latin-1, the default, is converted by the program's own code (xml/latin1), byte for byte
// as it always has been; any other encoding a run names (-encoding) goes through iconv.
//
// Only an ASCII-compatible encoding will do: every byte below 0x80 stands for that ASCII
// character and no other character uses such a byte, so the markers, the configuration's syntax
// and line ends keep their bytes in it.
#pragma once

#include <iconv.h>

#include <cstddef>
#include <string_view>

#include "text/text_buffer.h"

namespace ruvo {

class TextCodec {
 public:
  enum class Opening { Opened, Unknown, NotAsciiCompatible };

  // Latin-1.
  TextCodec() = default;
  TextCodec(const TextCodec&) = delete;
  TextCodec& operator=(const TextCodec&) = delete;
  ~TextCodec();

  // Takes the encoding of that name (iconv's names, compared without regard to case); a name of
  // Latin-1 keeps the default. On a refusal the codec stays Latin-1.
  [[nodiscard]] Opening open(std::string_view name);

  bool is_latin1() const { return from_utf8_ == kClosed; }
  // The name it was opened with; "ISO-8859-1" for the default.
  std::string_view name() const { return is_latin1() ? "ISO-8859-1" : std::string_view(name_); }
  bool is_utf8() const { return utf8_; }

  // The UTF-8 text in the encoding: a character it cannot hold, and each malformed byte, becomes
  // '?', and the text goes on. lost, when given, tells whether that happened. False when memory
  // is short.
  [[nodiscard]] bool from_utf8(std::string_view utf8, TextBufferPtr& out,
                               bool* lost = nullptr) const;
  // The text in the encoding as UTF-8; false when memory is short or the text is not valid in
  // the encoding, whose first invalid byte is then at *invalid_at (when given).
  [[nodiscard]] bool to_utf8(std::string_view text, TextBufferPtr& out,
                             std::size_t* invalid_at = nullptr) const;
  // Whether the text is valid in the encoding; npos, or the offset of its first invalid byte.
  std::size_t first_invalid(std::string_view text) const;

 private:
  static inline const iconv_t kClosed = reinterpret_cast<iconv_t>(-1);

  bool ascii_compatible() const;
  void close();

  mutable iconv_t to_utf8_ = kClosed;
  mutable iconv_t from_utf8_ = kClosed;
  char name_[64] = {};
  bool utf8_ = false;
};

}  // namespace ruvo
