#include "batch/batch_run.h"

#include <libxml/parser.h>
#include <strings.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "base/process_state.h"
#include "base/run_log.h"
#include "driver/command_line.h"
#include "driver/conversion.h"
#include "text/file_handle.h"
#include "text/text_file.h"
#include "text/tracked_memory.h"
#include "xml/xml_handles.h"

namespace ruvo::batch {

namespace {

using Text = std::basic_string<char, std::char_traits<char>, TrackedAllocator<char>>;

constexpr const char* kUsage =
    "usage: ruvo-batch [-c CONFIG] [-xml|-text] [-preview N] TEMPLATE OUTPUT_DIR FILE...\n";

// The template and configuration, read once; each document gets its own copy of the template,
// which its fill changes, and reads the same sections.
class LoadedSources final : public ConversionSources {
 public:
  LoadedSources(const char* template_path, const char* config_path)
      : template_(line_list_load(template_path)),
        columns_(section_list_new()),
        masters_(section_list_new()) {
    LineListPtr config_lines = line_list_load(config_path);
    if (config_lines && columns_ && masters_) {
      comma_ = cut_configuration(config_lines.get(), columns_.get(), masters_.get());
      config_read_ = true;
    }
  }

  LineListPtr template_lines(const char* /*path*/) override {
    if (!template_) {
      return LineListPtr();
    }
    LineListPtr copy = line_list_new();
    for (const Line& line : template_->lines()) {
      if (!copy || !line_list_append(copy.get(), line.text(), line.size())) {
        return LineListPtr();
      }
    }
    return copy;
  }

  bool configuration(const char* /*path*/, Configuration& configuration) override {
    if (!config_read_) {
      return false;
    }
    configuration = {comma_.get(), columns_.get(), masters_.get()};
    return true;
  }

 private:
  LineListPtr template_;
  SectionListPtr columns_;
  SectionListPtr masters_;
  LineListPtr comma_;
  bool config_read_ = false;
};

struct Options {
  const char* template_path = nullptr;
  const char* output_dir = nullptr;
  std::vector<const char*, TrackedAllocator<const char*>> files;
};

// Reads the options (before the positional arguments) into the run settings, as ruvo reads
// them; false on a usage error.
bool read_options(int argc, const char* const* argv, Options& options) {
  RunSettings& settings = run_settings();
  int i = 0;
  for (; i < argc && argv[i][0] == '-' && argv[i][1] != '\0'; ++i) {
    const char* option = argv[i];
    const bool has_next = i + 1 < argc;
    if (strcasecmp(option, "-c") == 0 && has_next) {
      settings.config_path = argv[++i];
    } else if (strcasecmp(option, "-preview") == 0 && has_next) {
      settings.preview.on = true;
      settings.preview.rows = parse_row_count(argv[++i]);
    } else if (strcasecmp(option, "-xml") == 0) {
      settings.output_mode = OutputMode::Xml;
    } else if (strcasecmp(option, "-text") == 0) {
      settings.output_mode = OutputMode::Text;
    } else {
      return false;
    }
  }
  if (argc - i < 3) {
    return false;
  }
  options.template_path = argv[i];
  options.output_dir = argv[i + 1];
  for (int k = i + 2; k < argc; ++k) {
    options.files.push_back(argv[k]);
  }
  return true;
}

// NAME of DIR/NAME.xml (the extension in any case), or the file's whole name without one.
std::string_view stem_of(std::string_view file) {
  const std::size_t slash = file.rfind('/');
  std::string_view name = slash == std::string_view::npos ? file : file.substr(slash + 1);
  if (name.size() > 4 && strncasecmp(name.data() + name.size() - 4, ".xml", 4) == 0) {
    name.remove_suffix(4);
  }
  return name;
}

std::string_view name_of(std::string_view file) {
  const std::size_t slash = file.rfind('/');
  return slash == std::string_view::npos ? file : file.substr(slash + 1);
}

bool write_whole_file(const Text& path, const char* bytes, std::size_t size) {
  FilePtr file(std::fopen(path.c_str(), "w"));
  return file && std::fwrite(bytes, 1, size, file.get()) == size &&
         std::fclose(file.release()) == 0;
}

// One document: its conversion with a run log of its own in memory, the memory-count line of a
// failure counted from where the document started, and the log kept when it holds anything.
int convert_one(LoadedSources& sources, const char* file, const char* template_path,
                const Text& output, const Text& log) {
  char* log_bytes = nullptr;
  std::size_t log_size = 0;
  use_run_log(open_memstream(&log_bytes, &log_size));
  xmlResetLastError();
  const std::int64_t base = mem_in_use();
  ConversionPaths paths;
  paths.xml = file;
  paths.template_path = template_path;
  paths.output = output.c_str();
  const Outcome outcome = convert_document(paths, sources);
  if (!outcome.succeeded) {
    log_memory_count(run_log(), "Total memoria final:", base);
  }
  close_run_log();  // the stream's bytes are complete once it is closed
  if (log_bytes != nullptr && log_size > 0) {
    static_cast<void>(write_whole_file(log, log_bytes, log_size));
  }
  std::free(log_bytes);
  return outcome.exit_code;
}

}  // namespace

int run_batch(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
  run_settings() = RunSettings{};
  Options options;
  if (argc > 0 && (std::strcmp(argv[0], "-h") == 0 || std::strcmp(argv[0], "--help") == 0)) {
    std::fputs(kUsage, out);
    return kBatchConverted;
  }
  if (!read_options(argc, argv, options)) {
    std::fputs(kUsage, err);
    return kBatchUsage;
  }
  const Text output_dir(options.output_dir);
  const Text logs_dir = output_dir + "/logs";
  for (const Text* folder : {&output_dir, &logs_dir}) {
    if (mkdir(folder->c_str(), 0777) != 0 && errno != EEXIST) {
      std::fprintf(err, "ruvo-batch: cannot make the folder %s: %s\n", folder->c_str(),
                   std::strerror(errno));
      return kBatchUsage;
    }
  }
  xmlInitParser();
  silence_libxml2_messages();
  LoadedSources sources(options.template_path, run_settings().config_path);
  Text statuses;
  std::unordered_set<std::string_view, std::hash<std::string_view>, std::equal_to<>,
                     TrackedAllocator<std::string_view>>
      stems;
  bool all_converted = true;
  for (const char* file : options.files) {
    const std::string_view stem = stem_of(file);
    Text line(name_of(file));
    if (!stems.insert(stem).second) {
      line += "\tnot-started\n";
      all_converted = false;
    } else {
      const Text name(stem);
      const int status =
          convert_one(sources, file, options.template_path, output_dir + "/" + name + ".txt",
                      logs_dir + "/" + name + ".log");
      char digits[16];
      std::snprintf(digits, sizeof digits, "\t%d\n", status);
      line += digits;
      all_converted = all_converted && status == 0;
    }
    // One write per line: lines of several processes sharing a pipe never mix.
    std::fputs(line.c_str(), out);
    std::fflush(out);
    statuses += line;
  }
  if (!write_whole_file(output_dir + "/status.tsv", statuses.data(), statuses.size())) {
    std::fprintf(err, "ruvo-batch: cannot write %s/status.tsv\n", output_dir.c_str());
    all_converted = false;
  }
  xmlCleanupParser();
  return all_converted ? kBatchConverted : kBatchSomeFailed;
}

}  // namespace ruvo::batch
