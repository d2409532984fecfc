// Reading back what the CSV export writes (RFC 4180), with each field's
// quoting kept so that NULL (an empty unquoted field) stays apart from the
// empty string (""), and running an export into a fresh folder.
#ifndef PAGEWRIGHT_TESTS_EXPORT_CSV_READING_H_
#define PAGEWRIGHT_TESTS_EXPORT_CSV_READING_H_

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "export/export_run.h"
#include "pagestore/collation_table.h"
#include "support/cli_runner.h"
#include "support/corpus.h"

namespace pagewright::testing {

// What a shell command writes to standard output.
inline std::string ShellOutput(const std::string& command) {
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return "popen failed";
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
  pclose(pipe);
  return out;
}

// The sqlite3 shell's output of `sql` on the database file `db` (columns
// apart by "|"), its messages included.
inline std::string SqliteOutput(const std::filesystem::path& db, const std::string& sql) {
  return ShellOutput("sqlite3 " + ShellQuote(db.string()) + " " + ShellQuote(sql) + " 2>&1");
}

inline bool HaveSqliteShell() { return std::system("sqlite3 -version >/dev/null 2>&1") == 0; }

struct CsvField {
  std::string text;
  bool quoted = false;
  bool IsNull() const { return text.empty() && !quoted; }
};
using CsvRecord = std::vector<CsvField>;

// Every record of a CSV text (header included); `wellFormed` is cleared on
// an unterminated quote or a bare quote inside a field.
inline std::vector<CsvRecord> ParseCsv(const std::string& text, bool* wellFormed = nullptr) {
  std::vector<CsvRecord> out;
  if (wellFormed) *wellFormed = true;
  size_t i = 0;
  while (i < text.size()) {
    CsvRecord record;
    for (;;) {
      CsvField f;
      if (i < text.size() && text[i] == '"') {
        f.quoted = true;
        ++i;
        for (;;) {
          if (i >= text.size()) {
            if (wellFormed) *wellFormed = false;
            break;
          }
          if (text[i] == '"') {
            if (i + 1 < text.size() && text[i + 1] == '"') {
              f.text.push_back('"');
              i += 2;
              continue;
            }
            ++i;
            break;
          }
          f.text.push_back(text[i++]);
        }
      } else {
        while (i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '\n') {
          if (text[i] == '"' && wellFormed) *wellFormed = false;
          f.text.push_back(text[i++]);
        }
      }
      record.push_back(std::move(f));
      if (i < text.size() && text[i] == ',') {
        ++i;
        continue;
      }
      break;
    }
    if (i + 1 < text.size() && text[i] == '\r' && text[i + 1] == '\n') {
      i += 2;
    } else if (wellFormed && i < text.size()) {
      *wellFormed = false;
      ++i;
    }
    out.push_back(std::move(record));
  }
  return out;
}

// Upper-case hex pairs, as the CSV and T-SQL exports write binary after 0x.
inline std::string UpperHex(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (uint8_t b : bytes) {
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 15]);
  }
  return out;
}

inline std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Exports every user table of `mdf` in `format` to `output`.
inline ExportResult ExportFile(const std::filesystem::path& mdf, ExportFormat format,
                               const std::filesystem::path& output, bool showDeleted = false) {
  OpenedDatabase db = OpenForExport(ReadContext(), LoadCollationTable(BinaryDir()), true, 0, mdf.string(), mdf.string(),
                                    nullptr);
  if (!db.reader || !db.catalog) return {};
  std::vector<const TableEntry*> tables;
  for (const auto& t : db.tables) tables.push_back(&t);
  ExportSettings settings;
  settings.format = format;
  settings.output = output.string();
  settings.showDeleted = showDeleted;
  return RunExport(db, tables, settings, {}, {});
}

}  // namespace pagewright::testing

#endif  // PAGEWRIGHT_TESTS_EXPORT_CSV_READING_H_
