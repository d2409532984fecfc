// The shell as a user drives it, for the app tests: the test thread is the
// user-interface thread; every worker runs on a thread of its own and each
// UI call it makes waits until the test thread pumps it (the way the
// headless shell's session drives the main frame). Waiting is the frame's
// own waiter, never a sleep.
#ifndef PAGEWRIGHT_TESTS_APP_SHELL_HARNESS_H_
#define PAGEWRIGHT_TESTS_APP_SHELL_HARNESS_H_

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/main_frame.h"
#include "app/marshalling_ui_port.h"
#include "pagestore/collation_table.h"
#include "support/builder/catalog_builder.h"
#include "support/recording_ui.h"

namespace pagewright::testing {

class ShellHarness {
 public:
  ShellHarness() : port(ui), frame(state, port, [this](const std::function<bool()>& done) { port.PumpUntil(done); }) {
    state.collations = LoadCollationTable(ExecutableFolder());
  }

  // The options dialog's OK, the activity log going to the harness' folder.
  void Confirm(const std::string& mdf, bool advanced = false) {
    RecoveryOptions o;
    o.mdfPath = o.backupMdfPath = mdf;
    o.logFolder = logs.folder().string();
    o.advanced = advanced;
    ASSERT_EQ(ApplyRecoveryOptions(state, o), "");
  }
  // Open with the confirmed options and run the scan to its end.
  void Scan(const std::string& mdf, bool advanced = false) {
    Confirm(mdf, advanced);
    ASSERT_TRUE(frame.Open());
    Wait();
  }
  void Wait() {
    port.PumpUntil([this] { return !frame.WorkerRunning(); });
  }
  // A click on a node's label or on a paging button, then the wait for its
  // worker.
  void Select(TreeItem item) {
    ASSERT_NE(item, kNoTreeItem);
    if (frame.SelectNode(item)) Wait();
  }
  void Select(const std::string& label, const std::string& under = "") {
    Select(ui.FindTreeItem(label, under.empty() ? kNoTreeItem : ui.FindTreeItem(under)));
  }
  void Next() {
    if (frame.PageNext()) Wait();
  }
  void Previous() {
    if (frame.PagePrevious()) Wait();
  }

  std::vector<std::string> Children(TreeItem item) const {
    std::vector<std::string> out;
    if (const auto* node = ui.NodeOf(item))
      for (TreeItem c : node->children) out.push_back(ui.NodeOf(c)->label);
    return out;
  }
  std::vector<std::string> Children(const std::string& label) const { return Children(ui.FindTreeItem(label)); }
  // The arguments of the calls of one operation made since the call at
  // position `from`; for "InsertPaneLine" the line texts.
  std::vector<std::string> Since(size_t from, const std::string& operation) const {
    std::vector<std::string> out;
    for (size_t i = from; i < ui.calls.size(); ++i) {
      if (ui.calls[i].rfind(operation + " ", 0) != 0) continue;
      std::string args = ui.calls[i].substr(operation.size() + 1);
      out.push_back(operation == "InsertPaneLine" ? args.substr(args.find(' ') + 1) : args);
    }
    return out;
  }
  std::vector<std::string> LinesSince(size_t from) const { return Since(from, "InsertPaneLine"); }

  build::TempFile logs{"unused"};
  AppState state;
  RecordingUi ui;
  MarshallingUiPort port;
  MainFrame frame;
};

// A small shop: tables in both sort orders, keys of every kind, modules of
// every kind; "Orders" holds 25 rows.
inline build::DatabaseBuilder ShopDatabase() {
  using namespace build;
  CatalogBuilder b;
  b.DatabaseName(u"Shop");
  TableDef orders;
  orders.name = "Orders";
  orders.columns = {IntColumn("OrderID", false), NcharColumn("CustomerID", 5), MoneyColumn("Amount")};
  orders.primaryKey = {0};
  orders.clustered = true;
  orders.foreignKeys = {{"FK_Orders_Customers", {1}, "Customers", {0}}};
  orders.checkConstraints = {{"CK_Orders_Amount", u"([Amount]>(0))"}};
  for (int i = 1; i <= 25; ++i) orders.rows.push_back({IntValue(i), UnicodeValue(u"ALFKI"), MoneyValue(10000 * i)});
  b.AddTable(orders);
  TableDef customers;
  customers.name = "Customers";
  customers.columns = {NcharColumn("CustomerID", 5, false), NvarcharColumn("Name", 40)};
  customers.primaryKey = {0};
  customers.uniqueKeys = {{"UQ_Customers_Name", {1}}};
  customers.rows = {{UnicodeValue(u"ALFKI"), UnicodeValue(u"Alfreds")}};
  b.AddTable(customers);
  TableDef archive;  // no rows: no data pages
  archive.name = "Archive";
  archive.columns = {IntColumn("Id")};
  b.AddTable(archive);
  b.AddModule({"ZView", "dbo", "V ", u"CREATE VIEW ZView AS SELECT 1 AS One"});
  b.AddModule({"AView", "dbo", "V ", u"CREATE VIEW AView AS SELECT OrderID FROM dbo.Orders"});
  b.AddModule({"Zeta", "dbo", "P ", u"CREATE PROCEDURE Zeta AS SELECT 2"});
  b.AddModule({"Alpha", "dbo", "P ", u"CREATE PROCEDURE Alpha AS SELECT 1"});
  b.AddModule({"Twice", "dbo", "FN", u"CREATE FUNCTION Twice(@x int) RETURNS int AS BEGIN RETURN 2*@x END"});
  b.AddModule(
      {"OrdersAudit", "dbo", "TR", u"CREATE TRIGGER OrdersAudit ON dbo.Orders AFTER INSERT AS SELECT 1", "Orders"});
  b.AddModule({"ZeroDefault", "dbo", "D ", u"CREATE DEFAULT ZeroDefault AS 0"});
  return b.Build();
}

}  // namespace pagewright::testing

#endif  // PAGEWRIGHT_TESTS_APP_SHELL_HARNESS_H_
