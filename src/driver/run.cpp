#include "driver/run.h"

#include <libxml/parser.h>

#include <cstdio>
#include <cstring>

#include "base/process_state.h"
#include "base/run_log.h"
#include "config/sections.h"
#include "driver/command_line.h"
#include "driver/exit_codes.h"
#include "driver/help.h"
#include "driver/output_collision.h"
#include "fill/template_filler.h"
#include "text/output_file.h"
#include "text/text_file.h"
#include "xml/input_document.h"
#include "xml/xml_handles.h"

namespace ruvo {

namespace {

// How the work of a run ended: its exit code, and whether it took the success path (the only
// one that logs no memory-count line).
struct Outcome {
  int exit_code;
  bool succeeded;
};

Outcome fail(int exit_code) {
  return {exit_code, false};
}

Outcome fail_with_help(int exit_code) {
  print_help();
  return {exit_code, false};
}

// libxml2 reads standard input for the path "-"; the input is a file of that name.
const char* xml_input_path(const char* path) {
  return std::strcmp(path, "-") == 0 ? "./-" : path;
}

void log_output_failure(const char* output_path) {
  log_line(run_log(), "ERROR: No se pudo escribir el archivo de salida:");
  log_detail(run_log(), output_path);
}

bool can_open_for_reading(const char* path) {
  FilePtr file(std::fopen(path, "r"));
  return file != nullptr;
}

// Checks, loads, fills and writes. Everything it takes is owned by its locals and released
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
  const char* xml_path = table.at(0);
  const char* template_path = table.at(1);
  const char* output_path = table.at(2);

  open_run_log();
  if (!can_open_for_reading(xml_path)) {
    log_line(run_log(), "ERROR: El archivo XML de entrada no existe:");
    log_detail(run_log(), xml_path);
    return fail(kExitUnusableInvocation);
  }
  // Never from the network; entities are not substituted and no DTD is loaded, so an external
  // entity cannot bring a local file's content into the output.
  NamespaceDeclarations declarations;
  XmlDocPtr document = read_input_document(xml_input_path(xml_path), declarations);
  if (!document) {
    log_line(run_log(), "ERROR: Archivo de entrada parseado con errores.");
    log_xml_error(run_log());
    return fail(kExitUnusableInput);
  }
  LineListPtr template_lines = line_list_load(template_path);
  if (!template_lines) {
    log_line(run_log(), "ERROR: El archivo Plantilla NO se encuentra.");
    log_detail(run_log(), template_path);
    return fail_with_help(kExitUnusableInput);
  }
  LineListPtr config_lines = line_list_load(run_settings().config_path);
  if (!config_lines) {
    log_line(run_log(), "ERROR: El archivo Cfg NO se encuentra.");
    return fail_with_help(kExitUnusableInput);
  }
  LineListPtr comma_section =
      cut_configuration(config_lines.get(), column_sections.get(), master_sections.get());
  config_lines.reset();

  const char* replaced = file_replaced_by_output(
      output_path,
      {{xml_path}, {template_path}, {run_settings().config_path}, {kRunLogName, run_log()}});
  if (replaced != nullptr) {
    log_output_failure(output_path);
    log_detail(run_log(), format_message("es el mismo archivo que: %s", replaced));
    return fail(kExitOutputNotWritten);
  }

  // Table rows go to the output while the template is filled; a run that fails removes what
  // was written and leaves an existing output as it was.
  OutputFile output(output_path);
  const FillOutcome filled = fill_template(
      document.get(), template_lines.get(), comma_section.get(), column_sections.get(),
      master_sections.get(), output.streams() ? &output : nullptr, &declarations);
  if (filled != FillOutcome::Filled) {
    return fail(kExitFillFailed);
  }
  if (!output.finish(template_lines.get())) {
    log_output_failure(output_path);
    return fail(kExitOutputNotWritten);
  }
  return {kExitSuccess, true};
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
