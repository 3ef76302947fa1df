#include "check/check_run.h"

#include <libxml/parser.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "base/process_state.h"
#include "check/check_context.h"
#include "check/inputs.h"
#include "driver/output_collision.h"
#include "fill/template_filler.h"
#include "text/text_file.h"
#include "xml/input_document.h"
#include "xml/xml_handles.h"

namespace ruvo::check {

namespace {

constexpr const char* kUsage =
    "usage: ruvo-check [--list] [--json] XML TEMPLATE OUTPUT [-c CONFIG] [-preview N] [-xml] "
    "[-text]\n"
    "Explains what ruvo would do with the same arguments; writes neither OUTPUT nor Ruvo.log.\n"
    "  --list  every placeholder with its value, not only those that need attention\n"
    "  --json  one JSON object per finding\n";

struct Flags {
  bool list = false;
  bool json = false;
  bool help = false;
};

// Takes ruvo-check's own flags out; the rest are ruvo's arguments, in order.
List<const char*> split_flags(int argc, const char* const* argv, Flags& flags) {
  List<const char*> rest;
  for (int i = 0; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--list") {
      flags.list = true;
    } else if (argument == "--json") {
      flags.json = true;
    } else if (argument == "--help") {
      flags.help = true;
    } else {
      rest.push_back(argv[i]);
    }
  }
  return rest;
}

// Puts the file line of every section's header in places: the sections of one kind come in
// file order, each from a header line that the section copies as it is.
void find_section_headers(const LineList& config, const SectionList* sections,
                          ConfigPlaces& places) {
  if (sections == nullptr) {
    return;
  }
  const Line* from = config.head;
  std::size_t number = 1;
  for (const SectionNode* node = sections->first(); node != nullptr; node = node->next) {
    const std::string_view header = node->value->head->view();
    while (from != nullptr && from->view() != header) {
      from = from->next;
      ++number;
    }
    if (from == nullptr) {
      return;
    }
    places.header_line.emplace(node->value.get(), number);
    from = from->next;
    ++number;
  }
}

void find_comma_header(const LineList& config, const LineList* comma, ConfigPlaces& places) {
  if (comma == nullptr) {
    return;
  }
  std::size_t number = 1;
  for (const Line& line : config.lines()) {
    if (line.view() == comma->head->view()) {
      places.header_line.emplace(comma, number);
      return;
    }
    ++number;
  }
}

Text xml_error_message() {
  const xmlError* error = xmlGetLastError();
  if (error == nullptr || error->message == nullptr) {
    return "the document is not well-formed XML";
  }
  Text message = error->message;
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) {
    message.pop_back();
  }
  return message;
}

Text summary(const Findings& findings, const RunObserver* run) {
  char line[200];
  std::snprintf(
      line, sizeof line, "ruvo-check: %zu errors, %zu warnings (%zu placeholders, %zu tables)",
      findings.count(Severity::Error), findings.count(Severity::Warning),
      run != nullptr ? run->placeholders().size() : 0, run != nullptr ? run->tables().size() : 0);
  return line;
}

int finish(std::FILE* out, Findings& findings, const Flags& flags, const RunObserver* run) {
  findings.sort_by_place();
  print_findings(out, findings, flags.json, summary(findings, run));
  return findings.count(Severity::Error) + findings.count(Severity::Warning) > 0 ? kCheckFound
                                                                                 : kCheckClean;
}

int cannot_run(std::FILE* out, const Flags& flags, std::string_view file, const Text& message) {
  Findings findings;
  findings.add(Severity::Error, file, 0, 0, "cannot-run", message);
  print_findings(out, findings, flags.json, "ruvo-check: the check could not run");
  return kCheckCannotRun;
}

// Restores the process state a check changes, whatever way it ends.
struct ProcessGuard {
  ProcessGuard() { run_settings() = RunSettings{}; }
  ~ProcessGuard() {
    g_process.observer = nullptr;
    run_settings() = RunSettings{};
  }
  ProcessGuard(const ProcessGuard&) = delete;
  ProcessGuard& operator=(const ProcessGuard&) = delete;
};

int check_files(std::FILE* out, const Flags& flags, const ArgTable& table, int count,
                Findings& findings) {
  const char* xml_path = table.at(0);
  const char* template_path = table.at(1);
  const char* output_path = table.at(2);
  const char* config_path = run_settings().config_path;

  FilePtr readable(std::fopen(xml_path, "r"));
  if (!readable) {
    return cannot_run(out, flags, xml_path,
                      "cannot read the XML input (ruvo ends with status 251)");
  }
  readable.reset();
  LineListPtr template_lines = line_list_load(template_path);
  if (!template_lines) {
    return cannot_run(out, flags, template_path,
                      "cannot read the template (ruvo ends with status 252)");
  }
  check_arguments(findings, table, count);
  check_encoding(findings, template_path);

  NamespaceDeclarations declarations;
  XmlDocPtr document =
      read_input_document(std::strcmp(xml_path, "-") == 0 ? "./-" : xml_path, declarations);
  if (!document) {
    const xmlError* error = xmlGetLastError();
    findings.add(Severity::Error, xml_path,
                 error != nullptr ? static_cast<std::size_t>(error->line) : 0,
                 error != nullptr ? static_cast<std::size_t>(error->int2) : 0, "document",
                 xml_error_message() + " (ruvo ends with status 252)");
    return finish(out, findings, flags, nullptr);
  }

  LineListPtr config_lines = line_list_load(config_path);
  if (!config_lines) {
    char* absolute = realpath(".", nullptr);
    Text where = config_path[0] == '/' || absolute == nullptr ? Text(config_path)
                                                              : Text(absolute) + "/" + config_path;
    std::free(absolute);
    findings.add(Severity::Error, config_path, 0, 0, "configuration",
                 "the configuration file was not found (looked for " + where +
                     "); ruvo ends with status 252. A template without tables or thousands "
                     "separators needs only an empty file: touch " +
                     Text(config_path) + ", or name another with -c");
    config_lines = line_list_new();
  } else {
    check_encoding(findings, config_path);
  }
  if (const char* replaced = file_replaced_by_output(
          output_path, {{xml_path}, {template_path}, {config_path}, {"Ruvo.log"}})) {
    findings.add(Severity::Error, "command-line", 3, 0, "argument",
                 "the output " + Text(output_path) + " is the same file as " + Text(replaced) +
                     ": ruvo writes nothing and ends with status 253; check the order of the "
                     "arguments (XML, template, output)");
  }

  SectionListPtr column_sections = section_list_new();
  SectionListPtr master_sections = section_list_new();
  if (!config_lines || !column_sections || !master_sections) {
    throw std::bad_alloc();
  }
  LineListPtr comma =
      cut_configuration(config_lines.get(), column_sections.get(), master_sections.get());
  ConfigPlaces places;
  find_section_headers(*config_lines, column_sections.get(), places);
  find_section_headers(*config_lines, master_sections.get(), places);
  find_comma_header(*config_lines, comma.get(), places);

  RunObserver run(*template_lines);
  g_process.observer = &run;
  const FillOutcome filled =
      fill_template(document.get(), template_lines.get(), comma.get(), column_sections.get(),
                    master_sections.get(), nullptr, &declarations);
  g_process.observer = nullptr;

  DocumentProbe probe(document.get(), declarations);
  CheckContext check{findings,
                     probe,
                     run,
                     template_path,
                     config_path,
                     flags.list,
                     comma.get(),
                     column_sections.get(),
                     master_sections.get(),
                     places};
  explain_placeholders(check);
  explain_tables(check);
  explain_unused_configuration(check);
  // A placeholder that ends the fill has said so; a failure without one is memory running out.
  if (filled != FillOutcome::Filled && findings.count(Severity::Error) == 0) {
    findings.add(Severity::Error, template_path, 0, 0, "run",
                 "ruvo's fill ends with a failure (status 257): memory ran out");
  }
  return finish(out, findings, flags, &run);
}

}  // namespace

int run_check(int argc, const char* const* argv, std::FILE* out) {
  Flags flags;
  const List<const char*> arguments = split_flags(argc, argv, flags);
  if (flags.help) {
    std::fputs(kUsage, out);
    return kCheckClean;
  }
  ProcessGuard guard;
  ArgTable table;
  if (!table.allocate()) {
    return cannot_run(out, flags, "ruvo-check", "out of memory");
  }
  const StoredArguments stored = store_arguments(static_cast<int>(arguments.size()),
                                                 arguments.data(), table, ArgTable::kSlots);
  if (stored.too_long) {
    return cannot_run(out, flags, "command-line",
                      "an argument is longer than 259 bytes: ruvo refuses the call (status 251)");
  }
  if (apply_options(table, stored.count)) {
    std::fputs(kUsage, out);
    return kCheckClean;
  }
  if (stored.count < 3) {
    std::fputs(kUsage, out);
    return cannot_run(out, flags, "command-line",
                      "ruvo needs three file names: the XML input, the template and the output");
  }
  xmlInitParser();
  silence_libxml2_messages();
  Findings findings;
  return check_files(out, flags, table, stored.count, findings);
}

}  // namespace ruvo::check
