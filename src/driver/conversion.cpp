#include "driver/conversion.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "base/process_state.h"
#include "base/run_log.h"
#include "driver/exit_codes.h"
#include "driver/output_collision.h"
#include "fill/template_filler.h"
#include "text/output_file.h"
#include "text/text_file.h"
#include "xml/input_document.h"
#include "xml/xml_handles.h"

namespace ruvo {

namespace {

Outcome fail(int exit_code) {
  return {exit_code, false};
}

Outcome fail_with_help(int exit_code) {
  return {exit_code, false, true};
}

// libxml2 reads standard input for the path "-"; the input is a file of that name.
const char* xml_input_path(const char* path) {
  return std::strcmp(path, "-") == 0 ? "./-" : path;
}

void log_output_failure(const char* output_path) {
  log_line(run_log(), "ERROR: No se pudo escribir el archivo de salida:");
  log_detail(run_log(), output_path);
}

// Fills the template into the output and writes what the fill left; the output awaits settle
// when it is a temporary file.
Outcome fill_and_write(xmlDoc* document, LineList* template_lines,
                       const Configuration& configuration, NamespaceDeclarations* declarations,
                       OutputFile& output, const char* output_path) {
  const FillOutcome filled = fill_template(
      document, template_lines, configuration.comma_section, configuration.column_sections,
      configuration.master_sections, output.streams() ? &output : nullptr, declarations);
  if (filled != FillOutcome::Filled) {
    return fail(kExitFillFailed);
  }
  if (!output.write_rest(template_lines)) {
    return output_not_written(output_path);
  }
  return {kExitSuccess, true};
}

bool can_open_for_reading(const char* path) {
  FilePtr file(std::fopen(path, "r"));
  return file != nullptr;
}

const char* file_replaced(const ConversionPaths& paths) {
  const char* config_path = run_settings().config_path;
  if (paths.output_may_replace_log) {
    return file_replaced_by_output(
        paths.output,
        {{paths.xml}, {paths.template_path}, {config_path}, {kRunLogName, run_log()}});
  }
  return file_replaced_by_output(paths.output, {{paths.xml}, {paths.template_path}, {config_path}});
}

}  // namespace

Outcome output_not_written(const char* output_path) {
  log_output_failure(output_path);
  return fail(kExitOutputNotWritten);
}

Outcome convert_document(const ConversionPaths& paths, ConversionSources& sources,
                         PendingOutput* pending) {
  if (!can_open_for_reading(paths.xml)) {
    log_line(run_log(), "ERROR: El archivo XML de entrada no existe:");
    log_detail(run_log(), paths.xml);
    return fail(kExitUnusableInvocation);
  }
  // Never from the network; entities are not substituted and no DTD is loaded, so an external
  // entity cannot bring a local file's content into the output.
  NamespaceDeclarations declarations;
  XmlDocPtr document = read_input_document(xml_input_path(paths.xml), declarations);
  if (!document) {
    log_line(run_log(), "ERROR: Archivo de entrada parseado con errores.");
    log_xml_error(run_log());
    return fail(kExitUnusableInput);
  }
  LineListPtr template_lines = sources.template_lines(paths.template_path);
  if (!template_lines) {
    log_line(run_log(), "ERROR: El archivo Plantilla NO se encuentra.");
    log_detail(run_log(), paths.template_path);
    return fail_with_help(kExitUnusableInput);
  }
  Configuration configuration;
  if (!sources.configuration(run_settings().config_path, configuration)) {
    log_line(run_log(), "ERROR: El archivo Cfg NO se encuentra.");
    return fail_with_help(kExitUnusableInput);
  }

  const char* replaced = file_replaced(paths);
  if (replaced != nullptr) {
    log_output_failure(paths.output);
    log_detail(run_log(), format_message("es el mismo archivo que: %s", replaced));
    return fail(kExitOutputNotWritten);
  }

  // Table rows go to the output while the template is filled; a run that fails removes what
  // was written and leaves an existing output as it was.
  const auto fill_into = [&](OutputFile& output) {
    return fill_and_write(document.get(), template_lines.get(), configuration, &declarations,
                          output, paths.output);
  };
  if (pending == nullptr) {
    OutputFile output(paths.output);
    const Outcome written = fill_into(output);
    if (written.succeeded && !output.settle(false)) {
      return output_not_written(paths.output);
    }
    return written;
  }
  PendingOutput output = make_tracked<OutputFile>(paths.output);
  if (!output) {
    return output_not_written(paths.output);
  }
  const Outcome written = fill_into(*output);
  if (written.succeeded && output->awaits_settle()) {
    *pending = std::move(output);
  }
  return written;
}

LineListPtr FileSources::template_lines(const char* path) {
  return line_list_load(path);
}

bool FileSources::configuration(const char* path, Configuration& configuration) {
  LineListPtr config_lines = line_list_load(path);
  if (!config_lines) {
    return false;
  }
  comma_ = cut_configuration(config_lines.get(), columns_, masters_);
  configuration = {comma_.get(), columns_, masters_};
  return true;
}

}  // namespace ruvo
