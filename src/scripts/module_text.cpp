#include "scripts/module_text.h"

#include "records/value_format.h"
#include "tabledata/row_decoder.h"

namespace pagewright {

namespace {
constexpr int32_t kSysobjvalues = 60;
constexpr int32_t kSyscomments = 6;
constexpr int32_t kDefinitionClass = 1;
constexpr int32_t kComputedColumnClass = 2;  // object: the table, sub id: the column
}  // namespace

std::vector<ColumnDescriptor> SysobjvaluesColumns() {
  return {DescribeColumn("valclass", "tinyint(1)", kTypeTinyint), DescribeColumn("objid", "int(4)", kTypeInt),
          DescribeColumn("subobjid", "int(4)", kTypeInt),        DescribeColumn("valnum", "int(4)", kTypeInt),
          DescribeColumn("value", "sql_variant(8016)", kTypeSqlVariant),
          DescribeColumn("imageval", "varbinary(-1)", kTypeVarbinary)};
}

std::vector<ColumnDescriptor> SyscommentsColumns() {
  // Each type text carries its length: the positional decoder moves from
  // one fixed column to the next by it.
  return {DescribeColumn("id", "int(4)", kTypeInt), DescribeColumn("number", "smallint(2)", kTypeSmallint),
          DescribeColumn("colid", "smallint(2)", kTypeSmallint), DescribeColumn("status", "smallint(2)", kTypeSmallint),
          DescribeColumn("ctext", "varbinary(-1)", kTypeVarbinary)};
}

std::vector<ColumnDescriptor> ModuleTableColumns(const DatabaseCatalog& catalog) {
  if (!catalog.legacyCatalog) return SysobjvaluesColumns();
  for (const char* name : {"syscomments", "dbo.syscomments"}) {
    auto columns = LoadObjectDetails(catalog, name, "S ", {}).descriptors;
    if (!columns.empty()) return columns;
  }
  return SyscommentsColumns();
}

void RetrieveModuleValues(DatabaseReader& reader, const ReadContext& read, const DatabaseCatalog& catalog,
                          std::vector<ModuleValue>& target, const std::vector<ColumnDescriptor>& columns,
                          ReadEventSink* events) {
  const bool legacy = read.legacyCatalog;
  Emit(events, ReadEventCode::kModulesRetrieving);
  std::vector<PageListEntry> pages;
  if (auto it = reader.objectPageMap.find(legacy ? kSyscomments : kSysobjvalues); it != reader.objectPageMap.end())
    pages = it->second;
  const auto n = static_cast<int64_t>(pages.size());
  Emit(events, ReadEventCode::kProgressRange, 0, n);
  // Module rows follow the rowset layout where the catalog has rowset
  // columns (SQL Server 2008 and later); 2005 and 2000 rows are read by
  // position.
  DecodeMode mode{!legacy && !catalog.rowsetColumns.empty(), true};
  RowDecodeContext context{columns};
  for (int64_t i = 0; i < n && !read.StopRequested(); ++i) {
    const PageListEntry& entry = pages[static_cast<size_t>(i)];
    if (legacy && entry.pageType != kDataPage) continue;
    for (const DecodedRow& row : ReadPageRows(reader, read, entry.id(), context, mode, true)) {
      if (row.empty()) continue;
      ModuleValue v;
      if (!legacy) {
        if (row.size() < 3) continue;
        v.objectId = row[1];
        v.subObjectId = row[2];
        v.value = row.back();
        v.valueClass = std::atoi(row[0].c_str());
        if (row.size() >= 5 && !row[4].empty() && row[4] != kNullText) v.textFlags = std::atoi(row[4].c_str());
      } else {
        v.objectId = row[0];
        if (row.size() >= 2) v.subObjectId = row[1];
        if (row.size() >= 5) v.value = row[4];
        if (row.size() >= 4) v.textFlags = std::atoi(row[3].c_str());
      }
      target.push_back(std::move(v));
    }
    Emit(events, ReadEventCode::kProgressPosition, i);
  }
  Emit(events, ReadEventCode::kProgressPosition, n);
  Emit(events, ReadEventCode::kModulesRetrieved);
}

namespace {

// The pieces `take` accepts, decoded and joined in order.
template <typename Take>
std::string JoinedText(const std::vector<ModuleValue>& values, int32_t codePage, Take take) {
  std::string result;
  for (const auto& v : values) {
    if (!take(v)) continue;
    auto decoded = DecodeModuleText(v.value, TextKindOf(v), codePage);
    if (!decoded) continue;
    if (decoded->wide || decoded->text != result) result += decoded->text;
  }
  return result;
}

}  // namespace

std::string ModuleTextFor(const std::string& objectIdText, const std::vector<ModuleValue>& values,
                          int32_t codePage) {
  return JoinedText(values, codePage, [&](const ModuleValue& v) {
    // Other value classes hold statistics, properties and computed columns.
    return v.objectId == objectIdText && (v.valueClass == -1 || v.valueClass == kDefinitionClass);
  });
}

std::string ComputedColumnTextFor(int32_t tableId, int32_t columnId, const std::vector<ModuleValue>& values,
                                  int32_t codePage) {
  const std::string table = std::to_string(tableId), column = std::to_string(columnId);
  return JoinedText(values, codePage, [&](const ModuleValue& v) {
    return v.valueClass == kComputedColumnClass && v.objectId == table && v.subObjectId == column;
  });
}

std::string Bracketed(const std::string& identifier) {
  std::string out = "[";
  for (char c : identifier) {
    out.push_back(c);
    if (c == ']') out.push_back(']');
  }
  return out + "]";
}

std::string BracketedName(const std::string& name) {
  size_t dot = name.find('.');
  if (dot == std::string::npos) return Bracketed(name);
  return Bracketed(name.substr(0, dot)) + "." + Bracketed(name.substr(dot + 1));
}

std::string PrimaryKeyScript(const std::string& table, const std::vector<std::string>& columns) {
  std::string list;
  for (size_t i = 0; i < columns.size(); ++i) list += (i ? " , " : " ") + Bracketed(columns[i]);
  return "ALTER TABLE " + BracketedName(table) + " ADD PRIMARY KEY (" + list + " )";
}

std::string UniqueScript(const std::string& table, const std::string& constraint, const std::vector<std::string>& columns) {
  std::string list;
  for (size_t i = 0; i < columns.size(); ++i) list += (i ? ",\r\n" : "") + Bracketed(columns[i]) + " ASC";
  return "ALTER TABLE " + BracketedName(table) + " WITH NOCHECK ADD CONSTRAINT " + Bracketed(constraint) +
         " UNIQUE NONCLUSTERED \r\n(\r\n" + list + "\r\n)";
}

std::string ForeignKeyScript(const std::string& table, const std::string& constraint,
                             const std::vector<std::string>& columns, const std::string& referencedTable,
                             const std::vector<std::string>& referencedColumns) {
  auto list = [](const std::vector<std::string>& names) {
    std::string out;
    for (size_t i = 0; i < names.size(); ++i) out += (i ? ", " : "") + Bracketed(names[i]);
    return out;
  };
  return "ALTER TABLE " + BracketedName(table) + " ADD CONSTRAINT " + Bracketed(constraint) + " FOREIGN KEY (" +
         list(columns) + ") REFERENCES " + BracketedName(referencedTable) + " (" + list(referencedColumns) + ")";
}

std::string CheckScript(const std::string& table, const std::string& constraint, const std::string& moduleText) {
  return "ALTER TABLE " + BracketedName(table) + " WITH NOCHECK ADD CONSTRAINT " + Bracketed(constraint) +
         " CHECK " + moduleText;
}

std::string DefaultScript(const std::string& table, const std::string& constraint, const std::string& moduleText,
                          const std::string& column) {
  return "ALTER TABLE " + BracketedName(table) + " ADD CONSTRAINT " + Bracketed(constraint) + " DEFAULT " +
         moduleText + " FOR " + Bracketed(column);
}

}  // namespace pagewright
