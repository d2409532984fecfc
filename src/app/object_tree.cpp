// The object tree and what a click on one of its nodes shows.
#include <cstdio>

#include "app/main_frame.h"
#include "app/loss_report.h"
#include "catalog/object_labels.h"
#include "scripts/module_text.h"

namespace pagewright {

namespace {
const char* const kColumns = "Columns";
const char* const kPrimaryKey = "PrimaryKey";
const char* const kConstraint = "Constraint";
const char* const kUnique = "Unique";
const char* const kForeignKey = "ForeignKey";

// The type codes whose module text a node shows.
bool ShowsModuleText(const std::string& code) {
  for (const char* c : {"F ", "P ", "D ", "C ", "PK", "FN", "TR", "IF", "V ", "UQ", "TT", "TF"})
    if (code == c) return true;
  return false;
}

// "dbo.Orders" -> "Orders": the name a constraint is declared with.
std::string BareName(const std::string& name) {
  size_t dot = name.find('.');
  return dot == std::string::npos ? name : name.substr(dot + 1);
}
}  // namespace

void MainFrame::CreateFixedNodes(const std::string& databaseName) {
  nodes_.root = ui_.InsertTreeItem(kNoTreeItem, databaseName);
  nodes_.tables = ui_.InsertTreeItem(nodes_.root, "Tables");
  nodes_.userTables = ui_.InsertTreeItem(nodes_.tables, "User Tables");
  nodes_.systemTables = ui_.InsertTreeItem(nodes_.tables, "System Tables");
  nodes_.programmability = ui_.InsertTreeItem(nodes_.root, "Programmability");
  nodes_.function = ui_.InsertTreeItem(nodes_.programmability, "Function");
  nodes_.storeProcedure = ui_.InsertTreeItem(nodes_.programmability, "Store Procedure");
  nodes_.views = ui_.InsertTreeItem(nodes_.root, "Views");
  nodes_.defaults = ui_.InsertTreeItem(nodes_.programmability, "Default");
  nodes_.triggers = ui_.InsertTreeItem(nodes_.programmability, "Triggers");
  for (TreeItem item : {nodes_.tables, nodes_.userTables, nodes_.systemTables, nodes_.programmability, nodes_.function,
                        nodes_.storeProcedure, nodes_.views, nodes_.defaults, nodes_.triggers})
    ui_.SetTreeItemData(item, 0);
}

bool MainFrame::BuildTree() {
  const std::vector<CatalogObject> objects = catalog_->objects;
  const auto n = static_cast<int64_t>(objects.size());
  if (n == 0) return false;
  ui_.SetProgressRange(0, n);
  LogLine(shell_text::kCreatingTree);
  ui_.SetCaption(shell_text::kCreatingTree);
  ui_.SetProgressPos(0);
  bool processed = false;
  for (int64_t i = 0; i < n; ++i) {
    const CatalogObject& o = objects[static_cast<size_t>(i)];
    if (o.name.empty()) continue;
    const std::string& code = o.typeCode;
    TreeItem parent = kNoTreeItem;
    if (code == "V ") parent = nodes_.views;
    if (code == "FN" || code == "IF" || code == "TF") parent = nodes_.function;
    if (code == "P ") parent = nodes_.storeProcedure;
    if (code == "TR") parent = nodes_.triggers;
    if (code == "D ") parent = nodes_.defaults;
    if (code == "U ") parent = nodes_.userTables;
    if (code == "S ") parent = nodes_.systemTables;
    if (parent != kNoTreeItem) {
      TreeItem item = ui_.InsertTreeItem(parent, o.name);
      ui_.SetTreeItemData(item, 1);
      if (code == "U " || code == "S ") {
        ui_.SetTreeItemData(ui_.InsertTreeItem(item, kColumns), 0);
        auto loaded = LoadObjectDetails(*catalog_, o.name, code, scanModuleValues_);
        if (!loaded.descriptors.empty() && !loaded.details.tablePages.empty()) ui_.SetTreeItemBold(item, true);
      }
    }
    processed = true;
    ui_.SetProgressPos(i);
  }
  ui_.SortTreeChildren(nodes_.storeProcedure);
  ui_.SortTreeChildren(nodes_.function);
  LogLine(shell_text::kTreeDone);
  ui_.SetCaption(shell_text::kTreeDone);
  ui_.SetProgressPos(n);
  return processed;
}

bool MainFrame::SelectNode(TreeItem item) {
  if (state_.running.load() != 0) {
    ui_.SelectTreeItem(displayedItem_);
    ui_.ShowMessage(shell_text::kPleaseWait, MessageIcon::kInformation);
    return false;
  }
  JoinWorker();
  state_.running = 1;
  displayedItem_ = item;
  ui_.SelectTreeItem(item);
  ui_.DeleteAllGridRows();
  ui_.SetRecordsText("");
  ui_.SetPageLabel("");
  const std::string label = ui_.TreeItemLabel(item);
  ui_.SetCaption(label);
  LogLine("Please wait while " + label + " folder is scanning.");
  ui_.ShowProgress(true);
  ui_.SetProgressPos(0);
  gridPageNumber_ = 0;
  StartWorker([this, item] { NodeDisplay(item); });
  return true;
}

std::vector<ColumnDescriptor> MainFrame::SelectDetails(const std::string& name, const std::string& kind) {
  LoadedDetails loaded = LoadObjectDetails(*catalog_, name, kind, scanModuleValues_);
  selected_ = std::move(loaded.details);
  return std::move(loaded.descriptors);
}

bool MainFrame::ExpandTable(TreeItem item, const std::string& name, const std::string& kind) {
  TreeItem first = ui_.TreeFirstChild(item);
  if (first == kNoTreeItem || ui_.TreeItemLabel(first) != kColumns) return false;
  ui_.ClearGrid();
  gridColumnCount_ = 0;
  auto columns = SelectDetails(name, kind);
  if (selected_.currentObject.id == -1 || PathOfTypeCode(selected_.currentObject.typeCode) != DetailsPath::kTable)
    return true;
  TreeItem primaryKey = ui_.InsertTreeItem(item, kPrimaryKey);
  TreeItem constraint = ui_.InsertTreeItem(item, kConstraint);
  TreeItem unique = ui_.InsertTreeItem(item, kUnique);
  TreeItem foreignKey = ui_.InsertTreeItem(item, kForeignKey);
  for (TreeItem group : {primaryKey, constraint, unique, foreignKey, first}) ui_.SetTreeItemData(group, 0);
  for (auto it = columns.rbegin(); it != columns.rend(); ++it) {
    if (it->name.empty()) continue;
    ui_.InsertTreeItem(first, ColumnLabel(*it));
  }
  const bool legacy = state_.legacyCatalogMode;
  for (const auto& con : selected_.tableConstraints) {
    TreeItem parent = kNoTreeItem;
    int32_t data = 0;
    if (con.typeCode == "PK") parent = primaryKey;
    if (con.typeCode == "F ") parent = foreignKey;
    if (con.typeCode == "C " || con.typeCode == "D ") {
      parent = constraint;
      data = 1;
    }
    if (con.typeCode == "UQ") parent = unique;
    if (parent == kNoTreeItem) continue;
    if ((parent == primaryKey || parent == unique) && legacy) data = con.objectId;
    ui_.SetTreeItemData(ui_.InsertTreeItem(parent, con.name), data);
  }
  return true;
}

void MainFrame::NodeDisplay(TreeItem item) {
  if (!catalog_) {
    EndWorker();
    return;
  }
  ui_.ClearGrid();
  gridColumnCount_ = 0;
  selected_.columnDescriptors.clear();
  paging_.reset();
  if (item == nodes_.root) {
    EndWorker();
    return;
  }
  const std::string name = ui_.TreeItemLabel(item);
  const TreeItem parent = ui_.TreeItemParent(item);
  const std::string parentLabel = ui_.TreeItemLabel(parent);
  if (name.empty()) {
    EndWorker();
    return;
  }
  std::vector<ColumnDescriptor> descriptors;
  bool scriptShown = false;
  if (parent == nodes_.systemTables || parent == nodes_.userTables) {
    const std::string kind = parent == nodes_.systemTables ? "S " : "U ";
    bool expanded = ExpandTable(item, name, kind);
    descriptors = expanded ? selected_.columnDescriptors : SelectDetails(name, kind);
  } else if (parentLabel == kPrimaryKey || parentLabel == kUnique) {
    ShowKeyScript(item, parentLabel == kPrimaryKey);
    scriptShown = true;
  } else if (parentLabel == kForeignKey) {
    ShowForeignKeyScript(item);
    scriptShown = true;
  } else {
    descriptors = SelectDetails(name, "P ");
  }
  if (!scriptShown) {
    const bool isTable = selected_.currentObject.id != -1 &&
                         PathOfTypeCode(selected_.currentObject.typeCode) == DetailsPath::kTable;
    if (isTable && !descriptors.empty()) {
      ShowTable(descriptors);
    } else if (descriptors.size() >= 3 && ShowsModuleText(descriptors[1].valueText)) {
      ShowModuleText(item, descriptors, parentLabel == kConstraint);
    }
  }
  CommonEnd(item);
}

void MainFrame::ShowTable(const std::vector<ColumnDescriptor>& columns) {
  ui_.ShowGridView();
  ui_.EnablePagingButtons(false, false);
  std::vector<std::string> headings;
  for (const auto& c : columns) {
    if (c.physicalColumnId == kNotStoredColumn && !state_.legacyCatalogMode) continue;
    headings.push_back(c.name);
  }
  gridColumnCount_ = static_cast<int>(columns.size());
  ui_.SetGridColumns(headings);
  shownColumns_ = columns;
  gridRowCount_ = 0;
  tableDamage_.Clear();
  ReadContext read = state_.MakeReadContext(&tableDamage_);
  read.objectId = selected_.currentObject.id;
  paging_ = std::make_unique<RecordPaging>(*reader_, *catalog_, selected_, read);
  ui_.SetProgressPos(0);
  ui_.SetProgressRange(0, static_cast<int64_t>(selected_.tablePages.size()));
  auto rows = paging_->ShowTable(columns, advancedMode_, [this](int64_t p) { ui_.SetProgressPos(p); });
  // A stop ends only the load it interrupted.
  if (state_.StopRequested()) state_.stopRequested = false;
  InsertRows(rows, false);
  if (rows.empty() && !advancedMode_) {
    const AllocUnitRow& au = selected_.currentAllocUnit;
    const bool known = state_.legacyCatalogMode || au.allocationUnitId != 0;
    const int32_t key = state_.legacyCatalogMode ? selected_.currentObject.id
                                                 : PageKeyOfAllocationUnit(au.allocationUnitId, au.ownerId);
    std::optional<uint16_t> indexId;
    if (!state_.legacyCatalogMode) indexId = static_cast<uint16_t>(static_cast<uint64_t>(au.allocationUnitId) >> 48);
    const std::string loss =
        known ? NoRowsInStandardMode(*reader_, selected_.currentObject.name, key, indexId) : std::string();
    if (!loss.empty()) SayLoss(loss);
  }
  if (!rows.empty()) {
    char text[96];
    std::snprintf(text, sizeof text, "%d rows to %d", 0, static_cast<int>(rows.size()));
    ui_.SetCaption(text);
    LogLine(text);
  }
}

// Inserts decoded rows into the grid: the first stored column, then every
// later stored one. A row whose every column is empty is counted but not
// kept.
void MainFrame::InsertRows(const std::vector<DecodedRow>& rows, bool logEachRow) {
  gridRecords_.clear();
  for (size_t record = 0; record < rows.size(); ++record) {
    const DecodedRow& row = rows[record];
    if (state_.StopRequested()) break;
    std::vector<std::string> cells;
    size_t empty = 0;
    bool first = true;
    for (size_t i = 0; i < shownColumns_.size() && i < row.size(); ++i) {
      if (shownColumns_[i].physicalColumnId == kNotStoredColumn) continue;
      if (first ? (row[i].empty() || row[i] == kNullText) : row[i].empty()) ++empty;
      first = false;
      cells.push_back(row[i]);
    }
    ui_.InsertGridRow(gridRowCount_, cells);
    if (empty == shownColumns_.size()) {
      ui_.DeleteGridRow(gridRowCount_);
    } else {
      gridRecords_.push_back(static_cast<int64_t>(record));
    }
    ++gridRowCount_;
    char text[64];
    std::snprintf(text, sizeof text, " row %d inserted", gridRowCount_);
    ui_.SetCaption(text);
    ui_.SetPaneLine(state_.logLineIndex - 1, text);
    if (logEachRow) log_.Line(text);
  }
}

std::string MainFrame::ModuleText(const std::string& objectIdText) {
  if (!moduleValuesLoaded_) {
    moduleValuesLoaded_ = true;
    RetrieveModuleValues(*reader_, state_.MakeReadContext(&scanDamage_), *catalog_, moduleValues_,
                         ModuleTableColumns(*catalog_), &events_);
    if (moduleValues_.empty()) moduleValuesLoaded_ = false;
  }
  std::string text = ModuleTextFor(objectIdText, moduleValues_, state_.collationCodePage);
  selected_.columnDescriptors.clear();
  return text;
}

void MainFrame::ShowModuleText(TreeItem item, const std::vector<ColumnDescriptor>& identity, bool constraintNode) {
  const std::string objectId = identity[0].valueText;
  const std::string typeCode = identity[1].valueText;
  const std::string text = ModuleText(objectId);
  ui_.ShowTextView();
  ui_.SetRecordsText(text);
  if (!constraintNode) return;
  // A check or default constraint: the script that adds it to its table.
  const std::string table = ui_.TreeItemLabel(ui_.TreeItemParent(ui_.TreeItemParent(item)));
  const std::string constraint = BareName(ui_.TreeItemLabel(item));
  if (typeCode == "D ") {
    std::string column;
    const int32_t id = std::atoi(objectId.c_str());
    for (const auto& c : catalog_->columns)
      if (c.defaultObjectId == id) column = c.name;
    for (const auto& c : catalog_->legacyColumns)
      if (c.defaultObjectId == static_cast<int16_t>(id)) column = c.name;
    if (!column.empty()) {
      ui_.SetRecordsText(DefaultScript(table, constraint, text, column));
      return;
    }
  }
  ui_.SetRecordsText(CheckScript(table, constraint, text));
}

void MainFrame::ShowKeyScript(TreeItem item, bool primaryKey) {
  const std::string constraint = ui_.TreeItemLabel(item);
  const std::string table = ui_.TreeItemLabel(ui_.TreeItemParent(ui_.TreeItemParent(item)));
  const std::string kind = ui_.TreeItemParent(ui_.TreeItemParent(ui_.TreeItemParent(item))) == nodes_.systemTables
                               ? "S "
                               : "U ";
  SelectDetails(table, kind);
  std::vector<std::string> columns =
      KeyColumnsOfConstraint(*catalog_, selected_, selected_.currentObject.id, BareName(constraint));
  ui_.ShowTextView();
  ui_.SetRecordsText(primaryKey ? PrimaryKeyScript(table, columns) : UniqueScript(table, BareName(constraint), columns));
}

void MainFrame::ShowForeignKeyScript(TreeItem item) {
  const std::string constraint = ui_.TreeItemLabel(item);
  const std::string table = ui_.TreeItemLabel(ui_.TreeItemParent(ui_.TreeItemParent(item)));
  int32_t tableId = -1, constraintId = -1;
  for (const auto& o : catalog_->objects)
    if (o.name == table && IsTableTypeCode(o.typeCode)) tableId = o.id;
  for (const auto& o : catalog_->objects)
    if (o.name == constraint && o.typeCode == "F " && o.parentObjectId == tableId) constraintId = o.id;
  std::vector<const ForeignKeyColumn*> keys;
  for (const auto& fk : catalog_->foreignKeyColumns)
    if (fk.constraintId == constraintId && fk.parentTableId == tableId) keys.push_back(&fk);
  std::stable_sort(keys.begin(), keys.end(),
                   [](const ForeignKeyColumn* a, const ForeignKeyColumn* b) { return a->keyOrdinal < b->keyOrdinal; });
  std::vector<std::string> columns, referenced;
  for (const ForeignKeyColumn* k : keys) {
    columns.push_back(k->parentColumnName);
    referenced.push_back(k->referencedColumnName);
  }
  ui_.ShowTextView();
  ui_.SetRecordsText(keys.empty() ? std::string()
                                  : ForeignKeyScript(table, BareName(constraint), columns,
                                                     keys.front()->referencedTableName, referenced));
}

void MainFrame::CommonEnd(TreeItem item) {
  ui_.EnablePagingButtons(false, paging_ && paging_->HasNext());
  const int rows = ui_.GridRowCount();
  ++gridPageNumber_;
  char label[128];
  std::snprintf(label, sizeof label, "%s%d - [%d](%d-%d) Records", "Page", gridPageNumber_, rows, rows > 0 ? 1 : 0,
                rows);
  ui_.SetPageLabel(label);
  char status[512];
  std::snprintf(status, sizeof status, "%s[%d]", ui_.TreeItemLabel(item).c_str(), rows);
  ui_.SetCaption(status);
  LogLine(status);
  ui_.RepaintGrid();
  EndWorker();
  LogLine(shell_text::kCompleted);
}

// ---------------------------------------------------------------------------
// Next and previous grid pages

bool MainFrame::PageNext() {
  if (Busy()) return false;
  JoinWorker();
  state_.running = 1;
  StartWorker([this] { NextPageJob(); });
  return true;
}

bool MainFrame::PagePrevious() {
  if (Busy()) return false;
  JoinWorker();
  state_.running = 1;
  StartWorker([this] { PreviousPageJob(); });
  return true;
}

void MainFrame::NextPageJob() {
  ui_.SetPageLabel("");
  if (!paging_ || !paging_->HasNext()) {
    ui_.EnablePagingButtons(paging_ && paging_->HasPrevious(), false);
    state_.running = 0;
    ui_.ShowProgress(false);
    ui_.RepaintGrid();
    return;
  }
  state_.running = 1;
  ui_.ShowProgress(true);
  ui_.SetProgressPos(0);
  ui_.SetProgressRange(paging_->firstRecordNumber(), paging_->lastRecordNumber());
  gridRowCount_ = 0;
  ui_.EnablePagingButtons(true, true);
  ui_.DeleteAllGridRows();
  auto rows = paging_->NextPage([this](int64_t p) { ui_.SetProgressPos(p); });
  InsertRows(rows, true);
  FinishPage();
}

void MainFrame::PreviousPageJob() {
  ui_.SetPageLabel("");
  if (!paging_ || !paging_->HasPrevious()) {
    ui_.EnablePagingButtons(false, paging_ && paging_->HasNext());
    ui_.RepaintGrid();
    ui_.ShowProgress(false);
    state_.running = 0;
    return;
  }
  state_.running = 1;
  ui_.ShowProgress(true);
  ui_.SetProgressPos(0);
  ui_.SetProgressRange(paging_->firstRecordNumber(), paging_->lastRecordNumber());
  gridRowCount_ = 0;
  ui_.DeleteAllGridRows();
  auto rows = paging_->PreviousPage([this](int64_t p) { ui_.SetProgressPos(p); });
  InsertRows(rows, true);
  FinishPage();
}

void MainFrame::FinishPage() {
  gridPageNumber_ = paging_->gridPageNumber();
  ui_.SetPageLabel(paging_->PageLabel());
  ui_.SetCaption(paging_->Summary());
  LogLine(paging_->Summary());
  ui_.EnablePagingButtons(paging_->HasPrevious(), paging_->HasNext());
  state_.running = 0;
  ui_.ShowProgress(false);
  ui_.RepaintGrid();
}

}  // namespace pagewright
