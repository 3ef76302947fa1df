// What the units of a conversion read and report to besides their inputs: the run's settings,
// its log and an observer. The program that runs the conversion makes them and hands them down
// through every call, so what a unit touches shows in its signature.
#pragma once

#include "base/fill_observer.h"
#include "base/run_log.h"
#include "base/run_settings.h"
#include "text/text_codec.h"

namespace ruvo {

struct RunEnvironment {
  const RunSettings& settings;
  RunLog* log = nullptr;             // none: nothing is logged
  FillObserver* observer = nullptr;  // none in the converter (see base/fill_observer.h)
  const TextCodec* codec = nullptr;  // the encoding of the run's files; none for Latin-1
};

}  // namespace ruvo
