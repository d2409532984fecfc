// T-SQL: one script that re-creates the tables on SQL Server. Per table its
// CREATE SCHEMA (once per schema other than dbo) and CREATE TABLE, then
// INSERT statements of up to 1000 rows each (SQL Server's limit for one
// VALUES list) between SET IDENTITY_INSERT ON and OFF where the table has an
// identity column, then the table's other indexes; at the end the foreign
// keys, then the views, procedures, functions and triggers as stored. GO
// ends every batch.
//
// Deleted rows brought back get a [__deleted] column and an INSERT each, so
// one that collides with a kept row's key loses no other; the foreign keys
// are then added WITH NOCHECK, as such rows may name rows that are gone.
//
// Literals: N'...' for text (quotes doubled), 0x... for binary, numbers as
// they are, dates in forms that no DATEFORMAT or language setting reads
// differently ('1996-07-04T00:00:00.000' for datetime, ISO forms for the
// other date types). timestamp columns and persisted computed columns take
// no explicit values and are left out of the INSERTs.
#include <algorithm>
#include <set>

#include "export/export_writer.h"
#include "export/schema_script.h"
#include "records/value_format.h"
#include "scripts/module_text.h"

namespace pagewright {

namespace {

constexpr size_t kRowsPerInsert = 1000;

// `file`: flushed between the parts of a long value.
void AppendUnicodeLiteral(const std::string& text, std::string& out, OutputFile* file = nullptr) {
  out += "N'";
  InParts(text.size(), file, [&](size_t at, size_t count) {
    for (size_t i = at; i < at + count; ++i) {
      if (text[i] == '\'') out.push_back('\'');
      out.push_back(text[i]);
    }
  });
  out.push_back('\'');
}

class SqlWriter : public ExportWriter {
 public:
  SqlWriter(SchemaSource source, std::filesystem::path output, bool toStdout)
      : source_(std::move(source)), output_(std::move(output)), toStdout_(toStdout) {}

  bool BeginTable(const ExportTable& table) override {
    if (!opened_) {
      if (!file_.Open(output_, toStdout_, error_)) return false;
      opened_ = true;
      file_.Write("-- Written by Korvane Pagewright: the recovered tables, their rows, keys and modules.\n"
                  "SET NOCOUNT ON;\nGO\n");
    }
    std::string& out = file_.buffer();
    const std::string& schema = table.entry.schema;
    if (!schema.empty() && schema != "dbo" && schemas_.insert(schema).second) {
      out += "IF SCHEMA_ID(";
      AppendUnicodeLiteral(schema, out);
      out += ") IS NULL EXEC(";
      AppendUnicodeLiteral("CREATE SCHEMA " + Bracketed(schema), out);
      out += ");\nGO\n";
    }
    std::vector<std::string> computed;
    withDeleted_ = table.withDeleted;
    anyDeleted_ = anyDeleted_ || withDeleted_;
    if (withDeleted_)
      out += "-- Deleted rows brought back carry [__deleted] = 1, each in an INSERT of its own: one whose key a\n"
             "-- kept row holds fails alone.\n";
    out += CreateTableScript(source_, table.entry, &computed, withDeleted_);
    out += "GO\n";
    tables_.push_back(table.entry);
    name_ = QuotedTableName(table.entry);
    written_.clear();
    columnList_.clear();
    types_.clear();
    identity_ = false;
    for (size_t i = 0; i < table.columns.size(); ++i) {
      const ColumnDescriptor& c = table.columns[i];
      if (c.typeIndex == kTypeTimestamp) continue;
      if (std::find(computed.begin(), computed.end(), c.name) != computed.end()) continue;
      written_.push_back(i);
      types_.push_back(c.typeIndex);
      columnList_ += (columnList_.empty() ? "" : ", ") + Bracketed(c.name);
      if (!c.identityText.empty()) identity_ = true;
    }
    if (withDeleted_) columnList_ += ", " + Bracketed(kDeletedColumn);
    if (identity_) out += "SET IDENTITY_INSERT " + name_ + " ON;\nGO\n";
    rowsInInsert_ = 0;
    return true;
  }

  bool Row(const std::vector<const CellValue*>& cells, bool deleted) override {
    std::string& out = file_.buffer();
    if (deleted && rowsInInsert_ > 0) EndInsert();
    if (rowsInInsert_ == 0) {
      out += "INSERT INTO " + name_ + " (" + columnList_ + ") VALUES\n(";
    } else {
      out += ",\n(";
    }
    for (size_t k = 0; k < written_.size(); ++k) {
      if (k) out += ", ";
      AppendLiteral(*cells[written_[k]], types_[k], out, &file_);
    }
    if (withDeleted_) out += deleted ? ", 1" : ", 0";
    out.push_back(')');
    if (++rowsInInsert_ == kRowsPerInsert || deleted) EndInsert();
    file_.MaybeFlush();
    return !file_.failed();
  }

  bool EndTable(bool /*complete*/) override {
    if (rowsInInsert_ > 0) EndInsert();
    if (identity_) file_.Write("SET IDENTITY_INSERT " + name_ + " OFF;\nGO\n");
    // Indexes after the rows: each is built once.
    for (const std::string& index : IndexScripts(source_, tables_.back())) file_.Write(index + "GO\n");
    file_.MaybeFlush();
    return !file_.failed();
  }

  bool Finish() override {
    if (!opened_) {
      if (!file_.Open(output_, toStdout_, error_)) return false;
      opened_ = true;
    }
    for (const std::string& fk : ForeignKeyScripts(source_, tables_, anyDeleted_)) file_.Write(fk + "GO\n");
    for (const std::string& module : ModuleScripts(source_)) file_.Write(module + "GO\n");
    return file_.Close(true, error_);
  }

 private:
  void EndInsert() {
    file_.buffer() += ";\nGO\n";
    rowsInInsert_ = 0;
  }

  static void AppendLiteral(const CellValue& v, int32_t typeIndex, std::string& out, OutputFile* file) {
    switch (v.kind) {
      case CellKind::kInteger:
      case CellKind::kBool:
      case CellKind::kDecimal: AppendNumber(v, out); break;
      case CellKind::kFloat: {
        std::string text;
        AppendNumber(v, text);
        // Infinities and NaN have no T-SQL literal (SQL Server stores none).
        if (text.find_first_of("in") != std::string::npos) out += "NULL";
        else out += text;
        break;
      }
      case CellKind::kText: AppendUnicodeLiteral(v.text, out, file); break;
      case CellKind::kBytes: AppendHexLiteral(v.bytes, out, file); break;
      case CellKind::kDateTime: {
        std::string text = v.text;
        // datetime and smalldatetime read 'yyyy-mm-dd hh:mi:ss' by the
        // session's DATEFORMAT; with a T they are ISO 8601 for every setting.
        if ((typeIndex == kTypeDatetime || typeIndex == kTypeSmalldatetime) && text.size() > 10 && text[10] == ' ')
          text[10] = 'T';
        out.push_back('\'');
        out += text;
        out.push_back('\'');
        break;
      }
      default: out += "NULL"; break;
    }
  }

  SchemaSource source_;
  std::filesystem::path output_;
  bool toStdout_;
  bool opened_ = false;
  OutputFile file_;
  std::set<std::string> schemas_;
  std::vector<TableEntry> tables_;
  std::string name_, columnList_;
  std::vector<size_t> written_;
  std::vector<int32_t> types_;
  bool identity_ = false;
  bool withDeleted_ = false, anyDeleted_ = false;
  size_t rowsInInsert_ = 0;
};

}  // namespace

std::unique_ptr<ExportWriter> MakeSqlWriter(DatabaseReader& reader, const ReadContext& read,
                                            const DatabaseCatalog& catalog, const std::filesystem::path& output,
                                            bool toStdout) {
  return std::make_unique<SqlWriter>(LoadSchemaSource(reader, read, catalog), output, toStdout);
}

}  // namespace pagewright
