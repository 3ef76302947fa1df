// One run of the converter: arguments in, exit code out.
//
// The run checks and loads its inputs in a fixed order (XML input, template, configuration),
// fills the template, writes the output and ends with an exit code from exit_codes.h, reporting
// only through the run log and, on some failures, the help text.
#pragma once

namespace ruvo {

// The command line as one string: the text after the program's own name.
int run_command_line(const char* command_line);

// The arguments already split by the platform (argv without the program name), each taken
// exactly as it is.
int run_arguments(int argc, const char* const* argv);

}  // namespace ruvo
