#include "driver/conversion.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "base/log_messages.h"
#include "base/run_log.h"
#include "driver/exit_codes.h"
#include "driver/output_collision.h"
#include "fill/template_filler.h"
#include "text/file_handle.h"
#include "text/text_file.h"

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

// Where the document is read: at the name it is known by unless the request reads a copy.
const char* xml_read_path(const ConversionRequest& request) {
  return request.xml_read_path != nullptr ? request.xml_read_path : request.xml;
}

bool can_open_for_reading(const char* path) {
  FilePtr file(std::fopen(path, "r"));
  return file != nullptr;
}

// Whether a link stands at the output and is to be replaced rather than followed.
bool replaces_link(const ConversionRequest& request) {
  struct stat status {};
  return request.output_link == LinkAtPath::Replaced && lstat(request.output, &status) == 0 &&
         S_ISLNK(status.st_mode);
}

// The first of the run's own files that the output would replace, or none: the XML input, the
// template, the configuration and the file the run log appends to, when it is one.
const char* file_replaced(const ConversionRequest& request, const RunEnvironment& run) {
  const char* config_path = run.settings.config_path;
  const char* log_name = run.log != nullptr ? run.log->file_name() : nullptr;
  if (log_name != nullptr) {
    return file_replaced_by_output(request.output,
                                   {{xml_read_path(request)},
                                    {request.template_path},
                                    {config_path},
                                    {log_name, run.log->file(), run.log->file() == nullptr}});
  }
  return file_replaced_by_output(
      request.output, {{xml_read_path(request)}, {request.template_path}, {config_path}});
}

const TextCodec& codec_of(const RunEnvironment& run) {
  static const TextCodec kLatin1;
  return run.codec != nullptr ? *run.codec : kLatin1;
}

// The continuation line that names where a file stops being text in the run's encoding.
void log_invalid_line(const RunEnvironment& run, std::size_t line) {
  if (line > 0) {
    const std::string name(codec_of(run).name());
    log_detail(run.log, format_message(log_messages::kTextNotInEncoding, line, name.c_str()));
  }
}

// Runs one step; a failure is logged here and returned.
std::optional<StepFailure> run_step(PrepareStep step, Preparation& preparation,
                                    const ConversionRequest& request, ConversionSources& sources,
                                    const RunEnvironment& run) {
  switch (step) {
    case PrepareStep::XmlInput:
      if (can_open_for_reading(xml_read_path(request))) {
        return std::nullopt;
      }
      log_line(run.log, log_messages::kXmlInputMissing);
      log_detail(run.log, request.xml);
      return StepFailure{step, fail(kExitUnusableInvocation)};
    case PrepareStep::Document:
      // Never from the network; entities are not substituted and no DTD is loaded, so an
      // external entity cannot bring a local file's content into the output.
      preparation.document =
          request.xml_read_path != nullptr
              ? read_input_document(request.xml_read_path, preparation.notes, request.xml)
              : read_input_document(xml_input_path(request.xml), preparation.notes);
      if (preparation.document) {
        return std::nullopt;
      }
      log_line(run.log, log_messages::kXmlNotParsed);
      log_xml_error(run.log);
      return StepFailure{step, fail(kExitUnusableInput)};
    case PrepareStep::Template: {
      preparation.template_lines = sources.template_lines(request.template_path);
      const std::size_t invalid_line =
          preparation.template_lines ? ready_text_lines(*preparation.template_lines, codec_of(run),
                                                        &preparation.template_mark_bytes)
                                     : 0;
      if (preparation.template_lines && invalid_line == 0) {
        return std::nullopt;
      }
      log_line(run.log, log_messages::kTemplateMissing);
      log_detail(run.log, request.template_path);
      log_invalid_line(run, invalid_line);
      preparation.template_lines.reset();
      StepFailure failure{step, fail_with_help(kExitUnusableInput)};
      failure.invalid_line = invalid_line;
      return failure;
    }
    case PrepareStep::Configuration: {
      std::size_t invalid_line = 0;
      preparation.configuration =
          sources.configuration(run.settings.config_path, codec_of(run), invalid_line);
      if (preparation.configuration != nullptr) {
        return std::nullopt;
      }
      log_line(run.log, log_messages::kConfigurationMissing);
      log_invalid_line(run, invalid_line);
      StepFailure failure{step, fail_with_help(kExitUnusableInput)};
      failure.invalid_line = invalid_line;
      return failure;
    }
    case PrepareStep::Output:
      if (replaces_link(request)) {
        return std::nullopt;  // the link itself is replaced: no file it names is touched or read
      }
      if (const char* replaced = file_replaced(request, run)) {
        static_cast<void>(output_not_written(request.output, run.log));
        log_detail(run.log, format_message(log_messages::kOutputIsRunFile, replaced));
        return StepFailure{step, fail(kExitOutputNotWritten), replaced};
      }
      if (output_looks_like_template(request.output, *preparation.template_lines)) {
        static_cast<void>(output_not_written(request.output, run.log));
        log_detail(run.log, log_messages::kOutputLooksLikeTemplate);
        StepFailure failure{step, fail(kExitOutputNotWritten)};
        failure.looks_like_template = true;
        return failure;
      }
      return std::nullopt;
    case PrepareStep::Done:
      break;
  }
  return std::nullopt;
}

PrepareStep step_after(PrepareStep step) {
  return static_cast<PrepareStep>(static_cast<int>(step) + 1);
}

void run_steps(Preparation& preparation, const ConversionRequest& request,
               ConversionSources& sources, const RunEnvironment& run) {
  while (preparation.next != PrepareStep::Done) {
    preparation.failure = run_step(preparation.next, preparation, request, sources, run);
    if (preparation.failure) {
      return;
    }
    preparation.next = step_after(preparation.next);
  }
}

}  // namespace

Preparation prepare_conversion(const ConversionRequest& request, ConversionSources& sources,
                               const RunEnvironment& run) {
  Preparation preparation;
  run_steps(preparation, request, sources, run);
  return preparation;
}

bool pass_over_failure(Preparation& preparation, const ConversionRequest& request,
                       ConversionSources& sources, const RunEnvironment& run) {
  if (!preparation.failure) {
    return false;
  }
  switch (preparation.failure->step) {
    case PrepareStep::Configuration:
      preparation.stand_in = make_tracked<Configuration>();
      if (!preparation.stand_in || !preparation.stand_in->usable()) {
        return false;
      }
      preparation.configuration = preparation.stand_in.get();
      break;
    case PrepareStep::Output:
      break;
    default:
      return false;
  }
  preparation.failure.reset();
  preparation.next = step_after(preparation.next);
  run_steps(preparation, request, sources, run);
  return true;
}

Outcome fill_conversion(Preparation& preparation, const RunEnvironment& run, OutputFile* output) {
  const FillOutcome filled = fill_template(
      preparation.document.get(), preparation.template_lines.get(), *preparation.configuration, run,
      output != nullptr && output->streams() ? output : nullptr, &preparation.notes);
  return filled == FillOutcome::Filled ? Outcome{kExitSuccess, true} : fail(kExitFillFailed);
}

Outcome write_conversion(Preparation& preparation, OutputFile& output,
                         const ConversionRequest& request, RunLog* log) {
  return output.write_rest(preparation.template_lines.get())
             ? Outcome{kExitSuccess, true}
             : output_not_written(request.output, log);
}

Outcome output_not_written(const char* output_path, RunLog* log) {
  log_line(log, log_messages::kOutputNotWritten);
  log_detail(log, output_path);
  return fail(kExitOutputNotWritten);
}

Outcome convert_document(const ConversionRequest& request, ConversionSources& sources,
                         const RunEnvironment& run, PendingOutput* pending,
                         XmlDocPtr* document_left) {
  Preparation preparation = prepare_conversion(request, sources, run);
  if (preparation.failure) {
    return preparation.failure->outcome;
  }
  // Table rows go to the output while the template is filled; a run that fails removes what
  // was written and leaves an existing output as it was.
  const auto fill_and_write = [&](OutputFile& output) {
    const Outcome filled = fill_conversion(preparation, run, &output);
    return filled.succeeded ? write_conversion(preparation, output, request, run.log) : filled;
  };
  if (pending == nullptr) {
    OutputFile output(request.output, request.output_link);
    const Outcome written = fill_and_write(output);
    if (written.succeeded && !output.settle(false)) {
      return output_not_written(request.output, run.log);
    }
    if (written.succeeded && document_left != nullptr) {
      *document_left = std::move(preparation.document);
    }
    return written;
  }
  PendingOutput output = make_tracked<OutputFile>(request.output, request.output_link);
  if (!output) {
    return output_not_written(request.output, run.log);
  }
  const Outcome written = fill_and_write(*output);
  if (written.succeeded && output->awaits_settle()) {
    *pending = std::move(output);
  }
  return written;
}

LineListPtr FileSources::template_lines(const char* path) {
  return line_list_load(path);
}

std::size_t ready_text_lines(LineList& lines, const TextCodec& codec, std::size_t* mark_bytes) {
  if (codec.is_latin1()) {
    return 0;  // every byte is Latin-1 text
  }
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  Line* first = line_list_rewind(&lines);
  if (codec.is_utf8() && first != nullptr && first->view().starts_with(kByteOrderMark) &&
      first->assign(first->view().substr(kByteOrderMark.size()), {}) && mark_bytes != nullptr) {
    *mark_bytes = kByteOrderMark.size();
  }
  std::size_t number = 0;
  for (const Line& line : lines.lines()) {
    ++number;
    if (codec.first_invalid(line.view()) != std::string_view::npos) {
      return number;
    }
  }
  return 0;
}

std::optional<Outcome> open_encoding(const RunSettings& settings, TextCodec& codec, RunLog* log) {
  if (settings.encoding == nullptr || codec.open(settings.encoding) == TextCodec::Opening::Opened) {
    return std::nullopt;
  }
  log_line(log, log_messages::kEncodingUnsupported);
  log_detail(log, settings.encoding);
  return fail(kExitUnusableInvocation);
}

Configuration* FileSources::configuration(const char* path, const TextCodec& codec,
                                          std::size_t& invalid_line) {
  LineListPtr config_lines = line_list_load(path);
  if (!config_lines) {
    return nullptr;
  }
  invalid_line = ready_text_lines(*config_lines, codec);
  if (invalid_line > 0) {
    return nullptr;
  }
  configuration_.cut(config_lines.get());
  if (keep_lines_ != nullptr) {
    *keep_lines_ = std::move(config_lines);
  }
  return &configuration_;
}

}  // namespace ruvo
