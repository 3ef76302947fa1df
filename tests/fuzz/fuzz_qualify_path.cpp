// Path qualification with and without a default namespace: never a crash, a result of bounded
// length, and without the namespace never more than the path with each '[' closed.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "fuzz_support.h"
#include "xml/qualify.h"

using namespace ruvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  reset_process_state();
  const std::string_view path(reinterpret_cast<const char*>(data), size);
  const std::size_t brackets = static_cast<std::size_t>(std::count(path.begin(), path.end(), '['));
  for (const bool bound : {false, true}) {
    TextBufferPtr qualified = qualify_path(path, bound);
    fuzz::check(static_cast<bool>(qualified), "no result");
    fuzz::check(qualified->data() != nullptr && qualified->length() < qualified->capacity() &&
                    qualified->data()[qualified->length()] == '\0',
                "result not NUL-terminated within its block");
    fuzz::check(qualified->length() <= 10 * size + 16, "result out of proportion to the path");
    if (!bound) {
      fuzz::check(qualified->length() <= size + brackets, "unqualified result grew");
    }
  }
  fuzz::check_all_released();
  return 0;
}
