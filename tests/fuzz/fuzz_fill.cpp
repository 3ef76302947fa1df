// Filling a template against a few fixed documents, with the configuration's sections cut as a
// run cuts them; each template is filled twice, holding its lines and streaming finished ones to
// a file, and both must give the same bytes.
//
// Input: byte 0 chooses one of the four documents (bits 0-1), Xml mode (bit 2), preview (bit 3),
// the preview row count (bits 4-5, less 1) and the encoding the template and the configuration
// are read in (bits 6-7: Latin-1, UTF-8, ISO-8859-2, CP1252); the rest is the template, then a
// NUL and the configuration (none without a NUL).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "fill/template_filler.h"
#include "fuzz_documents.h"
#include "fuzz_support.h"
#include "tables/master_definition.h"
#include "text/output_file.h"
#include "xml/xml_handles.h"

using namespace ruvo;

namespace {

// Same-named elements under one parent in the fixed documents, at most (four Detaprod, counting
// x:Detaprod: master levels match local names).
constexpr double kMostSiblings = 4;
// Table lines an input may write at most. Every master level may visit kMostSiblings elements
// for each row of the level before it, so a table's rows grow as kMostSiblings to the power of
// its levels; inputs that could write more are passed over to keep each run short.
constexpr double kTableLineBudget = 200000;

// The encodings a template may be read in, each opened once: opening one tries every byte.
const TextCodec& encoding(int index) {
  static TextCodec codecs[4];
  static bool opened = false;
  if (!opened) {
    static_cast<void>(codecs[1].open("UTF-8"));
    static_cast<void>(codecs[2].open("ISO-8859-2"));
    static_cast<void>(codecs[3].open("CP1252"));
    opened = true;
  }
  return codecs[index];
}

// The most table lines the template could come to: every template line may expand one table.
double table_line_bound(const SectionList* masters, std::size_t template_lines) {
  double lines = 0;
  for (const SectionNode* node = masters->first(); node != nullptr; node = node->next) {
    Tracked<MasterChain> chain = read_master_definitions(node->value.get());
    if (!chain) {
      continue;
    }
    double rows = 1;
    double per_row = 0;
    for (const auto* level = chain->levels.first(); level != nullptr; level = level->next) {
      double fields = 0;
      for (const auto* field = level->value.fields.first(); field != nullptr; field = field->next) {
        ++fields;
      }
      rows *= kMostSiblings;
      per_row += rows * (2 + 2 * fields);
    }
    lines += per_row;
  }
  return lines * static_cast<double>(template_lines);
}

// The file streamed fills are written to, in a folder of this process's own.
const std::string& streamed_path() {
  static const std::string path = [] {
    char folder[] = "/tmp/ruvo-fuzz-fill-XXXXXX";
    fuzz::check(mkdtemp(folder) != nullptr, "no folder for the streamed output");
    return std::string(folder) + "/out.txt";
  }();
  return path;
}

std::string read_whole(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The bytes a run writes for the lines.
std::string joined(const LineList* lines) {
  std::string bytes;
  for (const Line* line = lines->head; line != nullptr; line = line->next) {
    bytes.append(line->text(), line->size());
    if (line->next != nullptr) {
      bytes += '\n';
    }
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("RUVO_FUZZ_NUM", "1234567.891", 1);
  setenv("RUVO_FUZZ_NEXT", "<<Nota>>", 1);  // a value that holds a placeholder
  fuzz::prepare_documents();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) {
    return 0;
  }
  const uint8_t flags = data[0];
  const char* rest = reinterpret_cast<const char*>(data + 1);
  const std::size_t rest_size = size - 1;
  const char* nul = static_cast<const char*>(std::memchr(rest, '\0', rest_size));
  const std::size_t template_size =
      nul != nullptr ? static_cast<std::size_t>(nul - rest) : rest_size;

  reset_process_state();
  RunSettings settings;
  settings.output_mode = (flags & 4) != 0 ? OutputMode::Xml : OutputMode::Text;
  settings.preview.on = (flags & 8) != 0;
  settings.preview.rows = ((flags >> 4) & 3) - 1;
  const TextCodec& codec = encoding((flags >> 6) & 3);
  bool filled = false;
  {
    LineListPtr template_lines = fuzz::load_lines(rest, template_size);
    LineListPtr config = nul != nullptr ? fuzz::load_lines(nul + 1, rest_size - template_size - 1)
                                        : fuzz::load_lines(nullptr, 0);
    Configuration configuration;
    fuzz::check(configuration.usable(), "no section lists");
    configuration.cut(config.get());
    config.reset();
    const RunEnvironment run{settings, nullptr, nullptr, &codec};

    if (table_line_bound(configuration.master_sections(), template_lines->count) <=
        kTableLineBudget) {
      xmlDoc* doc = fuzz::document(flags & 3);
      // The documents serve every input: a fill must leave its document as it found it.
      const xmlChar* const encoding = doc->encoding;
      const FillOutcome status =
          fill_template(doc, template_lines.get(), configuration, run, nullptr);
      fuzz::check(doc->encoding == encoding, "the fill changed the document's encoding");
      fuzz::check_list(template_lines.get());
      // Again with finished lines streamed to a file, as a run writes: the same bytes.
      LineListPtr streamed = fuzz::load_lines(rest, template_size);
      {
        OutputFile output(streamed_path().c_str());
        fuzz::check(output.streams(), "the output file does not stream");
        fuzz::check(fill_template(doc, streamed.get(), configuration, run, &output) == status,
                    "the streamed fill ended otherwise");
        fuzz::check(output.finish(streamed.get()), "the streamed output was not written");
      }
      fuzz::check(read_whole(streamed_path()) == joined(template_lines.get()),
                  "the streamed output differs from the held lines");
      filled = true;
    }
  }
  fuzz::check_all_released();
  return filled ? 0 : -1;  // -1 keeps a passed-over input out of the corpus
}
