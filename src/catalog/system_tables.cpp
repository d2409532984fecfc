#include "catalog/system_tables.h"

#include <cstdio>

#include "pagestore/text_codec.h"
#include "records/record_enumeration.h"

namespace pagewright {

namespace {

// Minimum fixed lengths below which a row is skipped or added with defaults.
constexpr int kFilesMinimum = 520;
constexpr int kClassObjectsMinimum = 10;
constexpr int kObjectsMinimum = 20;
constexpr int kAllocUnitsMinimum = 39;
constexpr int kRowsetsMinimum = 27;
constexpr int kLegacyIndexesMinimum = 64;
constexpr int kColumnsMinimum = 37;
constexpr int kScalarTypesMinimum = 34;
constexpr int kRowsetColumnsMinimum = 48;
constexpr int kIndexesMinimum = 27;
constexpr int kIndexColumnsMinimum = 21;

// Calls `row(record)` for every record of the page a reader looks at: slots
// up to the header's slot count, skipping empty slots and large-value
// fragments (and index records where `skipIndexRecords`). A reader given a
// context stops when a stop is requested.
template <typename Row>
void ForEachRow(const CDataPage& page, const ReadContext* context, bool skipIndexRecords, Row row) {
  size_t n = std::min<size_t>(static_cast<size_t>(std::max<int16_t>(page.header.slotCount, 0)), page.records.size());
  for (size_t i = 0; i < n; ++i) {
    if (context != nullptr && context->StopRequested()) return;
    const CPrimaryRecord* r = RecordAt(page, i);
    if (r == nullptr || r->status.kind == kBlobFragment || r->returnedThroughStub) continue;
    if (skipIndexRecords && r->status.kind == kIndexRecord) continue;
    row(*r);
  }
}

// A catalog field of the record's fixed data: a field the fixed data is too
// short to hold keeps the row's default (all ones for ids) instead of
// reading as a real 0.
template <typename T, typename Field>
void ReadField(ByteSpan fixed, int64_t offset, Field& field) {
  if (auto v = ReadLittleEndian<T>(fixed, offset)) field = static_cast<Field>(*v);
}

// Variable value k as UTF-16 text, or nullopt when the record has no bytes
// for it.
std::optional<std::string> VariableText(const CPrimaryRecord& r, size_t k) {
  if (k >= r.values.size() || !r.values[k].range.present) return std::nullopt;
  return Utf16LeToUtf8UntilNul(r.Bytes(r.values[k]));
}

std::string TrimRight(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) s.pop_back();
  return s;
}

// A name, or "Repair<kind>" and the next counter value when the row has none.
std::string NameOrPlaceholder(const CPrimaryRecord& r, uint64_t& counter, const char* placeholder) {
  auto name = VariableText(r, 0);
  if (name && !name->empty()) return *name;
  return placeholder + std::to_string(counter++);
}

PageId StoredPageRef(ByteSpan fixed, int offset) { return ReadStoredPageRef(fixed, offset); }

// Type codes a SQL Server 2000 sysobjects row can carry. Rows with any other
// code are not sysobjects rows (a 2005-and-later file read as 2000 holds
// other tables' rows under the same object id) and are left out.
bool IsLegacyTypeCode(const std::string& code) {
  for (const char* c : {"C ", "D ", "F ", "FN", "IF", "K ", "L ", "P ", "PK", "R ", "RF", "S ", "TF", "TR", "U ",
                        "UQ", "V ", "X "})
    if (code == c) return true;
  return false;
}

// Owner ids every SQL Server 2000 database has.
const char* LegacyOwnerName(int16_t uid) {
  switch (uid) {
    case 1: return "dbo";
    case 2: return "guest";
    case 3: return "INFORMATION_SCHEMA";
    case 4: return "system_function_schema";
    default: return nullptr;
  }
}

}  // namespace

void SystemTableWalk(WalkContext& ctx, int32_t key, bool dataPagesOnly,
                     const std::function<void(const CDataPage&)>& readPage) {
  auto& map = ctx.reader.objectPageMap;
  if (map.empty()) return;
  auto it = map.find(key);
  if (it == map.end()) return;
  const std::vector<PageListEntry> entries = it->second;  // the walk may add secondary pages
  for (const auto& entry : entries) {
    if (dataPagesOnly && entry.pageType != kDataPage) continue;
    auto page = LoadCatalogPage(ctx.reader, ctx.read, entry.id());
    if (!page) continue;
    readPage(*page);
  }
}

// sysfiles1: i32 status at 0, i16 file id at 4, 128 UTF-16 characters of
// logical name at 6, 260 of physical name at 262.
void ReadDatabaseFiles(const CDataPage& page, const ReadContext& context, std::vector<DatabaseFileRow>& out) {
  ForEachRow(page, &context, false, [&](const CPrimaryRecord& r) {
    DatabaseFileRow row;
    ByteSpan f = r.FixedData();
    if (static_cast<int>(f.size()) >= kFilesMinimum) {
      ReadField<int32_t>(f, 0, row.status);
      ReadField<int16_t>(f, 4, row.fileId);
      row.logicalName = TrimRight(Utf16LeToUtf8UntilNul(SubSpan(f, 6, 256)));
      row.physicalName = TrimRight(Utf16LeToUtf8UntilNul(SubSpan(f, 262, std::min<int64_t>(520, f.size() - 262))));
    }
    out.push_back(std::move(row));
  });
}

// sysclsobjs: i32 id at 1, i32 scope id at 5, name in var 0. Rows without a
// usable id are skipped: a name alone cannot prefix anything.
void ReadClassObjects(const CDataPage& page, std::vector<ClassObjectRow>& out) {
  ForEachRow(page, nullptr, false, [&](const CPrimaryRecord& r) {
    ByteSpan f = r.FixedData();
    if (static_cast<int>(f.size()) < kClassObjectsMinimum) return;
    ClassObjectRow row;
    ReadField<int32_t>(f, 1, row.id);
    ReadField<int32_t>(f, 5, row.scopeId);
    row.name = VariableText(r, 0).value_or("");
    out.push_back(std::move(row));
  });
}

// sysschobjs: i32 id 0, i32 schema id 4, u8 schema class 8, i32 status 9,
// 2 characters type 13, i32 parent object 15, u8 parent class 19, i32
// property 20; name in var 0. sysobjects (2000): type at 4, parent at 24.
void ReadObjects(const CDataPage& page, WalkContext& ctx, const std::vector<ClassObjectRow>& classObjects, bool legacy,
                 std::vector<CatalogObject>& out) {
  ForEachRow(page, nullptr, false, [&](const CPrimaryRecord& r) {
    ByteSpan f = r.FixedData();
    if (static_cast<int>(f.size()) < kObjectsMinimum || I32At(f, 0) <= 0) return;
    CatalogObject o;
    ReadField<int32_t>(f, 0, o.id);
    ReadField<int32_t>(f, 4, o.schemaId);
    ReadField<uint8_t>(f, 8, o.schemaClass);
    ReadField<int32_t>(f, 9, o.status);
    int typeOffset = legacy ? 4 : 13;
    o.typeCode = std::string{static_cast<char>(f[static_cast<size_t>(typeOffset)]),
                             static_cast<char>(f[static_cast<size_t>(typeOffset) + 1])};
    o.parentObjectId = legacy && f.size() >= 24 + 4 ? I32At(f, 24) : I32At(f, 15);
    ReadField<uint8_t>(f, 19, o.parentClass);
    ReadField<int32_t>(f, 20, o.objectProperty);
    if (legacy && !IsLegacyTypeCode(o.typeCode)) return;
    o.name = NameOrPlaceholder(r, ctx.repairCounter, "Repairname");
    o.bareName = o.name;
    if (legacy) {
      // SQL Server 2000 has owners, not schemas: the fixed owner ids name
      // the schema the object lives in since 2005.
      if (const char* owner = LegacyOwnerName(I16At(f, 8))) o.name = std::string(owner) + "." + o.name;
      out.push_back(std::move(o));
      return;
    }
    for (const auto& c : classObjects) {
      if (c.id == o.schemaId && c.scopeId == 0) {
        o.name = c.name + "." + o.name;
        break;
      }
    }
    out.push_back(std::move(o));
  });
}

// sysallocunits: i64 id 0, u8 type 8, i64 owner 9, i32 status 17, i16
// filegroup 21, first page 23, root page 29, first IAM page 35 (6 bytes
// each: page number, file id).
void ReadAllocationUnits(const CDataPage& page, const ReadContext& context, std::vector<AllocUnitRow>& out) {
  ForEachRow(page, &context, false, [&](const CPrimaryRecord& r) {
    AllocUnitRow row;
    ByteSpan f = r.FixedData();
    if (static_cast<int>(f.size()) >= kAllocUnitsMinimum) {
      ReadField<int64_t>(f, 0, row.allocationUnitId);
      ReadField<uint8_t>(f, 8, row.type);
      ReadField<int64_t>(f, 9, row.ownerId);
      ReadField<int32_t>(f, 17, row.status);
      ReadField<int16_t>(f, 21, row.filegroupId);
      row.firstPage = StoredPageRef(f, 23);
      row.rootPage = StoredPageRef(f, 29);
      row.firstIamPage = StoredPageRef(f, 35);
    }
    out.push_back(row);
  });
}

// sysrowsets: i64 rowset id 0, u8 owner type 8, i32 object id 9, i32 index
// id 13, i32 partition 17, i32 status 21, i16 filegroup 25, i64 rows 27.
void ReadRowsets(const CDataPage& page, const ReadContext& context, std::vector<RowsetRow>& out) {
  ForEachRow(page, &context, false, [&](const CPrimaryRecord& r) {
    RowsetRow row;
    ByteSpan f = r.FixedData();
    if (static_cast<int>(f.size()) >= kRowsetsMinimum) {
      ReadField<int64_t>(f, 0, row.rowsetId);
      ReadField<uint8_t>(f, 8, row.ownerType);
      ReadField<int32_t>(f, 9, row.objectId);
      ReadField<int32_t>(f, 13, row.indexId);
      ReadField<int32_t>(f, 17, row.partitionNumber);
      ReadField<int32_t>(f, 21, row.status);
      ReadField<int16_t>(f, 25, row.filegroupId);
      row.rowCount = I64At(f, 27, -1);
    }
    out.push_back(row);
  });
}

// sysindexes (2000): i32 object id 0, u32 first page 8, i16 index id 14, u32
// first IAM page 64. Only clustered indexes (index id 1) are kept.
void ReadLegacyIndexes(const CDataPage& page, const ReadContext& context, std::map<int32_t, LegacyIndexRow>& out) {
  ForEachRow(page, &context, true, [&](const CPrimaryRecord& r) {
    ByteSpan f = r.FixedData();
    if (static_cast<int>(f.size()) < kLegacyIndexesMinimum || I16At(f, 14) != 1) return;
    LegacyIndexRow row;
    ReadField<int32_t>(f, 0, row.objectId);
    row.indexId = 1;
    ReadField<uint32_t>(f, 8, row.firstPage);
    ReadField<uint32_t>(f, 64, row.firstIamPage);
    row.fileId = static_cast<uint16_t>(page.header.thisPage.fileId);
    out[row.objectId] = row;
  });
}

// sysindexes (2000), every row: i32 object id 0, i32 status 4, i16 index id
// 14, i16 key count 24; var 0 the keys, 32 bytes per key column (16 bytes of type
// information, then the i16 column id); var 1 the index name.
void ReadLegacyIndexKeys(const CDataPage& page, const ReadContext& context, std::vector<LegacyIndexKeys>& out) {
  constexpr int kKeyEntrySize = 32;
  constexpr int kKeyColumnIdOffset = 16;
  ForEachRow(page, &context, true, [&](const CPrimaryRecord& r) {
    ByteSpan f = r.FixedData();
    if (static_cast<int>(f.size()) < kLegacyIndexesMinimum) return;
    LegacyIndexKeys x;
    ReadField<int32_t>(f, 0, x.objectId);
    ReadField<int32_t>(f, 4, x.status);
    ReadField<int16_t>(f, 14, x.indexId);
    x.name = VariableText(r, 1).value_or("");
    int count = I16At(f, 24);
    ByteSpan keys = r.values.empty() ? ByteSpan() : r.Bytes(r.values[0]);
    for (int k = 0; k < count && k < 16; ++k) {
      auto id = ReadLittleEndian<int16_t>(keys, k * kKeyEntrySize + kKeyColumnIdOffset);
      if (!id) break;
      x.keyColumnIds.push_back(*id);
    }
    out.push_back(std::move(x));
  });
}

// sysreferences (2000): i32 constraint id 0, i32 referencing table 4, i32
// referenced table 8, i16 key count 14; var 0 the referencing column ids,
// var 1 the referenced column ids (i16 each).
void ReadLegacyReferences(const CDataPage& page, const ReadContext& context, std::vector<ForeignKeyColumn>& out) {
  ForEachRow(page, &context, true, [&](const CPrimaryRecord& r) {
    ByteSpan f = r.FixedData();
    if (f.size() < 16 || r.values.size() < 2) return;
    ByteSpan from = r.Bytes(r.values[0]);
    ByteSpan to = r.Bytes(r.values[1]);
    int count = I16At(f, 14);
    for (int k = 0; k < count && k < 16; ++k) {
      auto a = ReadLittleEndian<int16_t>(from, 2 * k);
      auto b = ReadLittleEndian<int16_t>(to, 2 * k);
      if (!a || !b) break;
      ForeignKeyColumn fk;
      ReadField<int32_t>(f, 0, fk.constraintId);
      fk.keyOrdinal = k + 1;
      ReadField<int32_t>(f, 4, fk.parentTableId);
      fk.parentColumnId = *a;
      ReadField<int32_t>(f, 8, fk.referencedTableId);
      fk.referencedColumnId = *b;
      out.push_back(fk);
    }
  });
}

// systypes (2000): u8 system type 0, i16 user type 2, i16 length 4, u8
// precision 6, u8 scale 7, i16 owner 16, i32 collation 20; name in var 0.
// The user type is the row's id, as in sysscalartypes.
void ReadLegacyScalarTypes(const CDataPage& page, const ReadContext& context, std::vector<ScalarTypeRow>& out) {
  ForEachRow(page, &context, false, [&](const CPrimaryRecord& r) {
    ByteSpan f = r.FixedData();
    if (f.size() < 24) return;
    ScalarTypeRow t;
    ReadField<uint8_t>(f, 0, t.systemTypeId);
    ReadField<int16_t>(f, 2, t.id);
    ReadField<int16_t>(f, 4, t.length);
    ReadField<uint8_t>(f, 6, t.precision);
    ReadField<uint8_t>(f, 7, t.scale);
    ReadField<int16_t>(f, 16, t.schemaId);
    ReadField<int32_t>(f, 20, t.collationId);
    t.name = VariableText(r, 0).value_or("");
    out.push_back(std::move(t));
  });
}

std::string IdentityText(ByteSpan v) {
  const size_t length = v.size();
  int64_t seed = 1, increment = 1;
  if (length >= 24) {
    if (I32At(v, 4) != 0) {
      seed = I32At(v, 4);
      increment = I32At(v, 8);
    } else if (I32At(v, 0) != 0) {
      seed = I64At(v, 8);
      increment = I64At(v, 16);
    } else {
      seed = 0;
      increment = I32At(v, 8);
    }
  } else if (length >= 12) {
    seed = I32At(v, 4);
    increment = I32At(v, 8);
  } else if (length >= 6) {
    seed = I16At(v, 2);
    increment = I16At(v, 4);
  }
  if (increment == 0) increment = 1;
  char text[64];
  std::snprintf(text, sizeof text, "identity(%lld,%lld)", static_cast<long long>(seed),
                static_cast<long long>(increment));
  return text;
}

// syscolpars: i32 object id 0, i16 number 4, i32 column id 6, u8 system
// type 10, i32 user type 11, i16 max length 15, u8 precision 17, u8 scale
// 18, i32 collation 19, i32 status 23, i16 max in-row length 27, i32 XML
// collection 29, i32 default 33, i32 rule 37; name in var 0, identity
// seed and increment in var 1.
void ReadColumns(const CDataPage& page, WalkContext& ctx, std::vector<ColumnRow>& out) {
  ForEachRow(page, &ctx.read, true, [&](const CPrimaryRecord& r) {
    ColumnRow c;
    ByteSpan f = r.FixedData();
    if (static_cast<int>(f.size()) >= kColumnsMinimum) {
      ReadField<int32_t>(f, 0, c.objectId);
      ReadField<int16_t>(f, 4, c.number);
      ReadField<int32_t>(f, 6, c.columnId);
      ReadField<uint8_t>(f, 10, c.systemTypeId);
      ReadField<int32_t>(f, 11, c.userTypeId);
      ReadField<int16_t>(f, 15, c.maxLength);
      ReadField<uint8_t>(f, 17, c.precision);
      ReadField<uint8_t>(f, 18, c.scale);
      ReadField<int32_t>(f, 19, c.collationId);
      ReadField<int32_t>(f, 23, c.status);
      ReadField<int16_t>(f, 27, c.maxInRowLength);
      ReadField<int32_t>(f, 29, c.xmlCollectionId);
      ReadField<int32_t>(f, 33, c.defaultObjectId);
      c.ruleObjectId = I32At(f, 37, -1);
      c.name = NameOrPlaceholder(r, ctx.repairCounter, "RepairColumn");
      // Status bit 2 marks an identity column; other bits sit beside it
      // (bit 0 NOT NULL, bit 16 NOT FOR REPLICATION).
      if ((c.status & 4) != 0 && r.values.size() >= 2) c.identityText = IdentityText(r.Bytes(r.values[1]));
    }
    out.push_back(std::move(c));
  });
}

// syscolumns (2000): i32 object id 0, u8 type 4, u8 type status 5, i16 user
// type 6, i16 length 8, u8 precision 10, u8 scale 11, i16 column id 12,
// i16 offset 14, u8 bit position 16, u8 reserved 17, i16 column status 18,
// i16 default 20, i32 domain 24, i16 number 28, i16 column order 30, i16
// physical offset 32, i32 collation 34, u8 status 42; name in var 0, the
// identity value (current value, seed, increment) in var 1.
void ReadLegacyColumns(const CDataPage& page, WalkContext& ctx, std::vector<LegacyColumnRow>& out) {
  ForEachRow(page, &ctx.read, true, [&](const CPrimaryRecord& r) {
    LegacyColumnRow c;
    ByteSpan f = r.FixedData();
    if (r.fixed.present) {
      c.objectId = I32At(f, 0, -1);
      c.systemType = U8At(f, 4, 255);
      c.typeStatus = U8At(f, 5, 255);
      c.userType = I16At(f, 6, -1);
      c.length = I16At(f, 8, -1);
      c.precision = U8At(f, 10, 255);
      c.scale = U8At(f, 11, 255);
      c.columnId = I16At(f, 12, -1);
      c.offsetInRow = I16At(f, 14, -1);
      c.bitPosition = U8At(f, 16, 255);
      c.reserved = U8At(f, 17, 255);
      c.columnStatus = I16At(f, 18, -1);
      c.defaultObjectId = I16At(f, 20, -1);
      c.domain = I32At(f, 24, -1);
      c.number = I16At(f, 28, -1);
      c.columnOrder = I16At(f, 30, -1);
      c.physicalOffset = I16At(f, 32, -1);
      if (r.columnCount >= 21 && f.size() >= 38) c.collationId = I32At(f, 34);
      if (r.columnCount >= 21 && f.size() >= 43) c.status = U8At(f, 42);
      c.name = NameOrPlaceholder(r, ctx.repairCounter, "RepairColumn");
      // Identity columns keep the current value, seed and increment in var 1.
      if ((c.columnStatus & 1) != 0 && r.values.size() >= 2 && r.values[1].range.present)
        c.identityText = IdentityText(r.Bytes(r.values[1]));
    }
    out.push_back(std::move(c));
  });
}

// sysscalartypes: i32 id 0, i32 schema 4, u8 system type 8, i16 length 9,
// u8 precision 11, u8 scale 12, i32 collation 13, i32 status 17, two i32 at
// 30 and 34; name in var 0.
void ReadScalarTypes(const CDataPage& page, const ReadContext& context, std::vector<ScalarTypeRow>& out) {
  ForEachRow(page, &context, false, [&](const CPrimaryRecord& r) {
    if (!r.fixed.present) return;
    ScalarTypeRow t;
    ByteSpan f = r.FixedData();
    if (static_cast<int>(f.size()) >= kScalarTypesMinimum) {
      ReadField<int32_t>(f, 0, t.id);
      ReadField<int32_t>(f, 4, t.schemaId);
      ReadField<uint8_t>(f, 8, t.systemTypeId);
      ReadField<int16_t>(f, 9, t.length);
      ReadField<uint8_t>(f, 11, t.precision);
      ReadField<uint8_t>(f, 12, t.scale);
      ReadField<int32_t>(f, 13, t.collationId);
      ReadField<int32_t>(f, 17, t.status);
      ReadField<int32_t>(f, 30, t.extra1);
      t.extra2 = I32At(f, 34, -1);
      t.name = VariableText(r, 0).value_or("");
    }
    out.push_back(std::move(t));
  });
}

// sysrscols: i64 rowset 0, i32 rowset column 8, i32 hobt column 12, i64
// modification counter 16, i32 type information 24, i32 column id 28, i16
// key ordinal 32, i16 max in-row length 34, i32 status 36, i32 offset 40,
// i32 null bit 44, i16 bit position 48.
void ReadRowsetColumns(const CDataPage& page, const ReadContext& context, std::vector<RowsetColumnRow>& out) {
  ForEachRow(page, &context, false, [&](const CPrimaryRecord& r) {
    RowsetColumnRow c;
    ByteSpan f = r.FixedData();
    if (static_cast<int>(f.size()) >= kRowsetColumnsMinimum) {
      ReadField<int64_t>(f, 0, c.rowsetId);
      ReadField<int32_t>(f, 8, c.rowsetColumnId);
      ReadField<int32_t>(f, 12, c.hobtColumnId);
      ReadField<int64_t>(f, 16, c.modificationCounter);
      ReadField<int32_t>(f, 24, c.typeInformation);
      ReadField<int32_t>(f, 28, c.columnId);
      ReadField<int16_t>(f, 32, c.keyOrdinal);
      ReadField<int16_t>(f, 34, c.maxInRowLength);
      ReadField<int32_t>(f, 36, c.status);
      ReadField<int32_t>(f, 40, c.offset);
      ReadField<int32_t>(f, 44, c.nullBit);
      c.bitPosition = I16At(f, 48, -1);
    }
    out.push_back(c);
  });
}

// syssingleobjrefs: u8 class 0, i32 dependent 1, i32 dependent sub 5, i32
// independent 9, i32 independent sub 13, i32 status 17.
void ReadObjectReferences(const CDataPage& page, const ReadContext& context, std::vector<ObjectRefRow>& out) {
  ForEachRow(page, &context, false, [&](const CPrimaryRecord& r) {
    if (!r.fixed.present) return;
    ByteSpan f = r.FixedData();
    ObjectRefRow o;
    o.refClass = U8At(f, 0, 255);
    o.dependentId = I32At(f, 1, -1);
    o.dependentSubId = I32At(f, 5, -1);
    o.independentId = I32At(f, 9, -1);
    o.independentSubId = I32At(f, 13, -1);
    o.status = I32At(f, 17, -1);
    out.push_back(o);
  });
}

// sysidxstats: i32 object 0, i32 index 4, i32 status 8, i32 property 12, u8
// fill factor 16, u8 type 17, u8 tiny property 18, i32 data space 19, i32
// LOB data space 23, i64 rowset 27; name in var 0.
void ReadIndexes(const CDataPage& page, const ReadContext& context, std::vector<IndexRow>& out) {
  ForEachRow(page, &context, false, [&](const CPrimaryRecord& r) {
    if (!r.fixed.present) return;
    IndexRow x;
    ByteSpan f = r.FixedData();
    if (static_cast<int>(f.size()) >= kIndexesMinimum) {
      ReadField<int32_t>(f, 0, x.objectId);
      ReadField<int32_t>(f, 4, x.indexId);
      ReadField<int32_t>(f, 8, x.status);
      ReadField<int32_t>(f, 12, x.property);
      ReadField<uint8_t>(f, 16, x.fillFactor);
      ReadField<uint8_t>(f, 17, x.indexType);
      ReadField<uint8_t>(f, 18, x.tinyProperty);
      ReadField<int32_t>(f, 19, x.dataSpaceId);
      ReadField<int32_t>(f, 23, x.lobDataSpaceId);
      x.rowsetId = I64At(f, 27, -1);
      x.name = VariableText(r, 0).value_or("");
    }
    out.push_back(std::move(x));
  });
}

// sysiscols: i32 object 0, i32 index 4, i32 ordinal 8, i32 status 12, i32
// column id 16, two u8 at 20 and 21.
void ReadIndexColumns(const CDataPage& page, const ReadContext& context, std::vector<IndexColumnRow>& out) {
  ForEachRow(page, &context, false, [&](const CPrimaryRecord& r) {
    IndexColumnRow c;
    ByteSpan f = r.FixedData();
    if (static_cast<int>(f.size()) >= kIndexColumnsMinimum) {
      ReadField<int32_t>(f, 0, c.objectId);
      ReadField<int32_t>(f, 4, c.indexId);
      ReadField<int32_t>(f, 8, c.columnOrdinal);
      ReadField<int32_t>(f, 12, c.status);
      ReadField<int32_t>(f, 16, c.property);
      c.firstTiny = U8At(f, 20, 255);
      c.secondTiny = U8At(f, 21, 255);
    }
    out.push_back(c);
  });
}

// Rowset columns of 611/612 files: i64 rowset 0, i32 column 8, i16 at 27
// (leaf offset), i16 at 33 (null bit).
void ReadOldRowsetColumns(const CDataPage& page, const ReadContext& context, std::vector<OldRowsetColumnRow>& out) {
  ForEachRow(page, &context, false, [&](const CPrimaryRecord& r) {
    OldRowsetColumnRow c;
    ByteSpan f = r.FixedData();
    if (r.fixed.present) {
      ReadField<int64_t>(f, 0, c.rowsetId);
      ReadField<int32_t>(f, 8, c.columnId);
      ReadField<int16_t>(f, 27, c.firstValue);
      ReadField<int16_t>(f, 33, c.secondValue);
    }
    out.push_back(c);
  });
}

// Extra rowset-column values of 611/612 files: i64 rowset 0, i32 column 8,
// i32 value 12.
void ReadOldRowsetColumnExtras(const CDataPage& page, const ReadContext& context,
                               std::vector<OldRowsetColumnExtraRow>& out) {
  ForEachRow(page, &context, false, [&](const CPrimaryRecord& r) {
    OldRowsetColumnExtraRow c;
    ByteSpan f = r.FixedData();
    if (r.fixed.present) {
      ReadField<int64_t>(f, 0, c.rowsetId);
      ReadField<int32_t>(f, 8, c.columnId);
      ReadField<int32_t>(f, 12, c.value);
    }
    out.push_back(c);
  });
}

}  // namespace pagewright
