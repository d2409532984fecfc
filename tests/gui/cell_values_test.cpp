// Values behind placeholders, end to end through the window: a builder
// database with a long text and images behind text pointers is scanned,
// its table shown (placeholders on the first grid page), and the viewer
// opened on cells gets the whole value; the ticked table is exported.
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

#include "gui/export_dialog.h"
#include "gui/main_window.h"
#include "gui/options_dialog.h"
#include "gui_test.h"
#include "support/builder/catalog_builder.h"
#include "support/builder/lob_builder.h"

namespace pagewright::testing {
namespace {

using namespace build;

Bytes Png(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(QColor(200, 40, 90));
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return Bytes(data.begin(), data.end());
}

class CellValuesTest : public QObject {
  Q_OBJECT
  std::string body_;
  Bytes picture_, wrapped_;
  std::unique_ptr<TempFile> file_;
  QTemporaryDir logs_;

 private slots:
  void initTestCase() {
    for (int i = 0; i < 600; ++i) body_ += "Line " + std::to_string(i) + " of a long note. ";  // about 15 KB
    picture_ = Png(7, 5);
    // An image after a wrapper header, as OLE objects keep a bitmap.
    wrapped_ = Bytes(78, 0x15);
    wrapped_.insert(wrapped_.end(), picture_.begin(), picture_.end());
    LobStore lob;
    const Bytes bodyPointer = lob.TextPointerTo(Ascii(body_));
    const Bytes picturePointer = lob.TextPointerTo(picture_);
    const Bytes wrappedPointer = lob.TextPointerTo(wrapped_);
    CatalogBuilder b;
    TableDef t;
    t.name = "Pictures";
    t.columns = {IntColumn("Id", false), TypedColumn("Notes", kSqlText, 16), TypedColumn("Photo", kSqlImage, 16)};
    t.rows = {{IntValue(1), ComplexValue(bodyPointer), ComplexValue(picturePointer)},
              {IntValue(2), Null(), ComplexValue(wrappedPointer)}};
    b.AddTable(t);
    DatabaseBuilder db = b.Build();
    lob.WriteInto(db);
    file_ = std::make_unique<TempFile>(db.Build(), "Pictures.mdf");
  }

  void ViewerShowsTheWholeValueBehindAPlaceholder() {
    AppState state;
    RecordedMessages told;
    MainWindow window(state, told.Make());
    const QString path = QString::fromStdString(file_->str());
    window.OpenCommand([&](QDialog& dialog) {
      static_cast<OptionsDialog&>(dialog).SetPaths(path, path, logs_.path());
      dialog.accept();
      return dialog.result();
    });
    MainWindow::WaitUntil([&] { return !window.frame().WorkerRunning(); });
    QVERIFY(window.frame().lastScanCompleted());
    const TreeItem table = window.tree()->FindByLabel(QStringLiteral("dbo.Pictures"));
    QVERIFY(table != kNoTreeItem);
    QVERIFY(window.frame().SelectNode(table));
    MainWindow::WaitUntil([&] { return !window.frame().WorkerRunning(); });
    RecordsModel& grid = window.records()->model();
    QCOMPARE(grid.rowCount(), 2);
    QCOMPARE(grid.Cell(0, 1), std::string("<BINARY DATA>"));
    QCOMPARE(grid.Cell(0, 2), std::string("<BINARY DATA>"));

    ValueViewer* text = window.OpenCellViewer(0, 1);
    QVERIFY(text != nullptr);
    auto* shown = qobject_cast<QPlainTextEdit*>(text->tabs()->widget(0));
    QVERIFY(shown != nullptr);
    QCOMPARE(shown->toPlainText().toStdString(), body_);
    QCOMPARE(text->SavedBytes().toStdString(), body_);

    ValueViewer* image = window.OpenCellViewer(0, 2);
    QVERIFY(image != nullptr);
    QCOMPARE(image->image().size(), QSize(7, 5));
    QCOMPARE(image->tabs()->tabText(0), QStringLiteral("Image"));
    const QString saved = logs_.filePath(QStringLiteral("photo.png"));
    QVERIFY(!image->SaveTo(saved.toStdString()).has_value());
    QFile back(saved);
    QVERIFY(back.open(QIODevice::ReadOnly));
    const QByteArray bytes = back.readAll();
    QCOMPARE(Bytes(bytes.begin(), bytes.end()), picture_);
    // The database file itself is never written over.
    QVERIFY(image->SaveTo(file_->str()).has_value());
    QCOMPARE(QFileInfo(path).size(), qint64(std::filesystem::file_size(file_->path())));

    ValueViewer* wrapped = window.OpenCellViewer(1, 2);
    QVERIFY(wrapped != nullptr);
    QCOMPARE(wrapped->image().size(), QSize(7, 5));
    QCOMPARE(QByteArray(wrapped->SavedBytes()).size(), qsizetype(wrapped_.size()));
    QVERIFY(window.OpenCellViewer(2, 0) == nullptr);  // no such row

    // The ticked table goes to CSV with whole values.
    window.tree()->ItemOf(table)->setCheckState(0, Qt::Checked);
    QTemporaryDir out;
    window.ExportCommand([&](QDialog& dialog) {
      auto& d = static_cast<ExportDialog&>(dialog);
      d.formatList()->setCurrentIndex(0);
      d.outputField()->setText(out.path());
      d.accept();
      return d.result();
    });
    MainWindow::WaitUntil([&] { return !window.frame().WorkerRunning(); });
    QCOMPARE(window.frame().lastExportExitCode(), 0);
    QFile csv(QDir(out.path()).filePath(QStringLiteral("dbo.Pictures.csv")));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QByteArray written = csv.readAll();
    QVERIFY(written.startsWith("Id,Notes,Photo"));
    QVERIFY(written.contains(QByteArray::fromStdString(body_)));
    QVERIFY(told.told.last().startsWith(QStringLiteral("Export completed: 1 table written to ")));
  }
};

GuiTestRegistration registration("CellValuesTest", [] { return std::make_unique<CellValuesTest>(); });

}  // namespace
}  // namespace pagewright::testing

#include "cell_values_test.moc"
