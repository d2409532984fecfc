// SQLite: one database file, a table per source table named
// "schema.table", columns declared with the SQLite affinity of their SQL
// Server type (INTEGER, REAL, NUMERIC for exact numbers of up to 15
// digits, none for longer ones, TEXT, BLOB), one transaction per table.
// The file is built under a temporary name and renamed into place once
// every table is in.
#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <random>

#include "export/export_writer.h"
#include "records/value_format.h"

namespace pagewright {

namespace {

std::string Quoted(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  return out + "\"";
}

// NUMERIC affinity turns text that reads as a number into INTEGER or REAL,
// keeping 15 significant digits: money and decimals of more digits are
// declared without a type (no affinity), so a value no SQLite number holds
// exactly stays its digits.
constexpr int kExactDigitsOfReal = 15;

const char* AffinityOf(const ColumnDescriptor& column) {
  switch (column.typeIndex) {
    case kTypeBigint:
    case kTypeBit:
    case kTypeInt:
    case kTypeSmallint:
    case kTypeTinyint: return "INTEGER";
    case kTypeFloat:
    case kTypeReal: return "REAL";
    case kTypeMoney: return "";
    case kTypeNumeric:
    case kTypeDecimal: return column.precision > kExactDigitsOfReal ? "" : "NUMERIC";
    case kTypeSmallmoney: return "NUMERIC";
    case kTypeBinary:
    case kTypeVarbinary:
    case kTypeImage:
    case kTypeTimestamp:
    case kTypeClr:
    case kTypeGeometry:
    case kTypeHierarchyid: return "BLOB";
    default: return "TEXT";
  }
}

class SqliteWriter : public ExportWriter {
 public:
  explicit SqliteWriter(std::filesystem::path output) : output_(std::move(output)) {}
  ~SqliteWriter() override {
    Close();
    std::error_code ec;
    if (!finished_ && !temporary_.empty()) std::filesystem::remove(temporary_, ec);
  }

  bool BeginTable(const ExportTable& table) override {
    if (db_ == nullptr && !OpenDatabase()) return false;
    // SQLite's names ignore case: tables or columns whose names differ
    // only in case (a case-sensitive collation allows them) get " (2)".
    const std::string name = Quoted(UniqueName(
        table.entry.schema.empty() ? table.entry.bareName : table.entry.schema + "." + table.entry.bareName, tables_));
    std::string create = "CREATE TABLE " + name + " (";
    std::string insert = "INSERT INTO " + name + " VALUES (";
    std::set<std::string> columns;
    if (table.withDeleted) columns.insert(kDeletedColumn);
    for (size_t i = 0; i < table.columns.size(); ++i) {
      const std::string affinity = AffinityOf(table.columns[i]);
      create += (i ? ", " : "") + Quoted(UniqueName(table.columns[i].name, columns)) +
                (affinity.empty() ? "" : " " + affinity);
      insert += i ? ",?" : "?";
    }
    if (table.withDeleted) {
      create += std::string(table.columns.empty() ? "" : ", ") + Quoted(kDeletedColumn) + " INTEGER";
      insert += table.columns.empty() ? "?" : ",?";
    }
    create += ")";
    insert += ")";
    const std::string row = insert.substr(insert.rfind(" VALUES ") + 8);  // "(?,?,...)"
    withDeleted_ = table.withDeleted;
    if (!Exec("BEGIN") || !Exec(create)) return false;
    if (sqlite3_prepare_v2(db_, insert.c_str(), -1, &insert_, nullptr) != SQLITE_OK) return Fail("prepare");
    // A page's rows go in statements of 32, 16, ... 2 rows where a statement
    // may have that many parameters (the rest one by one): each statement
    // run has a fixed cost (opening the table, finding its end, ending the
    // statement) that a batch pays once.
    const int perRow = static_cast<int>(table.columns.size()) + (table.withDeleted ? 1 : 0);
    for (size_t b = 0; b < kBatches; ++b) {
      const int rows = kBatchRows >> b;
      if (perRow <= 0 || perRow * rows > sqlite3_limit(db_, SQLITE_LIMIT_VARIABLE_NUMBER, -1)) continue;
      std::string batch = insert;
      for (int i = 1; i < rows; ++i) batch += "," + row;
      if (sqlite3_prepare_v2(db_, batch.c_str(), -1, &batches_[b], nullptr) != SQLITE_OK) return Fail("prepare");
    }
    return true;
  }

  bool Row(const std::vector<const CellValue*>& cells, bool deleted) override {
    int k = 1;
    for (const CellValue* cell : cells)
      if (!Bind(insert_, k++, *cell)) return Fail("bind");
    if (withDeleted_ && sqlite3_bind_int(insert_, k, deleted ? 1 : 0) != SQLITE_OK) return Fail("bind");
    if (sqlite3_step(insert_) != SQLITE_DONE) return Fail("insert");
    sqlite3_reset(insert_);
    return true;
  }

  size_t Rows(const std::vector<TypedRow>& rows, const std::vector<size_t>& stored) override {
    size_t done = 0;
    for (size_t b = 0; b < kBatches; ++b) {
      const size_t size = static_cast<size_t>(kBatchRows >> b);
      for (; batches_[b] != nullptr && done + size <= rows.size(); done += size)
        if (!InsertBatch(batches_[b], size, rows, done, stored)) return done;
    }
    return done + RowsOneByOne(rows, done, stored);
  }
  bool EndTable(bool complete) override {
    FinalizeStatements();
    if (db_ == nullptr) return false;
    // A table whose read was cut short still keeps the rows it got: they
    // are what could be recovered.
    (void)complete;
    return Exec("COMMIT");
  }

  bool Finish() override {
    if (db_ == nullptr && !OpenDatabase()) return false;
    Close();
    std::error_code ec;
    std::filesystem::rename(temporary_, output_, ec);
    if (ec) {
      error_ = output_.string() + ": cannot put the file in place (" + ec.message() + ")";
      return false;
    }
    finished_ = true;
    return true;
  }

 private:
  bool OpenDatabase() {
    std::random_device random;
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%08x.partial", random());
    temporary_ = output_;
    temporary_ += suffix;
    if (sqlite3_open_v2(temporary_.string().c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
      error_ = output_.string() + ": cannot create the SQLite file (" + (db_ ? sqlite3_errmsg(db_) : "out of memory") + ")";
      Close();
      return false;
    }
    // The file is new and renamed into place only when complete: no journal
    // is needed to protect it. Large pages: a table's rows are appended, and
    // each page filled costs a tree balance and a write.
    return Exec("PRAGMA page_size=65536") && Exec("PRAGMA journal_mode=OFF") && Exec("PRAGMA synchronous=OFF");
  }

  bool Exec(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return true;
    error_ = output_.string() + ": " + (message ? message : "SQLite error");
    sqlite3_free(message);
    return false;
  }

  // Rows from..from + size in one run of `batch`.
  bool InsertBatch(sqlite3_stmt* batch, size_t size, const std::vector<TypedRow>& rows, size_t from,
                   const std::vector<size_t>& stored) {
    int k = 1;
    for (size_t r = from; r < from + size; ++r) {
      for (size_t column : stored)
        if (!Bind(batch, k++, rows[r].cells[column])) return Fail("bind");
      if (withDeleted_ && sqlite3_bind_int(batch, k++, rows[r].deleted ? 1 : 0) != SQLITE_OK) return Fail("bind");
    }
    if (sqlite3_step(batch) != SQLITE_DONE) return Fail("insert");
    sqlite3_reset(batch);
    return true;
  }

  void FinalizeStatements() {
    if (insert_ != nullptr) sqlite3_finalize(insert_);
    insert_ = nullptr;
    for (sqlite3_stmt*& batch : batches_) {
      if (batch != nullptr) sqlite3_finalize(batch);
      batch = nullptr;
    }
  }

  // An exact decimal ("-1234.5600"): INTEGER when it is a whole number
  // that fits, REAL when its significant digits are few enough for a double
  // to give them back, else its text.
  static int BindDecimal(sqlite3_stmt* statement, int k, const std::string& text) {
    auto asText = [&] { return sqlite3_bind_text64(statement, k, text.data(), text.size(), SQLITE_STATIC, SQLITE_UTF8); };
    const size_t sign = !text.empty() && text[0] == '-' ? 1 : 0;
    const size_t point = std::min(text.find('.'), text.size());
    const std::string whole = text.substr(sign, point - sign);
    std::string fraction = point < text.size() ? text.substr(point + 1) : std::string();
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    std::string digits = whole + fraction;
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return asText();
    long long n = 0;
    if (fraction.empty() && std::from_chars(text.data(), text.data() + point, n).ec == std::errc())
      return sqlite3_bind_int64(statement, k, n);
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
    while (!digits.empty() && digits.back() == '0') digits.pop_back();
    // from_chars reads '.' whatever the process locale (the window sets the
    // user's).
    double real = 0;
    if (digits.size() <= static_cast<size_t>(kExactDigitsOfReal) &&
        std::from_chars(text.data(), text.data() + text.size(), real).ec == std::errc())
      return sqlite3_bind_double(statement, k, real);
    return asText();
  }

  static bool Bind(sqlite3_stmt* statement, int k, const CellValue& v) {
    int rc;
    switch (v.kind) {
      case CellKind::kInteger:
      case CellKind::kBool: rc = sqlite3_bind_int64(statement, k, v.integer); break;
      case CellKind::kFloat: rc = sqlite3_bind_double(statement, k, v.real); break;
      case CellKind::kDecimal: rc = BindDecimal(statement, k, v.text); break;
      case CellKind::kText:
      case CellKind::kDateTime:
        rc = sqlite3_bind_text64(statement, k, v.text.data(), v.text.size(), SQLITE_STATIC, SQLITE_UTF8);
        break;
      case CellKind::kBytes:
        rc = sqlite3_bind_blob64(statement, k, v.bytes.empty() ? "" : static_cast<const void*>(v.bytes.data()),
                                 v.bytes.size(), SQLITE_STATIC);
        break;
      default: rc = sqlite3_bind_null(statement, k); break;
    }
    return rc == SQLITE_OK;
  }

  bool Fail(const char* what) {
    error_ = output_.string() + ": " + what + ": " + sqlite3_errmsg(db_);
    return false;
  }

  void Close() {
    FinalizeStatements();
    if (db_ != nullptr) sqlite3_close(db_);
    db_ = nullptr;
  }

  std::filesystem::path output_, temporary_;
  sqlite3* db_ = nullptr;
  static constexpr int kBatchRows = 32;
  static constexpr size_t kBatches = 5;  // 32, 16, 8, 4 and 2 rows
  sqlite3_stmt* insert_ = nullptr;       // one row
  std::array<sqlite3_stmt*, kBatches> batches_{};
  bool withDeleted_ = false;
  bool finished_ = false;
  std::set<std::string> tables_;  // the table names given so far
};

}  // namespace

std::unique_ptr<ExportWriter> MakeSqliteWriter(const std::filesystem::path& output) {
  return std::make_unique<SqliteWriter>(output);
}

}  // namespace pagewright
