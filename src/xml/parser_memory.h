// libxml2's memory in a program that parses document after document.
#pragma once

namespace ruvo {

// From now on libxml2 takes and gives back its blocks through the process's kept parser
// blocks (base/process_state.h), so that each tree reuses the blocks of the one before. Call it
// before the first document is parsed. Builds with a sanitizer leave libxml2 on the system
// allocator, whose checks would not see a block reused.
void reuse_parser_blocks();

}  // namespace ruvo
