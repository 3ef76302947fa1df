// A one-string command line: split into the argument table, then applied as options.
#include <cstdint>
#include <cstring>
#include <string>

#include "driver/command_line.h"
#include "fuzz_support.h"

using namespace ruvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  reset_process_state();
  // The command line is a C string: it ends at the first NUL.
  const std::string text(reinterpret_cast<const char*>(data), size);
  {
    ArgTable table;
    fuzz::check(table.allocate(), "argument table not allocated");
    const StoredArguments stored = split_command_line(text.c_str(), table, ArgTable::kSlots);
    fuzz::check(stored.count >= 0 && stored.count < ArgTable::kSlots, "argument count");
    for (int i = 0; i < stored.count; ++i) {
      const char* argument = table.at(i);
      fuzz::check(std::strlen(argument) <= ArgTable::kMaxArgumentLength, "argument too long");
      fuzz::check(std::strstr(text.c_str(), argument) != nullptr,
                  "an argument is not a piece of the command line");
      fuzz::check(std::strchr(argument, ' ') == nullptr || std::strpbrk(text.c_str(), "\"'"),
                  "a blank inside an argument without a quote");
    }
    RunSettings settings;
    static_cast<void>(apply_options(table, stored.count, settings));
    bool config_ok = std::strcmp(settings.config_path, kDefaultConfigPath) == 0;
    for (int i = 0; i < stored.count && !config_ok; ++i) {
      config_ok = settings.config_path == table.at(i);
    }
    fuzz::check(config_ok, "the configuration path is neither the default nor an argument");
  }
  fuzz::check_all_released();
  return 0;
}
