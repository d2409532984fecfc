// The catalog: everything known about the schema of the open database.
//
// The build reads the system base tables in a fixed order (files, class
// objects, objects, allocation units, rowsets, columns, scalar types, then
// in 2005-and-later files rowset columns, object references, indexes and
// index columns), switching to the SQL Server 2000 tables when sysschobjs
// yields nothing. The lists keep file order; lookups by id go through
// indexes built once after the build.
#ifndef PAGEWRIGHT_CATALOG_DATABASE_CATALOG_H_
#define PAGEWRIGHT_CATALOG_DATABASE_CATALOG_H_

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "catalog/catalog_rows.h"
#include "pagestore/boot_page.h"
#include "records/column_descriptor.h"

namespace pagewright {

class DatabaseCatalog {
 public:
  // Builds the catalog from the open reader's page maps (always the old
  // file); never fails as a whole (missing tables leave their lists empty).
  // The boot page identity and the layout decision (SQL Server 2000 tables
  // when sysschobjs yields nothing) come back in `identity` and
  // `legacyCatalog`; `context.legacyCatalog` is the user's first choice.
  static std::unique_ptr<DatabaseCatalog> Build(DatabaseReader& reader, const ReadContext& context,
                                                const CollationChoice& collation);

  // Empties every list and map.
  void Clear();

  DatabaseReader* database = nullptr;
  uint64_t repairCounter = 0;
  std::optional<BootIdentity> identity;  // none when no boot page could be read
  bool legacyCatalog = false;            // read from the SQL Server 2000 tables

  // Build-time lists, in file order.
  std::vector<DatabaseFileRow> databaseFiles;
  std::vector<ClassObjectRow> classObjects;
  std::vector<CatalogObject> objects;
  std::vector<AllocUnitRow> allocationUnits;
  std::vector<RowsetRow> rowsets;
  std::vector<ColumnRow> columns;
  std::vector<LegacyColumnRow> legacyColumns;
  std::map<int32_t, LegacyIndexRow> legacyIndexMap;
  std::vector<LegacyIndexKeys> legacyIndexKeys;
  std::vector<LegacyTable> legacyTables;
  std::vector<ScalarTypeRow> scalarTypes;
  std::vector<RowsetColumnRow> rowsetColumns;
  std::vector<ObjectRefRow> objectReferences;
  std::vector<IndexRow> indexes;
  std::vector<IndexColumnRow> indexColumns;
  std::vector<OldRowsetColumnRow> oldRowsetColumns;
  std::vector<OldRowsetColumnExtraRow> oldRowsetColumnExtras;
  std::vector<ChildObject> childObjects;
  std::vector<ChildObject> referencingChildObjects;
  std::vector<ForeignKeyColumn> foreignKeyColumns;


  // Indexes over the build-time lists (positions in the lists, in list
  // order), built once the lists are complete.
  struct Indexes {
    std::unordered_map<std::string, std::vector<size_t>> objectsByName;
    std::unordered_map<int32_t, std::vector<size_t>> objectsByParent;
    std::unordered_map<int32_t, std::vector<size_t>> columnsByObject;  // masked object id
    std::unordered_map<int32_t, std::vector<size_t>> legacyColumnsByObject;
    std::unordered_map<int32_t, std::vector<size_t>> rowsetsByObject;
    std::unordered_map<int64_t, std::vector<size_t>> allocationUnitsByOwner;
    std::unordered_map<int64_t, std::vector<size_t>> allocationUnitsById;
    std::unordered_map<int64_t, std::vector<size_t>> rowsetColumnsByRowset;
    std::unordered_map<int64_t, std::vector<size_t>> oldRowsetColumnsByRowset;
    std::unordered_map<int64_t, std::vector<size_t>> oldRowsetColumnExtrasByRowset;
    std::unordered_map<int32_t, std::vector<size_t>> indexesByObject;
    std::unordered_map<int32_t, std::vector<size_t>> indexColumnsByObject;
    std::unordered_map<int32_t, std::vector<size_t>> foreignKeysByParentTable;
    std::unordered_map<int32_t, std::vector<size_t>> legacyIndexKeysByObject;
  };
  const Indexes& index() const { return index_; }
  void RebuildIndexes();

 private:
  Indexes index_;
};

// Object ids are compared with bits 24 and 25 cleared where columns are
// matched to tables.
constexpr int32_t kObjectIdMask = static_cast<int32_t>(0xFCFFFFFF);

}  // namespace pagewright

#endif  // PAGEWRIGHT_CATALOG_DATABASE_CATALOG_H_
