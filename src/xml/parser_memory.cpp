#include "xml/parser_memory.h"

#include <libxml/xmlmemory.h>

#include <cstdlib>
#include <cstring>

#include "base/process_state.h"

namespace ruvo {

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer) || \
    __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

void* take_block(std::size_t size) {
  return g_process.parser_blocks.take(size);
}

void give_back_block(void* block) {
  g_process.parser_blocks.give_back(block);
}

void* resize_block(void* block, std::size_t size) {
  return std::realloc(block, size);  // every kept block is a malloc block
}

char* copy_string(const char* text) {
  const std::size_t size = std::strlen(text) + 1;
  void* copy = take_block(size);
  return copy == nullptr ? nullptr : static_cast<char*>(std::memcpy(copy, text, size));
}

}  // namespace

void reuse_parser_blocks() {
  if (!kSanitized) {
    xmlMemSetup(give_back_block, take_block, resize_block, copy_string);
  }
}

}  // namespace ruvo
