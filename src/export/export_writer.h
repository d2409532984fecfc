// Export writers: one table at a time, its rows as they are read, into
// CSV, JSON Lines, SQLite or T-SQL.
#ifndef PAGEWRIGHT_EXPORT_EXPORT_WRITER_H_
#define PAGEWRIGHT_EXPORT_EXPORT_WRITER_H_

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "export/table_stream.h"
#include "records/cell_value.h"

namespace pagewright {

enum class ExportFormat { kCsv, kJsonl, kSqlite, kSql };

// The table a writer is given: its names and the columns it writes, in
// table order (stored columns only), and whether rows carry `__deleted`.
struct ExportTable {
  TableEntry entry;
  std::vector<ColumnDescriptor> columns;
  bool withDeleted = false;
};

constexpr const char* kDeletedColumn = "__deleted";

class ExportWriter {
 public:
  virtual ~ExportWriter() = default;
  // Starts a table; false (with error()) when its output cannot be made.
  virtual bool BeginTable(const ExportTable& table) = 0;
  // One row: `cells` are the values of the table's columns in the order of
  // ExportTable::columns.
  virtual bool Row(const std::vector<const CellValue*>& cells, bool deleted) = 0;
  // A page's rows (`stored`: the positions of the table's columns among
  // each row's cells), in order; returns how many were written, all of
  // them unless a write failed (error() says why). Row by row unless a
  // writer has a faster way.
  virtual size_t Rows(const std::vector<TypedRow>& rows, const std::vector<size_t>& stored);
  // Writers whose rows format independently of each other: FormatRows
  // (called from several threads at once, between BeginTable and
  // EndTable) gives a page's text, WriteFormatted writes it in page order.
  virtual bool FormatsInParallel() const { return false; }
  virtual void FormatRows(const std::vector<TypedRow>& /*rows*/, const std::vector<size_t>& /*stored*/,
                          std::string& /*out*/) const {}
  virtual bool WriteFormatted(const std::string& /*text*/) { return false; }
  // Ends the table: its output is put in place when `complete`.
  virtual bool EndTable(bool complete) = 0;
  // Ends the whole export (the files that hold every table).
  virtual bool Finish() { return true; }
  const std::string& error() const { return error_; }

 protected:
  // Rows from `from` on, each through Row; how many were written.
  size_t RowsOneByOne(const std::vector<TypedRow>& rows, size_t from, const std::vector<size_t>& stored);

  std::string error_;
};

// `output`: a folder (csv, jsonl: one file per table), a file (sqlite,
// sql), or "-" for standard output (csv and jsonl of one table, sql).
std::unique_ptr<ExportWriter> MakeCsvWriter(const std::filesystem::path& output, bool toStdout);
std::unique_ptr<ExportWriter> MakeJsonlWriter(const std::filesystem::path& output, bool toStdout);
std::unique_ptr<ExportWriter> MakeSqliteWriter(const std::filesystem::path& output);
// The T-SQL script needs the catalog (keys, constraints) and the module
// texts, which it reads when made.
std::unique_ptr<ExportWriter> MakeSqlWriter(DatabaseReader& reader, const ReadContext& read,
                                            const DatabaseCatalog& catalog, const std::filesystem::path& output,
                                            bool toStdout);

// The file name of a table in a folder export: "schema.table.EXT", with
// characters a file name cannot hold replaced by "_". With `taken` (the
// names given so far in this export), a name that one of them already has,
// ignoring case ("a/b" and "a_b", or "Orders" and "orders" on a file system
// that ignores case), gets " (2)", " (3)" ... so no table's file overwrites
// another's; the name is added to `taken`.
std::string TableFileName(const TableEntry& table, const std::string& extension,
                          std::set<std::string>* taken = nullptr);

// `name` + `ending`, or `name` + " (2)" + `ending`, " (3)" ...: the first
// that no name in `taken` has, ignoring case; added to `taken`. (SQLite's
// table and column names ignore case too.)
std::string UniqueName(const std::string& name, std::set<std::string>& taken, const std::string& ending = "");

// A file written under a temporary name beside its final path and renamed
// into place when complete, so a failed export never leaves a partial file
// under the final name. Buffered; standard output when `toStdout`.
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool Open(const std::filesystem::path& path, bool toStdout, std::string& error);
  void Write(const std::string& text) { buffer_ += text; if (buffer_.size() >= kFlushAt) Flush(); }
  std::string& buffer() { return buffer_; }
  void MaybeFlush() { if (buffer_.size() >= kFlushAt) Flush(); }
  // Writes `text` after what is buffered, without copying it.
  bool WriteAfterBuffer(const std::string& text) {
    if (!buffer_.empty()) Flush();
    return WriteThrough(text);
  }
  bool Flush();
  bool WriteThrough(const std::string& text);
  // Renames the temporary file into place (complete) or removes it.
  bool Close(bool complete, std::string& error);
  bool failed() const { return failed_; }

 private:
  static constexpr size_t kFlushAt = 1 << 20;
  std::FILE* file_ = nullptr;
  bool toStdout_ = false;
  bool failed_ = false;
  std::filesystem::path path_, temporary_;
  std::string buffer_;
};

// Cell texts the writers share.
void AppendHex(ByteSpan bytes, std::string& out);  // upper-case pairs, no prefix
void AppendNumber(const CellValue& value, std::string& out);           // integer, float, decimal text

// A value's text is made a part at a time: `each(from, count)` appends the
// text of part [from, from + count) of a value of `size`, and `file`, when
// given, is flushed after each part, so that a value of tens of megabytes
// never sits whole in the buffer (its hex text alone is twice its size).
// The part is a multiple of three, for base64.
constexpr size_t kValuePart = 3u << 18;
template <class Each>
void InParts(size_t size, OutputFile* file, Each&& each) {
  for (size_t at = 0; at < size; at += kValuePart) {
    each(at, std::min(kValuePart, size - at));
    if (file != nullptr) file->MaybeFlush();
  }
}
// "0x" and the hex of `bytes`, made a part at a time as InParts makes it.
void AppendHexLiteral(ByteSpan bytes, std::string& out, OutputFile* file);

}  // namespace pagewright

#endif  // PAGEWRIGHT_EXPORT_EXPORT_WRITER_H_
