#include "text/text_codec.h"

#include <cerrno>
#include <cstring>

#include "text/utf8.h"

namespace ruvo {

namespace {

// Latin-1 under the names iconv knows it by: each keeps the program's own converter.
constexpr std::string_view kLatin1Names[] = {
    "ISO-8859-1", "ISO8859-1", "ISO_8859-1", "ISO_8859-1:1987", "LATIN1",      "LATIN-1",
    "L1",         "IBM819",    "CP819",      "ISO-IR-100",      "CSISOLATIN1", "ISO88591"};

char upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (upper(a[i]) != upper(b[i])) {
      return false;
    }
  }
  return true;
}

bool is_latin1_name(std::string_view name) {
  for (const std::string_view known : kLatin1Names) {
    if (same_name(name, known)) {
      return true;
    }
  }
  return false;
}

// A buffer being written, grown as a conversion needs.
class Growing {
 public:
  explicit Growing(std::size_t capacity) : buffer_(text_buffer_new(capacity)) {}

  bool usable() const { return static_cast<bool>(buffer_); }
  char* at() const { return buffer_->data() + size_; }
  std::size_t room() const { return buffer_->capacity() - 1 - size_; }  // keeps room for a NUL
  void wrote(std::size_t count) { size_ += count; }
  bool grow() {
    TextBufferPtr larger = text_buffer_new(buffer_->capacity() * 2);
    if (!larger) {
      return false;
    }
    std::memcpy(larger->data(), buffer_->data(), size_);
    buffer_ = std::move(larger);
    return true;
  }
  bool put(char c) {
    if (room() == 0 && !grow()) {
      return false;
    }
    *at() = c;
    ++size_;
    return true;
  }
  bool finish(TextBufferPtr& out) {
    buffer_->data()[size_] = '\0';
    if (!buffer_->set_length(size_)) {
      return false;
    }
    out = std::move(buffer_);
    return true;
  }

 private:
  TextBufferPtr buffer_;
  std::size_t size_ = 0;
};

struct Converted {
  bool done = false;      // the whole text went through (false: memory, or an invalid byte)
  bool replaced = false;  // a '?' stands for something
  std::size_t invalid_at = std::string_view::npos;
};

// Runs the converter over the text into out. With replace, what cannot be converted becomes
// '?' (the UTF-8 character there, or one malformed byte) and the conversion goes on; without,
// it stops there and says where.
Converted convert(iconv_t converter, std::string_view text, TextBufferPtr& out, bool replace) {
  Converted converted;
  Growing written(text.size() + text.size() / 2 + 16);
  if (!written.usable()) {
    return converted;
  }
  iconv(converter, nullptr, nullptr, nullptr, nullptr);  // a fresh state for every text
  char* in = const_cast<char*>(text.data());             // iconv does not write its input
  std::size_t in_left = text.size();
  while (true) {
    char* out_at = written.at();
    std::size_t out_left = written.room();
    const std::size_t result = iconv(converter, &in, &in_left, &out_at, &out_left);
    written.wrote(written.room() - out_left);
    if (result != static_cast<std::size_t>(-1)) {
      break;
    }
    if (errno == E2BIG) {
      if (!written.grow()) {
        return converted;
      }
      continue;
    }
    // EILSEQ: a byte or character it cannot take; EINVAL: the text ends inside a character.
    if (!replace) {
      converted.invalid_at = static_cast<std::size_t>(in - text.data());
      return converted;
    }
    std::uint32_t code = 0;
    const std::size_t length =
        utf8_decode(reinterpret_cast<const unsigned char*>(in), in_left, code);
    const std::size_t skipped = length == 0 ? 1 : length;
    if (!written.put('?')) {
      return converted;
    }
    converted.replaced = true;
    in += skipped;
    in_left -= skipped;
  }
  char* out_at = written.at();
  std::size_t out_left = written.room();
  iconv(converter, nullptr, nullptr, &out_at, &out_left);  // what a stateful encoding holds back
  written.wrote(written.room() - out_left);
  converted.done = written.finish(out);
  return converted;
}

// Latin-1 holds exactly the code points 0 to 255, each as one byte.
Converted latin1_from_utf8(std::string_view utf8, TextBufferPtr& out) {
  Converted converted;
  Growing written(utf8.size() + 1);
  if (!written.usable()) {
    return converted;
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
  for (std::size_t at = 0; at < utf8.size();) {
    std::uint32_t code = 0;
    const std::size_t length = utf8_decode(bytes + at, utf8.size() - at, code);
    const bool held = length > 0 && code <= 0xFF;
    converted.replaced = converted.replaced || !held;
    if (!written.put(held ? static_cast<char>(static_cast<unsigned char>(code)) : '?')) {
      return converted;
    }
    at += length == 0 ? 1 : length;
  }
  converted.done = written.finish(out);
  return converted;
}

Converted latin1_to_utf8(std::string_view text, TextBufferPtr& out) {
  Converted converted;
  Growing written(2 * text.size() + 1);
  if (!written.usable()) {
    return converted;
  }
  for (const char c : text) {
    char bytes[4];
    const std::size_t count = utf8_encode(static_cast<unsigned char>(c), bytes);
    for (std::size_t i = 0; i < count; ++i) {
      static_cast<void>(written.put(bytes[i]));  // the block holds twice the text
    }
  }
  converted.done = written.finish(out);
  return converted;
}

}  // namespace

TextCodec::~TextCodec() {
  close();
}

void TextCodec::close() {
  if (to_utf8_ != kClosed) {
    iconv_close(to_utf8_);
  }
  if (from_utf8_ != kClosed) {
    iconv_close(from_utf8_);
  }
  to_utf8_ = kClosed;
  from_utf8_ = kClosed;
  name_[0] = '\0';
  utf8_ = false;
}

TextCodec::Opening TextCodec::open(std::string_view name) {
  close();
  if (is_latin1_name(name)) {
    return Opening::Opened;
  }
  if (name.empty() || name.size() >= sizeof name_ ||
      name.find_first_of(std::string_view("\0/", 2)) != std::string_view::npos) {
    return Opening::Unknown;
  }
  name.copy(name_, name.size());
  name_[name.size()] = '\0';
  to_utf8_ = iconv_open("UTF-8", name_);
  from_utf8_ = iconv_open(name_, "UTF-8");
  if (to_utf8_ == kClosed || from_utf8_ == kClosed) {
    close();
    return Opening::Unknown;
  }
  if (!ascii_compatible()) {
    close();
    return Opening::NotAsciiCompatible;
  }
  utf8_ = same_name(name, "UTF-8") || same_name(name, "UTF8");
  return Opening::Opened;
}

// Every ASCII byte reads as itself and is written as itself, and no byte from 0x80 on takes an
// ASCII byte after it into a character of its own (as Shift_JIS's lead bytes do).
bool TextCodec::ascii_compatible() const {
  TextBufferPtr out;
  for (int byte = 0; byte < 0x80; ++byte) {
    const char c = static_cast<char>(byte);
    const std::string_view one(&c, 1);
    if (!convert(to_utf8_, one, out, false).done || out->view() != one ||
        !convert(from_utf8_, one, out, false).done || out->view() != one) {
      return false;
    }
  }
  for (int lead = 0x80; lead < 0x100; ++lead) {
    const char alone = static_cast<char>(lead);
    const Converted single = convert(to_utf8_, std::string_view(&alone, 1), out, false);
    const TextBufferPtr lead_text = single.done ? text_buffer_from(out->view()) : TextBufferPtr();
    for (int ascii = 1; ascii < 0x80; ++ascii) {
      const char pair[2] = {alone, static_cast<char>(ascii)};
      const Converted both = convert(to_utf8_, std::string_view(pair, 2), out, false);
      if (!both.done) {
        if (both.invalid_at == 0) {
          continue;  // the byte starts no character: the ASCII byte after it is untouched
        }
        return false;
      }
      // Converted whole: the lead byte is a character of its own, followed by the ASCII one.
      const std::string_view got = out->view();
      if (!lead_text || got.size() != lead_text->length() + 1 ||
          got.substr(0, lead_text->length()) != lead_text->view() || got.back() != pair[1]) {
        return false;
      }
    }
  }
  return true;
}

bool TextCodec::from_utf8(std::string_view utf8, TextBufferPtr& out, bool* lost) const {
  const Converted converted =
      is_latin1() ? latin1_from_utf8(utf8, out) : convert(from_utf8_, utf8, out, true);
  if (lost != nullptr) {
    *lost = converted.replaced;
  }
  return converted.done;
}

bool TextCodec::to_utf8(std::string_view text, TextBufferPtr& out, std::size_t* invalid_at) const {
  const Converted converted =
      is_latin1() ? latin1_to_utf8(text, out) : convert(to_utf8_, text, out, false);
  if (invalid_at != nullptr) {
    *invalid_at = converted.invalid_at;
  }
  return converted.done;
}

std::size_t TextCodec::first_invalid(std::string_view text) const {
  if (is_latin1()) {
    return std::string_view::npos;
  }
  TextBufferPtr out;
  return convert(to_utf8_, text, out, false).invalid_at;
}

}  // namespace ruvo
