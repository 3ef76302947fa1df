#pragma once

namespace ruvo {

// How a placeholder handler ended. Only the two failures end the scan, with exit code 257.
enum class FillStatus {
  Filled,         // the placeholder's span is replaced (by "" when nothing was found)
  ElementFailed,  // a bare element could not be placed; its span is already replaced
  OutOfMemory,    // the span could not be replaced
};

}  // namespace ruvo
