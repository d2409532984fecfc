// Writes whole databases with a catalog: the system base tables of SQL
// Server 2005 and later (or the SQL Server 2000 system tables), the data
// pages and IAM pages of user tables, and module definitions.
#ifndef PAGEWRIGHT_TESTS_SUPPORT_BUILDER_CATALOG_BUILDER_H_
#define PAGEWRIGHT_TESTS_SUPPORT_BUILDER_CATALOG_BUILDER_H_

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/builder/database_builder.h"
#include "support/builder/row_encoder.h"

namespace pagewright::build {

struct ForeignKeyDef {
  std::string name;
  std::vector<int> columns;  // column indexes in this table
  std::string referencedTable;
  std::vector<int> referencedColumns;
};

struct TableDef {
  std::string name;
  std::string schema = "dbo";
  std::vector<ColumnSpec> columns;
  std::vector<std::vector<Value>> rows;
  std::vector<std::vector<Value>> ghostRows;  // deleted rows left on the pages
  std::vector<int> primaryKey;                // column indexes
  std::string primaryKeyName;                 // "PK_<table>" when empty
  std::vector<ForeignKeyDef> foreignKeys;
  std::vector<std::pair<std::string, std::u16string>> checkConstraints;  // name, definition
  // Unique constraints: name and column indexes, each with a unique
  // nonclustered index of that name (2005-and-later layout only).
  std::vector<std::pair<std::string, std::vector<int>>> uniqueKeys;
  bool clustered = false;  // a clustered primary key (index id 1) or a heap
  // SQL Server 2000 layout only: a clustered index that is no constraint,
  // on these column indexes (the primary key is then nonclustered).
  std::vector<int> clusteredIndex;
  std::string clusteredIndexName;
  int rowsPerPage = 0;     // 0: as many as fit
  std::string typeCode = "U ";
  // When set (2005-and-later layout only), these rows are a further partition
  // of the named table, added after it: a rowset of that table's object and
  // index id with the next partition number, its own allocation unit, IAM
  // page and data pages, and no object, column or key rows of its own. Give
  // it the same columns and `clustered` as the table.
  std::string partitionOf;
  int partitionNumber = 0;  // the rowset's partition number; 0: the next one
  // When set, writes the table's data pages instead of classic records (row-
  // and page-compressed tables, generated tables): the pages in chain order,
  // with their records; the builder gives them positions, this page, object
  // id and page links. The hook may first write pages its rows point to
  // (text pages) into the file being built.
  std::function<std::vector<PageBuilder>(const TableDef&, DatabaseBuilder&)> dataPages;
};

struct ModuleDef {
  std::string name;
  std::string schema = "dbo";
  std::string typeCode;  // "V ", "P ", "FN", "IF", "TF", "TR", "D "
  std::u16string definition;
  std::string parentTable;  // triggers and defaults
  // Splits the stored definition into pieces of at most this many
  // characters (several sysobjvalues or syscomments rows).
  size_t pieceLength = 4000;
};

// Positions and ids the builder chose, for tests that damage or inspect them.
struct BuiltTable {
  int32_t objectId = 0;
  int64_t rowsetId = 0;
  int64_t allocationUnitId = 0;
  int32_t pageKey = 0;  // the object id in the header of its data pages
  std::vector<uint32_t> dataPages;
  uint32_t iamPage = 0;
};

class CatalogBuilder {
 public:
  // `legacy`: SQL Server 2000 system tables (boot version 539); otherwise
  // 2005-and-later system base tables with the given boot version.
  explicit CatalogBuilder(bool legacy = false, uint16_t version = 661);

  CatalogBuilder& DatabaseName(const std::u16string& name);
  CatalogBuilder& Collation(int32_t collationId);
  void AddTable(TableDef table);
  void AddModule(ModuleDef module);
  // Called on every finished page before the file is written, to damage or
  // change it (position, bytes).
  CatalogBuilder& Tweak(std::function<void(uint32_t, std::vector<uint8_t>&)> tweak);

  DatabaseBuilder Build();
  // Tables by schema-qualified name ("dbo.Orders").
  const std::map<std::string, BuiltTable>& built() const { return built_; }
  // The object id given to an object, by name ("Orders" means dbo.Orders).
  int32_t ObjectIdOf(const std::string& name) const;
  static std::string Key(const std::string& schema, const std::string& name);

 private:
  void BuildModern(DatabaseBuilder& db);
  void BuildLegacy(DatabaseBuilder& db);
  void WriteTableData(DatabaseBuilder& db, const TableDef& t, BuiltTable& b, int32_t headerObjectId);
  // Writes records into pages under one header object id from position 16
  // on; returns the positions used.
  std::vector<uint32_t> WriteRecords(DatabaseBuilder& db, int32_t headerObjectId, const std::vector<Bytes>& records,
                                     uint8_t pageType = 1, int rowsPerPage = 0);
  // Gives finished pages positions (as WriteRecords does) and writes them.
  std::vector<uint32_t> WritePages(DatabaseBuilder& db, int32_t headerObjectId, std::vector<PageBuilder> pages);

  bool legacy_;
  uint16_t version_;
  std::u16string name_ = u"BuilderDb";
  int32_t collation_ = 872468488;
  std::vector<TableDef> tables_;
  std::vector<ModuleDef> modules_;
  std::map<std::string, BuiltTable> built_;
  std::map<std::string, int32_t> ids_;
  std::function<void(uint32_t, std::vector<uint8_t>&)> tweak_;
};

// An IAM page at `position` for the pages of one allocation unit: up to
// eight single pages in its header record, the rest as extents of the
// bitmap record.
std::vector<uint8_t> IamPageBytes(uint32_t position, int32_t headerObjectId, const std::vector<uint32_t>& pages);

}  // namespace pagewright::build

#endif  // PAGEWRIGHT_TESTS_SUPPORT_BUILDER_CATALOG_BUILDER_H_
