// File > Export...: the format and where the output goes (a folder for CSV
// and JSON Lines, a file for SQLite and T-SQL).
#ifndef PAGEWRIGHT_GUI_EXPORT_DIALOG_H_
#define PAGEWRIGHT_GUI_EXPORT_DIALOG_H_

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>

#include "export/export_run.h"
#include "gui/window_port.h"

namespace pagewright {

class ExportDialog : public QDialog {
  Q_OBJECT
 public:
  // `tablesText`: which tables will be written, as the window counts them.
  ExportDialog(const QString& tablesText, Messages messages, QWidget* parent = nullptr);

  ExportSettings Settings() const;
  QComboBox* formatList() const { return format_; }
  QLineEdit* outputField() const { return output_; }
  void accept() override;

 private:
  void Browse();
  bool FolderOutput() const;

  Messages messages_;
  QComboBox* format_;
  QLineEdit* output_;
};

}  // namespace pagewright

#endif  // PAGEWRIGHT_GUI_EXPORT_DIALOG_H_
