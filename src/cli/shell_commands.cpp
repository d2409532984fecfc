// The shell commands that run a whole scan: scan, tree, rows, script and
// snapshot save. Each does what the Open command and the options dialog
// would, then clicks tree nodes as a user would.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "app/main_frame.h"
#include "app/marshalling_ui_port.h"
#include "app/output_guard.h"
#include "cli/commands.h"
#include "cli/terminal_ui.h"
#include "pagestore/collation_table.h"
#include "snapshot/snapshot_file.h"

namespace pagewright::cli {

namespace {

const char* const kScanOptionsUsage =
    "[--backup OLD_MDF] [--advanced] [--show-deleted] [--show-advanced-deleted] [--sql2000]\n"
    "       [--collation auto|NAME] [--log-dir DIR] [--snapshot FILE.KVSNAPDB] [--force]";

struct ScanArguments {
  std::vector<std::string> positional;
  RecoveryOptions options;
  std::string collation = "auto";
  std::string snapshot;
  int page = 1;
  bool force = false;  // snapshot save: replace a file that is not a snapshot
  std::string error;
};

ScanArguments ParseScanArguments(const std::vector<std::string>& args) {
  ScanArguments a;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) {
        a.error = "missing value after " + arg;
        return;
      }
      out = args[++i];
    };
    if (arg == "--backup") {
      value(a.options.backupMdfPath);
    } else if (arg == "--advanced") {
      a.options.advanced = true;
    } else if (arg == "--show-deleted") {
      a.options.showDeleted = true;
    } else if (arg == "--show-advanced-deleted") {
      a.options.showAdvancedDeleted = true;
    } else if (arg == "--sql2000") {
      a.options.sql2000 = true;
    } else if (arg == "--collation") {
      value(a.collation);
    } else if (arg == "--log-dir") {
      value(a.options.logFolder);
    } else if (arg == "--snapshot") {
      value(a.snapshot);
    } else if (arg == "--force") {
      a.force = true;
    } else if (arg == "--page") {
      std::string n;
      value(n);
      a.page = std::atoi(n.c_str());
      if (a.page < 1) a.error = "--page needs a number from 1";
    } else if (arg.rfind("--", 0) == 0) {
      a.error = "unknown option " + arg;
    } else {
      a.positional.push_back(arg);
    }
    if (!a.error.empty()) break;
  }
  return a;
}

// The item labelled `name`; failing that, the one item whose label is
// `name` behind a schema ("Orders" finds "dbo.Orders"), so that a user may
// leave out the schema where it is unambiguous.
TreeItem PickByLabel(const std::vector<std::pair<TreeItem, std::string>>& items, const std::string& name) {
  for (const auto& [item, label] : items)
    if (label == name) return item;
  TreeItem found = kNoTreeItem;
  for (const auto& [item, label] : items) {
    if (label.size() <= name.size() + 1 || label.compare(label.size() - name.size(), name.size(), name) != 0 ||
        label[label.size() - name.size() - 1] != '.')
      continue;
    if (found != kNoTreeItem) return kNoTreeItem;  // two schemas hold that name
    found = item;
  }
  return found;
}

// One run of the shell: state, screen, main frame.
class Session {
 public:
  explicit Session(bool echoLines)
      : ui_(echoLines), port_(ui_), frame_(state_, port_, [this](const std::function<bool()>& done) {
          port_.PumpUntil(done);
        }) {
    state_.collations = LoadCollationTable(ExecutableFolder());
  }

  // Options as the dialog's OK would store them; false with a message on
  // standard error when they are not valid.
  bool Apply(ScanArguments& a, const std::string& mdf) {
    a.options.mdfPath = mdf;
    if (a.options.backupMdfPath.empty()) a.options.backupMdfPath = mdf;
    for (const std::string* input : {&a.options.mdfPath, &a.options.backupMdfPath, &a.snapshot})
      if (!input->empty() && RefuseUnreadableInput(*input)) return false;
    if (a.options.logFolder.empty()) a.options.logFolder = std::filesystem::current_path().string();
    if (a.collation != "auto") {
      bool found = false;
      for (const auto& [key, entry] : state_.collations) {
        if (entry.name == a.collation) {
          a.options.collationAutoDetect = false;
          a.options.manualCollationKey = key;
          found = true;
          break;
        }
      }
      if (!found) {
        std::fprintf(stderr, "pagewright: unknown collation %s\n", a.collation.c_str());
        return false;
      }
    }
    frame_.WaitForWorker();  // the dialog opens only once no worker runs
    std::string message = ApplyRecoveryOptions(state_, a.options);
    if (!message.empty()) {
      std::fprintf(stderr, "%s\n", message.c_str());
      return false;
    }
    return true;
  }

  // Runs the scan (or the snapshot load) to its end; true when it completed.
  bool Scan(const std::string& snapshot) {
    bool started = snapshot.empty() ? frame_.Open()
                                     : (frame_.ConfirmOptions(), frame_.LoadSnapshot(snapshot, state_.logFolder));
    if (!started) return false;
    Wait();
    return frame_.lastScanCompleted();
  }

  void Wait() {
    port_.PumpUntil([this] { return !frame_.WorkerRunning(); });
    SayLosses();
  }

  // Losses the shell logged since the last call, on standard error.
  void SayLosses() {
    const auto& losses = frame_.losses();
    if (losses.size() < said_) said_ = 0;  // a new scan started over
    for (; said_ < losses.size(); ++said_) std::fprintf(stderr, "pagewright: %s\n", losses[said_].c_str());
  }
  size_t said_ = 0;

  void Select(TreeItem item) {
    if (frame_.SelectNode(item)) Wait();
  }

  // Selects every table once, so that its columns, keys and constraints
  // appear in the tree.
  void ExpandAllTables() {
    for (TreeItem group : {frame_.userTablesItem(), frame_.systemTablesItem()}) {
      std::vector<TreeItem> tables;
      for (TreeItem t = ui_.TreeFirstChild(group); t != kNoTreeItem; t = ui_.TreeNextSibling(t)) tables.push_back(t);
      for (TreeItem t : tables) Select(t);
    }
  }

  TreeItem FindTable(const std::string& name) {
    std::vector<std::pair<TreeItem, std::string>> tables;
    for (TreeItem group : {frame_.userTablesItem(), frame_.systemTablesItem()}) {
      for (TreeItem t = ui_.TreeFirstChild(group); t != kNoTreeItem; t = ui_.TreeNextSibling(t))
        tables.emplace_back(t, ui_.TreeItemLabel(t));
    }
    return PickByLabel(tables, name);
  }

  AppState state_;
  TerminalUi ui_;
  MarshallingUiPort port_;
  MainFrame frame_;
};

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  return out + "\"";
}

void PrintCsvRow(const std::vector<std::string>& cells) {
  std::string line;
  for (size_t i = 0; i < cells.size(); ++i) line += (i ? "," : "") + CsvField(cells[i]);
  std::printf("%s\r\n", line.c_str());
}

int Usage(const char* command, const char* operands) {
  std::fprintf(stderr, "usage: pagewright %s %s %s\n", command, operands, kScanOptionsUsage);
  return 1;
}

}  // namespace

int RunScan(const std::vector<std::string>& args) {
  ScanArguments a = ParseScanArguments(args);
  if (!a.error.empty() || a.positional.size() != 1) {
    if (!a.error.empty()) std::fprintf(stderr, "pagewright: %s\n", a.error.c_str());
    return Usage("scan", "MDF");
  }
  Session s(true);
  if (!s.Apply(a, a.positional[0])) return 1;
  bool completed = s.Scan(a.snapshot);
  std::printf("%s", s.ui_.TreeText().c_str());
  if (completed) std::fprintf(stderr, "%s\n", DamageSummary(s.frame_.scanDamage().Counts()).c_str());
  return completed ? 0 : 1;
}

int RunTree(const std::vector<std::string>& args) {
  ScanArguments a = ParseScanArguments(args);
  if (!a.error.empty() || a.positional.size() != 1) return Usage("tree", "MDF");
  Session s(false);
  if (!s.Apply(a, a.positional[0])) return 1;
  if (!s.Scan(a.snapshot)) {
    s.ui_.PrintFailure(shell_text::kAborted);
    return 1;
  }
  s.ExpandAllTables();
  std::printf("%s", s.ui_.TreeText().c_str());
  return 0;
}

int RunRows(const std::vector<std::string>& args) {
  ScanArguments a = ParseScanArguments(args);
  if (!a.error.empty() || a.positional.size() != 2) return Usage("rows", "MDF TABLE [--page N]");
  Session s(false);
  if (!s.Apply(a, a.positional[0])) return 1;
  if (!s.Scan(a.snapshot)) {
    s.ui_.PrintFailure(shell_text::kAborted);
    return 1;
  }
  TreeItem table = s.FindTable(a.positional[1]);
  if (table == kNoTreeItem) {
    std::fprintf(stderr, "pagewright: no table named %s\n", a.positional[1].c_str());
    return 1;
  }
  s.Select(table);
  int page = 1;
  for (; page < a.page && s.ui_.nextEnabled; ++page) {
    if (!s.frame_.PageNext()) break;
    s.Wait();
  }
  if (page < a.page) {
    std::fprintf(stderr, "pagewright: %s has %d grid page%s; there is no page %d\n", a.positional[1].c_str(), page,
                 page == 1 ? "" : "s", a.page);
    return 1;
  }
  std::printf("%s\r\n", s.ui_.pageLabel.c_str());
  PrintCsvRow(s.ui_.gridColumns);
  for (const auto& row : s.ui_.gridRows) PrintCsvRow(row);
  // What reading the table had to drop, skip or cut.
  if (s.frame_.tableDamage().Total() > 0)
    std::fprintf(stderr, "%s: %s\n", a.positional[1].c_str(), DamageSummary(s.frame_.tableDamage().Counts()).c_str());
  return 0;
}

int RunScript(const std::vector<std::string>& args) {
  ScanArguments a = ParseScanArguments(args);
  if (!a.error.empty() || a.positional.size() != 2) return Usage("script", "MDF NAME");
  Session s(false);
  if (!s.Apply(a, a.positional[0])) return 1;
  if (!s.Scan(a.snapshot)) {
    s.ui_.PrintFailure(shell_text::kAborted);
    return 1;
  }
  const std::string& name = a.positional[1];
  TreeItem node = s.ui_.FindTreeItem(name);
  if (node == kNoTreeItem || s.FindTable(name) != kNoTreeItem) {
    s.ExpandAllTables();  // keys and constraints appear under their tables
    std::vector<std::pair<TreeItem, std::string>> candidates;
    for (const auto& [item, n] : s.ui_.nodes) {
      if (n.parent == s.frame_.userTablesItem() || n.parent == s.frame_.systemTablesItem()) continue;
      candidates.emplace_back(item, n.label);
    }
    node = PickByLabel(candidates, name);
  }
  if (node == kNoTreeItem) {
    std::fprintf(stderr, "pagewright: no view, procedure, function, trigger, default, key or constraint named %s\n",
                 name.c_str());
    return 1;
  }
  s.Select(node);
  std::printf("%s\n", s.ui_.recordsText.c_str());
  return 0;
}

int RunSnapshot(const std::vector<std::string>& args) {
  if (args.empty() || args[0] != "save") return Usage("snapshot save", "MDF OUT.KVSNAPDB");
  ScanArguments a = ParseScanArguments(std::vector<std::string>(args.begin() + 1, args.end()));
  if (!a.error.empty() || a.positional.size() != 2) return Usage("snapshot save", "MDF OUT.KVSNAPDB");
  const std::string& out = a.positional[1];
  Session s(true);
  if (!s.Apply(a, a.positional[0])) return 1;
  // Refused before the scan where the files named on the command line tell
  // already; the save itself checks again against every file the scan read.
  if (auto refusal = OutputRefusal(out, {a.options.mdfPath, a.options.backupMdfPath})) {
    std::fprintf(stderr, "pagewright: %s\n", refusal->c_str());
    return 1;
  }
  auto isSnapshot = [](const std::filesystem::path& p) { return IsSnapshotFile(p.string()); };
  if (auto refusal = ReplaceRefusal(out, isSnapshot, "snapshot file", a.force)) {
    std::fprintf(stderr, "pagewright: %s Use --force to replace it.\n", refusal->c_str());
    return 1;
  }
  if (!s.Scan(a.snapshot)) return 1;
  return s.frame_.SaveSnapshot(out, a.force) ? 0 : 1;
}

}  // namespace pagewright::cli
