// The recovery options dialog "Select Corrupted MDF file": the damaged file
// and its backup, the recovery mode, deleted rows, the collation and the
// log folder. Nothing is stored before OK: a cancelled dialog leaves every
// option as it was.
#ifndef PAGEWRIGHT_GUI_OPTIONS_DIALOG_H_
#define PAGEWRIGHT_GUI_OPTIONS_DIALOG_H_

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "app/main_frame.h"
#include "gui/window_port.h"

namespace pagewright {

class OptionsDialog : public QDialog {
  Q_OBJECT
 public:
  OptionsDialog(AppState& state, Messages messages, QWidget* parent = nullptr);

  // What the browse buttons would put in the read-only fields.
  void SetPaths(const QString& mdf, const QString& backup, const QString& logFolder);
  // The choices as the controls show them.
  RecoveryOptions Choices() const;

  // The controls, for the tests and the screen tour.
  QComboBox* modeList() const { return mode_; }
  QComboBox* collationList() const { return collation_; }
  QRadioButton* autoDetect() const { return auto_; }
  QRadioButton* manual() const { return manual_; }
  QCheckBox* sql2000() const { return sql2000_; }
  QCheckBox* showDeleted() const { return deleted_; }
  QCheckBox* showAdvancedDeleted() const { return advancedDeleted_; }
  QPushButton* okButton() const { return ok_; }

  void accept() override;

 private:
  void BrowseDatabase(QLineEdit* field);
  void BrowseLogFolder();
  void CollationModeChanged();

  AppState& state_;
  Messages messages_;
  QLineEdit* mdf_;
  QLineEdit* backup_;
  QLineEdit* log_;
  QComboBox* mode_;
  QCheckBox* sql2000_;
  QCheckBox* deleted_;
  QCheckBox* advancedDeleted_;
  QRadioButton* auto_;
  QRadioButton* manual_;
  QComboBox* collation_;
  QPushButton* ok_;
};

}  // namespace pagewright

#endif  // PAGEWRIGHT_GUI_OPTIONS_DIALOG_H_
