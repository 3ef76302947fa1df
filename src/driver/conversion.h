// One document's conversion, after the arguments: the checks and loads in their fixed order (XML
// input, template, configuration), the fill and the output, reporting through the run log.
// ruvo makes one per run; ruvo-batch makes one per document with inputs it loaded once.
#pragma once

#include "config/sections.h"
#include "text/line_list.h"
#include "text/output_file.h"
#include "text/tracked_memory.h"

namespace ruvo {

// The configuration's sections as a fill reads them.
struct Configuration {
  LineList* comma_section = nullptr;
  const SectionList* column_sections = nullptr;
  const SectionList* master_sections = nullptr;
};

// Where a conversion gets its template and configuration.
class ConversionSources {
 public:
  ConversionSources() = default;
  ConversionSources(const ConversionSources&) = delete;
  ConversionSources& operator=(const ConversionSources&) = delete;
  virtual ~ConversionSources() = default;

  // The template's lines for one fill, which changes them; none when the file cannot be read.
  virtual LineListPtr template_lines(const char* path) = 0;
  // The configuration's sections, which stay the source's; false when the file cannot be read.
  virtual bool configuration(const char* path, Configuration& configuration) = 0;
};

struct ConversionPaths {
  const char* xml = nullptr;
  const char* template_path = nullptr;
  const char* output = nullptr;
  // The run log is one of the run's files that the output must not replace (ruvo's Ruvo.log).
  bool output_may_replace_log = false;
};

// How a conversion ended: its exit code, whether it took the success path (the only one that
// logs no memory-count line) and whether a run would print its help text.
struct Outcome {
  int exit_code;
  bool succeeded;
  bool help = false;
};

// An output written in full that waits for a sync shared with other documents' outputs before
// it is put in place.
using PendingOutput = Tracked<OutputFile>;

// Checks, loads, fills and writes one document. Everything it takes is released when it
// returns, so the memory count after it shows only what leaked.
//
// With pending, an output written to a temporary file is handed over there, synced and renamed
// by nobody yet: the outcome is a success for now, which becomes output_not_written's when the
// output cannot be put in place. Any other outcome is final at once, and pending stays empty.
Outcome convert_document(const ConversionPaths& paths, ConversionSources& sources,
                         PendingOutput* pending = nullptr);

// The outcome of a conversion whose output (output_path, as the conversion was given it) cannot
// be written, with the log lines a run writes for it.
Outcome output_not_written(const char* output_path);

// The sources of a single run: both files read when the conversion asks for them, the tables'
// sections cut into lists the run made at its start.
class FileSources final : public ConversionSources {
 public:
  FileSources(SectionList* columns, SectionList* masters) : columns_(columns), masters_(masters) {}

  LineListPtr template_lines(const char* path) override;
  bool configuration(const char* path, Configuration& configuration) override;

 private:
  SectionList* columns_;
  SectionList* masters_;
  LineListPtr comma_;
};

}  // namespace ruvo
