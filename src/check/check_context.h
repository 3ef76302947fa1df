// What every part of ruvo-check's explanation reads: the run's record, the document, the
// configuration as the run cut it, and where its sections stand in the file.
#pragma once

#include <string_view>
#include <unordered_map>

#include "base/run_settings.h"
#include "check/document_probe.h"
#include "check/encoding_advice.h"
#include "check/findings.h"
#include "check/run_observer.h"
#include "config/configuration.h"

namespace ruvo::check {

struct ConfigPlaces {
  // The file line of each section's header, by section.
  std::unordered_map<const LineList*, std::size_t, std::hash<const LineList*>, std::equal_to<>,
                     TrackedAllocator<std::pair<const LineList* const, std::size_t>>>
      header_line;
};

struct CheckContext {
  Findings& findings;
  DocumentProbe& probe;
  const RunObserver& run;
  std::string_view template_path;
  std::string_view config_path;
  bool list = false;
  const RunSettings& settings;
  const Configuration& configuration;
  const ConfigPlaces& places;
  EncodingAdvice& encodings;
};

// The findings about every placeholder the run met, in the order it met them.
void explain_placeholders(CheckContext& check);
// The findings about every table the run met, and about sections and COMMA_INSERT lines no
// placeholder used.
void explain_tables(CheckContext& check);
void explain_unused_configuration(CheckContext& check);

// The file line of a COMMA_INSERT entry, 0 when it is not known; and the command that takes the
// entry out of the configuration file.
std::size_t comma_entry_line(const CheckContext& check, const Line* entry);
Text without_comma_entry(const CheckContext& check, std::size_t line);

// "<<" content ">>" as the template writes it.
Text placeholder_text(std::string_view content);
// The text of an element:attribute placeholder for the names, the element between quotes when
// it holds a colon.
Text pair_text(std::string_view element, std::string_view attribute);

}  // namespace ruvo::check
