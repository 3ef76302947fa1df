// The settings of one run, written once by option handling and read by the units that place
// values and write tables.
#pragma once

#include <cstdint>

namespace ruvo {

enum class OutputMode { Text = 1, Xml = 2 };

struct PreviewSetting {
  bool on = false;
  std::int32_t rows = 0;
};

inline constexpr const char* kDefaultConfigPath = "Ruvo.cfg";

struct RunSettings {
  OutputMode output_mode = OutputMode::Text;
  PreviewSetting preview;
  // Points at the argument table's slot that follows the last "-c", or at the default name.
  const char* config_path = kDefaultConfigPath;
  // The encoding of the template, the configuration and the output (the argument after the last
  // "-encoding"); none for Latin-1.
  const char* encoding = nullptr;
};

}  // namespace ruvo
