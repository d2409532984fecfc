#include "gui/object_tree_view.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTreeWidgetItemIterator>

namespace pagewright {
namespace {
constexpr int kIdRole = Qt::UserRole + 1;
constexpr int kDataRole = Qt::UserRole + 2;
}  // namespace

ObjectTreeView::ObjectTreeView(QWidget* parent) : QTreeWidget(parent) {
  setColumnCount(1);
  header()->hide();
  setRootIsDecorated(true);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
}

TreeItem ObjectTreeView::Insert(TreeItem parent, const QString& label) {
  auto* item = new QTreeWidgetItem(QStringList{label});
  const TreeItem id = nextId_++;
  item->setData(0, kIdRole, QVariant::fromValue<qlonglong>(id));
  item->setToolTip(0, label);  // long names are cut at the pane's edge
  // A ticked group ticks what it holds; a partly ticked one shows so.
  item->setFlags(item->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate);
  item->setCheckState(0, Qt::Unchecked);
  if (QTreeWidgetItem* p = ItemOf(parent)) {
    p->insertChild(0, item);
  } else {
    addTopLevelItem(item);
    item->setExpanded(true);
  }
  items_[id] = item;
  return id;
}

QTreeWidgetItem* ObjectTreeView::ItemOf(TreeItem item) const {
  auto it = items_.find(item);
  return it == items_.end() ? nullptr : it->second;
}

TreeItem ObjectTreeView::IdOf(const QTreeWidgetItem* item) const {
  return item == nullptr ? kNoTreeItem : item->data(0, kIdRole).toLongLong();
}

void ObjectTreeView::SetItemData(TreeItem item, int32_t data) {
  if (auto* i = ItemOf(item)) i->setData(0, kDataRole, data);
}

int32_t ObjectTreeView::ItemData(TreeItem item) const {
  const auto* i = ItemOf(item);
  return i == nullptr ? 0 : i->data(0, kDataRole).toInt();
}

void ObjectTreeView::SetBold(TreeItem item, bool bold) {
  if (auto* i = ItemOf(item)) {
    QFont f = i->font(0);
    f.setBold(bold);
    i->setFont(0, f);
  }
}

void ObjectTreeView::SortChildren(TreeItem item) {
  if (auto* i = ItemOf(item)) i->sortChildren(0, Qt::AscendingOrder);
}

void ObjectTreeView::RemoveAll() {
  clear();
  items_.clear();
}

QString ObjectTreeView::Label(TreeItem item) const {
  const auto* i = ItemOf(item);
  return i == nullptr ? QString() : i->text(0);
}

TreeItem ObjectTreeView::Parent(TreeItem item) const {
  const auto* i = ItemOf(item);
  return i == nullptr ? kNoTreeItem : IdOf(i->parent());
}

TreeItem ObjectTreeView::FirstChild(TreeItem item) const {
  const auto* i = ItemOf(item);
  return i == nullptr || i->childCount() == 0 ? kNoTreeItem : IdOf(i->child(0));
}

TreeItem ObjectTreeView::NextSibling(TreeItem item) const {
  const auto* i = ItemOf(item);
  if (i == nullptr) return kNoTreeItem;
  if (const QTreeWidgetItem* p = i->parent()) {
    const int at = p->indexOfChild(const_cast<QTreeWidgetItem*>(i));
    return at + 1 < p->childCount() ? IdOf(p->child(at + 1)) : kNoTreeItem;
  }
  const int at = indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(i));
  return at + 1 < topLevelItemCount() ? IdOf(topLevelItem(at + 1)) : kNoTreeItem;
}

TreeItem ObjectTreeView::Selected() const { return IdOf(currentItem()); }

void ObjectTreeView::Select(TreeItem item) {
  if (auto* i = ItemOf(item)) setCurrentItem(i);
}

TreeItem ObjectTreeView::FindByLabel(const QString& label) const {
  for (QTreeWidgetItemIterator it(const_cast<ObjectTreeView*>(this)); *it; ++it)
    if ((*it)->text(0) == label) return IdOf(*it);
  return kNoTreeItem;
}

std::vector<TreeItem> ObjectTreeView::CheckedItems() const {
  std::vector<TreeItem> out;
  for (const auto& [id, item] : items_)
    if (item->checkState(0) == Qt::Checked) out.push_back(id);
  return out;
}

void ObjectTreeView::mousePressEvent(QMouseEvent* event) {
  QTreeWidgetItem* item = itemAt(event->position().toPoint());
  bool onLabel = false;
  if (item != nullptr && event->button() == Qt::LeftButton) {
    // The label is the item's cell right of its check box.
    const QModelIndex index = indexFromItem(item);
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    const QRect check = style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
    onLabel = option.rect.contains(event->position().toPoint()) && !check.contains(event->position().toPoint());
  }
  QTreeWidget::mousePressEvent(event);
  if (onLabel) emit labelClicked(IdOf(item));
}

}  // namespace pagewright
