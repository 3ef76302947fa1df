// Shared helpers of the tests: a clean process state per test, temporary folders, files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/process_state.h"
#include "base/run_environment.h"
#include "text/line_list.h"
#include "text/memory_counters.h"
#include "xml/xml_handles.h"
#include "xml/xpath_context.h"

namespace ruvo::test {

// Every test starts from the state of a new process and leaves it reset, so no setting, open
// log or memory count leaks from one test into the next. Checks that the test released every
// counted byte it took.
class CleanStateTest : public ::testing::Test {
 protected:
  void SetUp() override { reset_process_state(); }
  void TearDown() override {
    EXPECT_EQ(mem_in_use(), 0) << "counted bytes still held at the end of the test";
    reset_process_state();
  }
};

// Tests on libxml2 documents: libxml2 prints nothing of its own.
class XmlTest : public CleanStateTest {
 protected:
  void SetUp() override {
    CleanStateTest::SetUp();
    silence_libxml2_messages();
  }
};

// A document parsed from memory and the run's XPath context on it, released before the state
// check of the test's end.
class XmlContextTest : public XmlTest {
 protected:
  void open_document(const char* xml, const char* name = "test.xml") {
    document_.reset(xmlReadMemory(xml, static_cast<int>(std::strlen(xml)), name, nullptr, 0));
    ASSERT_TRUE(document_);
    context_ = make_xpath_context(document_.get());
    ASSERT_TRUE(context_.handle);
  }
  void TearDown() override {
    context_ = XPathContext{};
    document_.reset();
    XmlTest::TearDown();
  }

  XmlDocPtr document_;
  XPathContext context_;
};

// A document parsed from memory as "test.xml" with the given libxml2 options; none when it is not
// well-formed.
XmlDocPtr parse_xml(const std::string& xml, int options = 0);

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();

  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Runs the rest of the scope with the current folder set to the given one.
class ScopedCurrentDir {
 public:
  explicit ScopedCurrentDir(const std::filesystem::path& dir);
  ScopedCurrentDir(const ScopedCurrentDir&) = delete;
  ScopedCurrentDir& operator=(const ScopedCurrentDir&) = delete;
  ~ScopedCurrentDir();

 private:
  std::filesystem::path previous_;
};

// Guards for process-wide state: each changes it for the rest of the scope and puts it back.

// Makes the counted allocator refuse the request `after` requests from now (1: the next one).
// On exit refusals stop and the count gives back the bytes the refused requests were counted
// with (a refused request counts all the same), so the test's own bytes are what remains.
class RefuseAllocation {
 public:
  explicit RefuseAllocation(std::uint64_t after);
  RefuseAllocation(const RefuseAllocation&) = delete;
  RefuseAllocation& operator=(const RefuseAllocation&) = delete;
  ~RefuseAllocation();

  // Bytes of the requests refused since the guard was made.
  std::int64_t refused_bytes() const;

 private:
  std::int64_t refused_before_;
};

// Keeps the memory count as it is now, to be put back on exit: for tests that move it on purpose.
class KeepMemoryCount {
 public:
  KeepMemoryCount() : count_(g_memory.mem_in_use) {}
  explicit KeepMemoryCount(std::int64_t value) : KeepMemoryCount() { g_memory.mem_in_use = value; }
  KeepMemoryCount(const KeepMemoryCount&) = delete;
  KeepMemoryCount& operator=(const KeepMemoryCount&) = delete;
  ~KeepMemoryCount() { g_memory.mem_in_use = count_; }

 private:
  std::int64_t count_;
};

// The settings and the log of a run, for tests that drive a unit of the fill directly: the
// settings start as a run's do, and nothing is logged until the log is sent to a file.
class TestRun {
 public:
  RunSettings settings;

  // Appends the log's lines to the file from now on.
  void log_to(const std::string& path);
  // The lines logged so far reach the file.
  void flush_log() const;
  RunEnvironment environment(FillObserver* observer = nullptr) const {
    return {settings, log_.get(), observer};
  }

 private:
  std::unique_ptr<FileRunLog> log_;
};

void write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path);
bool file_exists(const std::string& path);

// The lines of a list, as strings.
std::vector<std::string> lines_of(const LineList* list);
// A new list holding the given lines.
LineListPtr make_list(const std::vector<std::string>& lines);

// Log lines with their timestamp replaced by "TS:", after checking its shape.
std::vector<std::string> masked_log_lines(const std::string& log_text);

}  // namespace ruvo::test
