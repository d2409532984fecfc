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
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "catalog/catalog_rows.h"
#include "records/column_descriptor.h"

namespace pagewright {

class DatabaseCatalog {
 public:
  // Builds the catalog from the open reader's page maps; never fails as a
  // whole (missing tables leave their lists empty). Sets
  // `legacyCatalogMode` in the reader's state.
  static std::unique_ptr<DatabaseCatalog> Build(DatabaseReader& reader);

  // Empties every list and map.
  void Clear();

  DatabaseReader* database = nullptr;
  uint64_t repairCounter = 0;

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

  // Working set of the selected object (see object_details.h).
  CatalogObject currentObject;
  AllocUnitRow currentAllocUnit;
  RowsetRow currentRowset;
  std::vector<ConstraintEntry> tableConstraints;
  std::vector<RowsetRow> tableRowsets;
  std::vector<AllocUnitRow> tableAllocationUnits;
  // A partitioned table: the in-row data allocation unit of every partition
  // of the base index, by partition number (the current one among them).
  // Empty for a table stored in one partition.
  std::vector<AllocUnitRow> partitionAllocUnits;
  std::vector<PageId> tablePages;
  std::vector<ColumnRow> tableColumns;
  std::vector<LegacyColumnRow> tableLegacyColumns;
  std::vector<RowsetColumnRow> tableRowsetColumns;
  std::vector<OldRowsetColumnRow> tableOldRowsetColumns;
  std::vector<OldRowsetColumnExtraRow> tableOldRowsetColumnExtras;
  std::vector<IndexRow> tableIndexes;
  std::vector<PrimaryKeyColumnEntry> primaryKeyColumns;
  std::vector<ColumnDescriptor> columnDescriptors;
  uint8_t detailsReady = 0;
  int32_t firstStoredColumn = 0;
  uint8_t foundByIndexStats = 0;
  std::set<std::pair<int16_t, int32_t>> seenPages;

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
