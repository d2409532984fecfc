// The commands a desktop window adds to the shell: a grid cell's whole
// value, and the export of the tables ticked in the tree.
#include <algorithm>

#include "app/main_frame.h"
#include "app/output_guard.h"
#include "export/schema_script.h"

namespace pagewright {

std::optional<GridCell> MainFrame::ReadGridCell(int row, int column) {
  if (Busy()) return std::nullopt;
  JoinWorker();  // a worker that cleared `running` may still be returning
  if (!paging_ || row < 0 || column < 0 || static_cast<size_t>(row) >= gridRecords_.size()) return std::nullopt;
  // Grid columns are the stored columns, in descriptor order.
  size_t descriptor = shownColumns_.size();
  for (size_t i = 0, shown = 0; i < shownColumns_.size(); ++i) {
    if (shownColumns_[i].physicalColumnId == kNotStoredColumn) continue;
    if (shown++ == static_cast<size_t>(column)) {
      descriptor = i;
      break;
    }
  }
  if (descriptor == shownColumns_.size()) return std::nullopt;
  std::optional<TypedRow> record = paging_->FullRow(gridRecords_[static_cast<size_t>(row)]);
  if (!record || descriptor >= record->cells.size()) return std::nullopt;
  return GridCell{shownColumns_[descriptor].name, DeclaredType(shownColumns_[descriptor]),
                  std::move(record->cells[descriptor])};
}

bool MainFrame::Export(const ExportSettings& settings, const std::vector<TreeItem>& checked) {
  if (Busy()) return false;
  JoinWorker();
  if (!reader_ || !catalog_) {
    ui_.ShowMessage(export_text::kNothingToExport, MessageIcon::kInformation);
    return false;
  }
  // The tables among the ticked items: children of the two table groups.
  std::vector<std::string> names;
  for (TreeItem item : checked) {
    const TreeItem parent = ui_.TreeItemParent(item);
    if (parent != kNoTreeItem && (parent == nodes_.userTables || parent == nodes_.systemTables))
      names.push_back(ui_.TreeItemLabel(item));
  }
  state_.running = 1;
  ui_.ShowProgress(true);
  ui_.SetProgressPos(0);
  StartWorker([this, settings, names = std::move(names)]() mutable { ExportJob(std::move(settings), std::move(names)); });
  return true;
}

void MainFrame::ExportJob(ExportSettings settings, std::vector<std::string> names) {
  auto finish = [&](int code, const std::string& message, MessageIcon icon) {
    lastExportExitCode_ = code;
    if (state_.StopRequested()) state_.stopRequested = false;
    ui_.ShowProgress(false);
    state_.running = 0;
    ui_.ShowMessage(message, icon);
  };
  static const char* const kFormatNames[] = {"csv", "jsonl", "sqlite", "sql"};
  LogLine(std::string("Export of ") + mdfCopy_ + " as " + kFormatNames[static_cast<int>(settings.format)] + " to " +
          settings.output);

  // The open database is lent to the export while it runs: the reader and
  // the catalog are not read by anything else until `running` clears.
  OpenedDatabase db;
  db.tables = UserTables(*catalog_);
  std::vector<const TableEntry*> tables;
  for (const std::string& name : names)
    if (const TableEntry* t = FindTable(db.tables, name); t && std::find(tables.begin(), tables.end(), t) == tables.end())
      tables.push_back(t);
  if (tables.empty())
    for (const TableEntry& t : db.tables) tables.push_back(&t);
  if (tables.empty()) {
    FailureLine(export_text::kNoTables);
    finish(1, export_text::kNoTables, MessageIcon::kInformation);
    return;
  }

  // No output may be a file the recovery reads.
  std::vector<std::filesystem::path> outputs;
  if (settings.format == ExportFormat::kCsv || settings.format == ExportFormat::kJsonl) {
    std::set<std::string> taken;
    for (const TableEntry* t : tables)
      outputs.push_back(std::filesystem::path(settings.output) /
                        TableFileName(*t, settings.format == ExportFormat::kCsv ? "csv" : "jsonl", &taken));
  } else {
    outputs.push_back(settings.output);
  }
  for (const auto& output : outputs) {
    if (auto refusal = OutputRefusal(output, DatabaseFiles())) {
      FailureLine(*refusal);
      finish(1, *refusal, MessageIcon::kError);
      return;
    }
  }

  DamageCounters damage;
  db.reader = std::move(reader_);
  db.catalog = std::move(catalog_);
  db.read = state_.MakeReadContext(&damage);
  settings.advanced = advancedMode_;
  settings.showDeleted = state_.showDeleted;
  ui_.SetProgressRange(0, static_cast<int64_t>(tables.size()));
  auto progress = [this](const ExportProgress& p) {
    if (p.pagesDone == 0) ui_.SetProgressPos(static_cast<int64_t>(p.table));
  };
  auto summary = [this](const TableSummary& s) { LogLine(SummaryLine(s)); };
  ExportResult result = RunExport(db, tables, settings, progress, summary);
  reader_ = std::move(db.reader);
  catalog_ = std::move(db.catalog);

  const int code = result.ExitCode();
  if (!result.finished) {
    FailureLine(result.error);
    finish(code, result.error, MessageIcon::kError);
    return;
  }
  const std::string done = export_text::Done(result.tables.size(), settings.output, code == 0);
  LogLine(done);
  finish(code, done, MessageIcon::kInformation);
}

}  // namespace pagewright
