#include "support/test_support.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

namespace ruvo::test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "ruvo-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    ADD_FAILURE() << "cannot make a temporary folder";
  }
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

ScopedCurrentDir::ScopedCurrentDir(const std::filesystem::path& dir)
    : previous_(std::filesystem::current_path()) {
  std::filesystem::current_path(dir);
}

ScopedCurrentDir::~ScopedCurrentDir() {
  std::filesystem::current_path(previous_);
}

RefuseAllocation::RefuseAllocation(std::uint64_t after)
    : refused_before_(g_memory.faults.refused_bytes) {
  g_memory.faults.refuse_at = g_memory.faults.requests + after;
}

RefuseAllocation::~RefuseAllocation() {
  g_memory.faults.refuse_at = 0;
  g_memory.mem_in_use -= refused_bytes();
}

std::int64_t RefuseAllocation::refused_bytes() const {
  return g_memory.faults.refused_bytes - refused_before_;
}

void TestRun::log_to(const std::string& path) {
  log_ = std::make_unique<FileRunLog>(FilePtr(std::fopen(path.c_str(), "a")), kRunLogName);
}

void TestRun::flush_log() const {
  if (log_ && log_->file() != nullptr) {
    std::fflush(log_->file());
  }
}

XmlDocPtr parse_xml(const std::string& xml, int options) {
  return XmlDocPtr(
      xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "test.xml", nullptr, options));
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  ASSERT_TRUE(out.good()) << "cannot write " << path;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool file_exists(const std::string& path) {
  return std::filesystem::exists(path);
}

std::vector<std::string> lines_of(const LineList* list) {
  std::vector<std::string> lines;
  for (const Line* line = list->head; line != nullptr; line = line->next) {
    lines.emplace_back(line->view());
  }
  return lines;
}

LineListPtr make_list(const std::vector<std::string>& lines) {
  LineListPtr list = line_list_new();
  for (const std::string& line : lines) {
    EXPECT_TRUE(line_list_append(list.get(), line.data(), line.size()));
  }
  return list;
}

std::vector<std::string> masked_log_lines(const std::string& log_text) {
  static const std::regex timestamp("^[0-9]{8}-[0-9]{9}:");
  std::vector<std::string> lines;
  std::istringstream in(log_text);
  std::string line;
  while (std::getline(in, line)) {
    if (std::regex_search(line, timestamp)) {
      line = "TS:" + line.substr(19);
    }
    lines.push_back(line);
  }
  return lines;
}

}  // namespace ruvo::test
