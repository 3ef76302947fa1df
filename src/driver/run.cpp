#include "driver/run.h"

#include <libxml/parser.h>

#include "base/log_messages.h"
#include "base/process_state.h"
#include "base/run_environment.h"
#include "base/run_log.h"
#include "config/configuration.h"
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
// when it returns, so the caller's memory count sees only what leaked; the document of a
// conversion that succeeded goes to document_left.
template <class StoreArguments>
Outcome run_work(StoreArguments store, FileRunLog& log, XmlDocPtr& document_left) {
  Configuration configuration;  // its two section lists first, as a run has always taken them
  ArgTable table;
  if (!configuration.usable() || !table.allocate()) {
    return fail(kExitUnusableInvocation);
  }
  const StoredArguments stored = store(table, ArgTable::kSlots);
  if (stored.too_long) {
    return fail_with_help(kExitUnusableInvocation);
  }
  RunSettings settings;
  if (apply_options(table, stored.count, settings)) {
    print_help();
    return {kExitSuccess, false};
  }
  if (stored.count < 3) {
    if (asks_for_usage(table, stored.count)) {
      print_usage();
      return {kExitSuccess, false};
    }
    return fail_with_help(kExitUnusableInvocation);
  }
  log.open_in_current_folder();
  TextCodec codec;
  if (const std::optional<Outcome> refused = open_encoding(settings, codec, &log)) {
    return *refused;
  }
  FileSources sources(configuration);
  const ConversionRequest request{table.at(0), table.at(1), table.at(2)};
  const Outcome outcome = convert_document(request, sources, {settings, &log, nullptr, &codec},
                                           nullptr, &document_left);
  if (outcome.help) {
    print_help();
  }
  return outcome;
}

template <class StoreArguments>
int run(StoreArguments store) {
  xmlInitParser();
  silence_libxml2_messages();
  FileRunLog log;  // opened once the arguments allow a run
  XmlDocPtr document;
  const Outcome outcome = run_work(store, log, document);
  if (!outcome.succeeded) {
    log_memory_count(&log, log_messages::kFinalMemoryLabel);
  }
  log.close();
  if (document) {
    // The output is in place and the program ends: the tree goes with the process.
    leave_to_process_end(document.release(),
                         [](void* tree) { xmlFreeDoc(static_cast<xmlDoc*>(tree)); });
  }
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
