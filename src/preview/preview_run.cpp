#include "preview/preview_run.h"

#include <libxml/parser.h>

#include <cstring>
#include <new>
#include <string_view>

#include "check/explained_run.h"
#include "driver/command_line.h"
#include "driver/exit_codes.h"
#include "driver/help.h"
#include "preview/preview_page.h"
#include "text/output_file.h"
#include "xml/xml_handles.h"

namespace ruvo::preview {

namespace {

constexpr int kPreviewUsage = 2;

struct Flags {
  PageOptions page;
  const char* page_path = nullptr;  // -o: the page's file; none for standard output
  bool help = false;
  bool bad = false;  // -o without a value
};

void print_usage(std::FILE* out) {
  std::fputs("usage: ruvo-preview [--all] [-o PAGE] XML TEMPLATE OUTPUT ", out);
  print_option_synopsis(out);
  std::fputs(
      "\nDraws what ruvo would write with the same arguments as one HTML page; writes neither "
      "OUTPUT nor Ruvo.log.\n"
      "  --all    draw every row of every table (else the first and last 200 of each)\n"
      "  -o PAGE  write the page to PAGE instead of standard output\n",
      out);
}

// Takes ruvo-preview's own flags out; the rest are ruvo's arguments, in order.
check::List<const char*> split_flags(int argc, const char* const* argv, Flags& flags) {
  check::List<const char*> rest;
  for (int i = 0; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--all") {
      flags.page.all_rows = true;
    } else if (argument == "-o") {
      if (i + 1 >= argc) {
        flags.bad = true;
        break;
      }
      flags.page_path = argv[++i];
    } else if (argument == kUsageWord) {
      flags.help = true;
    } else {
      rest.push_back(argv[i]);
    }
  }
  return rest;
}

int preview(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
  Flags flags;
  const check::List<const char*> arguments = split_flags(argc, argv, flags);
  if (flags.help) {
    print_usage(out);
    return kExitSuccess;
  }
  if (flags.bad) {
    std::fputs("ruvo-preview: -o needs the page's file name\n", err);
    print_usage(err);
    return kPreviewUsage;
  }
  ArgTable table;
  if (!table.allocate()) {
    throw std::bad_alloc();
  }
  const StoredArguments stored = store_arguments(static_cast<int>(arguments.size()),
                                                 arguments.data(), table, ArgTable::kSlots);
  RunSettings settings;
  if (!stored.too_long && apply_options(table, stored.count, settings)) {
    print_usage(out);
    return kExitSuccess;
  }
  if (stored.too_long || stored.count < 3) {
    std::fprintf(err, "ruvo-preview: %s\n",
                 stored.too_long ? "an argument is too long for ruvo (it refuses the call)"
                                 : "ruvo needs three file names: XML, template and output");
    print_usage(err);
    return kExitUnusableInvocation;
  }
  xmlInitParser();
  silence_libxml2_messages();
  check::ExplainedRun run(table, stored.count, settings, false);
  run.run();
  check::Text html;
  write_preview_page(run, flags.page, html);
  const bool written =
      flags.page_path != nullptr
          ? replace_whole_file(flags.page_path, html)
          : std::fwrite(html.data(), 1, html.size(), out) == html.size() && std::fflush(out) == 0;
  if (!written) {
    std::fprintf(err, "ruvo-preview: cannot write the page %s\n",
                 flags.page_path != nullptr ? flags.page_path : "to standard output");
    return kPreviewUsage;
  }
  return run.run_status();
}

}  // namespace

int run_preview(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
  try {
    return preview(argc, argv, out, err);
  } catch (const std::bad_alloc&) {
    std::fputs("ruvo-preview: out of memory\n", err);
    return kPreviewUsage;
  }
}

}  // namespace ruvo::preview
