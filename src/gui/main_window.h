// The main window: the tree pane "MS SQL Database Objects" and the output
// pane "Output" (both dockable), the records panel, the caption bar with
// its progress bar and the status bar; the commands as menu and toolbar.
//
// Every command goes to the shell's main frame; workers reach the widgets
// only through the window's UI port.
#ifndef PAGEWRIGHT_GUI_MAIN_WINDOW_H_
#define PAGEWRIGHT_GUI_MAIN_WINDOW_H_

#include <QAction>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <memory>

#include "app/main_frame.h"
#include "gui/object_tree_view.h"
#include "gui/records_panel.h"
#include "gui/value_viewer.h"
#include "gui/window_port.h"

namespace pagewright {

namespace window_text {
constexpr const char* kStopFirst = "Please stop the running process to continue the process.";
}  // namespace window_text

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  // `messages` empty: message boxes.
  explicit MainWindow(AppState& state, std::optional<Messages> messages = std::nullopt, QWidget* parent = nullptr);
  ~MainWindow() override;

  MainFrame& frame() { return *frame_; }
  WindowPort& port() { return *port_; }
  ObjectTreeView* tree() const { return tree_; }
  QListWidget* output() const { return output_; }
  RecordsPanel* records() const { return records_; }
  QLabel* caption() const { return caption_; }
  QProgressBar* progress() const { return progress_; }
  QAction* action(const QString& label) const;

  // Runs the window's events until `done()` holds (the tests and the tour
  // wait so for a worker; user input is held back meanwhile).
  static void WaitUntil(const std::function<bool()>& done);

  // The commands, as the menu and the toolbar run them. The options dialog
  // is given to `configure` before it runs (the tests fill it in).
  void OpenCommand(const std::function<int(QDialog&)>& run = {});
  void StopCommand();
  void LoadSnapshotCommand(const QString& path = {});
  void SaveSnapshotCommand(const QString& path = {});
  void ExportCommand(const std::function<int(QDialog&)>& run = {});
  void HelpCommand();
  void AboutCommand();
  // The viewer of grid cell (`row`, `column`): its whole value.
  ValueViewer* OpenCellViewer(int row, int column);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildCommands();
  void BuildLookMenu(QMenu* menu);
  void UpdateCommands();
  bool SayBusy(const char* text);

  AppState& state_;
  Messages messages_;
  ObjectTreeView* tree_;
  QListWidget* output_;
  RecordsPanel* records_;
  QLabel* caption_;
  QProgressBar* progress_;
  std::unique_ptr<WindowPort> port_;
  std::unique_ptr<MainFrame> frame_;
  QTimer commandTimer_;
  QList<QAction*> actions_;
  QAction* stop_ = nullptr;
};

}  // namespace pagewright

#endif  // PAGEWRIGHT_GUI_MAIN_WINDOW_H_
