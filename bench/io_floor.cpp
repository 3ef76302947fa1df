// The floor of a batch: what converting many documents costs at least when each is parsed and
// its output made durable the way ruvo-batch makes it, with nothing converted.
//
//   ruvo_io_floor [-j JOBS] [-g GROUP] SIZES_DIR OUTPUT_DIR FILE...
//
// For each FILE (DIR/NAME.xml) it parses the document with libxml2's default options and frees
// it, then writes as many bytes as SIZES_DIR/NAME.txt holds (the output ruvo-batch wrote for it)
// to a temporary file in OUTPUT_DIR. After every GROUP documents (32, as ruvo-batch) and at the
// end, one syncfs makes the group's files durable, and each is renamed to OUTPUT_DIR/NAME.txt.
// With JOBS processes the documents are dealt out group by group, as ruvo-batch's processes take
// them. Exit status 0 when every document parsed and every output was written, 1 otherwise,
// 2 on misuse.
#include <fcntl.h>
#include <libxml/parser.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/mman.h>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

void ignore_generic_message(void*, const char*, ...) {}
void ignore_structured_error(void*, xmlErrorPtr) {}

std::string stem_of(const char* file) {
  std::string name = std::strrchr(file, '/') != nullptr ? std::strrchr(file, '/') + 1 : file;
  if (name.size() > 4 && strcasecmp(name.c_str() + name.size() - 4, ".xml") == 0) {
    name.resize(name.size() - 4);
  }
  return name;
}

struct Waiting {
  int descriptor = -1;
  std::string temporary;
  std::string path;
};

bool write_all(int descriptor, const char* bytes, std::size_t count) {
  while (count > 0) {
    const ssize_t wrote = write(descriptor, bytes, count);
    if (wrote <= 0) {
      return false;
    }
    bytes += wrote;
    count -= static_cast<std::size_t>(wrote);
  }
  return true;
}

// One document: parsed, freed, and its output written to a temporary file that waits.
bool convert(const char* file, const std::string& sizes_dir, const std::string& output_dir,
             std::vector<Waiting>& group) {
  xmlDoc* document = xmlReadFile(file, nullptr, XML_PARSE_NONET);
  const bool parsed = document != nullptr;
  xmlFreeDoc(document);
  const std::string stem = stem_of(file);
  struct stat reference {};
  if (!parsed || stat((sizes_dir + "/" + stem + ".txt").c_str(), &reference) != 0) {
    return false;
  }
  const std::string bytes(static_cast<std::size_t>(reference.st_size), 'x');
  Waiting waiting;
  waiting.temporary = output_dir + "/.floor-XXXXXX";
  waiting.path = output_dir + "/" + stem + ".txt";
  waiting.descriptor = mkstemp(waiting.temporary.data());
  if (waiting.descriptor < 0) {
    return false;
  }
  const bool written = write_all(waiting.descriptor, bytes.data(), bytes.size());
  group.push_back(std::move(waiting));
  return written;
}

// One sync for the group's file system, then every file in place.
bool complete(std::vector<Waiting>& group) {
  bool ok = group.empty() || syncfs(group.front().descriptor) == 0;
  for (Waiting& waiting : group) {
    ok = close(waiting.descriptor) == 0 && ok;
    ok = std::rename(waiting.temporary.c_str(), waiting.path.c_str()) == 0 && ok;
  }
  group.clear();
  return ok;
}

// Takes groups of documents until none is left; false when any failed.
bool convert_taken(std::atomic<std::size_t>& next, std::size_t group_size,
                   const std::vector<const char*>& files, const std::string& sizes_dir,
                   const std::string& output_dir) {
  bool ok = true;
  std::vector<Waiting> group;
  for (std::size_t first = next.fetch_add(group_size); first < files.size();
       first = next.fetch_add(group_size)) {
    for (std::size_t i = first; i < files.size() && i < first + group_size; ++i) {
      ok = convert(files[i], sizes_dir, output_dir, group) && ok;
    }
    ok = complete(group) && ok;
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  int jobs = 1;
  std::size_t group_size = 32;
  int i = 1;
  for (; i + 1 < argc && argv[i][0] == '-'; i += 2) {
    if (std::strcmp(argv[i], "-j") == 0) {
      jobs = std::atoi(argv[i + 1]);
    } else if (std::strcmp(argv[i], "-g") == 0) {
      group_size = static_cast<std::size_t>(std::atol(argv[i + 1]));
    } else {
      break;
    }
  }
  if (argc - i < 2 || jobs < 1 || group_size < 1) {
    std::fprintf(stderr,
                 "usage: ruvo_io_floor [-j JOBS] [-g GROUP] SIZES_DIR OUTPUT_DIR FILE...\n");
    return 2;
  }
  const std::string sizes_dir = argv[i];
  const std::string output_dir = argv[i + 1];
  const std::vector<const char*> files(argv + i + 2, argv + argc);
  mkdir(output_dir.c_str(), 0777);
  xmlInitParser();
  xmlSetGenericErrorFunc(nullptr, ignore_generic_message);
  xmlSetStructuredErrorFunc(nullptr, ignore_structured_error);

  // The counter of taken documents, and each process's result, shared with the forked ones.
  struct Shared {
    std::atomic<std::size_t> next{0};
    std::atomic<int> failed{0};
  };
  void* mapping =
      mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (mapping == MAP_FAILED) {
    return 1;
  }
  Shared* shared = new (mapping) Shared();
  std::vector<pid_t> children;
  for (int job = 1; job < jobs; ++job) {
    const pid_t child = fork();
    if (child == 0) {
      if (!convert_taken(shared->next, group_size, files, sizes_dir, output_dir)) {
        shared->failed = 1;
      }
      _exit(0);
    }
    if (child > 0) {
      children.push_back(child);
    }
  }
  if (!convert_taken(shared->next, group_size, files, sizes_dir, output_dir)) {
    shared->failed = 1;
  }
  for (const pid_t child : children) {
    waitpid(child, nullptr, 0);
  }
  xmlCleanupParser();
  return shared->failed != 0 ? 1 : 0;
}
