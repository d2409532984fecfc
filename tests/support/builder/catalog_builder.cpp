#include "support/builder/catalog_builder.h"

#include <algorithm>
#include <set>
#include <stdexcept>

namespace pagewright::build {

namespace {

constexpr int kRecordArea = 8096 - 96;  // bytes of records and slots a page holds

Bytes Put(Bytes b, size_t at, const Bytes& v) {
  if (b.size() < at + v.size()) b.resize(at + v.size(), 0);
  std::copy(v.begin(), v.end(), b.begin() + static_cast<long>(at));
  return b;
}

// A system table row: fixed bytes and variable values (no nulls).
Bytes SystemRow(const Bytes& fixed, const std::vector<Bytes>& variable, int16_t columns) {
  RecordBuilder r;
  r.Fixed(fixed);
  for (const auto& v : variable) r.Variable(v);
  r.Columns(columns);
  return r.Build();
}

Bytes StoredRef(uint32_t page, uint16_t file) { return Concat({LE<uint32_t>(page), LE<uint16_t>(file)}); }

int32_t SchemaIdOf(const std::string& schema) {
  if (schema == "dbo") return 1;
  if (schema == "sys") return 4;
  if (schema == "SalesLT") return 5;
  return 6 + static_cast<int32_t>(std::hash<std::string>{}(schema) % 1000);
}

// Positions for `count` pages of one table: up to eight pages anywhere;
// beyond that whole extents, as SQL Server gives a growing table uniform
// extents.
std::vector<uint32_t> DataPagePositions(DatabaseBuilder& db, size_t count) {
  std::vector<uint32_t> positions;
  for (size_t i = 0; i < count; ++i) {
    if (i < 8 || count <= 8) {
      positions.push_back(db.AllocatePosition());
    } else {
      if ((i - 8) % 8 == 0) {
        uint32_t start = (db.pageCount() + 7) / 8 * 8;
        db.EnsurePages(start + 8);
        for (uint32_t k = 0; k < 8; ++k) db.SetPage(start + k, PageBuilder(0, static_cast<int32_t>(start + k)));
      }
      positions.push_back(db.pageCount() - 8 + static_cast<uint32_t>((i - 8) % 8));
    }
  }
  return positions;
}

}  // namespace

std::vector<uint8_t> IamPageBytes(uint32_t position, int32_t headerObjectId, const std::vector<uint32_t>& pages) {
  PageBuilder p(10, static_cast<int32_t>(position));
  p.ObjectId(headerObjectId);
  Bytes header(90, 0);
  header = Put(header, 28, LE<int32_t>(headerObjectId));
  header = Put(header, 36, StoredRef(0, 1));
  const uint32_t base = position / 511232 * 511232;
  Bytes bitmap(7988, 0);
  int single = 0;
  std::set<uint32_t> extents;
  for (uint32_t page : pages) {
    // Pages of whole extents go to the bitmap; the others are single pages.
    uint32_t extentStart = page / 8 * 8;
    bool wholeExtent = true;
    for (uint32_t k = 0; k < 8; ++k)
      if (std::find(pages.begin(), pages.end(), extentStart + k) == pages.end()) wholeExtent = false;
    if (wholeExtent) {
      extents.insert((extentStart - base) / 8);
    } else if (single < 8) {
      header = Put(header, static_cast<size_t>(42 + 6 * single), StoredRef(page, 1));
      ++single;
    } else {
      // Past the eight single pages the table owns uniform extents: the
      // last one may be partly empty (the pages it has not used yet).
      extents.insert((extentStart - base) / 8);
    }
  }
  for (uint32_t e : extents) bitmap[e / 8] |= static_cast<uint8_t>(1u << (e % 8));
  header[34] = static_cast<uint8_t>(single);
  p.AddRecord(RecordBuilder().Fixed(header).Columns(0).WithoutNullBitmap().Build());
  p.AddRecord(RecordBuilder().Fixed(bitmap).Columns(0).WithoutNullBitmap().Build());
  return p.Bytes();
}

CatalogBuilder::CatalogBuilder(bool legacy, uint16_t version) : legacy_(legacy), version_(legacy ? 539 : version) {}

CatalogBuilder& CatalogBuilder::DatabaseName(const std::u16string& name) {
  name_ = name;
  return *this;
}
CatalogBuilder& CatalogBuilder::Collation(int32_t collationId) {
  collation_ = collationId;
  return *this;
}
void CatalogBuilder::AddTable(TableDef table) {
  if (table.primaryKeyName.empty() && !table.primaryKey.empty()) table.primaryKeyName = "PK_" + table.name;
  tables_.push_back(std::move(table));
}
void CatalogBuilder::AddModule(ModuleDef module) { modules_.push_back(std::move(module)); }
CatalogBuilder& CatalogBuilder::Tweak(std::function<void(uint32_t, std::vector<uint8_t>&)> tweak) {
  tweak_ = std::move(tweak);
  return *this;
}

std::string CatalogBuilder::Key(const std::string& schema, const std::string& name) {
  return name.find('.') == std::string::npos ? schema + "." + name : name;
}

int32_t CatalogBuilder::ObjectIdOf(const std::string& name) const {
  auto it = ids_.find(Key("dbo", name));
  return it == ids_.end() ? 0 : it->second;
}

std::vector<uint32_t> CatalogBuilder::WriteRecords(DatabaseBuilder& db, int32_t headerObjectId,
                                                   const std::vector<Bytes>& records, uint8_t pageType,
                                                   int rowsPerPage) {
  std::vector<std::vector<const Bytes*>> pages(1);
  int used = 0;
  for (const auto& r : records) {
    int need = static_cast<int>(r.size()) + 2;
    bool full = used + need > kRecordArea || (rowsPerPage > 0 && static_cast<int>(pages.back().size()) >= rowsPerPage);
    if (full && !pages.back().empty()) {
      pages.emplace_back();
      used = 0;
    }
    pages.back().push_back(&r);
    used += need;
  }
  std::vector<uint32_t> positions = DataPagePositions(db, pages.size());
  for (size_t i = 0; i < pages.size(); ++i) {
    PageBuilder p(pageType, static_cast<int32_t>(positions[i]));
    p.ObjectId(headerObjectId);
    if (i > 0) p.Previous(PageId{1, static_cast<int32_t>(positions[i - 1])});
    if (i + 1 < pages.size()) p.Next(PageId{1, static_cast<int32_t>(positions[i + 1])});
    int ghosts = 0;
    for (const Bytes* r : pages[i]) {
      p.AddRecord(*r);
      if (((*r)[0] >> 1 & 7) == 6) ++ghosts;
    }
    p.GhostCount(static_cast<int16_t>(ghosts));
    db.SetPage(positions[i], p);
  }
  return positions;
}

std::vector<uint32_t> CatalogBuilder::WritePages(DatabaseBuilder& db, int32_t headerObjectId,
                                                 std::vector<PageBuilder> pages) {
  std::vector<uint32_t> positions = DataPagePositions(db, pages.size());
  for (size_t i = 0; i < pages.size(); ++i) {
    PageBuilder& p = pages[i];
    p.ThisPage(PageId{1, static_cast<int32_t>(positions[i])});
    p.ObjectId(headerObjectId);
    p.Previous(i > 0 ? PageId{1, static_cast<int32_t>(positions[i - 1])} : PageId{0, 0});
    p.Next(i + 1 < pages.size() ? PageId{1, static_cast<int32_t>(positions[i + 1])} : PageId{0, 0});
    db.SetPage(positions[i], p);
  }
  return positions;
}

void CatalogBuilder::WriteTableData(DatabaseBuilder& db, const TableDef& t, BuiltTable& b, int32_t headerObjectId) {
  if (t.dataPages) {
    std::vector<PageBuilder> pages = t.dataPages(t, db);
    if (pages.empty()) return;
    b.dataPages = WritePages(db, headerObjectId, std::move(pages));
    b.iamPage = db.AllocatePosition();
    db.SetPage(b.iamPage, IamPageBytes(b.iamPage, headerObjectId, b.dataPages));
    return;
  }
  std::vector<Bytes> records;
  for (const auto& row : t.rows) records.push_back(EncodeRow(t.columns, row));
  for (const auto& row : t.ghostRows) records.push_back(EncodeRow(t.columns, row, 6));
  if (records.empty()) return;
  b.dataPages = WriteRecords(db, headerObjectId, records, 1, t.rowsPerPage);
  b.iamPage = db.AllocatePosition();
  db.SetPage(b.iamPage, IamPageBytes(b.iamPage, headerObjectId, b.dataPages));
}

DatabaseBuilder CatalogBuilder::Build() {
  DatabaseBuilder db(16);
  db.SetPage(0, PageBuilder(15, 0));
  db.Boot(BootInfo{name_, version_, collation_});
  built_.clear();
  ids_.clear();
  // Object ids in the style SQL Server hands them out.
  int32_t next = 245575913;
  // Past about 118 objects the sum leaves int32: ids go on modulo the prime
  // 2^31 - 1, so they stay positive and distinct.
  auto nextId = [&next] {
    next = static_cast<int32_t>((static_cast<int64_t>(next) + 16000057) % 2147483647);
    return next;
  };
  for (const auto& t : tables_) ids_[Key(t.schema, t.name)] = nextId();
  for (const auto& m : modules_) ids_[Key(m.schema, m.name)] = nextId();
  for (const auto& t : tables_) {
    if (!t.primaryKey.empty()) ids_[Key(t.schema, t.primaryKeyName)] = nextId();
    for (const auto& fk : t.foreignKeys) ids_[Key(t.schema, fk.name)] = nextId();
    for (const auto& ck : t.checkConstraints) ids_[Key(t.schema, ck.first)] = nextId();
    for (const auto& uq : t.uniqueKeys) ids_[Key(t.schema, uq.first)] = nextId();
  }
  if (legacy_) {
    BuildLegacy(db);
  } else {
    BuildModern(db);
  }
  if (tweak_) {
    for (uint32_t p = 0; p < db.pageCount(); ++p) tweak_(p, db.PageBytes(p));
  }
  return db;
}

void CatalogBuilder::BuildModern(DatabaseBuilder& db) {
  std::vector<Bytes> clsobjs, schobjs, colpars, scalartypes, rowsets, allocunits, rscols, idxstats, iscols, objrefs,
      objvalues;
  // Schemas (class 50).
  std::set<std::string> schemas = {"dbo", "sys"};
  for (const auto& t : tables_) schemas.insert(t.schema);
  for (const auto& m : modules_) schemas.insert(m.schema);
  for (const auto& s : schemas) {
    Bytes fixed = Concat({Bytes{50}, LE<int32_t>(SchemaIdOf(s)), LE<int32_t>(0), Bytes(8, 0)});
    clsobjs.push_back(SystemRow(fixed, {Utf16(std::u16string(s.begin(), s.end()))}, 8));
  }
  auto object = [&](int32_t id, const std::string& schema, const std::string& name, const std::string& type,
                    int32_t parent) {
    Bytes fixed = Concat({LE<int32_t>(id), LE<int32_t>(SchemaIdOf(schema)), Bytes{0}, LE<int32_t>(0),
                          Bytes{static_cast<uint8_t>(type[0]), static_cast<uint8_t>(type[1])}, LE<int32_t>(parent),
                          Bytes{static_cast<uint8_t>(parent ? 1 : 0)}, LE<int32_t>(0), Bytes(16, 0)});
    schobjs.push_back(SystemRow(fixed, {Utf16(std::u16string(name.begin(), name.end()))}, 11));
  };
  // A few system tables, as every database lists them.
  object(3, "sys", "sysrscols", "S ", 0);
  object(5, "sys", "sysrowsets", "S ", 0);
  object(7, "sys", "sysallocunits", "S ", 0);
  object(34, "sys", "sysschobjs", "S ", 0);
  object(41, "sys", "syscolpars", "S ", 0);

  std::set<uint8_t> types;
  int64_t rowsetCounter = 0;
  std::map<int32_t, int32_t> partitionsOf;  // object id -> partitions written
  for (const auto& t : tables_) {
    BuiltTable& b = built_[Key(t.schema, t.name)];
    const bool extraPartition = !t.partitionOf.empty();
    b.objectId = ids_[Key(t.schema, extraPartition ? t.partitionOf : t.name)];
    int32_t partitionNumber = ++partitionsOf[b.objectId];
    if (t.partitionNumber > 0) partitionNumber = t.partitionNumber;
    if (!extraPartition) object(b.objectId, t.schema, t.name, t.typeCode, 0);
    ++rowsetCounter;
    b.rowsetId = (int64_t{1} << 56) | (rowsetCounter << 16);
    b.pageKey = 1000 + static_cast<int32_t>(rowsetCounter);
    b.allocationUnitId = (int64_t{1} << 56) | (static_cast<int64_t>(b.pageKey) << 16);
    WriteTableData(db, t, b, b.pageKey);
    // Headers name the allocation unit by both parts of its id: the object
    // id at 24 and the upper 16 bits at 6 (the index id field).
    for (uint32_t p : b.dataPages) StoreLittleEndian<uint16_t>(db.PageBytes(p).data() + 6, static_cast<uint16_t>(b.allocationUnitId >> 48));
    if (!b.dataPages.empty())
      StoreLittleEndian<uint16_t>(db.PageBytes(b.iamPage).data() + 6, static_cast<uint16_t>(b.allocationUnitId >> 48));
    auto placement = PlaceColumns(t.columns);
    for (size_t i = 0; i < t.columns.size(); ++i) {
      const ColumnSpec& c = t.columns[i];
      types.insert(c.type);
      int32_t status = (c.nullable ? 0 : 1) | (c.identity ? 4 : 0) | (c.sparse ? (1 << 24) : 0);
      Bytes fixed = Concat({LE<int32_t>(b.objectId), LE<int16_t>(0), LE<int32_t>(static_cast<int32_t>(i) + 1),
                            Bytes{c.type}, LE<int32_t>(c.type), LE<int16_t>(c.maxLength), Bytes{c.precision},
                            Bytes{c.scale}, LE<int32_t>(IsVariableType(c) || c.type == kSqlChar || c.type == kSqlNchar
                                                             ? c.collationId
                                                             : 0),
                            LE<int32_t>(status), LE<int16_t>(c.maxLength), LE<int32_t>(0), LE<int32_t>(0),
                            LE<int32_t>(0)});
      std::vector<Bytes> var = {Utf16(std::u16string(c.name.begin(), c.name.end()))};
      if (c.identity) {
        var.push_back(Concat({LE<int32_t>(static_cast<int32_t>(t.rows.size())),
                              LE<int32_t>(static_cast<int32_t>(c.identity->first)),
                              LE<int32_t>(static_cast<int32_t>(c.identity->second)), Bytes{0}}));
      }
      if (!extraPartition) colpars.push_back(SystemRow(fixed, var, 16));
      int32_t offset = placement[i].leafOffset < 0 ? placement[i].leafOffset & 0xFFFF
                                                   : (placement[i].bitPosition << 16) | placement[i].leafOffset;
      Bytes rs = Concat({LE<int64_t>(b.rowsetId), LE<int32_t>(static_cast<int32_t>(i) + 1),
                         LE<int32_t>(static_cast<int32_t>(i) + 1), LE<int64_t>(0), LE<int32_t>(c.type),
                         LE<int32_t>(static_cast<int32_t>(i) + 1), LE<int16_t>(0), LE<int16_t>(c.maxLength),
                         LE<int32_t>(0), LE<int32_t>(offset), LE<int32_t>(placement[i].nullBit),
                         LE<int16_t>(placement[i].bitPosition)});
      rscols.push_back(SystemRow(rs, {}, 13));
    }
    const int32_t baseIndexId = t.clustered ? 1 : 0;
    rowsets.push_back(SystemRow(Concat({LE<int64_t>(b.rowsetId), Bytes{1}, LE<int32_t>(b.objectId), LE<int32_t>(baseIndexId),
                                        LE<int32_t>(partitionNumber), LE<int32_t>(0), LE<int16_t>(1),
                                        LE<int64_t>(static_cast<int64_t>(t.rows.size()))}),
                                {}, 9));
    uint32_t first = b.dataPages.empty() ? 0 : b.dataPages.front();
    allocunits.push_back(SystemRow(Concat({LE<int64_t>(b.allocationUnitId), Bytes{1}, LE<int64_t>(b.rowsetId),
                                           LE<int32_t>(0), LE<int16_t>(1), StoredRef(first, first ? 1 : 0),
                                           StoredRef(first, first ? 1 : 0), StoredRef(b.iamPage, b.iamPage ? 1 : 0)}),
                                   {}, 9));
    if (!t.primaryKey.empty()) {
      int32_t pkId = ids_[Key(t.schema, t.primaryKeyName)];
      object(pkId, t.schema, t.primaryKeyName, "PK", b.objectId);
      // An index of a primary key: status bits 0x1 and 0x20 (primary key),
      // 0x8 (unique).
      idxstats.push_back(SystemRow(Concat({LE<int32_t>(b.objectId), LE<int32_t>(t.clustered ? 1 : 2),
                                           LE<int32_t>(0x29), LE<int32_t>(0), Bytes{0}, Bytes{1}, Bytes{0},
                                           LE<int32_t>(1), LE<int32_t>(0), LE<int64_t>(b.rowsetId + 1)}),
                                   {Utf16(std::u16string(t.primaryKeyName.begin(), t.primaryKeyName.end()))}, 11));
      for (size_t k = 0; k < t.primaryKey.size(); ++k) {
        iscols.push_back(SystemRow(Concat({LE<int32_t>(b.objectId), LE<int32_t>(t.clustered ? 1 : 2),
                                           LE<int32_t>(static_cast<int32_t>(k) + 1), LE<int32_t>(0),
                                           LE<int32_t>(t.primaryKey[k] + 1), Bytes{0}, Bytes{0}}),
                                   {}, 7));
      }
    }
    for (size_t u = 0; u < t.uniqueKeys.size(); ++u) {
      const auto& [uqName, uqColumns] = t.uniqueKeys[u];
      object(ids_[Key(t.schema, uqName)], t.schema, uqName, "UQ", b.objectId);
      // The index behind a unique constraint: status bits 0x1, 0x8 (unique)
      // and 0x40 (unique constraint); index ids after the primary key's.
      const auto indexId = static_cast<int32_t>(3 + u);
      idxstats.push_back(SystemRow(Concat({LE<int32_t>(b.objectId), LE<int32_t>(indexId), LE<int32_t>(0x49),
                                           LE<int32_t>(0), Bytes{0}, Bytes{2}, Bytes{0}, LE<int32_t>(1), LE<int32_t>(0),
                                           LE<int64_t>(b.rowsetId + indexId)}),
                                   {Utf16(std::u16string(uqName.begin(), uqName.end()))}, 11));
      for (size_t k = 0; k < uqColumns.size(); ++k) {
        iscols.push_back(SystemRow(Concat({LE<int32_t>(b.objectId), LE<int32_t>(indexId),
                                           LE<int32_t>(static_cast<int32_t>(k) + 1), LE<int32_t>(0),
                                           LE<int32_t>(uqColumns[k] + 1), Bytes{0}, Bytes{0}}),
                                   {}, 7));
      }
    }
    for (const auto& ck : t.checkConstraints) {
      int32_t id = ids_[Key(t.schema, ck.first)];
      object(id, t.schema, ck.first, "C ", b.objectId);
      objvalues.push_back(SystemRow(Concat({Bytes{1}, LE<int32_t>(id), LE<int32_t>(0), LE<int32_t>(0)}),
                                    {Bytes{}, Utf16(ck.second)}, 6));
    }
  }
  // Foreign keys: the constraint object and its column references.
  for (const auto& t : tables_) {
    const BuiltTable& b = built_[Key(t.schema, t.name)];
    for (const auto& fk : t.foreignKeys) {
      int32_t id = ids_[Key(t.schema, fk.name)];
      object(id, t.schema, fk.name, "F ", b.objectId);
      int32_t referenced = ids_[Key(t.schema, fk.referencedTable)];
      objrefs.push_back(SystemRow(Concat({Bytes{27}, LE<int32_t>(id), LE<int32_t>(0), LE<int32_t>(referenced),
                                          LE<int32_t>(1), LE<int32_t>(0)}),
                                  {}, 6));
      for (size_t k = 0; k < fk.columns.size(); ++k) {
        auto ordinal = static_cast<int32_t>(k) + 1;
        objrefs.push_back(SystemRow(Concat({Bytes{28}, LE<int32_t>(id), LE<int32_t>(ordinal), LE<int32_t>(b.objectId),
                                            LE<int32_t>(fk.columns[k] + 1), LE<int32_t>(0)}),
                                    {}, 6));
        objrefs.push_back(SystemRow(Concat({Bytes{29}, LE<int32_t>(id), LE<int32_t>(ordinal), LE<int32_t>(referenced),
                                            LE<int32_t>(fk.referencedColumns[k] + 1), LE<int32_t>(0)}),
                                    {}, 6));
      }
    }
  }
  for (const auto& m : modules_) {
    int32_t id = ids_[Key(m.schema, m.name)];
    object(id, m.schema, m.name, m.typeCode, m.parentTable.empty() ? 0 : ids_[Key(m.schema, m.parentTable)]);
    for (size_t at = 0, piece = 0; at < m.definition.size() || piece == 0; at += m.pieceLength, ++piece) {
      std::u16string part = m.definition.substr(at, m.pieceLength);
      objvalues.push_back(SystemRow(Concat({Bytes{1}, LE<int32_t>(id), LE<int32_t>(0),
                                            LE<int32_t>(static_cast<int32_t>(piece))}),
                                    {Bytes{}, Utf16(part)}, 6));
      if (m.definition.empty()) break;
    }
  }
  for (uint8_t t : types) {
    std::string name = SqlTypeName(t);
    scalartypes.push_back(SystemRow(Concat({LE<int32_t>(t), LE<int32_t>(4), Bytes{t}, LE<int16_t>(8), Bytes{0},
                                            Bytes{0}, LE<int32_t>(0), LE<int32_t>(0), Bytes(9, 0), LE<int32_t>(0),
                                            LE<int32_t>(0)}),
                                    {Utf16(std::u16string(name.begin(), name.end()))}, 12));
  }
  WriteRecords(db, 64, clsobjs);
  WriteRecords(db, 34, schobjs);
  WriteRecords(db, 41, colpars);
  WriteRecords(db, 50, scalartypes);
  WriteRecords(db, 5, rowsets);
  WriteRecords(db, 7, allocunits);
  WriteRecords(db, 3, rscols);
  if (!idxstats.empty()) WriteRecords(db, 54, idxstats);
  if (!iscols.empty()) WriteRecords(db, 55, iscols);
  if (!objrefs.empty()) WriteRecords(db, 74, objrefs);
  if (!objvalues.empty()) WriteRecords(db, 60, objvalues);
}

void CatalogBuilder::BuildLegacy(DatabaseBuilder& db) {
  std::vector<Bytes> objects, columns, types, indexes, references, comments;
  auto object = [&](int32_t id, const std::string& name, const std::string& type, int32_t parent) {
    Bytes fixed = Concat({LE<int32_t>(id), Bytes{static_cast<uint8_t>(type[0]), static_cast<uint8_t>(type[1])},
                          LE<int16_t>(0), LE<int16_t>(1), LE<int16_t>(0), Bytes(12, 0), LE<int32_t>(parent),
                          Bytes(10, 0)});
    objects.push_back(SystemRow(fixed, {Utf16(std::u16string(name.begin(), name.end()))}, 24));
  };
  object(1, "sysobjects", "S ", 0);
  object(2, "sysindexes", "S ", 0);
  object(3, "syscolumns", "S ", 0);
  std::set<uint8_t> usedTypes;
  for (const auto& t : tables_) {
    BuiltTable& b = built_[Key(t.schema, t.name)];
    b.objectId = ids_[Key(t.schema, t.name)];
    b.pageKey = b.objectId;
    object(b.objectId, t.name, t.typeCode, 0);
    WriteTableData(db, t, b, b.objectId);
    auto placement = PlaceColumns(t.columns);
    for (size_t i = 0; i < t.columns.size(); ++i) {
      const ColumnSpec& c = t.columns[i];
      usedTypes.insert(c.type);
      uint8_t typeStatus = static_cast<uint8_t>(c.nullable ? 0 : 1);
      int16_t colstat = c.identity ? 1 : 0;
      Bytes fixed = Concat({LE<int32_t>(b.objectId), Bytes{c.type}, Bytes{typeStatus}, LE<int16_t>(c.type),
                            LE<int16_t>(c.maxLength), Bytes{c.precision}, Bytes{c.scale},
                            LE<int16_t>(static_cast<int16_t>(i + 1)), LE<int16_t>(placement[i].leafOffset),
                            Bytes{static_cast<uint8_t>(placement[i].bitPosition)}, Bytes{0}, LE<int16_t>(colstat),
                            LE<int32_t>(0), LE<int32_t>(0), LE<int16_t>(0), LE<int16_t>(static_cast<int16_t>(i + 1)),
                            LE<int16_t>(placement[i].leafOffset), LE<int32_t>(c.collationId), LE<int32_t>(0)});
      std::vector<Bytes> var = {Utf16(std::u16string(c.name.begin(), c.name.end()))};
      if (c.identity) {
        var.push_back(Concat({LE<int32_t>(static_cast<int32_t>(t.rows.size())),
                              LE<int32_t>(static_cast<int32_t>(c.identity->first)),
                              LE<int32_t>(static_cast<int32_t>(c.identity->second)), Bytes{0x82}}));
      }
      columns.push_back(SystemRow(fixed, var, 21));
    }
    // sysindexes: the heap or clustered index row, and the primary key's.
    // Key column k is column k + 1; a nonclustered index lists after its own
    // keys the row locator, as SQL Server 2000 does: the clustered index's
    // keys, or column id 0 (the RID) on a heap.
    auto indexRow = [&](int16_t indexId, const std::string& name, std::vector<int> keys) {
      uint32_t first = b.dataPages.empty() ? 0 : b.dataPages.front();
      Bytes fixed(78, 0);
      fixed = Put(fixed, 0, LE<int32_t>(b.objectId));
      fixed = Put(fixed, 8, LE<uint32_t>(first));
      fixed = Put(fixed, 12, LE<int16_t>(1));
      fixed = Put(fixed, 14, LE<int16_t>(indexId));
      fixed = Put(fixed, 24, LE<int16_t>(static_cast<int16_t>(keys.size())));
      fixed = Put(fixed, 64, LE<uint32_t>(b.iamPage));
      fixed = Put(fixed, 68, LE<int16_t>(1));
      Bytes keyBytes;
      for (int k : keys) {
        Bytes entry(32, 0);
        if (k >= 0) entry[0] = t.columns[static_cast<size_t>(k)].type;
        entry = Put(entry, 16, LE<int16_t>(static_cast<int16_t>(k + 1)));
        keyBytes.insert(keyBytes.end(), entry.begin(), entry.end());
      }
      indexes.push_back(SystemRow(fixed, {keyBytes, Utf16(std::u16string(name.begin(), name.end()))}, 27));
    };
    auto withLocator = [](std::vector<int> keys, const std::vector<int>& clusteredKeys) {
      if (clusteredKeys.empty()) keys.push_back(-1);
      keys.insert(keys.end(), clusteredKeys.begin(), clusteredKeys.end());
      return keys;
    };
    if (!t.clusteredIndex.empty()) {
      indexRow(1, t.clusteredIndexName, t.clusteredIndex);
      if (!t.primaryKey.empty()) indexRow(2, t.primaryKeyName, withLocator(t.primaryKey, t.clusteredIndex));
    } else if (t.clustered && !t.primaryKey.empty()) {
      indexRow(1, t.primaryKeyName, t.primaryKey);
    } else {
      indexRow(0, t.name, {});
      if (!t.primaryKey.empty()) indexRow(2, t.primaryKeyName, withLocator(t.primaryKey, {}));
    }
    if (!t.primaryKey.empty()) object(ids_[Key(t.schema, t.primaryKeyName)], t.primaryKeyName, "PK", b.objectId);
  }
  for (const auto& t : tables_) {
    const BuiltTable& b = built_[Key(t.schema, t.name)];
    for (const auto& fk : t.foreignKeys) {
      int32_t id = ids_[Key(t.schema, fk.name)];
      object(id, fk.name, "F ", b.objectId);
      Bytes from, to;
      for (size_t k = 0; k < fk.columns.size(); ++k) {
        Bytes a = LE<int16_t>(static_cast<int16_t>(fk.columns[k] + 1));
        Bytes r = LE<int16_t>(static_cast<int16_t>(fk.referencedColumns[k] + 1));
        from.insert(from.end(), a.begin(), a.end());
        to.insert(to.end(), r.begin(), r.end());
      }
      references.push_back(SystemRow(Concat({LE<int32_t>(id), LE<int32_t>(b.objectId),
                                             LE<int32_t>(ids_[Key(t.schema, fk.referencedTable)]), LE<int16_t>(1),
                                             LE<int16_t>(static_cast<int16_t>(fk.columns.size()))}),
                                     {from, to}, 7));
    }
  }
  for (const auto& m : modules_) {
    int32_t id = ids_[Key(m.schema, m.name)];
    object(id, m.name, m.typeCode, m.parentTable.empty() ? 0 : ids_[Key(m.schema, m.parentTable)]);
    int16_t colid = 1;
    for (size_t at = 0; at < m.definition.size(); at += m.pieceLength, ++colid) {
      std::u16string part = m.definition.substr(at, m.pieceLength);
      comments.push_back(SystemRow(Concat({LE<int32_t>(id), LE<int16_t>(0), LE<int16_t>(colid), LE<int16_t>(0)}),
                                   {Utf16(part)}, 5));
    }
  }
  for (uint8_t t : usedTypes) {
    std::string name = SqlTypeName(t);
    types.push_back(SystemRow(Concat({Bytes{t}, Bytes{0}, LE<int16_t>(t), LE<int16_t>(8), Bytes{0}, Bytes{0},
                                      LE<int32_t>(0), LE<int32_t>(0), LE<int16_t>(4), LE<int16_t>(0), LE<int32_t>(0)}),
                              {Utf16(std::u16string(name.begin(), name.end()))}, 12));
  }
  WriteRecords(db, 1, objects);
  WriteRecords(db, 3, columns);
  WriteRecords(db, 4, types);
  WriteRecords(db, 2, indexes);
  if (!references.empty()) WriteRecords(db, 14, references);
  if (!comments.empty()) WriteRecords(db, 6, comments);
}

}  // namespace pagewright::build
