// One ruvo call explained from that very run: the converter's own phases (driver/conversion.h)
// prepare and fill the conversion with ruvo-check's observer and no output file, and what they
// report becomes findings. ruvo-check prints them; ruvo-preview draws the filled output with
// them and with the observer's records.
#pragma once

#include <optional>
#include <string_view>

#include "check/findings.h"
#include "check/recorded_log.h"
#include "check/run_observer.h"
#include "config/configuration.h"
#include "driver/command_line.h"
#include "driver/conversion.h"
#include "driver/exit_codes.h"
#include "text/text_codec.h"

namespace ruvo::check {

// Where a finding about the call's arguments stands.
inline constexpr std::string_view kCommandLine = "command-line";

class ExplainedRun {
 public:
  // The call's count arguments are in table, and settings were read from them; with list,
  // every placeholder is a finding, not only those that need attention.
  ExplainedRun(const ArgTable& table, int count, const RunSettings& settings, bool list);
  ExplainedRun(const ExplainedRun&) = delete;
  ExplainedRun& operator=(const ExplainedRun&) = delete;
  ~ExplainedRun() = default;

  // Explains the call once; what it found stays here.
  void run();

  const Findings& findings() const { return findings_; }
  const Text& summary() const { return summary_; }  // the line ruvo-check ends with
  // Nothing found, a warning or an error found, or the check could not run (driver/exit_codes.h).
  int check_status() const { return check_status_; }
  int run_status() const { return status_; }  // the status ruvo's run ends with
  const List<RecordedLog::Line>& logged() const { return log_.lines(); }
  const TextCodec& codec() const { return codec_; }
  const RunSettings& settings() const { return settings_; }
  const char* template_path() const { return request_.template_path; }
  // What the fill reported, and the filled lines (the output as ruvo writes it); none when
  // the check stopped before the fill.
  const RunObserver* observer() const { return observer_ ? &*observer_ : nullptr; }
  const LineList* output() const;

 private:
  int explain();
  // The message lines the run logged since the last call, quoted.
  Text logged();
  // Notes the status a failing step ends ruvo's run with: the first one's is the run's.
  Finding& ending(Finding& finding, int status);
  // Explains a step that failed; a status when the check cannot go on past it.
  std::optional<int> explain_failure(const StepFailure& failure);
  // The output holds placeholders and the template none: ruvo refuses to replace it.
  void explain_swapped_output(const Text& ends_with, int status);
  // The XML input does not parse: when the template is an XML document, the two look swapped.
  void explain_swapped_document();
  void explain_missing_configuration(const Text& ends, int status);
  // The position (from 1) of the argument the configuration's name is, or 0 for the default.
  std::size_t config_argument() const;
  int explain_fill(Preparation& preparation);
  // The last message line the run logged, quoted; empty when it logged none.
  Text last_logged() const;
  // The fill failed: the placeholder that ended it has said why; else memory ran out. The
  // failure is the last line the fill logs.
  void explain_fill_failure(int status);
  bool options_changed_settings() const;
  // What the options made of the run.
  void note_settings();
  // A file of the run that holds bytes which are no text in the run's encoding, from this line.
  Text not_text(const Text& ends_with) const;
  int cannot_run(std::string_view file, const Text& message, int status, std::size_t line = 0);
  int finish(const RunObserver* run);

  bool list_;
  const ArgTable& table_;
  int count_;
  const RunSettings& settings_;
  ConversionRequest request_;
  Findings findings_;
  Text summary_;
  int check_status_ = kCheckCannotRun;
  RecordedLog log_;
  std::size_t said_lines_ = 0;
  TextCodec codec_;  // the run's encoding (-encoding), Latin-1 until it is opened
  Configuration configuration_;
  LineListPtr config_lines_;
  FileSources sources_;
  Preparation preparation_;
  std::optional<RunObserver> observer_;
  bool filled_ = false;
  int status_ = kExitSuccess;  // how ruvo's run ends
};

}  // namespace ruvo::check
