// The run log as ruvo-check keeps it: the lines the run would append to Ruvo.log, recorded
// instead of written, so that a finding can quote what ruvo logs.
#pragma once

#include "base/run_log.h"
#include "check/findings.h"

namespace ruvo::check {

class RecordedLog final : public RunLog {
 public:
  void write(std::string_view /*lead*/, std::string_view text, bool message) override {
    lines_.push_back({Text(text), message});
  }
  // The run's log is Ruvo.log in the current folder, which ruvo makes before its output is
  // looked at: no output may replace it, whether or not it is there now.
  const char* file_name() const override { return kRunLogName; }

  struct Line {
    Text text;
    bool message;  // a timestamped line; else a continuation line
  };
  const List<Line>& lines() const { return lines_; }

 private:
  List<Line> lines_;
};

}  // namespace ruvo::check
