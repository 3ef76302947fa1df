// Every exit status of the programs. A POSIX caller sees the low 8 bits of the status, so a
// template that could not be filled (257) shows there as 1.
#pragma once

namespace ruvo {

// ruvo, and every document of ruvo-batch.
inline constexpr int kExitSuccess = 0;
// Too few arguments, an argument too long to store, or no readable XML input.
inline constexpr int kExitUnusableInvocation = 251;
// XML not parsed, template or configuration file not found or unreadable.
inline constexpr int kExitUnusableInput = 252;
// The output file could not be opened, written or closed.
inline constexpr int kExitOutputNotWritten = 253;
// The placeholder scanner could not fill the template.
inline constexpr int kExitFillFailed = 257;

// ruvo-check: nothing found; a warning or an error found; the check could not run.
inline constexpr int kCheckClean = 0;
inline constexpr int kCheckFound = 1;
inline constexpr int kCheckCannotRun = 2;

// ruvo-batch: every document converted; any did not; a usage error, or a template or
// configuration that cannot be read (no document is converted then).
inline constexpr int kBatchConverted = 0;
inline constexpr int kBatchSomeFailed = 1;
inline constexpr int kBatchUsage = 2;

}  // namespace ruvo
