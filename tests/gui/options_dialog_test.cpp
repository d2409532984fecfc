// The recovery options dialog: its checks in their order, what reaches the
// shell's state on OK, and that Cancel changes nothing.
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "gui/options_dialog.h"
#include "gui_test.h"
#include "pagestore/collation_table.h"

namespace pagewright::testing {
namespace {

class OptionsDialogTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;
  QString File(const QString& name) {
    const QString path = dir_.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    return path;
  }
  static void LoadCollations(AppState& state) { state.collations = LoadCollationTable(ExecutableFolder()); }

 private slots:
  void ChecksRunInOrderAndKeepTheDialogOpen() {
    AppState state;
    LoadCollations(state);
    RecordedMessages told;
    OptionsDialog dialog(state, told.Make());
    const QString damaged = File("damaged.mdf");
    const QString backup = File("Backup.MDF.BAK");  // the extension test is a substring test
    const QString missingFolder = dir_.filePath("no such folder");

    dialog.SetPaths(dir_.filePath("missing.mdf"), backup, dir_.path());
    dialog.accept();
    dialog.SetPaths(damaged, dir_.filePath("notes.txt"), dir_.path());
    dialog.accept();
    // A valid pair with a missing log folder: the backup path is taken, the
    // damaged file's is not.
    dialog.SetPaths(damaged, backup, missingFolder);
    dialog.accept();
    QCOMPARE(told.told, (QStringList{"Please select valid SQL file path to continue the recovery process.",
                                     "Please select valid backup SQL file path to continue the recovery process.",
                                     "Please select valid Log file path to continue the recovery process."}));
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(QString::fromStdString(state.backupMdfPath), backup);
    QVERIFY(state.mdfPath.empty());
    QCOMPARE(state.recoveryMode, 0);

    dialog.SetPaths(damaged, backup, dir_.path());
    dialog.modeList()->setCurrentIndex(1);
    dialog.showDeleted()->setChecked(true);
    dialog.sql2000()->setChecked(true);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(told.told.size(), 3);
    QCOMPARE(QString::fromStdString(state.mdfPath), damaged);
    QCOMPARE(state.recoveryMode, 2);
    QVERIFY(state.showDeleted);
    QVERIFY(!state.showAdvancedDeleted);
    QVERIFY(state.legacyCatalogMode);
    QVERIFY(state.logFolder.ends_with('/'));
  }

  void CollationListIsSortedAndFollowsManual() {
    AppState state;
    LoadCollations(state);
    QVERIFY2(!state.collations.empty(), "collation.txt beside the tests");
    RecordedMessages told;
    OptionsDialog dialog(state, told.Make());
    QComboBox* list = dialog.collationList();
    QCOMPARE(list->count(), int(state.collations.size()));
    for (int i = 1; i < list->count(); ++i) QVERIFY(list->itemText(i - 1) <= list->itemText(i));
    QVERIFY(dialog.autoDetect()->isChecked());
    QVERIFY(!list->isEnabled());
    dialog.manual()->setChecked(true);
    QVERIFY(list->isEnabled());
    dialog.autoDetect()->setChecked(true);
    QVERIFY(!list->isEnabled());

    // "Manual" without touching the list means the collation it shows.
    dialog.manual()->setChecked(true);
    const QString damaged = File("shown.mdf");
    dialog.SetPaths(damaged, damaged, dir_.path());
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(!state.collationAutoDetect);
    QCOMPARE(state.manualCollationKey, list->itemData(0).toLongLong());
    QCOMPARE(QString::fromStdString(state.collations.at(state.manualCollationKey).name), list->itemText(0));
  }

  void CancelLeavesEveryOptionAsItWas() {
    AppState state;
    LoadCollations(state);
    state.collationAutoDetect = false;
    state.manualCollationKey = 52;
    state.mdfPath = "/earlier.mdf";
    RecordedMessages told;
    OptionsDialog dialog(state, told.Make());
    const QString damaged = File("other.mdf");
    dialog.SetPaths(damaged, damaged, dir_.path());
    dialog.autoDetect()->setChecked(true);
    dialog.collationList()->setCurrentIndex(3);
    dialog.reject();
    QVERIFY(!state.collationAutoDetect);
    QCOMPARE(state.manualCollationKey, 52);
    QCOMPARE(state.mdfPath, std::string("/earlier.mdf"));
    QVERIFY(told.told.isEmpty());
  }
};

GuiTestRegistration registration("OptionsDialogTest", [] { return std::make_unique<OptionsDialogTest>(); });

}  // namespace
}  // namespace pagewright::testing

#include "options_dialog_test.moc"
