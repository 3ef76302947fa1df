#include "batch/batch_run.h"

#include <libxml/parser.h>
#include <sched.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "base/process_state.h"
#include "base/run_log.h"
#include "batch/shared_batch.h"
#include "batch/sync_group.h"
#include "driver/command_line.h"
#include "driver/conversion.h"
#include "text/file_handle.h"
#include "text/text_file.h"
#include "text/tracked_memory.h"
#include "xml/xml_handles.h"

namespace ruvo::batch {

namespace {

constexpr const char* kUsage =
    "usage: ruvo-batch [-c CONFIG] [-xml|-text] [-preview N] [-j JOBS] [-files0-from LIST]\n"
    "                  TEMPLATE OUTPUT_DIR FILE...\n";

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
  const char* list_path = nullptr;  // a file of NUL-separated document paths
  int jobs = 1;
  std::vector<const char*, TrackedAllocator<const char*>> files;
};

// The processors this process may run on.
int processors() {
  cpu_set_t set;
  CPU_ZERO(&set);
  return sched_getaffinity(0, sizeof set, &set) == 0 ? std::max(CPU_COUNT(&set), 1) : 1;
}

// A whole number from 1 to kMostJobs, or 0 for one per processor; -1 for anything else.
int parse_jobs(const char* text) {
  char* end = nullptr;
  errno = 0;
  const long jobs = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || jobs < 0 || jobs > kMostJobs) {
    return -1;
  }
  return jobs == 0 ? std::min(processors(), kMostJobs) : static_cast<int>(jobs);
}

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
    } else if (strcasecmp(option, "-j") == 0 && has_next) {
      options.jobs = parse_jobs(argv[++i]);
      if (options.jobs < 0) {
        return false;
      }
    } else if (strcasecmp(option, "-files0-from") == 0 && has_next) {
      options.list_path = argv[++i];
    } else {
      return false;
    }
  }
  if (argc - i < (options.list_path != nullptr ? 2 : 3)) {
    return false;
  }
  options.template_path = argv[i];
  options.output_dir = argv[i + 1];
  for (int k = i + 2; k < argc; ++k) {
    options.files.push_back(argv[k]);
  }
  return true;
}

// Adds the NUL-separated paths of the list ("-": standard input) after the named files; the
// paths point into list, which must outlive them. False when the list cannot be read.
bool read_file_list(const char* path, Text& list, Options& options) {
  FilePtr opened(std::strcmp(path, "-") == 0 ? nullptr : std::fopen(path, "rb"));
  std::FILE* file = std::strcmp(path, "-") == 0 ? stdin : opened.get();
  if (file == nullptr) {
    return false;
  }
  char chunk[65536];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
    list.append(chunk, got);
  }
  if (std::ferror(file)) {
    return false;
  }
  list += '\0';  // the last path may lack its terminator
  for (std::size_t at = 0; at < list.size(); at = list.find('\0', at) + 1) {
    if (list[at] != '\0') {
      options.files.push_back(list.data() + at);
    }
  }
  return true;
}

// Which documents are not started: a second one of a NAME already used.
void mark_repeated_names(const Options& options, int* statuses) {
  std::unordered_set<std::string_view, std::hash<std::string_view>, std::equal_to<>,
                     TrackedAllocator<std::string_view>>
      stems;
  for (std::size_t i = 0; i < options.files.size(); ++i) {
    if (!stems.insert(stem_of(options.files[i])).second) {
      statuses[i] = kNotStarted;
    }
  }
}

// How many documents a process takes at a time: a whole group, unless that would leave some of
// the processes without a fair share of a short batch.
std::size_t documents_per_take(std::size_t count, int jobs) {
  if (jobs <= 1) {
    return SyncGroup::kCapacity;
  }
  const std::size_t takes = static_cast<std::size_t>(jobs) * 4;
  return std::clamp<std::size_t>((count + takes - 1) / takes, 1, SyncGroup::kCapacity);
}

// Converts the documents this process takes, each take one group, until none is left.
void convert_taken_documents(const Options& options, const BatchSetting& setting,
                             SharedBatch& shared, std::size_t per_take) {
  SyncGroup group(setting);
  const std::size_t count = options.files.size();
  for (std::size_t first = shared.take(per_take); first < count; first = shared.take(per_take)) {
    const std::size_t end = std::min(first + per_take, count);
    for (std::size_t i = first; i < end; ++i) {
      group.add(i, options.files[i], setting.statuses[i] == kNotStarted);
    }
    group.complete();
  }
}

}  // namespace

int run_batch(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
  run_settings() = RunSettings{};
  Options options;
  if (argc > 0 && (std::strcmp(argv[0], "-h") == 0 || std::strcmp(argv[0], "--help") == 0)) {
    std::fputs(kUsage, out);
    return kBatchConverted;
  }
  Text list;
  if (!read_options(argc, argv, options)) {
    std::fputs(kUsage, err);
    return kBatchUsage;
  }
  if (options.list_path != nullptr && !read_file_list(options.list_path, list, options)) {
    std::fprintf(err, "ruvo-batch: cannot read the list %s\n", options.list_path);
    return kBatchUsage;
  }
  BatchSetting setting;
  setting.template_path = options.template_path;
  setting.output_dir = options.output_dir;
  setting.logs_dir = setting.output_dir + "/logs";
  setting.out = out;
  for (const Text* folder : {&setting.output_dir, &setting.logs_dir}) {
    if (mkdir(folder->c_str(), 0777) != 0 && errno != EEXIST) {
      std::fprintf(err, "ruvo-batch: cannot make the folder %s: %s\n", folder->c_str(),
                   std::strerror(errno));
      return kBatchUsage;
    }
  }
  SharedBatch shared(options.files.size());
  if (!shared.usable()) {
    std::fputs("ruvo-batch: out of memory\n", err);
    return kBatchSomeFailed;
  }
  setting.statuses = shared.statuses();
  mark_repeated_names(options, setting.statuses);

  xmlInitParser();
  silence_libxml2_messages();
  LoadedSources sources(options.template_path, run_settings().config_path);
  setting.sources = &sources;
  // Processes other than this one report through out's descriptor.
  const int jobs = fileno(out) >= 0 ? options.jobs : 1;
  const std::size_t per_take = documents_per_take(options.files.size(), jobs);
  run_in_processes(jobs, [&] { convert_taken_documents(options, setting, shared, per_take); });

  // What a process that ended early left unreported, and the list of every status.
  Text statuses;
  bool all_converted = true;
  for (std::size_t i = 0; i < options.files.size(); ++i) {
    const int status = setting.statuses[i];
    const Text line = status_line(options.files[i], status);
    if (status == kNotFinished) {
      std::fputs(line.c_str(), out);
    }
    statuses += line;
    all_converted = all_converted && status == 0;
  }
  std::fflush(out);
  if (!write_whole_file(setting.output_dir + "/status.tsv", statuses)) {
    std::fprintf(err, "ruvo-batch: cannot write %s/status.tsv\n", setting.output_dir.c_str());
    all_converted = false;
  }
  xmlCleanupParser();
  return all_converted ? kBatchConverted : kBatchSomeFailed;
}

}  // namespace ruvo::batch
