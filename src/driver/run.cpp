#include "driver/run.h"

#include <libxml/parser.h>

#include "base/process_state.h"
#include "base/run_log.h"
#include "config/sections.h"
#include "driver/command_line.h"
#include "driver/conversion.h"
#include "driver/exit_codes.h"
#include "driver/help.h"
#include "xml/xml_handles.h"

namespace ruvo {

namespace {

Outcome fail(int exit_code) {
  return {exit_code, false};
}

Outcome fail_with_help(int exit_code) {
  print_help();
  return {exit_code, false};
}

// Checks the arguments, then converts. Everything it takes is owned by its locals and released
// when it returns, so the caller's memory count sees only what leaked.
template <class StoreArguments>
Outcome run_work(StoreArguments store) {
  ArgTable table;
  SectionListPtr column_sections = section_list_new();
  SectionListPtr master_sections = section_list_new();
  if (!column_sections || !master_sections || !table.allocate()) {
    return fail(kExitUnusableInvocation);
  }
  const StoredArguments stored = store(table, ArgTable::kSlots);
  if (stored.too_long) {
    return fail_with_help(kExitUnusableInvocation);
  }
  if (apply_options(table, stored.count)) {
    print_help();
    return {kExitSuccess, false};
  }
  if (stored.count < 3) {
    return fail_with_help(kExitUnusableInvocation);
  }
  open_run_log();
  FileSources sources(column_sections.get(), master_sections.get());
  ConversionPaths paths;
  paths.xml = table.at(0);
  paths.template_path = table.at(1);
  paths.output = table.at(2);
  paths.output_may_replace_log = true;
  const Outcome outcome = convert_document(paths, sources);
  if (outcome.help) {
    print_help();
  }
  return outcome;
}

template <class StoreArguments>
int run(StoreArguments store) {
  xmlInitParser();
  silence_libxml2_messages();
  run_settings() = RunSettings{};
  const Outcome outcome = run_work(store);
  // The settings may point into the argument table, which is gone now.
  run_settings() = RunSettings{};
  if (!outcome.succeeded) {
    log_memory_count(run_log(), "Total memoria final:");
  }
  close_run_log();
  xmlCleanupParser();
  return outcome.exit_code;
}

}  // namespace

int run_command_line(const char* command_line) {
  return run([command_line](ArgTable& table, int max) {
    return split_command_line(command_line, table, max);
  });
}

int run_arguments(int argc, const char* const* argv) {
  return run(
      [argc, argv](ArgTable& table, int max) { return store_arguments(argc, argv, table, max); });
}

}  // namespace ruvo
