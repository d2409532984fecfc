// The window's commands while a worker runs and when it does not, and the
// port's calls from a worker thread: on the window's thread, in order.
#include <QTest>
#include <atomic>
#include <thread>

#include "gui/main_window.h"
#include "gui_test.h"

namespace pagewright::testing {
namespace {

class BusyStateTest : public QObject {
  Q_OBJECT
 private slots:
  void CommandsWhileBusyAnswerAndStartNothing() {
    AppState state;
    RecordedMessages told;
    MainWindow window(state, told.Make());
    window.show();
    state.running = 1;
    bool dialogOpened = false;
    window.OpenCommand([&](QDialog&) {
      dialogOpened = true;
      return 0;
    });
    window.LoadSnapshotCommand(QStringLiteral("/nonexistent.snapshot"));
    window.SaveSnapshotCommand(QStringLiteral("/nonexistent.snapshot"));
    window.ExportCommand([&](QDialog&) {
      dialogOpened = true;
      return 0;
    });
    QVERIFY2(!dialogOpened, "no dialog opens while busy");
    window.HelpCommand();
    window.AboutCommand();
    const QString wait = QStringLiteral("Please wait for the running process.");
    const QString stopFirst = QStringLiteral("Please stop the running process to continue the process.");
    QCOMPARE(told.told, (QStringList{wait, wait, wait, wait, stopFirst, stopFirst}));
    QTRY_VERIFY(window.action(QStringLiteral("Stop"))->isEnabled());

    // Closing is refused while busy.
    told.told.clear();
    QVERIFY(!window.close());
    QVERIFY(window.isVisible());
    QCOMPARE(told.told, QStringList{"Please stop the running process to close the application."});

    // Stop asks; No changes nothing, Yes frees the commands at once.
    told.told.clear();
    told.answer = false;
    window.StopCommand();
    QCOMPARE(state.running.load(), 1);
    told.answer = true;
    window.StopCommand();
    QCOMPARE(told.told, (QStringList{"Are you sure to stop the running process?",
                                     "Are you sure to stop the running process?"}));
    QCOMPARE(state.running.load(), 0);
    QVERIFY(state.stopRequested.load());
    QVERIFY(!window.action(QStringLiteral("Stop"))->isEnabled());
  }

  void CloseAsksAndEndsOnYes() {
    AppState state;
    RecordedMessages told;
    MainWindow window(state, told.Make());
    window.show();
    told.answer = false;
    QVERIFY(!window.close());
    QVERIFY(window.isVisible());
    told.answer = true;
    QVERIFY(window.close());
    QVERIFY(!window.isVisible());
    QCOMPARE(told.told, (QStringList{"Do you want to close the application?", "Do you want to close the application?"}));
  }
};

class WindowPortTest : public QObject {
  Q_OBJECT
 private slots:
  void WorkerCallsRunOnTheWindowThreadInOrder() {
    ObjectTreeView tree;
    QListWidget output;
    RecordsPanel records;
    QLabel caption;
    QProgressBar progress;
    RecordedMessages told;
    WindowPort port(WindowParts{&tree, &output, &records, &caption, &progress}, told.Make());
    int offThread = 0;
    connect(&records.model(), &QAbstractItemModel::rowsInserted, this,
            [&] { offThread += QThread::currentThread() != thread() ? 1 : 0; }, Qt::DirectConnection);

    constexpr int kRows = 300;
    std::atomic<bool> done{false};
    int rowsSeen = -1;
    std::string firstChild;
    std::thread worker([&] {
      port.SetGridColumns({"Id", "Name"});
      for (int i = 0; i < kRows; ++i) {
        std::vector<std::string> cells = {std::to_string(i), "row " + std::to_string(i)};
        port.InsertGridRow(i, cells);
        cells.assign(2, "overwritten");  // the queued call has its own copy
        port.InsertPaneLine(i, "line " + std::to_string(i));
      }
      rowsSeen = port.GridRowCount();  // waits: every earlier call has run
      const TreeItem root = port.InsertTreeItem(kNoTreeItem, "Northwind");
      port.InsertTreeItem(root, "Tables");
      port.InsertTreeItem(root, "Views");  // each child goes first
      firstChild = port.TreeItemLabel(port.TreeFirstChild(root));
      port.SetCaption("Scanning completed for selected mdf file");
      port.ShowMessage("Scanning process completed.", MessageIcon::kInformation);
      done = true;
    });
    MainWindow::WaitUntil([&] { return done.load(); });
    worker.join();

    QCOMPARE(rowsSeen, kRows);
    QCOMPARE(offThread, 0);
    QCOMPARE(records.model().rowCount(), kRows);
    for (int i = 0; i < kRows; ++i) {
      QCOMPARE(records.model().Cell(i, 1), "row " + std::to_string(i));
      QCOMPARE(output.item(i)->text(), QStringLiteral("line %1").arg(i));
    }
    QCOMPARE(firstChild, std::string("Views"));
    QCOMPARE(caption.text(), QStringLiteral("Scanning completed for selected mdf file"));
    QCOMPARE(told.told, QStringList{"Scanning process completed."});
  }
};

GuiTestRegistration busy("BusyStateTest", [] { return std::make_unique<BusyStateTest>(); });
GuiTestRegistration port("WindowPortTest", [] { return std::make_unique<WindowPortTest>(); });

}  // namespace
}  // namespace pagewright::testing

#include "main_window_test.moc"
