// A rich run in-process, refusing each of its counted allocations in turn: the run must never
// crash, must end with one of its exit codes, and must give back everything but the refused
// requests, which the count keeps by design.
#include <set>

#include "driver/run.h"
#include "support/test_support.h"

namespace ruvo {
namespace {

class AllocationFailureTest : public test::CleanStateTest {
 protected:
  void SetUp() override {
    test::CleanStateTest::SetUp();
    test::write_file(dir_.file("in.xml"),
                     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<C xmlns=\"urn:c\" xmlns:p=\"urn:p\" total=\"1234567.5\" n=\"A&amp;B\">"
                     "<p:X v=\"9876\"/><D a=\"1\" b=\"caf\xC3\xA9\" i=\"2500\"><K m=\"0.16\"/></D>"
                     "<D a=\"2\" i=\"10\"/><Nota>texto</Nota></C>");
    test::write_file(dir_.file("tpl.txt"),
                     "<<C:total>> <<C:n>> <<'p:X':v>> <<%HOME%>>\n"
                     "<<{//D[1]}>><<{@b}>> <<Nota>> <<>>\n"
                     "<<Cols>> after\n"
                     "<<Master>>A B\n"
                     "<<Broken>>\n");
    test::write_file(dir_.file("Ruvo.cfg"),
                     "[COMMA_INSERT]\nC:total\n\"p:X\":v\n{@b}\nD:i\n"
                     "[TABLE_COLUMNS]<<Cols>>\nD:a,A\nD:b,B\nD:i\n"
                     "[TABLE_COLUMNS]<<Broken>>\n\n"
                     "[MASTER_TABLE]<<Master>>\nelement,D,,1\nattribute,a,A\nattribute,i,I\n"
                     "attribute,b,B\nelement,K,,2C\nattribute,m,M\n");
  }

  int run() { return run_command_line("in.xml tpl.txt out.txt -xml -preview 1"); }

  test::TempDir dir_;
  test::ScopedCurrentDir cwd_{dir_.path()};
};

TEST_F(AllocationFailureTest, EveryRefusedAllocationEndsCleanly) {
  ASSERT_EQ(run(), 0);
  const std::uint64_t requests = g_memory.faults.requests;
  ASSERT_GT(requests, 100u);
  RecordProperty("requests", static_cast<int>(requests));
  const std::set<int> defined = {0, 251, 252, 253, 257};
  std::set<int> seen;
  for (std::uint64_t k = 1; k <= requests; ++k) {
    reset_process_state();
    test::RefuseAllocation refuse(k);
    const int code = run();
    seen.insert(code);
    EXPECT_TRUE(defined.count(code)) << "refusing request " << k << " gave " << code;
    EXPECT_EQ(mem_in_use(), refuse.refused_bytes()) << "refusing request " << k << " leaked";
    if (HasFailure()) {
      break;
    }
  }
  reset_process_state();
  EXPECT_TRUE(seen.count(257)) << "memory exhaustion while filling ends the run with 257";
}

}  // namespace
}  // namespace ruvo
