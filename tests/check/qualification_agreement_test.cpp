// ruvo-check explains paths from what qualification did to them. For every path of the fuzz
// corpus and thousands of generated ones, each trap it reports is borne out by the qualified
// expression, and each place where qualification changed a path's reading is reported; and the
// expression ruvo-check says a run evaluated is the one qualification makes.
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "check/check_run.h"
#include "check/path_traps.h"
#include "support/test_support.h"
#include "xml/qualify.h"

namespace ruvo::check {
namespace {

constexpr std::string_view kPrefix = "zq-def-ns:";

std::string qualified(std::string_view path) {
  TextBufferPtr result = qualify_path(path, true);
  return result ? std::string(result->view()) : "<none>";
}

std::vector<PathTrap> traps_of(std::string_view path) {
  QualifyTrace trace;
  TextBufferPtr result = qualify_path(path, true, &trace);
  EXPECT_TRUE(result && trace.complete);
  const List<PathTrap> traps = path_traps(path, trace);
  return {traps.begin(), traps.end()};
}

bool has_trap(const std::vector<PathTrap>& traps, PathTrapKind kind, std::size_t at) {
  for (const PathTrap& trap : traps) {
    if (trap.kind == kind && trap.at == at) {
      return true;
    }
  }
  return false;
}

bool is_special_name(std::string_view name) {
  std::string lower(name);
  for (char& c : lower) {
    c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return lower == "*" || lower == "." || lower == ".." || lower == "text()" ||
         (!name.empty() && name.front() == '@');
}

// Each trap's claim, checked against the expression qualification makes.
void expect_traps_borne_out(const std::string& path, const std::vector<PathTrap>& traps) {
  const std::string output = qualified(path);
  for (const PathTrap& trap : traps) {
    const std::string part = path.substr(trap.at, trap.length);
    switch (trap.kind) {
      case PathTrapKind::DoubleSlash:
        // a//b reads as a/b: one slash fewer gives the same expression.
        EXPECT_EQ(output, qualified(path.substr(0, trap.at) + path.substr(trap.at + 1))) << path;
        break;
      case PathTrapKind::SlashInPredicate:
        // The step up to the slash is closed by qualification, not by the path.
        EXPECT_EQ(path[trap.at], '/') << path;
        EXPECT_NE(path[trap.at - 1], ']') << path;
        EXPECT_TRUE(qualified(path.substr(0, trap.at)).ends_with("]")) << path;
        break;
      case PathTrapKind::UnclosedPredicate:
        EXPECT_EQ(trap.at, path.size() - 1) << path;
        EXPECT_NE(path.back(), ']') << path;
        EXPECT_TRUE(output.ends_with("]")) << path;
        break;
      case PathTrapKind::NameInPredicate: {
        // The predicate up to the name is copied as written: the name has no prefix.
        const std::size_t bracket = path.rfind('[', trap.at);
        ASSERT_NE(bracket, std::string::npos) << path;
        EXPECT_NE(output.find(path.substr(bracket, trap.at + trap.length - bracket)),
                  std::string::npos)
            << path << " -> " << output;
        break;
      }
      case PathTrapKind::PrefixedFunction:
        EXPECT_NE(output.find(std::string(kPrefix) + part), std::string::npos)
            << path << " -> " << output;
        break;
      case PathTrapKind::TextCase:
        EXPECT_TRUE(is_special_name(part) && part != "text()") << path;
        EXPECT_EQ(qualified(part), part) << path << ": the step is kept as written";
        break;
    }
  }
}

// Each change of reading in the expression is reported where it stands in the path.
void expect_changes_reported(const std::string& path, const std::vector<PathTrap>& traps) {
  // A pair of slashes between two steps.
  for (std::size_t p = 1; p + 1 < path.size(); ++p) {
    if (path.compare(p, 2, "//") == 0 && path[p - 1] != '/' && p + 2 < path.size() &&
        path[p + 2] != '/') {
      EXPECT_TRUE(has_trap(traps, PathTrapKind::DoubleSlash, p)) << path << " at " << p;
    }
  }
  // A step with a predicate that the path does not close.
  std::size_t begin = 0;
  for (std::size_t end = path.find('/'); begin <= path.size();
       begin = end + 1, end = path.find('/', begin)) {
    end = end == std::string::npos ? path.size() : end;
    const std::string step = path.substr(begin, end - begin);
    const std::size_t bracket = step.find('[');
    if (bracket != std::string::npos && !is_special_name(step.substr(0, bracket)) &&
        step.back() != ']') {
      EXPECT_TRUE(end < path.size() ? has_trap(traps, PathTrapKind::SlashInPredicate, end)
                                    : has_trap(traps, PathTrapKind::UnclosedPredicate, end - 1))
          << path << " step " << step;
    }
    if (end == path.size()) {
      break;
    }
  }
  // A call given the prefix: zq-def-ns:name( in the expression.
  const std::string output = qualified(path);
  std::size_t count = 0;
  for (std::size_t at = output.find(kPrefix); at != std::string::npos;
       at = output.find(kPrefix, at + 1)) {
    const std::size_t end = output.find_first_of("/[", at);
    if (output.substr(at, end - at).find('(') != std::string::npos) {
      ++count;
    }
  }
  std::size_t reported = 0;
  for (const PathTrap& trap : traps) {
    reported += trap.kind == PathTrapKind::PrefixedFunction ? 1 : 0;
  }
  EXPECT_EQ(reported, count) << path << " -> " << output;
}

std::vector<std::string> corpus_paths() {
  std::vector<std::string> paths;
  for (const auto& entry : std::filesystem::directory_iterator(RUVO_QUALIFY_CORPUS)) {
    std::ifstream file(entry.path(), std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    paths.push_back(bytes.str());
  }
  return paths;
}

std::vector<std::string> generated_paths(std::size_t count) {
  static const std::vector<std::string> kPieces = {
      "//",     "/",     "a",      "Detaprod", "ns:D",   "@x",       "[1]",
      "[",      "]",     "text()", "TEXT()",   "Text()", "node()",   "txt()",
      "count(", ")",     "*",      "..",       ".",      "'/'",      "[@a='x']",
      "[b]",    "[b/c]", "|",      " and ",    "Cargo",  "child::b", "@a[1]"};
  std::mt19937 random(1613);
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < count; ++i) {
    std::string path;
    const std::size_t pieces = 1 + random() % 7;
    for (std::size_t k = 0; k < pieces; ++k) {
      path += kPieces[random() % kPieces.size()];
    }
    paths.push_back(path);
  }
  return paths;
}

using QualificationAgreementTest = test::CleanStateTest;

TEST_F(QualificationAgreementTest, EveryTrapIsWhatQualificationDidAndEveryChangeIsATrap) {
  std::vector<std::string> paths = corpus_paths();
  ASSERT_GE(paths.size(), 20u);
  const std::vector<std::string> generated = generated_paths(3000);
  paths.insert(paths.end(), generated.begin(), generated.end());
  std::size_t trapped = 0;
  for (const std::string& path : paths) {
    const std::vector<PathTrap> traps = traps_of(path);
    trapped += traps.empty() ? 0 : 1;
    expect_traps_borne_out(path, traps);
    expect_changes_reported(path, traps);
    if (HasFailure()) {
      break;
    }
  }
  EXPECT_GT(trapped, paths.size() / 4) << "the paths exercise the traps";
}

// ruvo-check's "evaluated as" for every corpus path that a placeholder can hold is the
// expression qualification makes of it, which is what a run evaluates.
TEST_F(QualificationAgreementTest, TheExpressionACheckNamesIsTheQualifiedPath) {
  test::TempDir dir;
  test::ScopedCurrentDir cwd(dir.path());
  test::write_file("in.xml", "<Invoice xmlns=\"urn:i\"><ID>1</ID></Invoice>");
  test::write_file("Ruvo.cfg", "");
  std::vector<std::string> paths;
  std::string template_text;
  for (const std::string& path : corpus_paths()) {
    if (path.find_first_of("<>{}\n\r\"\\") == std::string::npos && !path.empty()) {
      paths.push_back(path);
      template_text += "<<{" + path + "}>>\n";
    }
  }
  test::write_file("t.txt", template_text);
  FilePtr out(std::tmpfile());
  ASSERT_TRUE(out);
  const char* argv[] = {"--json", "--list", "in.xml", "t.txt", "out.txt"};
  run_check(5, argv, out.get());
  std::rewind(out.get());
  std::vector<std::string> named(paths.size());
  char line[8192];
  while (std::fgets(line, sizeof line, out.get()) != nullptr) {
    const std::string finding = line;
    const std::size_t at = finding.find("\"line\":");
    const std::size_t expression = finding.find("\"expression\":\"");
    if (finding.find("\"kind\":\"xpath\"") == std::string::npos || at == std::string::npos ||
        expression == std::string::npos) {
      continue;
    }
    const std::size_t number = std::stoul(finding.substr(at + 7)) - 1;
    const std::size_t start = expression + 14;
    ASSERT_LT(number, named.size()) << finding;
    named[number] = finding.substr(start, finding.find('"', start) - start);
  }
  for (std::size_t i = 0; i < paths.size(); ++i) {
    EXPECT_EQ(named[i], qualified(paths[i])) << paths[i];
  }
}

}  // namespace
}  // namespace ruvo::check
