#include "check/explained_run.h"

#include <libxml/parser.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "base/run_environment.h"
#include "check/check_context.h"
#include "check/inputs.h"
#include "driver/exit_codes.h"

namespace ruvo::check {

namespace {

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

Text status_text(int status) {
  return number(static_cast<std::size_t>(status));
}

}  // namespace

ExplainedRun::ExplainedRun(const ArgTable& table, int count, const RunSettings& settings, bool list)
    : list_(list),
      table_(table),
      count_(count),
      settings_(settings),
      request_{table.at(0), table.at(1), table.at(2)},
      sources_(configuration_, &config_lines_) {}

int ExplainedRun::explain() {
  if (!configuration_.usable()) {
    throw std::bad_alloc();
  }
  check_arguments(findings_, table_, count_);
  if (const std::optional<Outcome> refused = open_encoding(settings_, codec_, &log_)) {
    return cannot_run(kCommandLine,
                      "the encoding \"" + Text(settings_.encoding) +
                          "\" is unknown or not ASCII-compatible: ruvo ends with status " +
                          status_text(refused->exit_code) + logged(),
                      refused->exit_code);
  }
  const RunEnvironment quiet{settings_, &log_, nullptr, &codec_};
  preparation_ = prepare_conversion(request_, sources_, quiet);
  Preparation& preparation = preparation_;
  while (preparation.failure) {
    if (const std::optional<int> stop = explain_failure(*preparation.failure)) {
      return *stop;
    }
    if (!pass_over_failure(preparation, request_, sources_, quiet)) {
      throw std::bad_alloc();
    }
  }
  return explain_fill(preparation);
}

// The message lines the run logged since the last call, quoted.
Text ExplainedRun::logged() {
  Text quoted;
  const List<RecordedLog::Line>& lines = log_.lines();
  for (; said_lines_ < lines.size(); ++said_lines_) {
    if (lines[said_lines_].message) {
      quoted += (quoted.empty() ? "\"" : ", \"") + lines[said_lines_].text + "\"";
    }
  }
  return quoted.empty() ? quoted : " and logs " + quoted;
}

// Notes the status a failing step ends ruvo's run with: the first one's is the run's.
Finding& ExplainedRun::ending(Finding& finding, int status) {
  if (status_ == kExitSuccess) {
    status_ = status;
    finding.status = status;
  }
  return finding;
}

// Explains a step that failed; a status when the check cannot go on past it.
std::optional<int> ExplainedRun::explain_failure(const StepFailure& failure) {
  const int status = failure.outcome.exit_code;
  const Text ends_with = "ends with status " + status_text(status) + logged();
  const Text ends = "ruvo " + ends_with;
  switch (failure.step) {
    case PrepareStep::XmlInput:
      return cannot_run(request_.xml, "cannot read the XML input: " + ends, status);
    case PrepareStep::Document: {
      const xmlError* error = xmlGetLastError();
      ending(findings_.add(Severity::Error, request_.xml,
                           error != nullptr ? static_cast<std::size_t>(error->line) : 0,
                           error != nullptr ? static_cast<std::size_t>(error->int2) : 0, "document",
                           xml_error_message() + " (" + ends + ")"),
             status);
      explain_swapped_document();
      return finish(nullptr);
    }
    case PrepareStep::Template:
      if (failure.invalid_line > 0) {
        return cannot_run(request_.template_path, not_text(ends_with), status,
                          failure.invalid_line);
      }
      return cannot_run(request_.template_path, "cannot read the template: " + ends, status);
    case PrepareStep::Configuration:
      if (failure.invalid_line > 0) {
        ending(findings_.add(Severity::Error, settings_.config_path, failure.invalid_line, 0,
                             "encoding", not_text(ends_with) + "; the check goes on without it"),
               status);
        return std::nullopt;
      }
      explain_missing_configuration(ends, status);
      return std::nullopt;
    case PrepareStep::Output:
      if (failure.looks_like_template) {
        explain_swapped_output(ends_with, status);
        return std::nullopt;
      }
      ending(findings_.add(Severity::Error, kCommandLine, 3, 0, "argument",
                           "the output " + Text(request_.output) + " is the same file as " +
                               Text(failure.replaced) + ": ruvo writes nothing and " + ends_with +
                               "; check the order of the arguments (XML, template, output)"),
             status);
      return std::nullopt;
    case PrepareStep::Done:
      break;
  }
  return std::nullopt;
}

// The output holds placeholders and the template none: ruvo refuses to replace it.
void ExplainedRun::explain_swapped_output(const Text& ends_with, int status) {
  Finding& finding = ending(
      findings_.add(Severity::Error, kCommandLine, 3, 0, "argument",
                    "the output " + Text(request_.output) +
                        " holds placeholders and the template " + Text(request_.template_path) +
                        " none: they look swapped, so ruvo writes nothing and " + ends_with +
                        "; give the template second and the output third"),
      status);
  finding.fix_kind = FixKind::Arguments;
  finding.fix = arguments_swapped(table_, count_, 2, 3);
}

// The XML input does not parse: when the template is an XML document, the two look swapped.
void ExplainedRun::explain_swapped_document() {
  DocumentNotes notes;
  if (!read_input_document(request_.template_path, notes)) {
    return;
  }
  Finding& finding =
      findings_.add(Severity::Warning, kCommandLine, 1, 0, "argument",
                    "the XML input " + Text(request_.xml) + " does not parse, but the template " +
                        Text(request_.template_path) +
                        " is an XML document: the first two arguments look swapped");
  finding.fix_kind = FixKind::Arguments;
  finding.fix = arguments_swapped(table_, count_, 1, 2);
}

void ExplainedRun::explain_missing_configuration(const Text& ends, int status) {
  const char* config_path = settings_.config_path;
  char* absolute = realpath(".", nullptr);
  const Text where = config_path[0] == '/' || absolute == nullptr
                         ? Text(config_path)
                         : Text(absolute) + "/" + config_path;
  std::free(absolute);
  Text message = "the configuration file was not found (looked for " + where + "); " + ends;
  const Text like = file_like(config_path);
  Finding& finding =
      ending(findings_.add(Severity::Error, config_path, 0, 0, "configuration", message), status);
  if (!like.empty()) {
    finding.message += "; did you mean " + like + "?";
    finding.fix_kind = FixKind::Argument;
    finding.fix = like;
    finding.fix_argument = config_argument();
    if (finding.fix_argument == 0) {  // no -c: one is added after the last argument
      finding.fix_argument = static_cast<std::size_t>(count_) + 1;
      finding.fix = "-c " + like;
    }
    return;
  }
  finding.fix_kind = FixKind::Command;
  finding.fix = "touch " + shell_path(config_path);
  finding.message +=
      ". A template without tables or thousands separators needs only an empty file: " +
      finding.fix + ", or name another with -c";
}

// The position (from 1) of the argument the configuration's name is, or 0 for the default.
std::size_t ExplainedRun::config_argument() const {
  for (int i = 0; i < count_; ++i) {
    if (table_.at(i) == settings_.config_path) {
      return static_cast<std::size_t>(i) + 1;
    }
  }
  return 0;
}

int ExplainedRun::explain_fill(Preparation& preparation) {
  ConfigPlaces places;
  if (config_lines_) {
    find_section_headers(*config_lines_, configuration_.column_sections(), places);
    find_section_headers(*config_lines_, configuration_.master_sections(), places);
    find_comma_header(*config_lines_, configuration_.comma_section(), places);
  }
  RunObserver& run =
      observer_.emplace(*preparation.template_lines, codec_, preparation.template_mark_bytes);
  const Outcome filled = fill_conversion(preparation, {settings_, &log_, &run, &codec_}, nullptr);
  filled_ = true;
  DocumentProbe probe(preparation.document.get(), preparation.notes, codec_);
  EncodingAdvice encodings;
  CheckContext check{findings_,
                     probe,
                     run,
                     request_.template_path,
                     settings_.config_path,
                     list_,
                     settings_,
                     *preparation.configuration,
                     places,
                     encodings};
  explain_placeholders(check);
  explain_tables(check);
  explain_unused_configuration(check);
  if (!filled.succeeded) {
    explain_fill_failure(filled.exit_code);
  }
  if (list_ && options_changed_settings()) {
    note_settings();
  }
  return finish(&run);
}

// The last message line the run logged, quoted; empty when it logged none.
Text ExplainedRun::last_logged() const {
  const List<RecordedLog::Line>& lines = log_.lines();
  for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
    if (line->message) {
      return " and logs \"" + line->text + "\"";
    }
  }
  return Text();
}

// The fill failed: the placeholder that ended it has said why; else memory ran out. The
// failure is the last line the fill logs.
void ExplainedRun::explain_fill_failure(int status) {
  const Text ends = "ruvo ends with status " + status_text(status) + last_logged();
  for (Finding& finding : findings_.all_mutable()) {
    if (finding.severity == Severity::Error && finding.kind == "bare-element") {
      finding.message += " (" + ends + ")";
      ending(finding, status);
      return;
    }
  }
  ending(findings_.add(Severity::Error, request_.template_path, 0, 0, "run",
                       "the fill ends with a failure: memory ran out; " + ends),
         status);
}

bool ExplainedRun::options_changed_settings() const {
  const RunSettings defaults;
  // The names are compared, not their addresses: one literal may stand at two addresses.
  return std::strcmp(settings_.config_path, defaults.config_path) != 0 ||
         settings_.output_mode != defaults.output_mode || settings_.preview.on ||
         settings_.encoding != nullptr;
}

// What the options made of the run.
void ExplainedRun::note_settings() {
  Text said = "ruvo reads the configuration file \"" + Text(settings_.config_path) +
              "\" and places values in " +
              (settings_.output_mode == OutputMode::Xml ? "Xml" : "Text") + " mode, in " +
              Text(codec_.name());
  if (settings_.preview.on) {
    said += "; master tables keep the first " + status_text(settings_.preview.rows) + " and last " +
            status_text(settings_.preview.rows) + " rows of each level";
  }
  findings_.add(Severity::Note, kCommandLine, 0, 0, "run", said);
}

// A file of the run that holds bytes which are no text in the run's encoding, from this line.
Text ExplainedRun::not_text(const Text& ends_with) const {
  return "this line is no text in " + Text(codec_.name()) +
         ", the run's encoding: ruvo reads none of the file and " + ends_with +
         "; name the encoding the file is in with -encoding, or convert the file";
}

int ExplainedRun::cannot_run(std::string_view file, const Text& message, int status,
                             std::size_t line) {
  findings_ = Findings();
  findings_.add(Severity::Error, file, line, 0, "cannot-run", message).status = status;
  summary_ = "ruvo-check: the check could not run";
  status_ = status;
  return kCheckCannotRun;
}

int ExplainedRun::finish(const RunObserver* run) {
  check_encoding(findings_, request_.template_path, "template", codec_, count_);
  if (config_lines_) {
    check_encoding(findings_, settings_.config_path, "configuration", codec_, count_);
  }
  findings_.sort_by_place();
  char line[240];
  std::snprintf(
      line, sizeof line, "ruvo-check: %zu errors, %zu warnings (%zu placeholders, %zu tables)",
      findings_.count(Severity::Error), findings_.count(Severity::Warning),
      run != nullptr ? run->placeholders().size() : 0, run != nullptr ? run->tables().size() : 0);
  Text summary = line;
  if (status_ != kExitSuccess) {
    summary += "; ruvo would end with status " + status_text(status_);
  }
  summary_ = summary;
  return findings_.count(Severity::Error) + findings_.count(Severity::Warning) > 0 ? kCheckFound
                                                                                   : kCheckClean;
}

void ExplainedRun::run() {
  check_status_ = explain();
}

const LineList* ExplainedRun::output() const {
  return filled_ ? preparation_.template_lines.get() : nullptr;
}

}  // namespace ruvo::check
