#include "export/schema_script.h"

#include <algorithm>
#include <map>

#include "export/export_writer.h"
#include "records/value_format.h"
#include "scripts/module_text.h"

namespace pagewright {

namespace {

std::string TypeName(const ColumnDescriptor& c) { return AsciiLower(c.typeText.substr(0, c.typeText.find('('))); }

// A constraint's own name, without the schema the catalog puts in front.
std::string BareConstraintName(const std::string& name, const std::string& schema) {
  if (!schema.empty() && name.size() > schema.size() + 1 && name.compare(0, schema.size() + 1, schema + ".") == 0)
    return name.substr(schema.size() + 1);
  return name;
}

std::string Trimmed(std::string text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// sysidxstats: index types, and status bits of the indexes that key
// constraints own or that only hold statistics.
constexpr uint8_t kClusteredIndex = 1;
constexpr uint8_t kNonclusteredIndex = 2;
constexpr int32_t kIndexIsUnique = 0x8;
constexpr int32_t kIndexOfPrimaryKey = 0x20;
constexpr int32_t kIndexOfUniqueConstraint = 0x40;

// sysindexes (2000) status bits: unique; statistics or hypothetical
// (no index); owned by a primary key or unique constraint. Index ids past
// 250 hold text and image data.
constexpr int32_t kLegacyIndexIsUnique = 0x2;
constexpr int32_t kLegacyIndexStatistics = 0x60;
constexpr int32_t kLegacyIndexOfConstraint = 0x1800;
constexpr int16_t kLastLegacyIndexId = 250;

// sysschobjs status bits of a foreign key. 0x400: created WITH NOCHECK
// (the rows were not checked against it). 0x4000 alone in its pair of bits:
// ON DELETE CASCADE; the pair's other values are left unread.
constexpr int32_t kForeignKeyNotTrusted = 0x400;
constexpr int32_t kForeignKeyDeleteActionBits = 0xC000;
constexpr int32_t kForeignKeyDeleteCascade = 0x4000;

std::string ColumnList(const std::vector<std::string>& columns) {
  std::string out = "(";
  for (size_t i = 0; i < columns.size(); ++i) out += (i ? ", " : "") + Bracketed(columns[i]);
  return out + ")";
}

// The index of a table by its name (a key constraint's index has the
// constraint's name); null when none is recorded.
const IndexRow* IndexNamed(const DatabaseCatalog& catalog, int32_t tableId, const std::string& name) {
  for (const IndexRow& x : catalog.indexes)
    if (x.objectId == tableId && x.name == name) return &x;
  return nullptr;
}

// " CLUSTERED" or " NONCLUSTERED" for the index behind a key constraint, as
// stored (sysidxstats type 1 or 2; SQL Server 2000: index id 1 is the
// clustered one); empty when the index is not found.
std::string ClusteredWord(const DatabaseCatalog& catalog, int32_t tableId, const std::string& constraint) {
  if (const IndexRow* x = IndexNamed(catalog, tableId, constraint))
    return x->indexType == kClusteredIndex ? " CLUSTERED" : x->indexType == kNonclusteredIndex ? " NONCLUSTERED" : "";
  for (const LegacyIndexKeys& x : catalog.legacyIndexKeys)
    if (x.objectId == tableId && x.name == constraint) return x.indexId == 1 ? " CLUSTERED" : " NONCLUSTERED";
  return {};
}

}  // namespace

std::string DeclaredType(const ColumnDescriptor& c) {
  const std::string name = TypeName(c);
  const int32_t length = DeclaredLengthOf(c.typeText);
  auto sized = [&](int32_t units) { return name + "(" + (length < 0 ? std::string("max") : std::to_string(units)) + ")"; };
  if (c.typeIndex == kTypeHierarchyid) return "hierarchyid";
  if (name == "nvarchar" || name == "nchar") return sized(length / 2);
  if (name == "varchar" || name == "char" || name == "varbinary" || name == "binary") return sized(length);
  if (name == "decimal" || name == "numeric")
    return name + "(" + std::to_string(c.precision) + "," + std::to_string(c.scale) + ")";
  if (name == "datetime2" || name == "time" || name == "datetimeoffset") return name + "(" + std::to_string(c.scale) + ")";
  // A type the catalog does not name (CLR types): what its values are
  // stored as.
  if (name.empty()) return "varbinary(max)";
  return name;
}

std::string QuotedTableName(const TableEntry& t) {
  return t.schema.empty() ? Bracketed(t.bareName) : Bracketed(t.schema) + "." + Bracketed(t.bareName);
}

SchemaSource LoadSchemaSource(DatabaseReader& reader, const ReadContext& read, const DatabaseCatalog& catalog) {
  SchemaSource s;
  s.catalog = &catalog;
  // Module text lives in system tables: read from the backup file as the
  // scan reads it.
  ReadContext modules = read;
  modules.source = PageSource::kOldFile;
  modules.showDeleted = false;
  RetrieveModuleValues(reader, modules, catalog, s.modules, ModuleTableColumns(catalog), nullptr);
  s.codePage = read.collation.codePage;
  return s;
}

std::string CreateTableScript(const SchemaSource& source, const TableEntry& table,
                              std::vector<std::string>* computedColumns, bool deletedColumn) {
  const DatabaseCatalog& catalog = *source.catalog;
  const LoadedDetails loaded = LoadObjectDetails(catalog, table.name, "U ", {});
  const ObjectDetails& details = loaded.details;
  const std::vector<ColumnDescriptor>& columns = loaded.descriptors;
  const int32_t tableId = details.currentObject.id;
  auto moduleText = [&](int32_t id) { return Trimmed(ModuleTextFor(std::to_string(id), source.modules, source.codePage)); };

  // Defaults by column name, checks and unique keys of the table.
  std::map<std::string, std::pair<std::string, std::string>> defaults;  // column -> name, expression
  std::vector<std::pair<std::string, std::string>> checks;
  for (const CatalogObject& o : catalog.objects) {
    if (o.parentObjectId != tableId || o.id < 0) continue;
    if (o.typeCode == "D ") {
      std::string column;
      for (const auto& c : catalog.columns)
        if (c.defaultObjectId == o.id && (c.objectId & kObjectIdMask) == (tableId & kObjectIdMask)) column = c.name;
      for (const auto& c : catalog.legacyColumns)
        if (c.defaultObjectId == static_cast<int16_t>(o.id) && c.objectId == tableId) column = c.name;
      const std::string text = moduleText(o.id);
      if (!column.empty() && !text.empty()) defaults[column] = {BareConstraintName(o.name, table.schema), text};
    } else if (o.typeCode == "C ") {
      const std::string text = moduleText(o.id);
      if (!text.empty()) checks.emplace_back(BareConstraintName(o.name, table.schema), text);
    }
  }

  std::string out = "CREATE TABLE " + QuotedTableName(table) + " (\n";
  bool first = true;
  std::vector<std::string> declared;
  for (const ColumnDescriptor& c : columns) {
    if (c.name.empty()) continue;
    const bool stored = c.physicalColumnId != kNotStoredColumn;
    // A computed column is declared by its expression (PERSISTED when its
    // values are stored). Without the expression a stored one is declared
    // by its type so its values still have a place; an unstored one has
    // nothing to declare.
    const std::string expression = c.computed ? ComputedColumnTextFor(tableId, c.columnId, source.modules, source.codePage)
                                              : std::string();
    if (!stored && expression.empty()) continue;
    out += first ? "  " : ",\n  ";
    first = false;
    declared.push_back(c.name);
    if (!expression.empty()) {
      if (computedColumns != nullptr) computedColumns->push_back(c.name);
      out += Bracketed(c.name) + " AS " + Trimmed(expression);
      if (stored) out += c.nullable ? " PERSISTED" : " PERSISTED NOT NULL";
      continue;
    }
    out += Bracketed(c.name) + " " + DeclaredType(c);
    if (!c.identityText.empty()) {
      std::string identity = c.identityText;  // "identity(1,1)"
      std::transform(identity.begin(), identity.end(), identity.begin(),
                     [](unsigned char ch) { return static_cast<char>(std::toupper(ch)); });
      out += " " + identity;
      if (c.identityNotForReplication) out += " NOT FOR REPLICATION";
    }
    out += c.nullable ? " NULL" : " NOT NULL";
    if (auto d = defaults.find(c.name); d != defaults.end())
      out += " CONSTRAINT " + Bracketed(d->second.first) + " DEFAULT " + d->second.second;
  }
  if (deletedColumn) {
    out += std::string(first ? "  " : ",\n  ") + Bracketed(kDeletedColumn) + " bit NOT NULL";
    first = false;
  }
  // The primary key, its columns in key order, and the unique keys. A key
  // over a column the statement cannot declare would fail the whole
  // statement: it is named in a comment instead.
  auto allDeclared = [&](const std::vector<std::string>& names) {
    return std::all_of(names.begin(), names.end(),
                       [&](const std::string& n) { return std::find(declared.begin(), declared.end(), n) != declared.end(); });
  };
  std::string leftOut;
  std::vector<std::string> key;
  for (const PrimaryKeyColumnEntry& k : details.primaryKeyColumns)
    if (std::find(key.begin(), key.end(), k.columnName) == key.end()) key.push_back(k.columnName);
  for (const ConstraintEntry& con : details.tableConstraints) {
    if (!con.isPrimaryKey && !con.isUnique) continue;
    const std::string name = BareConstraintName(con.name, table.schema);
    std::vector<std::string> columnsOfKey = con.isPrimaryKey ? key : KeyColumnsOfConstraint(catalog, details, tableId, name);
    if (columnsOfKey.empty()) continue;
    if (!allDeclared(columnsOfKey)) {
      leftOut += "-- " + Bracketed(name) + " left out: its columns " + ColumnList(columnsOfKey) + " are not all declared.\n";
      if (con.isPrimaryKey) key.clear();
      continue;
    }
    out += ",\n  CONSTRAINT " + Bracketed(name) + (con.isPrimaryKey ? " PRIMARY KEY" : " UNIQUE") +
           ClusteredWord(catalog, tableId, name) + " " + ColumnList(columnsOfKey);
    if (con.isPrimaryKey) key.clear();
  }
  if (!key.empty() && allDeclared(key)) out += ",\n  PRIMARY KEY " + ColumnList(key);
  for (const auto& [name, text] : checks) out += ",\n  CONSTRAINT " + Bracketed(name) + " CHECK " + text;
  out += "\n);\n";
  return leftOut + out;
}

std::vector<std::string> IndexScripts(const SchemaSource& source, const TableEntry& table) {
  const DatabaseCatalog& catalog = *source.catalog;
  const LoadedDetails loaded = LoadObjectDetails(catalog, table.name, "U ", {});
  const int32_t tableId = loaded.details.currentObject.id;
  auto columnName = [&](int32_t columnId) -> std::string {
    for (const ColumnDescriptor& c : loaded.descriptors)
      if (c.columnId == columnId) return c.name;
    return {};
  };
  std::vector<std::string> out;
  auto add = [&](const std::string& name, bool unique, bool clustered, const std::vector<int32_t>& keyIds,
                 const std::vector<int32_t>& includedIds) {
    std::vector<std::string> keys, included;
    for (int32_t id : keyIds) keys.push_back(columnName(id));
    for (int32_t id : includedIds) included.push_back(columnName(id));
    auto unnamed = [](const std::vector<std::string>& names) {
      return std::any_of(names.begin(), names.end(), [](const std::string& n) { return n.empty(); });
    };
    if (keys.empty() || unnamed(keys) || unnamed(included)) {
      out.push_back("-- " + Bracketed(name) + " left out: its columns are not all known.\n");
      return;
    }
    std::string text = std::string("CREATE ") + (unique ? "UNIQUE " : "") + (clustered ? "CLUSTERED" : "NONCLUSTERED") +
                       " INDEX " + Bracketed(name) + " ON " + QuotedTableName(table) + " " + ColumnList(keys);
    if (!included.empty()) text += " INCLUDE " + ColumnList(included);
    out.push_back(text + ";\n");
  };
  for (const IndexRow& x : catalog.indexes) {
    if (x.objectId != tableId || x.indexId < 1 || x.name.empty()) continue;
    if (x.indexType != kClusteredIndex && x.indexType != kNonclusteredIndex) continue;  // heap, statistics, xml, spatial
    if ((x.status & (kIndexOfPrimaryKey | kIndexOfUniqueConstraint)) != 0) continue;     // declared with the table
    // sysiscols: key columns carry their key ordinal (1, 2, ...), included
    // columns 0.
    std::vector<const IndexColumnRow*> keyRows, includedRows;
    for (const IndexColumnRow& ic : catalog.indexColumns)
      if (ic.objectId == tableId && ic.indexId == x.indexId) (ic.firstTiny > 0 ? keyRows : includedRows).push_back(&ic);
    std::stable_sort(keyRows.begin(), keyRows.end(), [](auto* a, auto* b) { return a->firstTiny < b->firstTiny; });
    std::stable_sort(includedRows.begin(), includedRows.end(), [](auto* a, auto* b) { return a->columnOrdinal < b->columnOrdinal; });
    std::vector<int32_t> keys, included;
    for (const IndexColumnRow* ic : keyRows) keys.push_back(ic->property);
    for (const IndexColumnRow* ic : includedRows) included.push_back(ic->property);
    add(x.name, (x.status & kIndexIsUnique) != 0, x.indexType == kClusteredIndex, keys, included);
  }
  // SQL Server 2000: sysindexes rows; index id 1 is the clustered index.
  for (const LegacyIndexKeys& x : catalog.legacyIndexKeys) {
    if (x.objectId != tableId || x.indexId < 1 || x.indexId > kLastLegacyIndexId || x.name.empty()) continue;
    if ((x.status & (kLegacyIndexStatistics | kLegacyIndexOfConstraint)) != 0) continue;
    const std::vector<int16_t> ids = DeclaredLegacyKeyColumns(catalog, x);
    add(x.name, (x.status & kLegacyIndexIsUnique) != 0, x.indexId == 1, std::vector<int32_t>(ids.begin(), ids.end()), {});
  }
  return out;
}

std::vector<std::string> ForeignKeyScripts(const SchemaSource& source, const std::vector<TableEntry>& tables,
                                           bool noCheck) {
  std::map<std::string, const TableEntry*> byName;
  for (const auto& t : tables) byName[t.name] = &t;
  // Column pairs by constraint, in key order.
  std::map<int32_t, std::vector<const ForeignKeyColumn*>> keys;
  for (const ForeignKeyColumn& fk : source.catalog->foreignKeyColumns)
    if (byName.count(fk.parentTableName) != 0) keys[fk.constraintId].push_back(&fk);
  std::vector<std::string> out;
  for (auto& [id, pairs] : keys) {
    std::stable_sort(pairs.begin(), pairs.end(), [](auto* a, auto* b) { return a->keyOrdinal < b->keyOrdinal; });
    const TableEntry& table = *byName[pairs[0]->parentTableName];
    std::vector<std::string> from, to;
    for (const auto* p : pairs) {
      from.push_back(p->parentColumnName);
      to.push_back(p->referencedColumnName);
    }
    const std::string& referenced = pairs[0]->referencedTableName;
    std::string referencedName;
    if (auto r = byName.find(referenced); r != byName.end()) referencedName = QuotedTableName(*r->second);
    else referencedName = BracketedName(referenced);
    const int32_t status = source.catalog->legacyCatalog ? 0 : pairs[0]->constraintStatus;
    const bool unchecked = noCheck || (status & kForeignKeyNotTrusted) != 0;
    std::string text = "ALTER TABLE " + QuotedTableName(table) + (unchecked ? " WITH NOCHECK ADD " : " ADD ");
    if (!pairs[0]->constraintName.empty())
      text += "CONSTRAINT " + Bracketed(BareConstraintName(pairs[0]->constraintName, table.schema)) + " ";
    text += "FOREIGN KEY " + ColumnList(from) + " REFERENCES " + referencedName + " " + ColumnList(to);
    if ((status & kForeignKeyDeleteActionBits) == kForeignKeyDeleteCascade) text += " ON DELETE CASCADE";
    text += ";\n";
    out.push_back(std::move(text));
  }
  return out;
}

std::vector<std::string> ModuleScripts(const SchemaSource& source) {
  const std::vector<std::vector<std::string>> order = {{"FN", "IF", "TF"}, {"V "}, {"P "}, {"TR"}};
  std::vector<std::string> out;
  for (const auto& codes : order) {
    std::vector<const CatalogObject*> objects;
    for (const CatalogObject& o : source.catalog->objects)
      if (o.id > 0 && std::find(codes.begin(), codes.end(), o.typeCode) != codes.end()) objects.push_back(&o);
    std::sort(objects.begin(), objects.end(), [](auto* a, auto* b) { return a->id < b->id; });
    for (const CatalogObject* o : objects) {
      std::string text = ModuleTextFor(std::to_string(o->id), source.modules, source.codePage);
      if (Trimmed(text).empty()) continue;
      if (text.back() != '\n') text += "\n";
      out.push_back(std::move(text));
    }
  }
  return out;
}

}  // namespace pagewright
