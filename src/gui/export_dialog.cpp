#include "gui/export_dialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>

namespace pagewright {

ExportDialog::ExportDialog(const QString& tablesText, Messages messages, QWidget* parent)
    : QDialog(parent), messages_(std::move(messages)) {
  setWindowTitle(tr("Export"));
  format_ = new QComboBox(this);
  format_->addItem(tr("CSV files (one per table, in a folder)"), static_cast<int>(ExportFormat::kCsv));
  format_->addItem(tr("T-SQL script"), static_cast<int>(ExportFormat::kSql));
  format_->addItem(tr("SQLite database"), static_cast<int>(ExportFormat::kSqlite));
  format_->addItem(tr("JSON Lines files (one per table, in a folder)"), static_cast<int>(ExportFormat::kJsonl));
  output_ = new QLineEdit(this);
  output_->setMinimumWidth(380);
  auto* browse = new QPushButton(QStringLiteral("..."), this);
  connect(browse, &QPushButton::clicked, this, &ExportDialog::Browse);
  auto* outputRow = new QHBoxLayout;
  outputRow->addWidget(output_, 1);
  outputRow->addWidget(browse);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &ExportDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &ExportDialog::reject);

  auto* form = new QFormLayout(this);
  form->addRow(tr("Tables:"), new QLabel(tablesText, this));
  form->addRow(tr("Format:"), format_);
  form->addRow(tr("Output:"), outputRow);
  form->addRow(buttons);
}

bool ExportDialog::FolderOutput() const {
  const auto f = static_cast<ExportFormat>(format_->currentData().toInt());
  return f == ExportFormat::kCsv || f == ExportFormat::kJsonl;
}

void ExportDialog::Browse() {
  const QString path = FolderOutput()
                           ? QFileDialog::getExistingDirectory(this, tr("Export into folder"), output_->text())
                           : QFileDialog::getSaveFileName(this, tr("Export to file"), output_->text());
  if (!path.isEmpty()) output_->setText(path);
}

ExportSettings ExportDialog::Settings() const {
  ExportSettings s;
  s.format = static_cast<ExportFormat>(format_->currentData().toInt());
  s.output = output_->text().trimmed().toStdString();
  return s;
}

void ExportDialog::accept() {
  const QString output = output_->text().trimmed();
  if (output.isEmpty()) {
    messages_.inform(tr("Please choose where the export goes."), MessageIcon::kInformation);
    return;
  }
  if (!FolderOutput() && QFileInfo(output).isDir()) {
    messages_.inform(tr("%1 is a folder: this format is written to a file.").arg(output), MessageIcon::kInformation);
    return;
  }
  QDialog::accept();
}

}  // namespace pagewright
