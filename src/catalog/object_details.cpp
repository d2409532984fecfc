#include "catalog/object_details.h"

#include <algorithm>
#include <set>
#include <unordered_set>

#include "pagestore/text_codec.h"
#include "records/value_format.h"

namespace pagewright {

bool IsTableTypeCode(const std::string& code) { return code == "U " || code == "S "; }

DetailsPath PathOfTypeCode(const std::string& code) {
  static const char* const kIdentity[] = {"V ", "P ", "FN", "IF", "TF", "TR", "D ", "PK", "F ", "C ", "X ", "TT"};
  for (const char* c : kIdentity)
    if (code == c) return DetailsPath::kIdentity;
  return DetailsPath::kTable;
}

int32_t PageKeyOfAllocationUnit(int64_t allocationUnitId, int64_t ownerId) {
  auto id = static_cast<uint64_t>(allocationUnitId);
  if (allocationUnitId != ownerId) {
    uint64_t upper = (id >> 32) - 0x01000000u;
    id = (upper << 32) | (id & 0xFFFFFFFFu);
  }
  return static_cast<int32_t>(static_cast<uint32_t>((id >> 16) & 0xFFFFFFFFu));
}

namespace {

bool ControlByte(uint8_t b) { return b < 0x20 && b != '\t' && b != '\r' && b != '\n'; }

// UTF-16 code units that read as text: no control characters, no unpaired
// surrogates.
bool PlausibleUtf16(const std::vector<uint8_t>& bytes) {
  const size_t units = bytes.size() / 2;
  size_t seen = 0;  // code units walked so far
  bool plausible = true;
  ForEachUtf16CodePoint(bytes, [&](uint32_t cp) {
    seen += cp >= 0x10000 ? 2 : 1;
    if (cp == 0 && seen == units) return false;  // a closing zero unit
    if (cp < 0x20 ? ControlByte(static_cast<uint8_t>(cp)) || cp == 0 : cp == 0xFFFF || cp == 0xFFFE) plausible = false;
    if (cp >= 0xD800 && cp <= 0xDFFF) plausible = false;  // a surrogate without its partner
    return plausible;
  });
  return plausible;
}

}  // namespace

ModuleTextKind TextKindOf(const ModuleValue& value) {
  if (value.textFlags >= 0 && (value.textFlags & 2) != 0) return ModuleTextKind::kEightBit;
  return ModuleTextKind::kDefinition;
}

std::optional<DecodedModuleText> DecodeModuleText(const std::string& valueText, ModuleTextKind kind,
                                                  int32_t codePage) {
  const size_t length = valueText.size();
  if (length / 2 == 0) return std::nullopt;
  auto nibble = [](char c) -> uint8_t {
    if (c >= 'A' && c <= 'F') return static_cast<uint8_t>(c - 'A' + 10);
    return static_cast<uint8_t>(static_cast<unsigned char>(c) & 0x0F);
  };
  std::vector<uint8_t> bytes;
  for (size_t i = 2; i < length; i += 2) {
    char hi = valueText[i];
    char lo = i + 1 < length ? valueText[i + 1] : '\0';
    bytes.push_back(static_cast<uint8_t>((nibble(hi) << 4) | nibble(lo)));
  }
  DecodedModuleText out;
  if (kind == ModuleTextKind::kEightBit) {
    out.text = CodePageToUtf8(bytes, codePage > 0 ? codePage : kSystemAnsiCodePage);
    return out;
  }
  out.wide = std::find(bytes.begin() + (bytes.empty() ? 0 : 1), bytes.end(), uint8_t{0}) != bytes.end();
  if (!out.wide && bytes.size() % 2 == 0 && !bytes.empty()) {
    out.wide = kind == ModuleTextKind::kDefinition ||
               (std::any_of(bytes.begin(), bytes.end(), ControlByte) && PlausibleUtf16(bytes));
  }
  out.text = out.wide ? Utf16LeToUtf8UntilNul(bytes)
                      : CodePageToUtf8(bytes, codePage > 0 ? codePage : kSystemAnsiCodePage);
  return out;
}

namespace {

// Finds the object: for tables the first of that name and exact kind; for
// modules the first of that name and kind, or else the first of that name
// that is not a table.
const CatalogObject* FindObject(const DatabaseCatalog& c, const std::string& name, const std::string& code) {
  auto it = c.index().objectsByName.find(name);
  if (it == c.index().objectsByName.end()) return nullptr;
  for (size_t i : it->second)
    if (c.objects[i].typeCode == code) return &c.objects[i];
  if (IsTableTypeCode(code)) return nullptr;
  for (size_t i : it->second)
    if (!IsTableTypeCode(c.objects[i].typeCode)) return &c.objects[i];
  return nullptr;
}

void CollectConstraints(const DatabaseCatalog& c, ObjectDetails& d) {
  d.tableConstraints.clear();
  auto it = c.index().objectsByParent.find(d.currentObject.id);
  if (it == c.index().objectsByParent.end()) return;
  for (size_t i : it->second) {
    const CatalogObject& o = c.objects[i];
    ConstraintEntry e;
    e.name = o.name;
    e.typeCode = o.typeCode;
    e.isPrimaryKey = o.typeCode == "PK";
    e.isUnique = o.typeCode == "UQ";
    e.isForeignKey = o.typeCode == "F ";
    e.objectId = c.legacyCatalog ? o.parentObjectId : o.id;
    d.tableConstraints.push_back(std::move(e));
  }
}

std::vector<ColumnDescriptor> IdentityDescriptors(const CatalogObject& o) {
  std::vector<ColumnDescriptor> d(3);
  d[0].valueText = std::to_string(o.id);
  d[1].valueText = o.typeCode;
  d[2].valueText = o.name;
  return d;
}

// Appends the data pages the data page map holds under `key`, once each
// when `dedupe` is set.
void AppendDataPages(const DatabaseCatalog& c, ObjectDetails& d, int32_t key, bool dedupe) {
  auto& map = c.database->dataPageMap;
  auto it = map.find(key);
  if (it == map.end()) return;
  for (const auto& e : it->second) {
    if (e.pageType != kDataPage) continue;
    PageId id = e.id();
    if (dedupe && !d.seenPages.insert({id.fileId, id.page}).second) continue;
    d.tablePages.push_back(id);
  }
}

void ModernStorage(const DatabaseCatalog& c, ObjectDetails& d) {
  const auto& ix = c.index();
  const int32_t tableId = d.currentObject.id;
  auto& dataMap = c.database->dataPageMap;
  auto& iamMap = c.database->iamPageMap;

  // Base rowset: index id 0 or 1 (the smallest; the last of equal ones),
  // else the table's last rowset, else one made from its first index row.
  const RowsetRow* base = nullptr;
  if (auto it = ix.rowsetsByObject.find(tableId); it != ix.rowsetsByObject.end()) {
    for (size_t i : it->second) {
      const RowsetRow& r = c.rowsets[i];
      if ((r.indexId == 0 || r.indexId == 1) && (base == nullptr || r.indexId <= base->indexId)) base = &r;
    }
    if (base == nullptr) base = &c.rowsets[it->second.back()];
  }
  if (base != nullptr) {
    d.currentRowset = *base;
  } else if (auto it = ix.indexesByObject.find(tableId); it != ix.indexesByObject.end()) {
    for (size_t i : it->second) {
      const IndexRow& x = c.indexes[i];
      if (x.rowsetId == 0) continue;
      d.currentRowset = RowsetRow();
      d.currentRowset.rowsetId = x.rowsetId;
      d.currentRowset.objectId = x.objectId;
      d.currentRowset.indexId = x.indexId;
      d.foundByIndexStats = 1;
      break;
    }
  }

  // Current allocation unit: the in-row data unit of the base rowset. The
  // catalog's first page and first IAM page stand; the page maps fill in
  // what the row lacks.
  const int64_t rowsetId = d.currentRowset.rowsetId;
  const AllocUnitRow* unit = nullptr;
  if (auto it = ix.allocationUnitsByOwner.find(rowsetId); it != ix.allocationUnitsByOwner.end()) {
    for (size_t i : it->second) {
      if (c.allocationUnits[i].type == 1) {
        unit = &c.allocationUnits[i];
        break;
      }
    }
  }
  auto fillFromMaps = [&](AllocUnitRow& au, int32_t key, bool viaIndexStats) {
    bool found = false;
    if (auto it = dataMap.find(key); it != dataMap.end()) {
      for (const auto& e : it->second) {
        if (e.pageType == kDataPage && au.firstPage.page == 0) {
          au.firstPage = e.id();
          found = true;
        }
      }
    }
    if (auto it = iamMap.find(key); it != iamMap.end()) {
      for (const auto& e : it->second) {
        if (au.firstIamPage.page == 0) {
          au.firstIamPage = e.id();
          found = true;
        }
      }
    }
    if (found && viaIndexStats) d.foundByIndexStats = 1;
  };
  if (unit != nullptr) {
    // The catalog's allocation unit: an empty table has none of its pages
    // set and stays empty; one with pages keeps them and the maps only fill
    // in what the row lacks.
    d.currentAllocUnit = *unit;
    if (unit->firstPage.page != 0 || unit->rootPage.page != 0 || unit->firstIamPage.page != 0)
      fillFromMaps(d.currentAllocUnit, PageKeyOfAllocationUnit(unit->allocationUnitId, unit->ownerId), false);
  } else {
    // No allocation unit row: the rowset id stands in for its id.
    AllocUnitRow au;
    au.allocationUnitId = rowsetId;
    au.ownerId = rowsetId;
    au.type = 1;
    int32_t key = PageKeyOfAllocationUnit(rowsetId, rowsetId);
    auto upper = static_cast<uint64_t>(rowsetId) >> 32;
    auto lower = static_cast<uint64_t>(rowsetId) & 0xFFFFFFFFu;
    if (dataMap.find(key) == dataMap.end() && upper > 0xFFFFFF && (upper > 0x01000000 || lower != 0)) {
      int64_t shifted = static_cast<int64_t>(((upper - 0x01000000u) << 32) | lower);
      key = PageKeyOfAllocationUnit(shifted, shifted);
    }
    fillFromMaps(au, key, true);
    d.currentAllocUnit = au;
  }

  // A partitioned table keeps each partition of its base index in a rowset
  // of its own (same object and index id, partition numbers 1..N), each with
  // its own allocation units, IAM chain and page chain. All of them hold the
  // table's rows.
  if (auto it = ix.rowsetsByObject.find(tableId); it != ix.rowsetsByObject.end() && base != nullptr) {
    std::vector<const RowsetRow*> partitions;
    std::set<int64_t> seenRowsets;
    for (size_t i : it->second) {
      const RowsetRow& r = c.rowsets[i];
      if (r.indexId == base->indexId && seenRowsets.insert(r.rowsetId).second) partitions.push_back(&r);
    }
    if (partitions.size() > 1) {
      std::stable_sort(partitions.begin(), partitions.end(), [](const RowsetRow* a, const RowsetRow* b) {
        return a->partitionNumber < b->partitionNumber;
      });
      // Two rowsets of one partition number are one live rowset and one left
      // behind (a rebuilt heap's old rowset, read with deleted rows shown):
      // the last of equal ones stands, as for the base rowset above.
      std::vector<const RowsetRow*> distinct;
      for (const RowsetRow* r : partitions) {
        if (!distinct.empty() && distinct.back()->partitionNumber == r->partitionNumber) {
          distinct.back() = r;
        } else {
          distinct.push_back(r);
        }
      }
      for (const RowsetRow* r : distinct) {
        auto units = ix.allocationUnitsByOwner.find(r->rowsetId);
        if (units == ix.allocationUnitsByOwner.end()) continue;
        for (size_t i : units->second) {
          const AllocUnitRow& u = c.allocationUnits[i];
          if (u.type != 1) continue;
          AllocUnitRow au = u;
          if (au.firstPage.page != 0 || au.rootPage.page != 0 || au.firstIamPage.page != 0)
            fillFromMaps(au, PageKeyOfAllocationUnit(au.allocationUnitId, au.ownerId), false);
          d.partitionAllocUnits.push_back(au);
          break;
        }
      }
      if (d.partitionAllocUnits.size() < 2) d.partitionAllocUnits.clear();
    }
  }

  // Table rowsets and their allocation units.
  if (auto it = ix.rowsetsByObject.find(tableId); it != ix.rowsetsByObject.end()) {
    for (size_t i : it->second) d.tableRowsets.push_back(c.rowsets[i]);
  }
  if (d.tableRowsets.empty()) {
    if (auto it = ix.indexesByObject.find(tableId); it != ix.indexesByObject.end()) {
      for (size_t i : it->second) {
        const IndexRow& x = c.indexes[i];
        if (x.rowsetId == 0) continue;
        RowsetRow r;
        r.rowsetId = x.rowsetId;
        r.objectId = x.objectId;
        r.indexId = x.indexId;
        d.tableRowsets.push_back(r);
      }
    }
  }
  for (const auto& r : d.tableRowsets) {
    if (auto it = ix.allocationUnitsByOwner.find(r.rowsetId); it != ix.allocationUnitsByOwner.end())
      for (size_t i : it->second) d.tableAllocationUnits.push_back(c.allocationUnits[i]);
  }
  if (d.foundByIndexStats && d.tableAllocationUnits.empty()) {
    for (const auto& r : d.tableRowsets) {
      if (auto it = ix.allocationUnitsById.find(r.rowsetId); it != ix.allocationUnitsById.end())
        for (size_t i : it->second) d.tableAllocationUnits.push_back(c.allocationUnits[i]);
    }
    if (d.tableAllocationUnits.empty()) {
      for (const auto& r : d.tableRowsets) {
        AllocUnitRow au;
        au.allocationUnitId = r.rowsetId;
        au.ownerId = r.rowsetId;
        d.tableAllocationUnits.push_back(au);
      }
    }
  }
  for (const auto& au : d.tableAllocationUnits)
    AppendDataPages(c, d, PageKeyOfAllocationUnit(au.allocationUnitId, au.ownerId), d.foundByIndexStats != 0);
  if (d.tablePages.empty()) AppendDataPages(c, d, tableId, d.foundByIndexStats != 0);
}

}  // namespace

std::vector<int16_t> DeclaredLegacyKeyColumns(const DatabaseCatalog& c, const LegacyIndexKeys& index) {
  std::vector<int16_t> keys = index.keyColumnIds;
  if (index.indexId <= 1) return keys;
  const LegacyIndexKeys* clustered = nullptr;
  if (auto it = c.index().legacyIndexKeysByObject.find(index.objectId); it != c.index().legacyIndexKeysByObject.end()) {
    for (size_t i : it->second)
      if (c.legacyIndexKeys[i].indexId == 1) clustered = &c.legacyIndexKeys[i];
  }
  if (clustered != nullptr && !clustered->keyColumnIds.empty() && keys.size() > clustered->keyColumnIds.size() &&
      std::equal(clustered->keyColumnIds.rbegin(), clustered->keyColumnIds.rend(), keys.rbegin())) {
    keys.resize(keys.size() - clustered->keyColumnIds.size());
  } else if (clustered == nullptr) {
    while (!keys.empty() && keys.back() == 0) keys.pop_back();
  }
  return keys;
}

std::vector<std::string> KeyColumnsOfConstraint(const DatabaseCatalog& c, const ObjectDetails& d, int32_t tableId,
                                                const std::string& constraintName) {
  std::vector<std::string> out;
  auto columnName = [&](int32_t columnId) -> std::string {
    for (const auto& col : c.columns)
      if ((col.objectId & kObjectIdMask) == (tableId & kObjectIdMask) && col.columnId == columnId && col.number == 0)
        return col.name;
    for (const auto& col : c.legacyColumns)
      if (col.objectId == tableId && col.columnId == columnId) return col.name;
    return {};
  };
  for (const auto& x : c.indexes) {
    if (x.objectId != tableId || x.name != constraintName) continue;
    std::vector<const IndexColumnRow*> keys;
    for (const auto& ic : c.indexColumns)
      if (ic.objectId == tableId && ic.indexId == x.indexId) keys.push_back(&ic);
    std::stable_sort(keys.begin(), keys.end(),
                     [](const IndexColumnRow* a, const IndexColumnRow* b) { return a->columnOrdinal < b->columnOrdinal; });
    for (const IndexColumnRow* k : keys) out.push_back(columnName(k->property));
    return out;
  }
  for (const auto& x : c.legacyIndexKeys) {
    if (x.objectId != tableId || x.name != constraintName) continue;
    for (int16_t id : DeclaredLegacyKeyColumns(c, x)) out.push_back(columnName(id));
    return out;
  }
  for (const auto& pk : d.primaryKeyColumns) out.push_back(pk.columnName);
  return out;
}

namespace {
std::vector<ColumnDescriptor> LoadDetailsInto(const DatabaseCatalog& c, ObjectDetails& ws, const std::string& name,
                                              const std::string& typeCode,
                                              const std::vector<ModuleValue>& moduleValues) {
  const bool legacy = c.legacyCatalog;
  ws.currentObject = CatalogObject();
  ws.currentAllocUnit = AllocUnitRow();
  ws.currentRowset = RowsetRow();
  ws.tableConstraints.clear();
  ws.tableRowsets.clear();
  ws.tableAllocationUnits.clear();
  ws.partitionAllocUnits.clear();
  ws.tablePages.clear();
  ws.tableColumns.clear();
  ws.tableLegacyColumns.clear();
  ws.tableRowsetColumns.clear();
  ws.tableOldRowsetColumns.clear();
  ws.tableOldRowsetColumnExtras.clear();
  ws.tableIndexes.clear();
  ws.primaryKeyColumns.clear();
  ws.columnDescriptors.clear();
  ws.seenPages.clear();
  ws.foundByIndexStats = 0;
  ws.firstStoredColumn = 0;
  ws.detailsReady = 0;

  const CatalogObject* found = FindObject(c, name, typeCode);
  if (found == nullptr) return {};
  ws.currentObject = *found;
  CollectConstraints(c, ws);
  if (PathOfTypeCode(found->typeCode) == DetailsPath::kIdentity) return IdentityDescriptors(*found);

  const auto& ix = c.index();
  const int32_t tableId = found->id;
  if (!legacy) {
    ModernStorage(c, ws);
  } else {
    AppendDataPages(c, ws, tableId, false);
  }

  // Columns: rows of this table (bits 24 and 25 of the id ignored), number
  // 0, the first row of each column id.
  std::unordered_set<int32_t> taken;
  if (!legacy) {
    if (auto it = ix.columnsByObject.find(tableId & kObjectIdMask); it != ix.columnsByObject.end()) {
      for (size_t i : it->second) {
        const ColumnRow& col = c.columns[i];
        if (col.number != 0 || !taken.insert(col.columnId).second) continue;
        ws.tableColumns.push_back(col);
      }
    }
  } else if (auto it = ix.legacyColumnsByObject.find(tableId & kObjectIdMask); it != ix.legacyColumnsByObject.end()) {
    for (size_t i : it->second) {
      const LegacyColumnRow& col = c.legacyColumns[i];
      if (!taken.insert(col.columnId).second) continue;
      ws.tableLegacyColumns.push_back(col);
    }
  }

  // Where each column lies in the record.
  const int64_t baseRowset = ws.currentRowset.rowsetId;
  if (!legacy) {
    if (auto it = ix.rowsetColumnsByRowset.find(baseRowset); it != ix.rowsetColumnsByRowset.end()) {
      for (size_t i : it->second) ws.tableRowsetColumns.push_back(c.rowsetColumns[i]);
    }
    if (ws.tableRowsetColumns.empty()) {
      if (auto it = ix.oldRowsetColumnsByRowset.find(baseRowset); it != ix.oldRowsetColumnsByRowset.end())
        for (size_t i : it->second) ws.tableOldRowsetColumns.push_back(c.oldRowsetColumns[i]);
      if (auto it = ix.oldRowsetColumnExtrasByRowset.find(baseRowset); it != ix.oldRowsetColumnExtrasByRowset.end()) {
        for (size_t i : it->second) {
          const auto& extra = c.oldRowsetColumnExtras[i];
          for (auto& old : ws.tableOldRowsetColumns)
            if (old.columnId == extra.columnId) old.extraValue = extra.value;
          ws.tableOldRowsetColumnExtras.push_back(extra);
        }
      }
    }
  }

  // Index columns of the table's indexes.
  std::vector<IndexColumnRow> keyColumns;
  if (auto it = ix.indexesByObject.find(tableId); it != ix.indexesByObject.end()) {
    for (size_t i : it->second) {
      const IndexRow& x = c.indexes[i];
      if ((x.status & 1) != 0 && x.indexId > 0) ws.tableIndexes.push_back(x);
    }
  }
  if (auto it = ix.indexColumnsByObject.find(tableId); it != ix.indexColumnsByObject.end()) {
    for (const auto& x : ws.tableIndexes) {
      for (size_t i : it->second) {
        IndexColumnRow col = c.indexColumns[i];
        if (col.indexId != x.indexId) continue;
        col.owningIndexStatus = x.status;
        keyColumns.push_back(col);
      }
    }
  }

  // Descriptors.
  std::vector<ColumnDescriptor> d;
  auto describe = [&](int systemTypeId, int32_t userTypeId, int length) {
    ColumnDescriptor cd;
    std::string typeName;
    for (const auto& t : c.scalarTypes) {
      if (t.id == systemTypeId) {
        typeName = t.name;
        break;
      }
    }
    cd.typeText = typeName + "(" + std::to_string(length) + ")";
    int32_t typeIndex = systemTypeId == 34 ? kTypeImage : TypeIndexOf(systemTypeId);
    if (typeIndex == kTypeClr && userTypeId == 129) typeIndex = kTypeGeometry;
    if (typeIndex == kTypeClr && userTypeId == 128) typeIndex = kTypeHierarchyid;
    cd.declaredLength = HasDeclaredLength(typeIndex) ? DeclaredLengthOf(cd.typeText) : 0;
    cd.variable = IsVariableTypeIndex(typeIndex) ? 1 : 0;
    cd.typeIndex = typeIndex == kType232 ? kTypeNvarchar : typeIndex;
    return cd;
  };
  if (!legacy) {
    for (const auto& col : ws.tableColumns) {
      if (col.systemTypeId == 0) continue;
      ColumnDescriptor cd = describe(col.systemTypeId, col.userTypeId, col.maxLength);
      cd.name = col.name;
      cd.columnId = col.columnId;
      cd.physicalColumnId = col.columnId;
      cd.precision = col.precision;
      cd.scale = col.scale;
      cd.collationId = col.collationId;
      cd.identityText = col.identityText;
      cd.identityNotForReplication = static_cast<uint8_t>(!col.identityText.empty() && (col.status & 0x10000) != 0);
      cd.computed = static_cast<uint8_t>((col.status >> 4) & 1);
      cd.nullable = static_cast<uint8_t>(1 - (col.status & 1));
      cd.sparse = static_cast<uint8_t>((col.status >> 24) & 1);
      cd.statusBit3 = static_cast<uint8_t>((col.status >> 3) & 1);
      d.push_back(std::move(cd));
    }
  } else {
    for (const auto& col : ws.tableLegacyColumns) {
      if (col.systemType == 0) continue;
      ColumnDescriptor cd = describe(col.systemType, col.userType, col.length);
      cd.name = col.name;
      cd.columnId = col.columnId;
      cd.physicalColumnId = col.columnId;
      cd.precision = col.precision;
      cd.scale = col.scale;
      cd.collationId = col.collationId;
      cd.leafOffset = col.physicalOffset;
      cd.legacyOffsetInRow = col.offsetInRow;
      cd.identityText = col.identityText;
      // SQL Server 2000 marks NOT NULL columns in bit 0 of their type status.
      cd.nullable = static_cast<uint8_t>(1 - (col.typeStatus & 1));
      d.push_back(std::move(cd));
    }
    // Keys: the index behind each primary key or unique constraint of the
    // table carries the constraint's name.
    if (auto it = ix.legacyIndexKeysByObject.find(tableId); it != ix.legacyIndexKeysByObject.end()) {
      for (const auto& con : ws.tableConstraints) {
        if (!con.isPrimaryKey && !con.isUnique) continue;
        const CatalogObject* object = nullptr;
        for (const auto& o : c.objects)
          if (o.name == con.name && o.parentObjectId == tableId) object = &o;
        if (object == nullptr) continue;
        for (size_t i : it->second) {
          const LegacyIndexKeys& keys = c.legacyIndexKeys[i];
          if (keys.name != object->bareName) continue;
          for (int16_t columnId : DeclaredLegacyKeyColumns(c, keys)) {
            for (auto& cd : d) {
              if (cd.columnId != columnId) continue;
              if (con.isPrimaryKey) {
                cd.primaryKeyColumn = 1;
                ws.primaryKeyColumns.push_back(PrimaryKeyColumnEntry{found->name, cd.name, 0});
              } else {
                cd.uniqueConstraintColumn = 1;
              }
            }
          }
          break;
        }
      }
    }
  }
  std::stable_sort(d.begin(), d.end(),
                   [](const ColumnDescriptor& a, const ColumnDescriptor& b) { return a.columnId < b.columnId; });

  for (const auto& rc : ws.tableRowsetColumns) {
    for (auto& cd : d) {
      if (cd.columnId != rc.rowsetColumnId) continue;
      cd.leafOffset = static_cast<int16_t>(rc.offset & 0xFFFF);
      cd.physicalColumnId = rc.hobtColumnId;
      cd.nullBit = rc.nullBit;
      cd.bitPosition = rc.bitPosition;
      cd.hasLayout = 1;
      break;
    }
  }
  if (!ws.tableOldRowsetColumns.empty()) {
    const size_t described = d.size();
    std::vector<ColumnDescriptor> extra;
    for (const auto& old : ws.tableOldRowsetColumns) {
      bool matched = false;
      for (size_t i = 0; i < described; ++i) {
        ColumnDescriptor& cd = d[i];
        if (cd.columnId != old.columnId) continue;
        cd.leafOffset = old.firstValue;
        cd.nullBit = old.secondValue;
        cd.physicalColumnId = old.extraValue;
        cd.hasLayout = 1;
        matched = true;
      }
      if (!matched) {
        ColumnDescriptor cd;
        cd.columnId = old.columnId;
        cd.physicalColumnId = kNotStoredColumn;
        cd.leafOffset = old.firstValue;
        cd.nullBit = old.secondValue;
        extra.push_back(std::move(cd));
      }
    }
    if (d.size() != ws.tableOldRowsetColumns.size()) d.insert(d.end(), extra.begin(), extra.end());
  }
  if (ws.tableRowsetColumns.empty() && ws.tableOldRowsetColumns.empty()) {
    for (auto& cd : d) cd.hasLayout = 1;
  }
  if (ws.tableOldRowsetColumns.empty()) {
    const std::string tableIdText = std::to_string(tableId);
    for (auto& cd : d) {
      if (cd.hasLayout) continue;
      const std::string former = std::to_string(cd.physicalColumnId);
      cd.physicalColumnId = kNotStoredColumn;
      for (const auto& mv : moduleValues) {
        if (mv.objectId != tableIdText || mv.subObjectId != former || mv.value.empty()) continue;
        if (auto text = DecodeModuleText(mv.value, TextKindOf(mv), c.identity ? c.identity->collation.codePage : 0)) cd.valueText += text->text;
      }
    }
  }

  for (const auto& kc : keyColumns) {
    for (auto& cd : d) {
      if (cd.columnId != kc.property) continue;
      if (kc.owningIndexStatus & 0x20) {
        cd.primaryKeyColumn = 1;
        ws.primaryKeyColumns.push_back(PrimaryKeyColumnEntry{found->name, cd.name, kc.firstTiny});
      }
      if (kc.owningIndexStatus & 0x8) cd.uniqueIndexColumn = 1;
      if (kc.owningIndexStatus & 0x40) {
        cd.uniqueConstraintColumn = 1;
        cd.keyFlags = kc.firstTiny;
      }
    }
  }
  if (auto it = ix.foreignKeysByParentTable.find(tableId); it != ix.foreignKeysByParentTable.end()) {
    for (size_t i : it->second) {
      const ForeignKeyColumn& fk = c.foreignKeyColumns[i];
      for (auto& cd : d) {
        if (cd.columnId != fk.parentColumnId) continue;
        if (!fk.referencedTableName.empty() && !fk.referencedColumnName.empty()) {
          cd.foreignKeyColumn = 1;
          cd.referencedTableName = fk.referencedTableName;
          cd.referencedColumnName = fk.referencedColumnName;
        }
        break;
      }
    }
  }

  ws.firstStoredColumn = 0;
  for (size_t i = 0; i < d.size(); ++i) {
    if (d[i].physicalColumnId != kNotStoredColumn) {
      ws.firstStoredColumn = static_cast<int32_t>(i);
      break;
    }
  }
  ws.columnDescriptors = d;
  ws.detailsReady = 1;
  return d;
}

}  // namespace

LoadedDetails LoadObjectDetails(const DatabaseCatalog& c, const std::string& name, const std::string& typeCode,
                                const std::vector<ModuleValue>& moduleValues) {
  LoadedDetails loaded;
  loaded.details.currentObject = CatalogObject();
  loaded.descriptors = LoadDetailsInto(c, loaded.details, name, typeCode, moduleValues);
  return loaded;
}

}  // namespace pagewright
