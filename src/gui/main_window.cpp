#include "gui/main_window.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDockWidget>
#include <QEventLoop>
#include <QFileDialog>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>
#include <QStyleFactory>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include "gui/export_dialog.h"
#include "gui/options_dialog.h"

namespace pagewright {
namespace {
QString Text(const char* s) { return QString::fromUtf8(s); }
}  // namespace

MainWindow::MainWindow(AppState& state, std::optional<Messages> messages, QWidget* parent)
    : QMainWindow(parent), state_(state), messages_(messages ? *messages : Messages::Boxes(this)) {
  setWindowTitle(QString::fromLatin1(kProductName));
  resize(1200, 800);

  // Caption bar and records panel.
  auto* central = new QWidget(this);
  caption_ = new QLabel(central);
  QFont captionFont = caption_->font();
  captionFont.setBold(true);
  caption_->setFont(captionFont);
  caption_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  progress_ = new QProgressBar(central);
  progress_->setTextVisible(false);
  progress_->setMaximumWidth(320);
  progress_->hide();
  auto* captionRow = new QHBoxLayout;
  captionRow->setContentsMargins(8, 4, 8, 4);
  captionRow->addWidget(caption_, 1);
  captionRow->addWidget(progress_);
  records_ = new RecordsPanel(central);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(captionRow);
  layout->addWidget(records_, 1);
  setCentralWidget(central);

  // The two panes.
  tree_ = new ObjectTreeView;
  auto* treeDock = new QDockWidget(tr("MS SQL Database Objects"), this);
  treeDock->setObjectName(QStringLiteral("ObjectsPane"));
  treeDock->setWidget(tree_);
  treeDock->setMinimumWidth(200);
  addDockWidget(Qt::LeftDockWidgetArea, treeDock);
  output_ = new QListWidget;
  output_->setSelectionMode(QAbstractItemView::SingleSelection);
  output_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  auto* outputDock = new QDockWidget(tr("Output"), this);
  outputDock->setObjectName(QStringLiteral("OutputPane"));
  outputDock->setWidget(output_);
  outputDock->setMinimumHeight(100);
  addDockWidget(Qt::BottomDockWidgetArea, outputDock);
  resizeDocks({treeDock}, {280}, Qt::Horizontal);
  resizeDocks({outputDock}, {160}, Qt::Vertical);

  statusBar()->addWidget(new QLabel(QString::fromLatin1(kProductName)));
  QSettings settings;
  const QString link = settings.value(QStringLiteral("StatusLinkAddress")).toString();
  if (!link.isEmpty()) {
    auto* label = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(link.toHtmlEscaped()));
    label->setOpenExternalLinks(true);
    statusBar()->addPermanentWidget(label);
  }

  port_ = std::make_unique<WindowPort>(WindowParts{tree_, output_, records_, caption_, progress_}, messages_);
  frame_ = std::make_unique<MainFrame>(state_, *port_, &MainWindow::WaitUntil);

  connect(tree_, &ObjectTreeView::labelClicked, this, [this](TreeItem item) { frame_->SelectNode(item); });
  connect(records_, &RecordsPanel::previousClicked, this, [this] { frame_->PagePrevious(); });
  connect(records_, &RecordsPanel::nextClicked, this, [this] { frame_->PageNext(); });
  connect(records_, &RecordsPanel::cellActivated, this, [this](int row, int column) { OpenCellViewer(row, column); });

  BuildCommands();
  restoreGeometry(settings.value(QStringLiteral("Window/Geometry")).toByteArray());
  restoreState(settings.value(QStringLiteral("Window/State")).toByteArray());
  connect(&commandTimer_, &QTimer::timeout, this, &MainWindow::UpdateCommands);
  commandTimer_.start(100);
  UpdateCommands();
}

MainWindow::~MainWindow() {
  commandTimer_.stop();
  frame_.reset();  // asks a running worker to stop and waits for it
}

void MainWindow::WaitUntil(const std::function<bool()>& done) {
  if (done()) return;
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  poll.start(5);
  loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void MainWindow::BuildCommands() {
  auto make = [this](const QString& label, const QString& tip, auto slot) {
    auto* a = new QAction(label, this);
    a->setToolTip(tip);
    a->setStatusTip(tip);
    connect(a, &QAction::triggered, this, slot);
    actions_ << a;
    return a;
  };
  QAction* open = make(tr("Open"), tr("Open Database file"), [this] { OpenCommand(); });
  open->setShortcut(QKeySequence::Open);
  stop_ = make(tr("Stop"), tr("Stop running process"), [this] { StopCommand(); });
  QAction* load = make(tr("Load"), tr("Load Snapshot"), [this] { LoadSnapshotCommand(); });
  QAction* save = make(tr("Save"), tr("Save Snapshot"), [this] { SaveSnapshotCommand(); });
  QAction* exportAll = make(tr("Export..."), tr("Export the ticked tables (all when none is ticked)"),
                            [this] { ExportCommand(); });
  QAction* help = make(tr("Help"), tr("Help for Korvane Pagewright"), [this] { HelpCommand(); });
  QAction* about = make(tr("About"), tr("About Korvane Pagewright"), [this] { AboutCommand(); });
  QAction* exit = make(tr("Exit"), tr("Close the application"), [this] { close(); });
  exit->setShortcut(QKeySequence::Quit);

  QMenu* file = menuBar()->addMenu(tr("&File"));
  file->addAction(open);
  file->addAction(stop_);
  file->addSeparator();
  file->addAction(exportAll);
  file->addSeparator();
  file->addAction(exit);
  QMenu* snapshot = menuBar()->addMenu(tr("Recovery &SnapShot"));
  snapshot->addAction(load);
  snapshot->addAction(save);
  QMenu* view = menuBar()->addMenu(tr("&View"));
  for (QDockWidget* dock : findChildren<QDockWidget*>()) view->addAction(dock->toggleViewAction());
  BuildLookMenu(view->addMenu(tr("Application Look")));
  QMenu* aboutMenu = menuBar()->addMenu(tr("&About"));
  aboutMenu->addAction(help);
  aboutMenu->addAction(about);

  QToolBar* bar = addToolBar(tr("Pagewright"));
  bar->setObjectName(QStringLiteral("PagewrightBar"));
  bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  bar->addAction(open);
  bar->addAction(stop_);
  bar->addSeparator();
  bar->addAction(load);
  bar->addAction(save);
  bar->addSeparator();
  bar->addAction(exportAll);
  bar->addSeparator();
  bar->addAction(help);
  bar->addAction(about);
}

void MainWindow::BuildLookMenu(QMenu* menu) {
  auto* group = new QActionGroup(menu);
  const QString current = QApplication::style()->name();
  for (const QString& key : QStyleFactory::keys()) {
    QAction* a = menu->addAction(key);
    a->setCheckable(true);
    a->setChecked(key.compare(current, Qt::CaseInsensitive) == 0);
    group->addAction(a);
    connect(a, &QAction::triggered, this, [key] {
      QApplication::setStyle(key);
      QSettings().setValue(QStringLiteral("ApplicationLook"), key);
    });
  }
}

QAction* MainWindow::action(const QString& label) const {
  for (QAction* a : actions_)
    if (a->text() == label) return a;
  return nullptr;
}

void MainWindow::UpdateCommands() { stop_->setEnabled(state_.running.load() != 0); }

bool MainWindow::SayBusy(const char* text) {
  if (state_.running.load() == 0) return false;
  messages_.inform(Text(text), MessageIcon::kInformation);
  return true;
}

void MainWindow::OpenCommand(const std::function<int(QDialog&)>& run) {
  if (SayBusy(shell_text::kPleaseWait)) return;
  frame_->WaitForWorker();  // a stopped worker may still read the options
  OptionsDialog dialog(state_, messages_, this);
  const int result = run ? run(dialog) : dialog.exec();
  if (result == QDialog::Accepted) frame_->Open();
}

void MainWindow::StopCommand() {
  frame_->Stop();
  UpdateCommands();
}

void MainWindow::LoadSnapshotCommand(const QString& given) {
  if (SayBusy(shell_text::kPleaseWait)) return;
  const QString path =
      given.isEmpty() ? QFileDialog::getOpenFileName(this, tr("Load Snapshot"), {}, tr("All Files (*)")) : given;
  if (!path.isEmpty()) frame_->LoadSnapshot(path.toStdString());
}

void MainWindow::SaveSnapshotCommand(const QString& given) {
  if (SayBusy(shell_text::kPleaseWait)) return;
  const QString path = given.isEmpty() ? QFileDialog::getSaveFileName(this, tr("Save Snapshot")) : given;
  if (!path.isEmpty()) frame_->SaveSnapshot(path.toStdString());
}

void MainWindow::ExportCommand(const std::function<int(QDialog&)>& run) {
  if (SayBusy(shell_text::kPleaseWait)) return;
  const std::vector<TreeItem> checked = tree_->CheckedItems();
  int tables = 0;
  for (TreeItem item : checked) {
    const TreeItem parent = tree_->Parent(item);
    if (parent != kNoTreeItem && parent == frame_->userTablesItem()) ++tables;
  }
  ExportDialog dialog(tables == 0 ? tr("every user table (none is ticked)") : tr("%1 ticked tables").arg(tables),
                      messages_, this);
  const int result = run ? run(dialog) : dialog.exec();
  if (result == QDialog::Accepted) frame_->Export(dialog.Settings(), checked);
}

void MainWindow::HelpCommand() {
  if (SayBusy(window_text::kStopFirst)) return;
  const QString address = QSettings().value(QStringLiteral("HelpAddress")).toString();
  if (!address.isEmpty() && QDesktopServices::openUrl(QUrl(address))) return;
  messages_.inform(tr("Open: choose the damaged database file and its backup (the same file when there is no "
                      "backup), then scan.\nClick a table to see its rows, 1000 at a time; double-click a cell "
                      "to see its whole value.\nFile > Export... writes the ticked tables (all when none is "
                      "ticked) as CSV, T-SQL, SQLite or JSON Lines."),
                   MessageIcon::kInformation);
}

void MainWindow::AboutCommand() {
  if (SayBusy(window_text::kStopFirst)) return;
  messages_.inform(tr("Korvane Pagewright %1\nReads damaged Microsoft SQL Server data files without a server.")
                       .arg(QCoreApplication::applicationVersion()),
                   MessageIcon::kInformation);
}

ValueViewer* MainWindow::OpenCellViewer(int row, int column) {
  std::optional<GridCell> cell = frame_->ReadGridCell(row, column);
  if (!cell) return nullptr;
  auto* viewer = new ValueViewer(std::move(*cell), frame_->DatabaseFiles(), this);
  viewer->setAttribute(Qt::WA_DeleteOnClose);
  viewer->show();
  return viewer;
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!frame_->RequestClose()) {
    event->ignore();
    return;
  }
  QSettings settings;
  settings.setValue(QStringLiteral("Window/Geometry"), saveGeometry());
  settings.setValue(QStringLiteral("Window/State"), saveState());
  const QString page = settings.value(QStringLiteral("ProductPageAddress")).toString();
  if (!page.isEmpty()) QDesktopServices::openUrl(QUrl(page));
  event->accept();
}

}  // namespace pagewright
