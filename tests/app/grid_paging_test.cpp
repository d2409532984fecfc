// "Next Records" and "Previous Records": labels, summaries, buttons and the
// rows each grid page shows.
#include <gtest/gtest.h>

#include "app/shell_harness.h"

namespace pagewright {
namespace {

using ::testing::ElementsAre;

build::TableDef Numbered(const std::string& name, int rows) {
  build::TableDef t;
  t.name = name;
  t.columns = {build::IntColumn("N", false), build::VarcharColumn("Text", 20)};
  for (int i = 1; i <= rows; ++i) t.rows.push_back({build::IntValue(i), build::TextValue("row " + std::to_string(i))});
  return t;
}

class GridPaging : public ::testing::Test {
 protected:
  void SetUp() override {
    build::CatalogBuilder b;
    b.AddTable(Numbered("Numbers", 2500));
    b.AddTable(Numbered("Thousand", 1000));
    b.Build().WriteTo(mdf.path());
    shell.Scan(mdf.str());
    ASSERT_TRUE(shell.frame.lastScanCompleted());
  }
  // The first cells of the first and last grid rows.
  std::pair<std::string, std::string> Span() const {
    return {shell.ui.gridRows.front()[0], shell.ui.gridRows.back()[0]};
  }
  std::string LastLine() const { return shell.ui.InsertedLines().back(); }

  build::TempFile mdf{"Paging.mdf"};
  testing::ShellHarness shell;
};

TEST_F(GridPaging, ForwardThroughThreePagesThenBack) {
  shell.Select("dbo.Numbers");
  EXPECT_EQ(shell.ui.pageLabel, "Page1 - [1000](1-1000) Records");
  EXPECT_EQ(shell.ui.InsertedLines()[shell.ui.InsertedLines().size() - 3], "0 rows to 1000");
  EXPECT_FALSE(shell.ui.previousEnabled);
  EXPECT_TRUE(shell.ui.nextEnabled);

  shell.Next();
  EXPECT_EQ(shell.ui.pageLabel, "Page2 - [1000](1001-2000) Records");
  EXPECT_EQ(LastLine(), "1000 rows to 2000");
  EXPECT_EQ(shell.ui.caption, "1000 rows to 2000");
  EXPECT_EQ(Span(), std::make_pair(std::string("1001"), std::string("2000")));
  EXPECT_TRUE(shell.ui.previousEnabled);
  EXPECT_TRUE(shell.ui.nextEnabled);

  shell.Next();
  EXPECT_EQ(shell.ui.pageLabel, "Page3 - [500](2001-2500) Records");
  EXPECT_EQ(LastLine(), "2000 rows to 2500");
  EXPECT_EQ(Span(), std::make_pair(std::string("2001"), std::string("2500")));
  EXPECT_FALSE(shell.ui.nextEnabled);

  shell.Previous();
  EXPECT_EQ(shell.ui.pageLabel, "Page2 - [1000](1001-2000) Records");
  ASSERT_EQ(shell.ui.gridRows.size(), 1000u);
  EXPECT_EQ(Span(), std::make_pair(std::string("1001"), std::string("2000")));
  EXPECT_THAT(shell.ui.gridRows[499], ElementsAre("1500", "row 1500"));
  EXPECT_TRUE(shell.ui.nextEnabled);

  shell.Previous();
  EXPECT_EQ(shell.ui.pageLabel, "Page1 - [1000](1-1000) Records");
  EXPECT_EQ(LastLine(), "0 rows to 1000");
  EXPECT_EQ(Span(), std::make_pair(std::string("1"), std::string("1000")));
  EXPECT_FALSE(shell.ui.previousEnabled);
  EXPECT_TRUE(shell.ui.nextEnabled);
  EXPECT_EQ(shell.state.running, 0);
  EXPECT_FALSE(shell.ui.progressVisible);
}

TEST_F(GridPaging, PagesAfterTheFirstLogEveryRowInTheActivityLog) {
  shell.Select("dbo.Numbers");
  shell.Next();
  auto bytes = build::ReadFileBytes(shell.state.logFilePath);
  std::string ascii;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) ascii.push_back(static_cast<char>(bytes[i]));
  // The first grid page's rows are not logged, the second page's are.
  ASSERT_NE(ascii.find(" row 1 inserted\r\n"), std::string::npos);
  EXPECT_EQ(ascii.find(" row 1 inserted\r\n"), ascii.rfind(" row 1 inserted\r\n"));
  EXPECT_NE(ascii.find(" row 1000 inserted\r\n1000 rows to 2000\r\n"), std::string::npos);
}

TEST_F(GridPaging, ExactlyOneGridPageLeavesNextDisabled) {
  shell.Select("dbo.Thousand");
  EXPECT_EQ(shell.ui.pageLabel, "Page1 - [1000](1-1000) Records");
  EXPECT_FALSE(shell.ui.nextEnabled);
  shell.Next();
  EXPECT_FALSE(shell.ui.nextEnabled);
  EXPECT_EQ(shell.ui.gridRows.size(), 1000u);
}

TEST_F(GridPaging, PagingWithoutATableDoesNothing) {
  shell.Next();
  shell.Previous();
  EXPECT_TRUE(shell.ui.gridRows.empty());
  EXPECT_FALSE(shell.ui.nextEnabled);
  EXPECT_EQ(shell.state.running, 0);
}

}  // namespace
}  // namespace pagewright
