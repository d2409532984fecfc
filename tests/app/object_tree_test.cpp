// The object tree: display order, bold tables, expansion on first
// selection, and what a click on each kind of node shows.
#include <gtest/gtest.h>

#include "app/shell_harness.h"

namespace pagewright {
namespace {

using ::testing::ElementsAre;

class ObjectTree : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::ShopDatabase().WriteTo(mdf.path());
    shell.Scan(mdf.str());
    ASSERT_TRUE(shell.frame.lastScanCompleted());
  }
  bool Bold(const std::string& label) { return shell.ui.NodeOf(shell.ui.FindTreeItem(label))->bold; }
  // The lines a click on the node wrote, from its "Please wait" line on.
  std::vector<std::string> SelectAndLog(const std::string& label, const std::string& under = "") {
    const size_t from = shell.ui.calls.size();
    shell.Select(label, under);
    return shell.LinesSince(from);
  }

  build::TempFile mdf{"Shop.mdf"};
  testing::ShellHarness shell;
};

TEST_F(ObjectTree, FixedNodesAndObjectsAppearInDisplayOrder) {
  ASSERT_EQ(shell.ui.topLevel.size(), 1u);
  EXPECT_EQ(shell.ui.NodeOf(shell.ui.topLevel[0])->label, "Shop");
  EXPECT_THAT(shell.Children("Shop"), ElementsAre("Views", "Programmability", "Tables"));
  EXPECT_THAT(shell.Children("Programmability"), ElementsAre("Triggers", "Default", "Store Procedure", "Function"));
  EXPECT_THAT(shell.Children("Tables"), ElementsAre("System Tables", "User Tables"));
  // User tables and procedures sorted; views and system tables in reverse
  // catalog order.
  EXPECT_THAT(shell.Children("User Tables"), ElementsAre("dbo.Archive", "dbo.Customers", "dbo.Orders"));
  EXPECT_THAT(shell.Children("Store Procedure"), ElementsAre("dbo.Alpha", "dbo.Zeta"));
  EXPECT_THAT(shell.Children("Views"), ElementsAre("dbo.AView", "dbo.ZView"));
  EXPECT_THAT(shell.Children("System Tables"),
              ElementsAre("sys.syscolpars", "sys.sysschobjs", "sys.sysallocunits", "sys.sysrowsets", "sys.sysrscols"));
  EXPECT_THAT(shell.Children("Function"), ElementsAre("dbo.Twice"));
  EXPECT_THAT(shell.Children("Triggers"), ElementsAre("dbo.OrdersAudit"));
  EXPECT_THAT(shell.Children("Default"), ElementsAre("dbo.ZeroDefault"));
  EXPECT_THAT(shell.Children("dbo.Orders"), ElementsAre("Columns"));
  EXPECT_EQ(shell.ui.NodeOf(shell.ui.FindTreeItem("dbo.Orders"))->data, 1);
  EXPECT_EQ(shell.ui.NodeOf(shell.ui.FindTreeItem("Views"))->data, 0);
}

TEST_F(ObjectTree, TablesWithColumnsAndDataPagesAreBold) {
  EXPECT_TRUE(Bold("dbo.Orders"));
  EXPECT_TRUE(Bold("dbo.Customers"));
  EXPECT_FALSE(Bold("dbo.Archive"));
  EXPECT_FALSE(Bold("sys.sysschobjs"));
}

TEST_F(ObjectTree, FirstSelectionExpandsTheTableOnce) {
  shell.Select("dbo.Orders");
  EXPECT_THAT(shell.Children("dbo.Orders"), ElementsAre("ForeignKey", "Unique", "Constraint", "PrimaryKey", "Columns"));
  EXPECT_THAT(
      shell.Children(shell.ui.FindTreeItem("Columns", shell.ui.FindTreeItem("dbo.Orders"))),
      ElementsAre("OrderID  int(4)[Primary Key]",
                  "CustomerID  nchar(10)  (foreign key) references dbo.Customers( CustomerID)", "Amount  money(8)"));
  EXPECT_THAT(shell.Children("PrimaryKey"), ElementsAre("dbo.PK_Orders"));
  EXPECT_THAT(shell.Children("ForeignKey"), ElementsAre("dbo.FK_Orders_Customers"));
  EXPECT_THAT(shell.Children("Constraint"), ElementsAre("dbo.CK_Orders_Amount"));
  EXPECT_EQ(shell.ui.NodeOf(shell.ui.FindTreeItem("dbo.CK_Orders_Amount"))->data, 1);
  EXPECT_EQ(shell.ui.NodeOf(shell.ui.FindTreeItem("dbo.PK_Orders"))->data, 0);
  const size_t nodes = shell.ui.nodes.size();
  shell.Select("dbo.Orders");
  EXPECT_EQ(shell.ui.nodes.size(), nodes);
  shell.Select("dbo.Customers");
  EXPECT_THAT(shell.Children(shell.ui.FindTreeItem("Columns", shell.ui.FindTreeItem("dbo.Customers"))),
              ElementsAre("CustomerID  nchar(10)[Primary Key]", "Name  nvarchar(80)[Unique]"));
}

TEST_F(ObjectTree, TableSelectionShowsItsRowsAndEndsWithTheCommonLines) {
  auto lines = SelectAndLog("dbo.Orders");
  EXPECT_THAT(lines, ElementsAre("Please wait while dbo.Orders folder is scanning.", "0 rows to 25", "dbo.Orders[25]",
                                 "Scanning process completed."));
  EXPECT_EQ(shell.ui.pageLabel, "Page1 - [25](1-25) Records");
  EXPECT_EQ(shell.ui.caption, "dbo.Orders[25]");
  EXPECT_TRUE(shell.ui.gridView);
  EXPECT_THAT(shell.ui.gridColumns, ElementsAre("OrderID", "CustomerID", "Amount"));
  ASSERT_EQ(shell.ui.gridRows.size(), 25u);
  EXPECT_THAT(shell.ui.gridRows[24], ElementsAre("25", "ALFKI", "25.0000"));
  EXPECT_FALSE(shell.ui.previousEnabled);
  EXPECT_FALSE(shell.ui.nextEnabled);
  EXPECT_FALSE(shell.ui.progressVisible);
  EXPECT_EQ(shell.state.running, 0);
  // The pane's last line was replaced by the row count while rows came in.
  EXPECT_EQ(shell.ui.paneLines[shell.ui.paneLines.size() - 4], " row 25 inserted");
}

TEST_F(ObjectTree, RootClickEndsWithoutALogLine) {
  auto lines = SelectAndLog("Shop");
  EXPECT_THAT(lines, ElementsAre("Please wait while Shop folder is scanning."));
  EXPECT_EQ(shell.state.running, 0);
  EXPECT_FALSE(shell.ui.progressVisible);
}

TEST_F(ObjectTree, GroupNodeClickFindsNothingAndReportsNoRows) {
  shell.Select("dbo.Orders");
  auto lines = SelectAndLog("Views");
  EXPECT_THAT(lines,
              ElementsAre("Please wait while Views folder is scanning.", "Views[0]", "Scanning process completed."));
  EXPECT_EQ(shell.ui.pageLabel, "Page1 - [0](0-0) Records");
  EXPECT_TRUE(shell.ui.gridView);  // the previous view stays, emptied
  EXPECT_TRUE(shell.ui.gridRows.empty());
}

TEST_F(ObjectTree, TablesWithoutRowsOrColumnsReportNoRowsAndNoSummary) {
  auto lines = SelectAndLog("dbo.Archive");
  EXPECT_THAT(lines, ElementsAre("Please wait while dbo.Archive folder is scanning.", "dbo.Archive[0]",
                                 "Scanning process completed."));
  EXPECT_EQ(shell.ui.pageLabel, "Page1 - [0](0-0) Records");
  EXPECT_THAT(shell.Children("dbo.Archive"),
              ElementsAre("ForeignKey", "Unique", "Constraint", "PrimaryKey", "Columns"));
  EXPECT_TRUE(shell.Children("PrimaryKey").empty());
  lines = SelectAndLog("sys.sysschobjs");
  EXPECT_EQ(lines[1], "sys.sysschobjs[0]");
  EXPECT_TRUE(shell.ui.gridColumns.empty());
}

TEST_F(ObjectTree, ModulesShowTheirDefinition) {
  shell.Select("dbo.AView");
  EXPECT_FALSE(shell.ui.gridView);
  EXPECT_EQ(shell.ui.recordsText, "CREATE VIEW AView AS SELECT OrderID FROM dbo.Orders");
  EXPECT_EQ(shell.ui.pageLabel, "Page1 - [0](0-0) Records");
  shell.Select("dbo.Zeta");
  EXPECT_EQ(shell.ui.recordsText, "CREATE PROCEDURE Zeta AS SELECT 2");
  shell.Select("dbo.OrdersAudit");
  EXPECT_EQ(shell.ui.recordsText, "CREATE TRIGGER OrdersAudit ON dbo.Orders AFTER INSERT AS SELECT 1");
}

TEST_F(ObjectTree, KeyAndConstraintNodesShowValidScripts) {
  shell.Select("dbo.Orders");
  shell.Select("dbo.PK_Orders");
  EXPECT_FALSE(shell.ui.gridView);
  EXPECT_EQ(shell.ui.recordsText, "ALTER TABLE [dbo].[Orders] ADD PRIMARY KEY ( [OrderID] )");
  shell.Select("dbo.CK_Orders_Amount");
  EXPECT_EQ(shell.ui.recordsText,
            "ALTER TABLE [dbo].[Orders] WITH NOCHECK ADD CONSTRAINT [CK_Orders_Amount] CHECK ([Amount]>(0))");
  shell.Select("dbo.Customers");
  shell.Select("dbo.UQ_Customers_Name");
  EXPECT_EQ(shell.ui.recordsText,
            "ALTER TABLE [dbo].[Customers] WITH NOCHECK ADD CONSTRAINT [UQ_Customers_Name] UNIQUE NONCLUSTERED "
            "\r\n(\r\n[Name] ASC\r\n)");
  EXPECT_EQ(shell.ui.caption, "dbo.UQ_Customers_Name[0]");
}

TEST_F(ObjectTree, ClickWhileANodeIsShownReselectsIt) {
  const TreeItem orders = shell.ui.FindTreeItem("dbo.Orders");
  const TreeItem views = shell.ui.FindTreeItem("Views");
  ASSERT_TRUE(shell.frame.SelectNode(orders));
  shell.ui.selected = views;  // the tree control selects the clicked item itself
  EXPECT_FALSE(shell.frame.SelectNode(views));
  EXPECT_EQ(shell.ui.selected, orders);
  shell.Wait();
  EXPECT_EQ(shell.ui.Of("ShowMessage").back(), "Please wait for the running process. information");
}

}  // namespace
}  // namespace pagewright
