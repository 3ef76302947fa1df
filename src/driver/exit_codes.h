// Every exit code of a run. A POSIX caller sees the low 8 bits of the status, so a template
// that could not be filled (257) shows there as 1.
#pragma once

namespace ruvo {

inline constexpr int kExitSuccess = 0;
// Too few arguments, an argument too long to store, or no readable XML input.
inline constexpr int kExitUnusableInvocation = 251;
// XML not parsed, template or configuration file not found or unreadable.
inline constexpr int kExitUnusableInput = 252;
// The output file could not be opened, written or closed.
inline constexpr int kExitOutputNotWritten = 253;
// The placeholder scanner could not fill the template.
inline constexpr int kExitFillFailed = 257;

}  // namespace ruvo
