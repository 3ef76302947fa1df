#include "check/check_run.h"

#include <libxml/parser.h>

#include <cstdlib>
#include <new>

#include "base/run_environment.h"
#include "check/explained_run.h"
#include "driver/exit_codes.h"
#include "driver/help.h"
#include "xml/xml_handles.h"

namespace ruvo::check {

namespace {

struct Flags {
  bool list = false;
  bool json = false;
  bool help = false;
};

void print_usage(std::FILE* out) {
  std::fputs("usage: ruvo-check [--list] [--json] XML TEMPLATE OUTPUT ", out);
  print_option_synopsis(out);
  std::fprintf(out,
               "\nExplains what ruvo would do with the same arguments; writes neither OUTPUT nor "
               "%s.\n"
               "  --list  every placeholder with its value, not only those that need attention\n"
               "  --json  one JSON object per finding\n",
               kRunLogName);
}

// Takes ruvo-check's own flags out; the rest are ruvo's arguments, in order.
List<const char*> split_flags(int argc, const char* const* argv, Flags& flags) {
  List<const char*> rest;
  for (int i = 0; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--list") {
      flags.list = true;
    } else if (argument == "--json") {
      flags.json = true;
    } else if (argument == kUsageWord) {
      flags.help = true;
    } else {
      rest.push_back(argv[i]);
    }
  }
  return rest;
}

int cannot_run_before(std::FILE* out, const Flags& flags, std::string_view file,
                      const Text& message) {
  Findings findings;
  findings.add(Severity::Error, file, 0, 0, "cannot-run", message);
  const TextCodec latin1;
  print_findings(out, findings, flags.json, "ruvo-check: the check could not run", latin1);
  return kCheckCannotRun;
}

int check(int argc, const char* const* argv, std::FILE* out) {
  Flags flags;
  const List<const char*> arguments = split_flags(argc, argv, flags);
  if (flags.help) {
    print_usage(out);
    return kCheckClean;
  }
  ArgTable table;
  if (!table.allocate()) {
    throw std::bad_alloc();
  }
  const StoredArguments stored = store_arguments(static_cast<int>(arguments.size()),
                                                 arguments.data(), table, ArgTable::kSlots);
  if (stored.too_long) {
    return cannot_run_before(out, flags, kCommandLine,
                             "an argument is longer than " + number(ArgTable::kMaxArgumentLength) +
                                 " bytes: ruvo refuses the call (status " +
                                 number(kExitUnusableInvocation) + ")");
  }
  RunSettings settings;
  if (apply_options(table, stored.count, settings)) {
    print_usage(out);
    return kCheckClean;
  }
  if (stored.count < 3) {
    print_usage(out);
    return cannot_run_before(
        out, flags, kCommandLine,
        "ruvo needs three file names: the XML input, the template and the output");
  }
  xmlInitParser();
  silence_libxml2_messages();
  ExplainedRun explained(table, stored.count, settings, flags.list);
  explained.run();
  print_findings(out, explained.findings(), flags.json, explained.summary(), explained.codec());
  return explained.check_status();
}

}  // namespace

int run_check(int argc, const char* const* argv, std::FILE* out) {
  try {
    return check(argc, argv, out);
  } catch (const std::bad_alloc&) {
    std::fputs("ruvo-check: error: out of memory\n", out);
    return kCheckCannotRun;
  }
}

}  // namespace ruvo::check
