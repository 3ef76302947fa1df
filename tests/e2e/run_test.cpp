// The driver through the built binary: exit status, output bytes, standard output and the run
// log of every ending of a run.
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "driver/command_line.h"
#include "e2e/binary_runner.h"
#include "support/test_support.h"

namespace ruvo {
namespace {

using test::file_exists;
using test::read_file;
using test::write_file;
using Lines = std::vector<std::string>;

constexpr const char* kMemoryLine = "TS:INFO. Conteo de Memoria Total memoria final:: 0";

class RunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    help_ = read_file(std::string(RUVO_TEST_DATA) + "/help.txt");
    ASSERT_FALSE(help_.empty());
    write_file(dir_.file("in.xml"),
               "<?xml version=\"1.0\"?>\n<Comprobante xmlns=\"urn:f\" total=\"12345.5\"/>\n");
    write_file(dir_.file("tpl.txt"), "Total: <<Comprobante:total>>\r\nfin\n");
    write_file(dir_.file("Ruvo.cfg"), "[COMMA_INSERT]\nComprobante:total\n");
  }

  test::BinaryResult run(const std::vector<std::string>& arguments) {
    test::BinaryResult result = test::run_binary(dir_.path().string(), arguments);
    EXPECT_EQ(result.standard_error, "") << "the program writes nothing on standard error";
    return result;
  }

  Lines log() const { return test::masked_log_lines(read_file(dir_.file("Ruvo.log"))); }
  bool log_exists() const { return file_exists(dir_.file("Ruvo.log")); }

  test::TempDir dir_;
  std::string help_;
};

TEST_F(RunTest, TooFewArgumentsPrintTheHelpAndOpenNoLog) {
  for (const Lines& arguments : {Lines{}, Lines{" "}, Lines{"in.xml", "tpl.txt"}}) {
    const test::BinaryResult result = run(arguments);
    EXPECT_EQ(result.exit_status, 251);
    EXPECT_EQ(result.standard_output, help_);
  }
  EXPECT_FALSE(log_exists());
}

TEST_F(RunTest, HelpOptionAnywhereEndsTheRunWithZero) {
  for (const Lines& arguments : {Lines{"x", "-H", "y", "z", "w"}, Lines{"-h"}}) {
    const test::BinaryResult result = run(arguments);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.standard_output, help_);
  }
  EXPECT_FALSE(log_exists());
  EXPECT_FALSE(file_exists(dir_.file("y")));
}

// --help is English usage only where a call is too short to run: with three arguments it is a
// file name like any other.
TEST_F(RunTest, UsageWordListsEveryOptionOfTheTable) {
  for (const Lines& arguments : {Lines{"--help"}, Lines{"in.xml", "--HELP"}}) {
    const test::BinaryResult result = run(arguments);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_TRUE(result.standard_output.starts_with("usage: ruvo INPUT TEMPLATE OUTPUT"));
    for (const OptionSpec& option : kOptions) {
      EXPECT_NE(result.standard_output.find(std::string("  ") + option.word), std::string::npos)
          << option.word;
    }
    EXPECT_NE(result.standard_output.find("ruvo-check"), std::string::npos);
    EXPECT_NE(result.standard_output.find("man ruvo"), std::string::npos);
  }
  EXPECT_FALSE(log_exists());
  EXPECT_EQ(run({"--help", "tpl.txt", "out.txt"}).exit_status, 251) << "the XML input --help";
}

TEST_F(RunTest, ArgumentTooLongForItsSlotIsRefusedBeforeAnyOption) {
  const test::BinaryResult result = run({"in.xml", "tpl.txt", std::string(260, 'o'), "-h"});
  EXPECT_EQ(result.exit_status, 251);
  EXPECT_EQ(result.standard_output, help_);
  EXPECT_FALSE(log_exists());

  // The same length on the 20th argument is never stored, so it is not refused.
  Lines many = {"in.xml", "tpl.txt", "out.txt"};
  while (many.size() < 19) {
    many.push_back("-text");
  }
  many.push_back(std::string(300, 'x'));
  many.push_back("-h");
  const test::BinaryResult ignored = run(many);
  EXPECT_EQ(ignored.exit_status, 0);
  EXPECT_EQ(ignored.standard_output, "") << "-h as 21st argument is not seen";
  EXPECT_TRUE(file_exists(dir_.file("out.txt")));
}

TEST_F(RunTest, SuccessWritesTheTemplateAndLogsNothing) {
  const test::BinaryResult result = run({"in.xml", "tpl.txt", "out.txt"});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.standard_output, "");
  EXPECT_TRUE(log_exists());
  EXPECT_EQ(log(), Lines{});
  EXPECT_EQ(read_file(dir_.file("out.txt")), "Total: 12,345.5\nfin");
}

TEST_F(RunTest, MissingXmlInputIsUnusableInvocation) {
  write_file(dir_.file("out.txt"), "previous");
  const test::BinaryResult result = run({"missing.xml", "tpl.txt", "out.txt"});
  EXPECT_EQ(result.exit_status, 251);
  EXPECT_EQ(result.standard_output, "");
  EXPECT_EQ(log(), (Lines{"TS:ERROR: El archivo XML de entrada no existe:",
                          "                missing.xml", kMemoryLine}));
  EXPECT_EQ(read_file(dir_.file("out.txt")), "previous");
}

TEST_F(RunTest, MalformedXmlLogsLibxml2sError) {
  write_file(dir_.file("bad.xml"), "<a><b></a>");
  const test::BinaryResult result = run({"bad.xml", "tpl.txt", "out.txt"});
  EXPECT_EQ(result.exit_status, 252);
  EXPECT_EQ(result.standard_output, "");
  // libxml2's message carries its own line end, which the log keeps.
  EXPECT_EQ(log(), (Lines{"TS:ERROR: Archivo de entrada parseado con errores.",
                          "                XML Error #77 in [bad.xml]. Premature end of data in "
                          "tag a line 1",
                          "", kMemoryLine}));
  EXPECT_FALSE(file_exists(dir_.file("out.txt")));
}

TEST_F(RunTest, MissingTemplateOrConfigurationPrintsTheHelp) {
  const test::BinaryResult no_template = run({"in.xml", "-xml", "tpl.txt", "out.txt"});
  EXPECT_EQ(no_template.exit_status, 252);
  EXPECT_EQ(no_template.standard_output, help_);
  EXPECT_EQ(log(), (Lines{"TS:ERROR: El archivo Plantilla NO se encuentra.", "                -xml",
                          kMemoryLine}));

  std::filesystem::remove(dir_.file("Ruvo.log"));
  const test::BinaryResult no_config = run({"in.xml", "tpl.txt", "out.txt", "-c", "other.cfg"});
  EXPECT_EQ(no_config.exit_status, 252);
  EXPECT_EQ(no_config.standard_output, help_);
  EXPECT_EQ(log(), (Lines{"TS:ERROR: El archivo Cfg NO se encuentra.", kMemoryLine}));
  EXPECT_FALSE(file_exists(dir_.file("out.txt")));
}

TEST_F(RunTest, UnreadableTemplateIsNotTakenForAnEmptyOne) {
  std::filesystem::create_directory(dir_.file("folder"));
  const test::BinaryResult result = run({"in.xml", "folder", "out.txt"});
  EXPECT_EQ(result.exit_status, 252);
  EXPECT_EQ(log(), (Lines{"TS:ERROR: El archivo Plantilla NO se encuentra.",
                          "                folder", kMemoryLine}));
  EXPECT_FALSE(file_exists(dir_.file("out.txt")));
}

TEST_F(RunTest, OutputThatCannotBeWrittenIsAFailure) {
  for (const std::string output : {"/dev/full", "no/such/folder/out.txt"}) {
    std::filesystem::remove(dir_.file("Ruvo.log"));
    const test::BinaryResult result = run({"in.xml", "tpl.txt", output});
    EXPECT_EQ(result.exit_status, 253) << output;
    EXPECT_EQ(result.standard_output, "");
    EXPECT_EQ(log(), (Lines{"TS:ERROR: No se pudo escribir el archivo de salida:",
                            "                " + output, kMemoryLine}));
  }
}

TEST_F(RunTest, OutputNamingOneOfTheRunsFilesReplacesNothing) {
  namespace fs = std::filesystem;
  write_file(dir_.file("other.cfg"), "");
  write_file(dir_.file("Ruvo.log"), "");
  fs::create_hard_link(dir_.file("tpl.txt"), dir_.file("hard.txt"));
  fs::create_symlink("in.xml", dir_.file("link.xml"));
  const Lines files{"in.xml", "tpl.txt", "Ruvo.cfg", "other.cfg"};
  std::vector<std::string> before;
  for (const std::string& name : files) {
    before.push_back(read_file(dir_.file(name)));
  }
  struct Collision {
    Lines arguments;
    std::string replaced;
  };
  for (const Collision& collision : {
           Collision{{"in.xml", "tpl.txt", "in.xml"}, "in.xml"},
           Collision{{"in.xml", "tpl.txt", "./tpl.txt"}, "tpl.txt"},
           Collision{{"in.xml", "tpl.txt", "Ruvo.cfg"}, "Ruvo.cfg"},
           Collision{{"in.xml", "tpl.txt", "other.cfg", "-c", "other.cfg"}, "other.cfg"},
           Collision{{"in.xml", "tpl.txt", "Ruvo.log"}, "Ruvo.log"},
           Collision{{"in.xml", "tpl.txt", "hard.txt"}, "tpl.txt"},
           Collision{{"in.xml", "tpl.txt", "link.xml"}, "in.xml"},
       }) {
    write_file(dir_.file("Ruvo.log"), "");
    const test::BinaryResult result = run(collision.arguments);
    EXPECT_EQ(result.exit_status, 253) << collision.arguments[2];
    EXPECT_EQ(result.standard_output, "");
    EXPECT_EQ(log(), (Lines{"TS:ERROR: No se pudo escribir el archivo de salida:",
                            "                " + collision.arguments[2],
                            "                es el mismo archivo que: " + collision.replaced,
                            kMemoryLine}));
    for (size_t i = 0; i < files.size(); ++i) {
      EXPECT_EQ(read_file(dir_.file(files[i])), before[i]) << files[i];
    }
  }
  EXPECT_TRUE(fs::is_symlink(dir_.file("link.xml")));
  EXPECT_EQ(fs::hard_link_count(dir_.file("tpl.txt")), 2u);

  // Devices are no files of the run, even when named twice.
  EXPECT_EQ(run({"in.xml", "tpl.txt", "/dev/null", "-c", "/dev/null"}).exit_status, 0);
}

// "ruvo in.xml out.txt tpl.txt", with out.txt left by an earlier run, would read the old output
// as the template and write over the template.
TEST_F(RunTest, AnOutputThatLooksLikeTheTemplateIsNotReplaced) {
  write_file(dir_.file("out.txt"), "Total: 12,345.5\nfin\n");
  const std::string template_text = read_file(dir_.file("tpl.txt"));
  const test::BinaryResult swapped = run({"in.xml", "out.txt", "tpl.txt"});
  EXPECT_EQ(swapped.exit_status, 253);
  EXPECT_EQ(read_file(dir_.file("tpl.txt")), template_text);
  EXPECT_EQ(log(),
            (Lines{"TS:ERROR: No se pudo escribir el archivo de salida:", "                tpl.txt",
                   "                parece una plantilla; \277se invirtieron los argumentos?",
                   kMemoryLine}));
  // A template without placeholders still converts onto an output that holds none.
  EXPECT_EQ(run({"in.xml", "out.txt", "old.txt"}).exit_status, 0);
  write_file(dir_.file("copy.txt"), "before\n");
  EXPECT_EQ(run({"in.xml", "out.txt", "copy.txt"}).exit_status, 0);
  EXPECT_EQ(read_file(dir_.file("copy.txt")), "Total: 12,345.5\nfin");
}

// A run in an encoding the converter cannot take, or with files that are no text in it, writes
// nothing and says why.
TEST_F(RunTest, EncodingsThatCannotBeTakenAreRefused) {
  write_file(dir_.file("out.txt"), "before");
  for (const char* name : {"NO-SUCH-CODE", "UTF-16"}) {
    write_file(dir_.file("Ruvo.log"), "");
    const test::BinaryResult refused = run({"in.xml", "tpl.txt", "out.txt", "-encoding", name});
    EXPECT_EQ(refused.exit_status, 251) << name;
    EXPECT_EQ(refused.standard_output, "") << "nothing printed";
    EXPECT_EQ(log(), (Lines{"TS:ERROR: Codificacion no soportada:", std::string(16, ' ') + name,
                            kMemoryLine}));
  }
  write_file(dir_.file("utf8.txt"), "Total: <<Comprobante:total>>\ncaf\xE9\n");
  write_file(dir_.file("utf8.cfg"), "[COMMA_INSERT]\nComprobante:total\n\xFF\n");
  struct Invalid {
    Lines arguments;
    Lines logged;
  };
  for (const Invalid& invalid :
       {Invalid{{"in.xml", "utf8.txt", "out.txt", "-encoding", "UTF-8"},
                {"TS:ERROR: El archivo Plantilla NO se encuentra.", "                utf8.txt",
                 "                linea 2: no es texto valido en UTF-8"}},
        Invalid{{"in.xml", "tpl.txt", "out.txt", "-encoding", "utf-8", "-c", "utf8.cfg"},
                {"TS:ERROR: El archivo Cfg NO se encuentra.",
                 "                linea 3: no es texto valido en utf-8"}}}) {
    write_file(dir_.file("Ruvo.log"), "");
    const test::BinaryResult refused = run(invalid.arguments);
    EXPECT_EQ(refused.exit_status, 252);
    EXPECT_EQ(refused.standard_output, help_) << "as for a file that cannot be read";
    Lines expected = invalid.logged;
    expected.push_back(kMemoryLine);
    EXPECT_EQ(log(), expected);
  }
  EXPECT_EQ(read_file(dir_.file("out.txt")), "before");
  // -encoding as the last argument names none, as -c names no file there: Latin-1.
  EXPECT_EQ(run({"in.xml", "tpl.txt", "out.txt", "-encoding"}).exit_status, 0);
  EXPECT_EQ(read_file(dir_.file("out.txt")), "Total: 12,345.5\nfin");
}

TEST_F(RunTest, ConfigurationPathFollowsTheLastDashC) {
  write_file(dir_.file("other.cfg"), "");
  EXPECT_EQ(run({"in.xml", "tpl.txt", "out.txt", "-c", "nope.cfg", "-c", "other.cfg"}).exit_status,
            0);
  std::filesystem::remove(dir_.file("Ruvo.cfg"));
  // "-c" as the last argument keeps the default name, which is gone now.
  EXPECT_EQ(run({"in.xml", "tpl.txt", "out.txt", "-c", "other.cfg", "-c"}).exit_status, 0);
  EXPECT_EQ(run({"in.xml", "tpl.txt", "out.txt", "-c"}).exit_status, 252);
}

TEST_F(RunTest, RunsAppendToTheSameLog) {
  run({"missing.xml", "tpl.txt", "out.txt"});
  run({"in.xml", "missing.txt", "out.txt"});
  const Lines lines = log();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], "TS:ERROR: El archivo XML de entrada no existe:");
  EXPECT_EQ(lines[3], "TS:ERROR: El archivo Plantilla NO se encuentra.");
}

TEST_F(RunTest, LogThatCannotBeOpenedChangesNothingElse) {
  std::filesystem::create_directory(dir_.file("Ruvo.log"));
  EXPECT_EQ(run({"missing.xml", "tpl.txt", "out.txt"}).exit_status, 251);
  EXPECT_EQ(run({"in.xml", "tpl.txt", "out.txt"}).exit_status, 0);
  EXPECT_EQ(read_file(dir_.file("out.txt")), "Total: 12,345.5\nfin");
}

TEST_F(RunTest, InputNamedDashIsTheFileNotStandardInput) {
  write_file(dir_.file("-"), "<r/>");
  EXPECT_EQ(run({"-", "tpl.txt", "out.txt"}).exit_status, 0);
  EXPECT_TRUE(file_exists(dir_.file("out.txt")));
}

}  // namespace
}  // namespace ruvo
