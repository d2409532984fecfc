#include "app/screen_model.h"

#include <algorithm>
#include <functional>

namespace pagewright {

void ScreenModel::InsertPaneLine(int index, const std::string& text) {
  size_t at = std::min<size_t>(static_cast<size_t>(std::max(index, 0)), paneLines.size());
  paneLines.insert(paneLines.begin() + static_cast<long>(at), text);
}

void ScreenModel::SetPaneLine(int index, const std::string& text) {
  if (index >= 0 && static_cast<size_t>(index) < paneLines.size()) paneLines[static_cast<size_t>(index)] = text;
}

void ScreenModel::SetProgressRange(int64_t lower, int64_t upper) {
  progressLower = lower;
  progressUpper = upper;
  progressPos = lower;
}

TreeItem ScreenModel::InsertTreeItem(TreeItem parent, const std::string& label) {
  TreeItem item = nextItem_++;
  nodes[item] = Node{label, parent, {}, 0, false};
  if (parent == kNoTreeItem) {
    topLevel.push_back(item);
  } else if (auto it = nodes.find(parent); it != nodes.end()) {
    it->second.children.insert(it->second.children.begin(), item);
  }
  return item;
}

void ScreenModel::SetTreeItemData(TreeItem item, int32_t data) {
  if (auto it = nodes.find(item); it != nodes.end()) it->second.data = data;
}
int32_t ScreenModel::TreeItemData(TreeItem item) {
  auto it = nodes.find(item);
  return it == nodes.end() ? 0 : it->second.data;
}
void ScreenModel::SetTreeItemBold(TreeItem item, bool bold) {
  if (auto it = nodes.find(item); it != nodes.end()) it->second.bold = bold;
}

void ScreenModel::SortTreeChildren(TreeItem item) {
  auto it = nodes.find(item);
  if (it == nodes.end()) return;
  std::stable_sort(it->second.children.begin(), it->second.children.end(),
                   [&](TreeItem a, TreeItem b) { return nodes[a].label < nodes[b].label; });
}

void ScreenModel::DeleteAllTreeItems() {
  nodes.clear();
  topLevel.clear();
  selected = kNoTreeItem;
}

std::string ScreenModel::TreeItemLabel(TreeItem item) {
  auto it = nodes.find(item);
  return it == nodes.end() ? std::string() : it->second.label;
}
TreeItem ScreenModel::TreeItemParent(TreeItem item) {
  auto it = nodes.find(item);
  return it == nodes.end() ? kNoTreeItem : it->second.parent;
}
TreeItem ScreenModel::TreeFirstChild(TreeItem item) {
  auto it = nodes.find(item);
  return it == nodes.end() || it->second.children.empty() ? kNoTreeItem : it->second.children.front();
}
TreeItem ScreenModel::TreeNextSibling(TreeItem item) {
  auto it = nodes.find(item);
  if (it == nodes.end()) return kNoTreeItem;
  const std::vector<TreeItem>* siblings = &topLevel;
  if (it->second.parent != kNoTreeItem) siblings = &nodes[it->second.parent].children;
  auto pos = std::find(siblings->begin(), siblings->end(), item);
  if (pos == siblings->end() || pos + 1 == siblings->end()) return kNoTreeItem;
  return *(pos + 1);
}

void ScreenModel::SetGridColumns(const std::vector<std::string>& headings) {
  gridRows.clear();
  gridColumns = headings;
}
void ScreenModel::ClearGrid() {
  gridRows.clear();
  gridColumns.clear();
  recordsText.clear();
}
void ScreenModel::InsertGridRow(int index, const std::vector<std::string>& cells) {
  size_t at = std::min<size_t>(static_cast<size_t>(std::max(index, 0)), gridRows.size());
  gridRows.insert(gridRows.begin() + static_cast<long>(at), cells);
}
void ScreenModel::DeleteGridRow(int index) {
  if (index >= 0 && static_cast<size_t>(index) < gridRows.size()) gridRows.erase(gridRows.begin() + index);
}
void ScreenModel::EnablePagingButtons(bool previous, bool next) {
  previousEnabled = previous;
  nextEnabled = next;
}
bool ScreenModel::AskYesNo(const std::string& text, MessageIcon) {
  questions.push_back(text);
  return answerYes;
}

const ScreenModel::Node* ScreenModel::NodeOf(TreeItem item) const {
  auto it = nodes.find(item);
  return it == nodes.end() ? nullptr : &it->second;
}

std::string ScreenModel::TreeText() const {
  std::string out;
  std::function<void(TreeItem, int)> walk = [&](TreeItem item, int depth) {
    const Node* n = NodeOf(item);
    if (n == nullptr) return;
    out += std::string(static_cast<size_t>(2 * depth), ' ') + n->label + "\n";
    for (TreeItem c : n->children) walk(c, depth + 1);
  };
  for (TreeItem t : topLevel) walk(t, 0);
  return out;
}

TreeItem ScreenModel::FindTreeItem(const std::string& label, TreeItem under) const {
  std::function<TreeItem(TreeItem)> search = [&](TreeItem item) -> TreeItem {
    const Node* n = NodeOf(item);
    if (n == nullptr) return kNoTreeItem;
    for (TreeItem c : n->children) {
      if (NodeOf(c)->label == label) return c;
      if (TreeItem found = search(c)) return found;
    }
    return kNoTreeItem;
  };
  if (under != kNoTreeItem) return search(under);
  for (TreeItem t : topLevel) {
    if (NodeOf(t)->label == label) return t;
    if (TreeItem found = search(t)) return found;
  }
  return kNoTreeItem;
}

}  // namespace pagewright
