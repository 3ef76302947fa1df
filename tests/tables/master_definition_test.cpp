#include "tables/master_definition.h"

#include "support/test_support.h"

namespace ruvo {
namespace {

using MasterDefinitionTest = test::CleanStateTest;

struct LevelView {
  std::string name;
  std::string path;
  std::int32_t level;
  bool c_flag;
  std::vector<std::string> fields;  // name=label
  bool operator==(const LevelView&) const = default;
};

std::ostream& operator<<(std::ostream& out, const LevelView& v) {
  out << v.name << "|" << v.path << "|" << v.level << "|" << v.c_flag << "|";
  for (const std::string& f : v.fields) {
    out << f << ";";
  }
  return out;
}

std::vector<LevelView> read(const std::vector<std::string>& lines) {
  LineListPtr section = test::make_list(lines);
  Tracked<MasterChain> chain = read_master_definitions(section.get());
  EXPECT_TRUE(chain);
  std::vector<LevelView> levels;
  for (auto* l = chain->levels.first(); l != nullptr; l = l->next) {
    LevelView view{std::string(l->value.name->view()),
                   std::string(l->value.path->view()),
                   l->value.level,
                   l->value.c_flag,
                   {}};
    for (auto* f = l->value.fields.first(); f != nullptr; f = f->next) {
      view.fields.push_back(std::string(f->value.name->view()) + "=" +
                            std::string(f->value.label->view()));
    }
    levels.push_back(view);
  }
  return levels;
}

TEST_F(MasterDefinitionTest, ReadsLevelsAndFieldsInOrder) {
  EXPECT_EQ(read({"[MASTER_TABLE]<<Partidas>>", "element,Detaprod,,1", "attribute,cantidad,Cant",
                  "attribute,importe,Imp", "element,Cargo,,2C", "attribute,monto,Monto"}),
            (std::vector<LevelView>{{"Detaprod", "", 1, false, {"cantidad=Cant", "importe=Imp"}},
                                    {"Cargo", "", 2, true, {"monto=Monto"}}}));
}

TEST_F(MasterDefinitionTest, KindsLinesAndFieldsThatDoNotFitAreSkipped) {
  EXPECT_EQ(read({"[MASTER_TABLE]<<T>>", "attribute,early,E", "ELEMENT,A,//x/A", " element,B",
                  "Element,C", "no comma", "", "other,D,", "AtTrIbUtE,,Empty", "attribute,z"}),
            (std::vector<LevelView>{{"A", "//x/A", 0, false, {}},
                                    {"C", "", 0, false, {"=Empty", "z="}}}));
  EXPECT_TRUE(read({"[MASTER_TABLE]<<T>>", "attribute,a,b"}).empty());
}

TEST_F(MasterDefinitionTest, LevelNumberCarriesOnAndTheCFlagNeedsALastC) {
  const std::vector<LevelView> levels =
      read({"[MASTER_TABLE]<<T>>", "element,A,,1", "element,B,p", "element,C", "element,D,,1,5",
            "element,E,, 3 C", "element,F,,C3", "element,G,,3CC", "element,H,,3c", "element,I,,3C ",
            "attribute,x,y,7", "element,J"});
  ASSERT_EQ(levels.size(), 10u);
  const std::vector<std::pair<std::int32_t, bool>> expected = {
      {1, false}, {1, false}, {1, false}, {1, false}, {3, true},
      {0, false}, {3, false}, {3, false}, {3, false}, {7, false}};
  for (std::size_t i = 0; i < levels.size(); ++i) {
    EXPECT_EQ(levels[i].level, expected[i].first) << levels[i];
    EXPECT_EQ(levels[i].c_flag, expected[i].second) << levels[i];
  }
  EXPECT_EQ(levels[3].path, "");
  EXPECT_EQ(levels[1].path, "p");
}

TEST_F(MasterDefinitionTest, RowLayoutComesFromTheFirstOccurrenceOfTheName) {
  RowLayout layout = take_row_layout("<<Partidas>>A B", "Partidas");
  EXPECT_EQ(layout.row_text->view(), "~[ A B");
  EXPECT_EQ(layout.width, 2);

  layout = take_row_layout("x <<Partidas>>", "Partidas");
  EXPECT_EQ(layout.row_text->view(), "~[ ");
  EXPECT_EQ(layout.width, 1);

  // The name stands earlier on the line: the following text starts two characters after it.
  layout = take_row_layout("Partidas: <<Partidas>> a", "Partidas");
  EXPECT_EQ(layout.row_text->view(), "~[ <<Partidas>> a");
  EXPECT_EQ(layout.width, 2);

  EXPECT_EQ(count_row_width(""), 1);
  EXPECT_EQ(count_row_width("a   b"), 2);
  EXPECT_EQ(count_row_width(" a b"), 3);
  EXPECT_EQ(count_row_width(" a b "), 4);
  EXPECT_EQ(count_row_width("a\tb"), 1);
}

TEST_F(MasterDefinitionTest, OutOfMemoryKeepsNothing) {
  LineListPtr section =
      test::make_list({"[MASTER_TABLE]<<T>>", "element,A,,1", "attribute,a,b", "element,B,,2"});
  const std::int64_t before = mem_in_use();
  for (std::uint64_t k = 1; k < 40; ++k) {
    test::RefuseAllocation refuse(k);
    Tracked<MasterChain> chain = read_master_definitions(section.get());
    const bool refused = refuse.refused_bytes() > 0;
    EXPECT_EQ(!chain, refused) << "a refused request fails the whole read, k=" << k;
    chain.reset();
    // Only the refused request stays in the count: nothing read was kept.
    EXPECT_EQ(mem_in_use(), before + refuse.refused_bytes()) << k;
  }
}

}  // namespace
}  // namespace ruvo
