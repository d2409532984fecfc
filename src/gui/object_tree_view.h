// The tree pane "MS SQL Database Objects": the object tree with a check box
// before every item. Items are known to the shell by number (TreeItem); a
// click on an item's label (not on its check box or expand button) is
// reported as labelClicked.
#ifndef PAGEWRIGHT_GUI_OBJECT_TREE_VIEW_H_
#define PAGEWRIGHT_GUI_OBJECT_TREE_VIEW_H_

#include <QTreeWidget>
#include <unordered_map>
#include <vector>

#include "app/ui_port.h"

namespace pagewright {

class ObjectTreeView : public QTreeWidget {
  Q_OBJECT
 public:
  explicit ObjectTreeView(QWidget* parent = nullptr);

  // A root (no parent) is added as the last top-level item; any other item
  // as the first child of its parent.
  TreeItem Insert(TreeItem parent, const QString& label);
  void SetItemData(TreeItem item, int32_t data);
  int32_t ItemData(TreeItem item) const;
  void SetBold(TreeItem item, bool bold);
  void SortChildren(TreeItem item);
  void RemoveAll();
  QString Label(TreeItem item) const;
  TreeItem Parent(TreeItem item) const;
  TreeItem FirstChild(TreeItem item) const;
  TreeItem NextSibling(TreeItem item) const;
  TreeItem Selected() const;
  void Select(TreeItem item);
  // The first item, in display order, labelled `label`.
  TreeItem FindByLabel(const QString& label) const;
  // The items whose check box is ticked.
  std::vector<TreeItem> CheckedItems() const;
  QTreeWidgetItem* ItemOf(TreeItem item) const;
  TreeItem IdOf(const QTreeWidgetItem* item) const;

 signals:
  void labelClicked(pagewright::TreeItem item);

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  std::unordered_map<TreeItem, QTreeWidgetItem*> items_;
  TreeItem nextId_ = 1;
};

}  // namespace pagewright

#endif  // PAGEWRIGHT_GUI_OBJECT_TREE_VIEW_H_
