#include "catalog/database_catalog.h"

#include <unordered_map>

#include "catalog/system_tables.h"
#include "pagestore/boot_page.h"

namespace pagewright {

namespace {

// Object ids of the system tables, by their header object id.
constexpr int32_t kSysfiles1 = 8;
constexpr int32_t kSysclsobjs = 64;
constexpr int32_t kSysschobjs = 34;
constexpr int32_t kLegacySysobjects = 1;
constexpr int32_t kSysallocunits = 7;
constexpr int32_t kLegacySysallocations = 99;
constexpr int32_t kSysrowsets = 5;
constexpr int32_t kLegacySysindexes = 2;
constexpr int32_t kSyscolpars = 41;
constexpr int32_t kSyscolparsMore = 2187;
constexpr int32_t kLegacySyscolumns = 3;
constexpr int32_t kSysscalartypes = 50;
constexpr int32_t kSysrscols = 3;
constexpr int32_t kSyssingleobjrefs = 74;
constexpr int32_t kSysidxstats = 54;
constexpr int32_t kSysiscols = 55;
constexpr int32_t kOldRowsetColumns = 13;
constexpr int32_t kOldRowsetColumnExtras = 4;
constexpr int32_t kLegacySystypes = 4;
constexpr int32_t kLegacySysreferences = 14;

// Fills the table, column and constraint names of every foreign key column
// pair from the objects and the given column rows (modern or legacy; both
// carry objectId, columnId and name). Where ids repeat, the last row wins.
template <typename ColumnRows>
void NameForeignKeys(DatabaseCatalog& c, const ColumnRows& columns) {
  auto key = [](int32_t id, int32_t sub) { return (static_cast<int64_t>(id) << 32) ^ static_cast<uint32_t>(sub); };
  std::unordered_map<int32_t, const CatalogObject*> objectById;
  for (const auto& o : c.objects) objectById[o.id] = &o;
  std::unordered_map<int64_t, const typename ColumnRows::value_type*> columnById;
  for (const auto& col : columns) columnById[key(col.objectId, col.columnId)] = &col;
  for (auto& fk : c.foreignKeyColumns) {
    if (auto it = objectById.find(fk.parentTableId); it != objectById.end()) fk.parentTableName = it->second->name;
    if (auto it = objectById.find(fk.referencedTableId); it != objectById.end())
      fk.referencedTableName = it->second->name;
    if (auto it = objectById.find(fk.constraintId); it != objectById.end()) {
      fk.constraintName = it->second->name;
      fk.constraintStatus = it->second->status;
    }
    if (auto it = columnById.find(key(fk.parentTableId, fk.parentColumnId)); it != columnById.end())
      fk.parentColumnName = it->second->name;
    if (auto it = columnById.find(key(fk.referencedTableId, fk.referencedColumnId)); it != columnById.end())
      fk.referencedColumnName = it->second->name;
  }
}

void AssembleForeignKeys(DatabaseCatalog& c, const ReadContext& state) {
  if (state.StopRequested()) return;
  for (const auto& o : c.objects) {
    if (o.schemaClass == 0 && o.parentClass == 1) {
      c.childObjects.push_back(
          ChildObject{o.name, o.id, 0, o.schemaId, o.parentObjectId, 0, o.typeCode, o.objectProperty});
    }
  }
  // Child objects by id, in list order.
  std::unordered_map<int32_t, std::vector<size_t>> childById;
  for (size_t i = 0; i < c.childObjects.size(); ++i) childById[c.childObjects[i].objectId].push_back(i);
  for (const auto& ref : c.objectReferences) {
    if (ref.dependentSubId != 0) continue;
    auto it = childById.find(ref.dependentId);
    if (it == childById.end()) continue;
    for (size_t i : it->second) {
      ChildObject& child = c.childObjects[i];
      bool applied = false;
      if (ref.refClass == kRefConstraintReference) {
        child.referencedObjectId = ref.independentId;
        applied = true;
      }
      if (ref.refClass == kRefReferencedTable) {
        child.parentObjectId = ref.independentId;
        child.referencedIndexId = ref.independentSubId;
        applied = true;
      }
      if (applied) c.referencingChildObjects.push_back(child);
    }
  }
  // Column pairs: a class-28 reference (constraint column -> parent column)
  // and a class-29 reference of the same constraint column (-> referenced
  // column).
  std::unordered_map<int64_t, std::vector<size_t>> referenced;
  auto key = [](int32_t id, int32_t sub) { return (static_cast<int64_t>(id) << 32) ^ static_cast<uint32_t>(sub); };
  for (size_t i = 0; i < c.objectReferences.size(); ++i) {
    const auto& b = c.objectReferences[i];
    if (b.refClass == kRefReferencedColumn) referenced[key(b.dependentId, b.dependentSubId)].push_back(i);
  }
  for (const auto& a : c.objectReferences) {
    if (a.refClass != kRefForeignKeyColumn) continue;
    auto it = referenced.find(key(a.dependentId, a.dependentSubId));
    if (it == referenced.end()) continue;
    for (size_t j : it->second) {
      const auto& b = c.objectReferences[j];
      ForeignKeyColumn fk;
      fk.constraintId = a.dependentId;
      fk.keyOrdinal = a.dependentSubId;
      fk.parentTableId = a.independentId;
      fk.parentColumnId = a.independentSubId;
      fk.referencedTableId = b.independentId;
      fk.referencedColumnId = b.independentSubId;
      c.foreignKeyColumns.push_back(fk);
    }
  }
  NameForeignKeys(c, c.columns);
}

// Names of SQL Server 2000 foreign keys: objects and legacy column rows.
void NameLegacyForeignKeys(DatabaseCatalog& c) { NameForeignKeys(c, c.legacyColumns); }

}  // namespace

std::unique_ptr<DatabaseCatalog> DatabaseCatalog::Build(DatabaseReader& reader, const ReadContext& context,
                                                        const CollationChoice& collation) {
  auto c = std::make_unique<DatabaseCatalog>();
  c->database = &reader;
  // The catalog is read from the old file; the layout decision below
  // changes how the rest of its records are read.
  ReadContext state = context;
  state.source = PageSource::kOldFile;
  state.legacyCatalog = context.legacyCatalog;
  WalkContext ctx{reader, state, c->repairCounter};

  c->identity = ReadBootPage(reader, state, collation);
  reader.databaseName = c->identity ? c->identity->databaseName : std::string();
  if (c->identity) state.collation = c->identity->collation;

  if (!state.StopRequested()) {
    SystemTableWalk(ctx, kSysfiles1, false, [&](const CDataPage& p) { ReadDatabaseFiles(p, state, c->databaseFiles); });
  }
  reader.ResolveSecondaryFiles(state, c->databaseFiles);
  SystemTableWalk(ctx, kSysclsobjs, false, [&](const CDataPage& p) { ReadClassObjects(p, c->classObjects); });

  if (!reader.objectPageMap.empty()) {
    c->repairCounter = 0;
    SystemTableWalk(ctx, kSysschobjs, false,
                    [&](const CDataPage& p) { ReadObjects(p, ctx, c->classObjects, false, c->objects); });
    if (c->objects.empty()) {
      state.legacyCatalog = true;
      SystemTableWalk(ctx, kLegacySysobjects, false,
                      [&](const CDataPage& p) { ReadObjects(p, ctx, c->classObjects, true, c->objects); });
    } else {
      state.legacyCatalog = false;
    }
    c->repairCounter = 0;
  }
  const bool legacy = state.legacyCatalog;
  c->legacyCatalog = legacy;

  if (!state.StopRequested()) {
    SystemTableWalk(ctx, legacy ? kLegacySysallocations : kSysallocunits, false,
                    [&](const CDataPage& p) { ReadAllocationUnits(p, state, c->allocationUnits); });
  }
  SystemTableWalk(ctx, kSysrowsets, false, [&](const CDataPage& p) { ReadRowsets(p, state, c->rowsets); });

  if (!legacy) {
    c->repairCounter = 0;
    SystemTableWalk(ctx, kSyscolpars, false, [&](const CDataPage& p) { ReadColumns(p, ctx, c->columns); });
    SystemTableWalk(ctx, kSyscolparsMore, false, [&](const CDataPage& p) { ReadColumns(p, ctx, c->columns); });
    c->repairCounter = 0;
  } else {
    SystemTableWalk(ctx, kLegacySysindexes, true, [&](const CDataPage& p) {
      ReadLegacyIndexes(p, state, c->legacyIndexMap);
      ReadLegacyIndexKeys(p, state, c->legacyIndexKeys);
    });
    for (const auto& [objectId, row] : c->legacyIndexMap) {
      if (objectId <= 100 || row.indexId != 1) continue;
      LegacyTable table;
      table.objectId = objectId;
      for (const auto& o : c->objects) {
        if (o.id == objectId) {
          table.name = o.name;
          break;
        }
      }
      c->legacyTables.push_back(std::move(table));
    }
    std::unordered_map<int32_t, std::vector<size_t>> tableById;
    for (size_t i = 0; i < c->legacyTables.size(); ++i) tableById[c->legacyTables[i].objectId].push_back(i);
    c->repairCounter = 0;
    SystemTableWalk(ctx, kLegacySyscolumns, false, [&](const CDataPage& p) {
      size_t before = c->legacyColumns.size();
      ReadLegacyColumns(p, ctx, c->legacyColumns);
      for (size_t i = before; i < c->legacyColumns.size(); ++i) {
        auto& col = c->legacyColumns[i];
        auto it = tableById.find(col.objectId);
        if (it == tableById.end()) continue;
        for (size_t t : it->second) {
          c->legacyTables[t].columns.push_back(LegacyTableColumn{col.name, col.columnOrder, col.typeStatus});
          if ((col.typeStatus & 1) != 0) col.typeStatusMarker = 0;
        }
      }
    });
    c->repairCounter = 0;
  }

  SystemTableWalk(ctx, kSysscalartypes, false, [&](const CDataPage& p) { ReadScalarTypes(p, state, c->scalarTypes); });
  if (legacy) {
    // SQL Server 2000 keeps its types in systypes and its foreign keys in
    // sysreferences.
    SystemTableWalk(ctx, kLegacySystypes, false,
                    [&](const CDataPage& p) { ReadLegacyScalarTypes(p, state, c->scalarTypes); });
    SystemTableWalk(ctx, kLegacySysreferences, true,
                    [&](const CDataPage& p) { ReadLegacyReferences(p, state, c->foreignKeyColumns); });
    NameLegacyForeignKeys(*c);
  }

  if (!legacy) {
    SystemTableWalk(ctx, kSysrscols, false, [&](const CDataPage& p) { ReadRowsetColumns(p, state, c->rowsetColumns); });
    SystemTableWalk(ctx, kSyssingleobjrefs, true,
                    [&](const CDataPage& p) { ReadObjectReferences(p, state, c->objectReferences); });
    SystemTableWalk(ctx, kSysidxstats, false, [&](const CDataPage& p) { ReadIndexes(p, state, c->indexes); });
    SystemTableWalk(ctx, kSysiscols, false, [&](const CDataPage& p) { ReadIndexColumns(p, state, c->indexColumns); });
    if (!state.StopRequested()) {
      SystemTableWalk(ctx, kOldRowsetColumns, false,
                      [&](const CDataPage& p) { ReadOldRowsetColumns(p, state, c->oldRowsetColumns); });
    }
    SystemTableWalk(ctx, kOldRowsetColumnExtras, false,
                    [&](const CDataPage& p) { ReadOldRowsetColumnExtras(p, state, c->oldRowsetColumnExtras); });
    AssembleForeignKeys(*c, state);
  }
  c->RebuildIndexes();
  return c;
}

void DatabaseCatalog::RebuildIndexes() {
  index_ = Indexes();
  for (size_t i = 0; i < objects.size(); ++i) {
    index_.objectsByName[objects[i].name].push_back(i);
    index_.objectsByParent[objects[i].parentObjectId].push_back(i);
  }
  for (size_t i = 0; i < columns.size(); ++i) index_.columnsByObject[columns[i].objectId & kObjectIdMask].push_back(i);
  for (size_t i = 0; i < legacyColumns.size(); ++i)
    index_.legacyColumnsByObject[legacyColumns[i].objectId & kObjectIdMask].push_back(i);
  for (size_t i = 0; i < rowsets.size(); ++i) index_.rowsetsByObject[rowsets[i].objectId].push_back(i);
  for (size_t i = 0; i < allocationUnits.size(); ++i) {
    index_.allocationUnitsByOwner[allocationUnits[i].ownerId].push_back(i);
    index_.allocationUnitsById[allocationUnits[i].allocationUnitId].push_back(i);
  }
  for (size_t i = 0; i < rowsetColumns.size(); ++i) index_.rowsetColumnsByRowset[rowsetColumns[i].rowsetId].push_back(i);
  for (size_t i = 0; i < oldRowsetColumns.size(); ++i)
    index_.oldRowsetColumnsByRowset[oldRowsetColumns[i].rowsetId].push_back(i);
  for (size_t i = 0; i < oldRowsetColumnExtras.size(); ++i)
    index_.oldRowsetColumnExtrasByRowset[oldRowsetColumnExtras[i].rowsetId].push_back(i);
  for (size_t i = 0; i < indexes.size(); ++i) index_.indexesByObject[indexes[i].objectId].push_back(i);
  for (size_t i = 0; i < indexColumns.size(); ++i) index_.indexColumnsByObject[indexColumns[i].objectId].push_back(i);
  for (size_t i = 0; i < foreignKeyColumns.size(); ++i)
    index_.foreignKeysByParentTable[foreignKeyColumns[i].parentTableId].push_back(i);
  for (size_t i = 0; i < legacyIndexKeys.size(); ++i)
    index_.legacyIndexKeysByObject[legacyIndexKeys[i].objectId].push_back(i);
}

void DatabaseCatalog::Clear() {
  DatabaseReader* keep = database;
  *this = DatabaseCatalog();
  database = keep;
}

}  // namespace pagewright
