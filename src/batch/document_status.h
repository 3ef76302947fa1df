// A document's status in a batch.
#pragma once

#include <cstdint>

#include "driver/exit_codes.h"

namespace ruvo::batch {

// A document's status: the exit status its conversion ended with, or why it has none. Plain
// data, kept where every process of a batch writes and the first one reads them all.
struct DocumentStatus {
  enum class State : std::int32_t {
    NotFinished,  // its process ended before reporting it
    NotStarted,   // an earlier document already used its NAME
    Converted,    // converted, ending with exit_code
  };
  State state = State::NotFinished;
  std::int32_t exit_code = 0;
  bool log_lost = false;  // its run log lines could not all be kept or written

  static DocumentStatus converted(int exit_code, bool log_lost) {
    return {State::Converted, exit_code, log_lost};
  }
  static DocumentStatus not_started() { return {State::NotStarted, 0, false}; }
  // Converted with success, and its log (if it has lines) kept.
  bool succeeded() const {
    return state == State::Converted && exit_code == kExitSuccess && !log_lost;
  }
};

}  // namespace ruvo::batch
