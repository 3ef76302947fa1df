// One document's conversion, in three phases that every program calls:
//
//   prepare  the checks and loads in their fixed order (the XML input can be read, it parses,
//            the template, the configuration, the output is none of the run's own files and
//            no template either),
//            stopping at the first step that fails, which it names with its outcome;
//   fill     the template filled in place, streaming final lines to an output or to none;
//   write    what the fill left, written, and the output put in place.
//
// ruvo and ruvo-batch chain all three (convert_document). ruvo-check prepares and fills with
// its observer and no output, like a build tool's dry run, and explains the run from what the
// phases report; it may go on past a step that ends ruvo's run but leaves something to fill
// (pass_over_failure), and never orders the steps itself.
#pragma once

#include <optional>

#include "base/run_environment.h"
#include "config/configuration.h"
#include "text/line_list.h"
#include "text/output_file.h"
#include "text/text_codec.h"
#include "text/tracked_memory.h"
#include "xml/input_document.h"
#include "xml/xml_handles.h"

namespace ruvo {

// How a conversion ended: its exit code, whether it took the success path (the only one that
// logs no memory-count line) and whether a run would print its help text.
struct Outcome {
  int exit_code;
  bool succeeded;
  bool help = false;
};

// Where a conversion gets its template and configuration.
class ConversionSources {
 public:
  ConversionSources() = default;
  ConversionSources(const ConversionSources&) = delete;
  ConversionSources& operator=(const ConversionSources&) = delete;
  virtual ~ConversionSources() = default;

  // The template's lines for one fill, which changes them; none when the file cannot be read.
  virtual LineListPtr template_lines(const char* path) = 0;
  // The configuration, which stays the source's, read as text in the encoding; none when the
  // file cannot be read, or is no text in the encoding (invalid_line then names its first line
  // that is not, from 1).
  virtual Configuration* configuration(const char* path, const TextCodec& codec,
                                       std::size_t& invalid_line) = 0;
};

// Readies the lines of a file read as text in the encoding: a UTF-8 file's byte-order mark is
// no text and is dropped (mark_bytes, when given, tells how many bytes that took from the first
// line). The first line that is no text in the encoding, from 1; 0 when every line is (or
// memory is short, when the lines stay as they are).
std::size_t ready_text_lines(LineList& lines, const TextCodec& codec,
                             std::size_t* mark_bytes = nullptr);

// The run's encoding (-encoding) in the codec; a failure's outcome, with the log lines a run
// writes for it, when the converter does not know it or it is not ASCII-compatible.
std::optional<Outcome> open_encoding(const RunSettings& settings, TextCodec& codec, RunLog* log);

// The files of one conversion, as the command line names them; the configuration file is the
// run settings' (-c).
struct ConversionRequest {
  const char* xml = nullptr;  // names the document in the log
  const char* template_path = nullptr;
  const char* output = nullptr;
  LinkAtPath output_link = LinkAtPath::Followed;  // a link standing at the output
  const char* xml_read_path = nullptr;            // where the document is read, when not at xml
};

// The steps of a preparation, in the order they run.
enum class PrepareStep { XmlInput, Document, Template, Configuration, Output, Done };

// A step that failed: how the run ends there (its log lines are written), and for the output
// step the run's file that the output is, or that the output looks like a template while the
// template holds no placeholder (the arguments swapped). For the template and configuration
// steps, the first line that is no text in the run's encoding (from 1), or 0 when the file
// could not be read at all.
struct StepFailure {
  PrepareStep step = PrepareStep::Done;
  Outcome outcome{0, false};
  const char* replaced = nullptr;
  bool looks_like_template = false;
  std::size_t invalid_line = 0;
};

// What the steps loaded, owned here, and how far they got.
struct Preparation {
  DocumentNotes notes;
  XmlDocPtr document;
  LineListPtr template_lines;
  std::size_t template_mark_bytes = 0;     // what a byte-order mark took from its first line
  Configuration* configuration = nullptr;  // the source's, or the stand-in below
  // The step that failed last; none when every step run so far passed.
  std::optional<StepFailure> failure;
  PrepareStep next = PrepareStep::XmlInput;  // the first step not run yet
  // The empty configuration a program explaining a run fills with when the file cannot be read.
  Tracked<Configuration> stand_in;

  bool ready() const { return !failure && next == PrepareStep::Done; }
};

// Runs the steps in their order until one fails or all have passed. Each failure logs what a
// run logs for it.
[[nodiscard]] Preparation prepare_conversion(const ConversionRequest& request,
                                             ConversionSources& sources, const RunEnvironment& run);

// Goes on past the step that failed when a fill can still be made without it, as a program
// explaining a run does: a configuration that cannot be read counts as an empty one, an output
// that is one of the run's own files as none. The steps after it run and may fail in their turn
// (preparation.failure). False, with nothing done, when the failure leaves nothing to fill (no
// readable input, no document, no template) or memory for the stand-in is short.
[[nodiscard]] bool pass_over_failure(Preparation& preparation, const ConversionRequest& request,
                                     ConversionSources& sources, const RunEnvironment& run);

// Fills the template of a preparation that has a document, a template and a configuration.
// Lines that are final go to the output at once when one is given and streams; without one the
// template keeps every line. The outcome is 257 when the fill fails (its reason is logged).
[[nodiscard]] Outcome fill_conversion(Preparation& preparation, const RunEnvironment& run,
                                      OutputFile* output);

// Writes what the fill left in the template after the lines the output took already: a held
// output is then complete, a temporary file holds every byte and awaits OutputFile::settle. The
// outcome of a write that fails is output_not_written's.
[[nodiscard]] Outcome write_conversion(Preparation& preparation, OutputFile& output,
                                       const ConversionRequest& request, RunLog* log);

// An output written in full that waits for a sync shared with other documents' outputs before
// it is put in place.
using PendingOutput = Tracked<OutputFile>;

// Prepares, fills and writes one document. Everything it takes is released when it returns, so
// the memory count after it shows only what leaked.
//
// With pending, an output written to a temporary file is handed over there, synced and renamed
// by nobody yet: the outcome is a success for now, which becomes output_not_written's when the
// output cannot be put in place. Any other outcome is final at once, and pending stays empty.
// Without pending, document_left (when given) receives the document of a conversion that
// succeeded, once its output is in place, instead of it being freed.
Outcome convert_document(const ConversionRequest& request, ConversionSources& sources,
                         const RunEnvironment& run, PendingOutput* pending = nullptr,
                         XmlDocPtr* document_left = nullptr);

// The outcome of a conversion whose output (output_path, as the conversion was given it) cannot
// be written, with the log lines a run writes for it.
Outcome output_not_written(const char* output_path, RunLog* log);

// The sources of a single run: both files read when the conversion asks for them, the
// configuration cut into the one the run made at its start. With keep_lines, the configuration
// file's lines stay there after the cut (for a program that points at them).
class FileSources final : public ConversionSources {
 public:
  explicit FileSources(Configuration& configuration, LineListPtr* keep_lines = nullptr)
      : configuration_(configuration), keep_lines_(keep_lines) {}

  LineListPtr template_lines(const char* path) override;
  Configuration* configuration(const char* path, const TextCodec& codec,
                               std::size_t& invalid_line) override;

 private:
  Configuration& configuration_;
  LineListPtr* keep_lines_;
};

}  // namespace ruvo
