#include "batch/batch_run.h"

#include <fcntl.h>
#include <libxml/parser.h>
#include <sched.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/run_settings.h"
#include "batch/resume.h"
#include "batch/shared_batch.h"
#include "batch/sync_group.h"
#include "driver/command_line.h"
#include "driver/conversion.h"
#include "driver/exit_codes.h"
#include "driver/help.h"
#include "text/file_handle.h"
#include "text/output_file.h"
#include "text/text_file.h"
#include "text/tracked_memory.h"
#include "xml/xml_handles.h"

namespace ruvo::batch {

namespace {

// ruvo-batch's own options, beside ruvo's (driver/command_line.h).
constexpr const char* kJobsOption = "-j";
constexpr const char* kListOption = "-files0-from";
constexpr const char* kResumeOption = "--resume";
constexpr const char* kReadFromOption = "--read-from";

void print_usage(std::FILE* out) {
  std::fputs("usage: ruvo-batch ", out);
  print_option_synopsis(out);
  std::fprintf(out,
               " [%s JOBS] [%s LIST] [%s] [%s DIR]\n                  TEMPLATE OUTPUT_DIR "
               "FILE...\n",
               kJobsOption, kListOption, kResumeOption, kReadFromOption);
}

// The template and configuration, read once; each document gets its own copy of the template,
// which its fill changes, and reads the same sections.
class LoadedSources final : public ConversionSources {
 public:
  LoadedSources(const char* template_path, const char* config_path, const TextCodec& codec)
      : template_(line_list_load(template_path)) {
    template_invalid_line_ = template_ ? ready_text_lines(*template_, codec) : 0;
    LineListPtr config_lines = line_list_load(config_path);
    config_invalid_line_ = config_lines ? ready_text_lines(*config_lines, codec) : 0;
    if (config_lines && config_invalid_line_ == 0 && configuration_.usable()) {
      configuration_.cut(config_lines.get());
      config_read_ = true;
    }
  }

  bool template_read() const { return template_ != nullptr && template_invalid_line_ == 0; }
  bool configuration_read() const { return config_read_; }
  // The first line of each file that is no text in the run's encoding; 0 for none.
  std::size_t template_invalid_line() const { return template_invalid_line_; }
  std::size_t config_invalid_line() const { return config_invalid_line_; }

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

  Configuration* configuration(const char* /*path*/, const TextCodec& /*codec*/,
                               std::size_t& /*invalid_line*/) override {
    return config_read_ ? &configuration_ : nullptr;
  }

 private:
  LineListPtr template_;
  Configuration configuration_;
  bool config_read_ = false;
  std::size_t template_invalid_line_ = 0;
  std::size_t config_invalid_line_ = 0;
};

struct Options {
  RunSettings settings;  // ruvo's options
  bool usage = false;
  const char* template_path = nullptr;
  const char* output_dir = nullptr;
  const char* list_path = nullptr;  // a file of NUL-separated document paths
  const char* read_from = nullptr;  // a folder the documents are read from, by file name
  int jobs = 1;
  bool resume = false;  // convert only what a batch before did not leave up to date
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

// What is left of the stream, appended to text; false when reading it failed.
bool read_rest(std::FILE* file, Text& text) {
  char chunk[65536];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
    text.append(chunk, got);
  }
  return std::ferror(file) == 0;
}

// The whole file, appended to text; nothing when it cannot be opened.
void read_whole_file(const Text& path, Text& text) {
  if (const FilePtr file{std::fopen(path.c_str(), "rb")}) {
    static_cast<void>(read_rest(file.get(), text));
  }
}

// Reads one of ruvo-batch's own options at argv[i], and its value (moving i on): read, faulty
// (an unknown option, a wrong value), or no option at all (the positional arguments begin).
enum class OwnOption { Read, Faulty, NotOne };
OwnOption read_own_option(int argc, const char* const* argv, int& i, Options& options) {
  const char* word = argv[i];
  const bool has_next = i + 1 < argc;
  if (strcasecmp(word, kJobsOption) == 0 && has_next) {
    options.jobs = parse_jobs(argv[++i]);
    return options.jobs < 0 ? OwnOption::Faulty : OwnOption::Read;
  }
  if (strcasecmp(word, kListOption) == 0 && has_next) {
    options.list_path = argv[++i];
    return OwnOption::Read;
  }
  if (strcmp(word, kUsageWord) == 0) {
    options.usage = true;
    return OwnOption::Read;
  }
  if (strcmp(word, kResumeOption) == 0) {
    options.resume = true;
    return OwnOption::Read;
  }
  if (strcmp(word, kReadFromOption) == 0 && has_next) {
    options.read_from = argv[++i];
    return OwnOption::Read;
  }
  return word[0] == '-' && word[1] != '\0' ? OwnOption::Faulty : OwnOption::NotOne;
}

// Reads the options, which come before the positional arguments. ruvo's options mean what they
// mean to ruvo: compared without regard to case, and the argument after one that takes a value
// is its value and still examined as an option in its turn. False on a usage error.
bool read_options(int argc, const char* const* argv, Options& options) {
  int i = 0;
  bool value_of_previous = false;  // the argument is the value of the ruvo option before it
  for (; i < argc && !options.usage; ++i) {
    if (const OptionSpec* option = find_option(argv[i])) {
      // -h ends the reading: the usage is all a call with it gives.
      options.usage =
          !apply_option(*option, i + 1 < argc ? argv[i + 1] : nullptr, options.settings);
      value_of_previous = option->takes_value;
      continue;
    }
    if (std::exchange(value_of_previous, false)) {
      continue;
    }
    const OwnOption own = read_own_option(argc, argv, i, options);
    if (own == OwnOption::Faulty) {
      return false;
    }
    if (own == OwnOption::NotOne) {
      break;
    }
  }
  if (options.usage) {
    return true;
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
  if (!read_rest(file, list)) {
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
void mark_repeated_names(const Options& options, DocumentStatus* statuses) {
  std::unordered_set<std::string_view, std::hash<std::string_view>, std::equal_to<>,
                     TrackedAllocator<std::string_view>>
      stems;
  for (std::size_t i = 0; i < options.files.size(); ++i) {
    if (!stems.insert(stem_of(options.files[i])).second) {
      statuses[i] = DocumentStatus::not_started();
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

// Converts the documents this process takes, each take one group, until none is left; a kept
// one is only reported.
void convert_taken_documents(const Options& options, const BatchSetting& setting,
                             SharedBatch& shared, std::size_t per_take, const std::uint8_t* kept) {
  SyncGroup group(setting);
  const std::size_t count = options.files.size();
  for (std::size_t first = shared.take(per_take); first < count; first = shared.take(per_take)) {
    const std::size_t end = std::min(first + per_take, count);
    for (std::size_t i = first; i < end; ++i) {
      group.add(i, options.files[i], setting.statuses[i].state == DocumentStatus::State::NotStarted,
                kept[i] != 0);
    }
    group.complete();
  }
}

// The batch once its arguments are read: the template and configuration loaded once, then the
// documents converted in their processes and the statuses listed.
// Why every document would fail the same way, said once; false when none would.
bool say_unusable_sources(const LoadedSources& sources, const Options& options,
                          const TextCodec& codec, std::FILE* err) {
  if (sources.template_read() && sources.configuration_read()) {
    return false;
  }
  const bool template_fault = !sources.template_read();
  const char* what = template_fault ? "template" : "configuration file";
  const char* path = template_fault ? options.template_path : options.settings.config_path;
  const std::size_t line =
      template_fault ? sources.template_invalid_line() : sources.config_invalid_line();
  if (line > 0) {
    const std::string name(codec.name());
    std::fprintf(err, "ruvo-batch: the %s %s is no text in %s (line %zu)\n", what, path,
                 name.c_str(), line);
  } else {
    std::fprintf(err, "ruvo-batch: cannot read the %s %s\n", what, path);
  }
  return true;
}

int convert_batch(const Options& options, std::FILE* out, std::FILE* err) {
  TextCodec codec;
  if (options.settings.encoding != nullptr &&
      codec.open(options.settings.encoding) != TextCodec::Opening::Opened) {
    std::fprintf(err, "ruvo-batch: the encoding %s is unknown or not ASCII-compatible\n",
                 options.settings.encoding);
    return kBatchUsage;
  }
  LoadedSources sources(options.template_path, options.settings.config_path, codec);
  if (say_unusable_sources(sources, options, codec, err)) {
    return kBatchUsage;  // every document would fail the same way: nothing is converted
  }
  BatchSetting setting;
  setting.settings = &options.settings;
  setting.codec = &codec;
  setting.sources = &sources;
  setting.template_path = options.template_path;
  if (options.read_from != nullptr) {
    setting.read_from = options.read_from;
  }
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
  // The logs go into a folder of the batch's own, not through a link to another one.
  struct stat logs {};
  if (lstat(setting.logs_dir.c_str(), &logs) != 0 || !S_ISDIR(logs.st_mode)) {
    std::fprintf(err, "ruvo-batch: %s is a link or no folder\n", setting.logs_dir.c_str());
    return kBatchUsage;
  }
  // Batches in one folder share it; a resumed one that finds none running removes what stopped
  // ones left half-written.
  FolderLock lock(setting.output_dir);
  if (options.resume && lock.take_alone()) {
    remove_left_temporaries(setting.output_dir);
    remove_left_temporaries(setting.logs_dir);
  }
  lock.share();
  const Text status_path = setting.output_dir + "/status.tsv";
  Text previous_statuses;
  if (options.resume) {
    read_whole_file(status_path, previous_statuses);
  }
  // status.tsv starts empty and takes each group's lines as it completes; the whole list
  // replaces it at the end.
  Fd status_file;
  if (replace_whole_file(status_path.c_str(), "")) {
    status_file = Fd(open(status_path.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC));
  }
  if (!status_file.is_open()) {
    std::fprintf(err, "ruvo-batch: cannot write %s\n", status_path.c_str());
    return kBatchUsage;
  }
  setting.status_file = status_file.get();
  SharedBatch shared(options.files.size());
  if (!shared.usable()) {
    std::fputs("ruvo-batch: out of memory\n", err);
    return kBatchSomeFailed;
  }
  setting.statuses = shared.statuses();
  mark_repeated_names(options, setting.statuses);
  std::vector<std::uint8_t, TrackedAllocator<std::uint8_t>> kept(options.files.size(), 0);
  if (options.resume) {
    find_kept_documents(options.files.data(), options.files.size(), setting.output_dir,
                        options.template_path, options.settings.config_path, previous_statuses,
                        setting.statuses, kept.data());
  }
  ProgressLine progress(err, options.files.size(), shared.progress_counts());
  setting.progress = &progress;

  // Processes other than this one report through out's descriptor.
  const int jobs = fileno(out) >= 0 ? options.jobs : 1;
  const std::size_t per_take = documents_per_take(options.files.size(), jobs);
  run_in_processes(
      jobs, [&] { convert_taken_documents(options, setting, shared, per_take, kept.data()); });
  progress.clear();

  // What a process that ended early left unreported, and the list of every status.
  Text statuses;
  bool all_converted = true;
  for (std::size_t i = 0; i < options.files.size(); ++i) {
    const DocumentStatus& status = setting.statuses[i];
    const Text line = status_line(options.files[i], status);
    if (status.state == DocumentStatus::State::NotFinished) {
      std::fputs(line.c_str(), out);
    }
    statuses += line;
    all_converted = all_converted && status.succeeded();
  }
  std::fflush(out);
  if (!replace_whole_file(status_path.c_str(), statuses)) {
    std::fprintf(err, "ruvo-batch: cannot write %s/status.tsv\n", setting.output_dir.c_str());
    all_converted = false;
  }
  return all_converted ? kBatchConverted : kBatchSomeFailed;
}

int batch(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
  Options options;
  if (!read_options(argc, argv, options)) {
    print_usage(err);
    return kBatchUsage;
  }
  if (options.usage) {
    print_usage(out);
    return kBatchConverted;
  }
  Text list;
  if (options.list_path != nullptr && !read_file_list(options.list_path, list, options)) {
    std::fprintf(err, "ruvo-batch: cannot read the list %s\n", options.list_path);
    return kBatchUsage;
  }
  xmlInitParser();
  silence_libxml2_messages();
  const int status = convert_batch(options, out, err);
  xmlCleanupParser();
  return status;
}

}  // namespace

int run_batch(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
  try {
    return batch(argc, argv, out, err);
  } catch (const std::bad_alloc&) {
    std::fputs("ruvo-batch: out of memory\n", err);
    return kBatchSomeFailed;
  }
}

}  // namespace ruvo::batch
