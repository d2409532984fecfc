// The records panel: a table's rows as a grid (one grid page of at most
// 1000 rows, with the page label and the "Previous Records" and "Next
// Records" buttons) or a read-only text box for status text and scripts.
//
// The grid is a model over the rows of the grid page: cells are painted
// from it on demand, never held as widgets.
#ifndef PAGEWRIGHT_GUI_RECORDS_PANEL_H_
#define PAGEWRIGHT_GUI_RECORDS_PANEL_H_

#include <QAbstractTableModel>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <string>
#include <vector>

namespace pagewright {

class RecordsModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  using QAbstractTableModel::QAbstractTableModel;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  void SetColumns(const std::vector<std::string>& headings);
  // Inserted at `row`, or appended when `row` is past the end.
  void InsertRow(int row, const std::vector<std::string>& cells);
  void RemoveRow(int row);
  void RemoveAllRows();
  void Clear();  // rows and columns
  const std::string& Cell(int row, int column) const;

 private:
  std::vector<std::string> headings_;
  std::vector<std::vector<std::string>> rows_;
};

class RecordsPanel : public QWidget {
  Q_OBJECT
 public:
  explicit RecordsPanel(QWidget* parent = nullptr);

  void ShowGrid();
  void ShowText();
  bool gridShown() const { return stack_->currentWidget() == gridPage_; }
  void SetText(const QString& text);
  QString text() const { return text_->toPlainText(); }
  void SetColumns(const std::vector<std::string>& headings);
  void ClearGrid();
  void SetPageLabel(const QString& text) { pageLabel_->setText(text); }
  QString pageLabel() const { return pageLabel_->text(); }
  void EnablePaging(bool previous, bool next);
  RecordsModel& model() { return model_; }
  QTableView* grid() const { return grid_; }
  QPushButton* previousButton() const { return previous_; }
  QPushButton* nextButton() const { return next_; }
  // The selected cells as tab-separated lines, in grid order.
  QString SelectedCellsText() const;

 signals:
  void previousClicked();
  void nextClicked();
  void cellActivated(int row, int column);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  RecordsModel model_;
  QStackedWidget* stack_;
  QWidget* gridPage_;
  QTableView* grid_;
  QLabel* pageLabel_;
  QPushButton* previous_;
  QPushButton* next_;
  QPlainTextEdit* text_;
};

}  // namespace pagewright

#endif  // PAGEWRIGHT_GUI_RECORDS_PANEL_H_
