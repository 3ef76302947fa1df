// The command line: the argument table, splitting a one-string command line, and the options.
//
// Arguments are positional by their place in the table, options included: argument 1 is the XML
// input, 2 the template, 3 the output. An option written among the first three takes a position.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "base/run_settings.h"
#include "text/tracked_memory.h"

namespace ruvo {

// 20 slots of 260 bytes, each holding one argument of at most 259 bytes and a NUL. The slot
// pointer array and every slot are counted blocks, owned by the table.
class ArgTable {
 public:
  static constexpr int kSlots = 20;
  static constexpr std::size_t kSlotSize = 260;
  static constexpr std::size_t kMaxArgumentLength = kSlotSize - 1;

  // Takes the pointer array and all slots; false (nothing kept) when one cannot be had.
  [[nodiscard]] bool allocate();
  // Stores bytes as the argument at index; false when they do not fit a slot.
  [[nodiscard]] bool store(int index, const char* bytes, std::size_t length);
  // The argument at index (0-based); only slots that were stored may be read.
  const char* at(int index) const { return slots_[static_cast<std::size_t>(index)]->bytes; }

 private:
  struct Slot {
    char bytes[kSlotSize];
  };
  using SlotPtr = Tracked<Slot>;
  // The blocks keep the sizes the memory count has always shown: a pointer per slot, then
  // the slots.
  static_assert(sizeof(Slot) == kSlotSize && sizeof(SlotPtr) == sizeof(char*));

  TrackedArray<SlotPtr> slots_;
};

// What storing the arguments gave: how many, and whether one among them was too long for its
// slot (the run is then refused, never run with an argument cut short).
struct StoredArguments {
  int count = 0;
  bool too_long = false;
};

// Splits a one-string command line into the table: blanks (0x20 only) separate arguments, a
// double or single quote flips one shared quote flag, and an argument that starts and ends with
// the same quote loses those two outer quotes. At most max - 1 arguments are stored.
[[nodiscard]] StoredArguments split_command_line(const char* text, ArgTable& table, int max);

// Stores already split arguments (argv without the program name) exactly as they are.
[[nodiscard]] StoredArguments store_arguments(int argc, const char* const* argv, ArgTable& table,
                                              int max);

// The option words of a run, one table read by ruvo, ruvo-batch and ruvo-check alike: each word
// is compared with every argument without regard to the case of A to Z, in this order, and an
// option that takes a value reads the argument after it, which is still examined as an option
// in its turn. When an option is given more than once the last one wins.
enum class OptionEffect {
  Help,           // print the help text and end the run with 0; nothing after it is looked at
  Preview,        // master tables keep the first N and last N rows of each level
  Configuration,  // the configuration file
  XmlMode,        // values are entity-encoded
  TextMode,       // values are placed as they are (the default)
  Encoding,       // the encoding of the template, the configuration and the output
};

struct OptionSpec {
  const char* word;
  bool takes_value;
  OptionEffect effect;
  const char* value_name;  // in usage lines: -c FILE
  const char* help;        // one line of the English usage
};

inline constexpr OptionSpec kOptions[] = {
    {"-h", false, OptionEffect::Help, nullptr, "print the help text (Spanish) and exit with 0"},
    {"-preview", true, OptionEffect::Preview, "N",
     "master tables keep only the first N and last N rows of each level (10 when -preview is "
     "the last argument)"},
    {"-c", true, OptionEffect::Configuration, "FILE",
     "the configuration file (default Ruvo.cfg in the current folder)"},
    {"-xml", false, OptionEffect::XmlMode, nullptr, "Xml output mode: values are entity-encoded"},
    {"-text", false, OptionEffect::TextMode, nullptr,
     "Text output mode (the default): values are placed as they are"},
    {"-encoding", true, OptionEffect::Encoding, "NAME",
     "the encoding of the template, the configuration and the output (ISO-8859-1 when not "
     "given; UTF-8, CP1252, ISO-8859-2 ...)"},
};

// The row count of "-preview" when it is the last argument.
inline constexpr std::int32_t kPreviewRowsWhenLast = 10;

// The option the argument is, or none.
const OptionSpec* find_option(const char* argument);
bool is_option_word(const char* argument);

// Applies one option to the settings; value is the argument after it, or none when the option
// is the last argument. False for "-h", which ends the reading of the arguments.
bool apply_option(const OptionSpec& option, const char* value, RunSettings& settings);

// Applies every stored argument that is an option word to the settings, from the first to the
// last. Returns true when "-h" was met (the arguments after it are not looked at).
[[nodiscard]] bool apply_options(const ArgTable& table, int count, RunSettings& settings);

// Writes the options as a usage line shows them, "[-h] [-preview N] [-c FILE] [-xml] [-text]".
void print_option_synopsis(std::FILE* out);
// Writes one line per option, "  -c FILE      the configuration file ...", for a usage text.
void print_option_lines(std::FILE* out);

// Reads a decimal integer as the preview row count: blanks skipped, an optional sign, digits up
// to the first other byte; 0 without digits. Values beyond 32 bits are held at the limit.
std::int32_t parse_row_count(const char* text);

}  // namespace ruvo
