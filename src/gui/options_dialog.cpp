#include "gui/options_dialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace pagewright {
namespace {
QLineEdit* PathField(QWidget* parent) {
  auto* field = new QLineEdit(parent);
  field->setReadOnly(true);
  field->setMinimumWidth(420);
  return field;
}
}  // namespace

OptionsDialog::OptionsDialog(AppState& state, Messages messages, QWidget* parent)
    : QDialog(parent), state_(state), messages_(std::move(messages)) {
  setWindowTitle(tr("Select Corrupted MDF file"));

  auto* files = new QGroupBox(this);
  auto* grid = new QGridLayout(files);
  mdf_ = PathField(files);
  backup_ = PathField(files);
  auto* browseMdf = new QPushButton(QStringLiteral("..."), files);
  auto* browseBackup = new QPushButton(QStringLiteral("...."), files);
  mode_ = new QComboBox(files);
  mode_->addItems({tr("Standard Mode"), tr("Advanced Mode")});
  mode_->setCurrentIndex(0);
  sql2000_ = new QCheckBox(tr("Is SQL 2000"), files);
  deleted_ = new QCheckBox(tr("Show deleted records"), files);
  advancedDeleted_ = new QCheckBox(tr("Show Advanced Deleted records"), files);
  grid->addWidget(new QLabel(tr("Select MDF File Path:"), files), 0, 0);
  grid->addWidget(mdf_, 0, 1, 1, 3);
  grid->addWidget(browseMdf, 0, 4);
  grid->addWidget(new QLabel(tr("Select Backup MDF file:"), files), 1, 0);
  grid->addWidget(backup_, 1, 1, 1, 3);
  grid->addWidget(browseBackup, 1, 4);
  grid->addWidget(new QLabel(tr("Select Recovery Mode:"), files), 2, 0);
  grid->addWidget(mode_, 2, 1);
  grid->addWidget(sql2000_, 2, 2);
  grid->addWidget(deleted_, 3, 1);
  grid->addWidget(advancedDeleted_, 3, 2);

  auto* collations = new QGroupBox(tr("Collation Option:"), this);
  auto* row = new QHBoxLayout(collations);
  auto_ = new QRadioButton(tr("Auto detect"), collations);
  manual_ = new QRadioButton(tr("Manual"), collations);
  collation_ = new QComboBox(collations);
  collation_->setMinimumWidth(260);
  // The collation table's names, sorted; the item data is the key's low
  // 32 bits, as the table's keys are.
  QStringList names;
  for (const auto& [key, entry] : state_.collations) {
    collation_->addItem(QString::fromStdString(entry.name), QVariant::fromValue<qlonglong>(key & 0xFFFFFFFF));
  }
  collation_->model()->sort(0);
  collation_->setCurrentIndex(0);
  row->addWidget(auto_);
  row->addWidget(manual_);
  row->addWidget(collation_, 1);
  auto_->setChecked(true);
  collation_->setEnabled(false);
  connect(auto_, &QRadioButton::toggled, this, &OptionsDialog::CollationModeChanged);

  auto* logBox = new QGroupBox(this);
  auto* logRow = new QGridLayout(logBox);
  log_ = PathField(logBox);
  auto* browseLog = new QPushButton(QStringLiteral("..."), logBox);
  logRow->addWidget(new QLabel(tr("Select Log file path:"), logBox), 0, 0);
  logRow->addWidget(log_, 1, 0);
  logRow->addWidget(browseLog, 1, 1);
  // The user's desktop folder, made when missing.
  const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  if (!desktop.isEmpty()) {
    QDir().mkpath(desktop);
    log_->setText(QDir::toNativeSeparators(desktop));
  }

  auto* buttons = new QDialogButtonBox(this);
  ok_ = buttons->addButton(tr("OK"), QDialogButtonBox::AcceptRole);
  ok_->setDefault(true);
  buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
  buttons->setCenterButtons(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &OptionsDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &OptionsDialog::reject);

  connect(browseMdf, &QPushButton::clicked, this, [this] { BrowseDatabase(mdf_); });
  connect(browseBackup, &QPushButton::clicked, this, [this] { BrowseDatabase(backup_); });
  connect(browseLog, &QPushButton::clicked, this, &OptionsDialog::BrowseLogFolder);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(files);
  layout->addWidget(collations);
  layout->addWidget(logBox);
  layout->addWidget(buttons);
}

void OptionsDialog::SetPaths(const QString& mdf, const QString& backup, const QString& logFolder) {
  mdf_->setText(mdf);
  backup_->setText(backup);
  log_->setText(logFolder);
}

void OptionsDialog::BrowseDatabase(QLineEdit* field) {
  const QString path = QFileDialog::getOpenFileName(this, windowTitle(), field->text(),
                                                    tr(".mdf Files (*.mdf *.MDF);;All Files (*)"));
  if (path.isEmpty()) return;
  if (!QFileInfo(path).isFile()) {
    messages_.inform(tr("Please select valid mdf file."), MessageIcon::kInformation);
    return;
  }
  field->setText(QDir::toNativeSeparators(path));
}

void OptionsDialog::BrowseLogFolder() {
  const QString chosen = QFileDialog::getExistingDirectory(this, tr("Select location to save Log file(s)."),
                                                           log_->text())
                             .trimmed();
  if (!chosen.isEmpty() && QFileInfo(chosen).isDir()) log_->setText(QDir::toNativeSeparators(chosen));
}

void OptionsDialog::CollationModeChanged() {
  collation_->setEnabled(manual_->isChecked());
}

RecoveryOptions OptionsDialog::Choices() const {
  RecoveryOptions o;
  o.mdfPath = mdf_->text().toStdString();
  o.backupMdfPath = backup_->text().toStdString();
  o.logFolder = log_->text().toStdString();
  o.advanced = mode_->currentIndex() == 1;
  o.sql2000 = sql2000_->isChecked();
  o.showDeleted = deleted_->isChecked();
  o.showAdvancedDeleted = advancedDeleted_->isChecked();
  o.collationAutoDetect = auto_->isChecked();
  // "Manual" means the collation the list shows.
  if (!o.collationAutoDetect && collation_->currentIndex() >= 0)
    o.manualCollationKey = collation_->currentData().toLongLong();
  return o;
}

void OptionsDialog::accept() {
  const std::string refusal = ApplyRecoveryOptions(state_, Choices());
  if (!refusal.empty()) {
    messages_.inform(QString::fromStdString(refusal), MessageIcon::kInformation);
    return;
  }
  QDialog::accept();
}

}  // namespace pagewright
