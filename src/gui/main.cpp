// pagewright-gui: the desktop window.
//
//   pagewright-gui                              the window
//   pagewright-gui --version
//   pagewright-gui --tour FOLDER DATABASE       screenshots of the window
//                                               over DATABASE into FOLDER
#include <QApplication>
#include <QDir>
#include <QLockFile>
#include <QMessageBox>
#include <QSettings>
#include <QStandardPaths>
#include <QTextStream>
#include <QTimer>

#include "gui/main_window.h"
#include "gui/screen_tour.h"
#include "pagestore/collation_table.h"

using namespace pagewright;

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Korvane"));
  QApplication::setApplicationName(QStringLiteral("Pagewright"));
  QApplication::setApplicationVersion(QStringLiteral(PAGEWRIGHT_VERSION));
  const QStringList args = QApplication::arguments();
  const bool tour = args.size() == 4 && args[1] == QStringLiteral("--tour");
  if (args.size() == 2 && args[1] == QStringLiteral("--version")) {
    QTextStream(stdout) << "pagewright-gui " << PAGEWRIGHT_VERSION << "\n";
    return 0;
  }
  if (args.size() > 1 && !tour) {
    const char* usage = "usage: pagewright-gui\n       pagewright-gui --version\n       pagewright-gui --tour FOLDER DATABASE\n";
    if (args[1] == QStringLiteral("--help")) {
      QTextStream(stdout) << usage;
      return 0;
    }
    QTextStream(stderr) << "pagewright-gui: unknown arguments: " << args.mid(1).join(QLatin1Char(' ')) << "\n" << usage;
    return 1;
  }

  const QString look = QSettings().value(QStringLiteral("ApplicationLook")).toString();
  if (!look.isEmpty()) QApplication::setStyle(look);

  // One window at a time per user: a lock in the user's runtime folder.
  QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (runtime.isEmpty()) runtime = QDir::tempPath();
  QLockFile lock(QDir(runtime).filePath(QStringLiteral("pagewright-gui.lock")));
  if (!tour && !lock.tryLock(0)) {
    QMessageBox::information(nullptr, QString::fromLatin1(kProductName),
                             QStringLiteral("Another instance of application is already running"));
    return 1;
  }

  AppState state;
  state.collations = LoadCollationTable(ExecutableFolder());
  if (!tour) {
    MainWindow window(state);
    window.showMaximized();
    return app.exec();
  }

  // The tour answers every message itself, so that nothing waits for a user.
  Messages quiet;
  quiet.inform = [](const QString& text, MessageIcon) { QTextStream(stderr) << text << "\n"; };
  quiet.ask = [](const QString&, MessageIcon) { return true; };
  MainWindow window(state, quiet);
  window.setGeometry(0, 0, 1280, 800);
  window.show();
  int failures = 0;
  QTimer::singleShot(0, [&] {
    failures = RunScreenTour(window, args[3], args[2]);
    app.exit(0);
  });
  app.exec();
  return failures == 0 ? 0 : 1;
}
