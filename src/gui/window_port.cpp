#include "gui/window_port.h"

#include <QMessageBox>

namespace pagewright {
namespace {
QString Text(const std::string& s) { return QString::fromStdString(s); }

QMessageBox::Icon BoxIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kError: return QMessageBox::Critical;
    case MessageIcon::kQuestion: return QMessageBox::Question;
    case MessageIcon::kInformation: break;
  }
  return QMessageBox::Information;
}

// The progress bar counts in steps of a fixed range, whatever the range
// of the work (page numbers of a file pass what the bar can hold).
constexpr int kProgressSteps = 10000;
}  // namespace

Messages Messages::Boxes(QWidget* owner) {
  Messages m;
  m.inform = [owner](const QString& text, MessageIcon icon) {
    QMessageBox box(BoxIcon(icon), QString::fromLatin1(kProductName), text, QMessageBox::Ok, owner);
    box.exec();
  };
  m.ask = [owner](const QString& text, MessageIcon icon) {
    QMessageBox box(BoxIcon(icon), QString::fromLatin1(kProductName), text, QMessageBox::Yes | QMessageBox::No, owner);
    return box.exec() == QMessageBox::Yes;
  };
  return m;
}

WindowPort::WindowPort(WindowParts parts, Messages messages, QObject* parent)
    : QObject(parent), parts_(parts), messages_(std::move(messages)) {
  parts_.progress->setRange(0, kProgressSteps);
}

void WindowPort::Post(std::function<void()> call) {
  if (OnWindowThread()) {
    call();
    return;
  }
  QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

void WindowPort::InsertPaneLine(int index, const std::string& text) {
  Post([this, index, t = Text(text)] {
    parts_.output->insertItem(index, t);
    parts_.output->scrollToBottom();
  });
}

void WindowPort::SetPaneLine(int index, const std::string& text) {
  Post([this, index, t = Text(text)] {
    if (QListWidgetItem* item = parts_.output->item(index)) item->setText(t);
  });
}

void WindowPort::SetCaption(const std::string& text) { Post([this, t = Text(text)] { parts_.caption->setText(t); }); }

void WindowPort::SetProgressRange(int64_t lower, int64_t upper) {
  Post([this, lower, upper] {
    lower_ = lower;
    upper_ = upper;
    SetProgressNow(lower);
  });
}

void WindowPort::SetProgressPos(int64_t position) { Post([this, position] { SetProgressNow(position); }); }

void WindowPort::SetProgressNow(int64_t position) {
  const int64_t span = upper_ - lower_;
  const int64_t step = span <= 0 ? 0 : (std::clamp(position, lower_, upper_) - lower_) * kProgressSteps / span;
  parts_.progress->setValue(static_cast<int>(step));
}

void WindowPort::ShowProgress(bool visible) { Post([this, visible] { parts_.progress->setVisible(visible); }); }

TreeItem WindowPort::InsertTreeItem(TreeItem parent, const std::string& label) {
  return Wait([&] { return parts_.tree->Insert(parent, Text(label)); });
}
void WindowPort::SetTreeItemData(TreeItem item, int32_t data) {
  Post([this, item, data] { parts_.tree->SetItemData(item, data); });
}
int32_t WindowPort::TreeItemData(TreeItem item) { return Wait([&] { return parts_.tree->ItemData(item); }); }
void WindowPort::SetTreeItemBold(TreeItem item, bool bold) { Post([this, item, bold] { parts_.tree->SetBold(item, bold); }); }
void WindowPort::SortTreeChildren(TreeItem item) { Post([this, item] { parts_.tree->SortChildren(item); }); }
void WindowPort::DeleteAllTreeItems() { Post([this] { parts_.tree->RemoveAll(); }); }
std::string WindowPort::TreeItemLabel(TreeItem item) {
  return Wait([&] { return parts_.tree->Label(item).toStdString(); });
}
TreeItem WindowPort::TreeItemParent(TreeItem item) { return Wait([&] { return parts_.tree->Parent(item); }); }
TreeItem WindowPort::TreeFirstChild(TreeItem item) { return Wait([&] { return parts_.tree->FirstChild(item); }); }
TreeItem WindowPort::TreeNextSibling(TreeItem item) { return Wait([&] { return parts_.tree->NextSibling(item); }); }
TreeItem WindowPort::SelectedTreeItem() { return Wait([&] { return parts_.tree->Selected(); }); }
void WindowPort::SelectTreeItem(TreeItem item) { Post([this, item] { parts_.tree->Select(item); }); }
void WindowPort::RedrawTree() { Post([this] { parts_.tree->viewport()->update(); }); }

void WindowPort::ShowGridView() { Post([this] { parts_.records->ShowGrid(); }); }
void WindowPort::ShowTextView() { Post([this] { parts_.records->ShowText(); }); }
void WindowPort::SetRecordsText(const std::string& text) {
  Post([this, t = Text(text)] { parts_.records->SetText(t); });
}
void WindowPort::SetGridColumns(const std::vector<std::string>& headings) {
  Post([this, headings] { parts_.records->SetColumns(headings); });
}
void WindowPort::ClearGrid() { Post([this] { parts_.records->ClearGrid(); }); }
void WindowPort::InsertGridRow(int index, const std::vector<std::string>& cells) {
  Post([this, index, cells] { parts_.records->model().InsertRow(index, cells); });
}
void WindowPort::DeleteGridRow(int index) { Post([this, index] { parts_.records->model().RemoveRow(index); }); }
void WindowPort::DeleteAllGridRows() { Post([this] { parts_.records->model().RemoveAllRows(); }); }
int WindowPort::GridRowCount() { return Wait([&] { return parts_.records->model().rowCount(); }); }
void WindowPort::SetPageLabel(const std::string& text) {
  Post([this, t = Text(text)] { parts_.records->SetPageLabel(t); });
}
void WindowPort::EnablePagingButtons(bool previous, bool next) {
  Post([this, previous, next] { parts_.records->EnablePaging(previous, next); });
}
void WindowPort::RepaintGrid() { Post([this] { parts_.records->grid()->viewport()->update(); }); }

void WindowPort::ShowMessage(const std::string& text, MessageIcon icon) {
  Wait([&] { messages_.inform(Text(text), icon); });
}
bool WindowPort::AskYesNo(const std::string& text, MessageIcon icon) {
  return Wait([&] { return messages_.ask(Text(text), icon); });
}

}  // namespace pagewright
