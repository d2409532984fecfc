#include "gui/screen_tour.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QPainter>
#include <QTimer>
#include <QTemporaryDir>
#include <QTextStream>

#include "gui/options_dialog.h"

namespace pagewright {
namespace {

// The main window with `over` (a dialog) drawn where it stands on screen.
void Settle(int milliseconds);

QImage Shot(QWidget& window, QWidget* over) {
  Settle(150);  // the command states follow the worker's end within 100 ms
  QImage image = window.grab().toImage();
  if (over != nullptr) {
    QPainter painter(&image);
    const QPoint at = window.mapFromGlobal(over->mapToGlobal(QPoint(0, 0)));
    const QPoint place = over->isWindow() ? (window.rect().center() - over->rect().center()) : at;
    // A window of its own gets a title strip (the screen may have no window
    // manager to draw one).
    constexpr int kTitle = 26;
    const QRect title(place.x(), place.y() - kTitle, over->width(), kTitle);
    painter.fillRect(title, QColor(0x3b, 0x5b, 0x8c));
    painter.setPen(Qt::white);
    painter.drawText(title.adjusted(10, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, over->windowTitle());
    painter.setPen(QColor(0x3b, 0x5b, 0x8c));
    painter.drawRect(QRect(place, over->size()).adjusted(-1, -1, 0, 0));
    painter.drawPixmap(place, over->grab());
  }
  return image;
}

void Settle(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace

int RunScreenTour(MainWindow& window, const QString& database, const QString& folder, const TourStops& stops) {
  QDir().mkpath(folder);
  int failures = 0;
  auto save = [&](const QImage& image, const char* name) {
    const QString path = QDir(folder).filePath(QString::fromLatin1(name));
    if (image.isNull() || !image.save(path)) {
      ++failures;
      QTextStream(stderr) << "pagewright-gui: " << path << ": the screenshot could not be saved\n";
    }
  };
  MainFrame& frame = window.frame();
  auto waitForWorker = [&] { MainWindow::WaitUntil([&] { return !frame.WorkerRunning(); }); };
  auto select = [&](const QString& label) {
    const TreeItem item = window.tree()->FindByLabel(label);
    if (item == kNoTreeItem) {
      ++failures;
      QTextStream(stderr) << "pagewright-gui: no tree item " << label << "\n";
      return false;
    }
    window.tree()->Select(item);
    window.tree()->scrollToItem(window.tree()->ItemOf(item));
    if (frame.SelectNode(item)) waitForWorker();
    return true;
  };

  Settle(300);
  save(Shot(window, nullptr), "window-empty.png");

  QTemporaryDir logs;
  window.OpenCommand([&](QDialog& dialog) {
    auto& options = static_cast<OptionsDialog&>(dialog);
    options.SetPaths(database, database, logs.path());
    options.show();
    Settle(300);
    save(Shot(window, &options), "options-dialog.png");
    options.accept();
    return options.result();
  });
  waitForWorker();
  // The scan ends with a message box; the tour's own messages answer it.
  if (!frame.lastScanCompleted()) {
    ++failures;
    QTextStream(stderr) << "pagewright-gui: the scan of " << database << " did not complete\n";
    return failures;
  }

  if (select(stops.table)) save(Shot(window, nullptr), "table-grid.png");

  // The first view the tree lists.
  const TreeItem views = window.tree()->FindByLabel(QStringLiteral("Views"));
  const TreeItem firstView = window.tree()->FirstChild(views);
  if (firstView != kNoTreeItem && select(window.tree()->Label(firstView))) {
    save(Shot(window, nullptr), "view-text.png");
  } else {
    ++failures;
  }

  auto view = [&](const QString& columnName, const char* shot) {
    int column = -1;
    RecordsModel& model = window.records()->model();
    for (int c = 0; c < model.columnCount(); ++c)
      if (model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString() == columnName) column = c;
    ValueViewer* viewer = column >= 0 ? window.OpenCellViewer(0, column) : nullptr;
    if (viewer == nullptr) {
      ++failures;
      QTextStream(stderr) << "pagewright-gui: no value to view in " << stops.valueTable << "." << columnName << "\n";
      return;
    }
    Settle(300);
    save(Shot(window, viewer), shot);
    viewer->close();
  };
  if (select(stops.valueTable)) {
    view(stops.valueColumn, "value-viewer.png");
    view(stops.imageColumn, "value-viewer-image.png");
  }
  frame.WaitForWorker();
  return failures;
}

}  // namespace pagewright
