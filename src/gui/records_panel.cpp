#include "gui/records_panel.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <algorithm>
#include <map>

namespace pagewright {

int RecordsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int RecordsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(headings_.size());
}

QVariant RecordsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
  const std::string& cell = Cell(index.row(), index.column());
  // A long value is shown cut in the cell; the viewer shows it whole.
  if (role == Qt::DisplayRole && cell.size() > 4096) return QString::fromUtf8(cell.data(), 4096) + QStringLiteral("…");
  if (role == Qt::ToolTipRole && cell.size() > 1024) return {};
  return QString::fromStdString(cell);
}

QVariant RecordsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return section + 1;
  return section >= 0 && section < static_cast<int>(headings_.size()) ? QString::fromStdString(headings_[section])
                                                                        : QVariant();
}

void RecordsModel::SetColumns(const std::vector<std::string>& headings) {
  beginResetModel();
  rows_.clear();
  headings_ = headings;
  endResetModel();
}

void RecordsModel::InsertRow(int row, const std::vector<std::string>& cells) {
  row = std::clamp(row, 0, static_cast<int>(rows_.size()));
  beginInsertRows({}, row, row);
  rows_.insert(rows_.begin() + row, cells);
  endInsertRows();
}

void RecordsModel::RemoveRow(int row) {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return;
  beginRemoveRows({}, row, row);
  rows_.erase(rows_.begin() + row);
  endRemoveRows();
}

void RecordsModel::RemoveAllRows() {
  beginResetModel();
  rows_.clear();
  endResetModel();
}

void RecordsModel::Clear() {
  beginResetModel();
  rows_.clear();
  headings_.clear();
  endResetModel();
}

const std::string& RecordsModel::Cell(int row, int column) const {
  static const std::string kNone;
  if (row < 0 || row >= static_cast<int>(rows_.size()) || column < 0) return kNone;
  const auto& cells = rows_[static_cast<size_t>(row)];
  return static_cast<size_t>(column) < cells.size() ? cells[static_cast<size_t>(column)] : kNone;
}

RecordsPanel::RecordsPanel(QWidget* parent) : QWidget(parent) {
  QFont regular(QStringLiteral("Arial"));
  regular.setPixelSize(16);
  QFont bold = regular;
  bold.setBold(true);

  stack_ = new QStackedWidget(this);
  gridPage_ = new QWidget(stack_);
  grid_ = new QTableView(gridPage_);
  grid_->setModel(&model_);
  grid_->setShowGrid(true);
  grid_->setSelectionBehavior(QAbstractItemView::SelectItems);
  grid_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  grid_->setWordWrap(false);
  grid_->horizontalHeader()->setFont(bold);
  grid_->horizontalHeader()->setDefaultSectionSize(200);
  grid_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 6);
  grid_->installEventFilter(this);
  connect(grid_, &QTableView::doubleClicked, this,
          [this](const QModelIndex& index) { emit cellActivated(index.row(), index.column()); });

  pageLabel_ = new QLabel(gridPage_);
  pageLabel_->setFont(regular);
  pageLabel_->setMinimumWidth(490);
  previous_ = new QPushButton(tr("Previous Records"), gridPage_);
  next_ = new QPushButton(tr("Next Records"), gridPage_);
  previous_->setFont(regular);
  next_->setFont(regular);
  connect(previous_, &QPushButton::clicked, this, &RecordsPanel::previousClicked);
  connect(next_, &QPushButton::clicked, this, &RecordsPanel::nextClicked);

  auto* bar = new QHBoxLayout;
  bar->setContentsMargins(10, 4, 10, 4);
  bar->addWidget(pageLabel_);
  bar->addStretch(1);
  bar->addWidget(previous_);
  bar->addWidget(next_);
  auto* gridLayout = new QVBoxLayout(gridPage_);
  gridLayout->setContentsMargins(0, 0, 0, 0);
  gridLayout->addWidget(grid_, 1);
  gridLayout->addLayout(bar);

  text_ = new QPlainTextEdit(stack_);
  text_->setReadOnly(true);
  text_->setFont(regular);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);

  stack_->addWidget(gridPage_);
  stack_->addWidget(text_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(stack_);
  ShowText();
}

void RecordsPanel::ShowGrid() {
  stack_->setCurrentWidget(gridPage_);
  EnablePaging(false, false);
}

void RecordsPanel::ShowText() { stack_->setCurrentWidget(text_); }

void RecordsPanel::SetText(const QString& text) {
  text_->clear();
  text_->setPlainText(text);
}

void RecordsPanel::SetColumns(const std::vector<std::string>& headings) {
  model_.SetColumns(headings);
  for (int c = 0; c < static_cast<int>(headings.size()); ++c) grid_->setColumnWidth(c, 200);
}

void RecordsPanel::ClearGrid() {
  model_.Clear();
  text_->clear();
}

void RecordsPanel::EnablePaging(bool previous, bool next) {
  previous_->setEnabled(previous);
  next_->setEnabled(next);
}

QString RecordsPanel::SelectedCellsText() const {
  std::map<int, std::map<int, QString>> cells;
  for (const QModelIndex& index : grid_->selectionModel()->selectedIndexes())
    cells[index.row()][index.column()] = QString::fromStdString(model_.Cell(index.row(), index.column()));
  QStringList lines;
  for (const auto& [row, columns] : cells) {
    QStringList fields;
    for (const auto& [column, text] : columns) fields << text;
    lines << fields.join(QLatin1Char('\t'));
  }
  return lines.join(QLatin1Char('\n'));
}

bool RecordsPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == grid_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
    QApplication::clipboard()->setText(SelectedCellsText());
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace pagewright
