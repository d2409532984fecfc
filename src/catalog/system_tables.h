// Readers of the system base tables: one per table, each turning the
// records of one decoded page into row records.
//
// Pages are found under the object id in their header (ObjectPageMap):
//
//   key (2005+)  key (2000)  table                    rows
//   8            8           sysfiles1                DatabaseFileRow
//   64           64          sysclsobjs               ClassObjectRow
//   34           1           sysschobjs / sysobjects  CatalogObject
//   7            99          sysallocunits            AllocUnitRow
//   5            5           sysrowsets               RowsetRow
//   -            2           sysindexes (data pages)  LegacyIndexRow, LegacyIndexKeys
//   -            14          sysreferences (data)     ForeignKeyColumn
//   -            4           systypes                 ScalarTypeRow
//   41, 2187     3           syscolpars / syscolumns  ColumnRow / LegacyColumnRow
//   50           50          sysscalartypes           ScalarTypeRow
//   3            -           sysrscols                RowsetColumnRow
//   74           -           syssingleobjrefs (data)  ObjectRefRow
//   54           -           sysidxstats              IndexRow
//   55           -           sysiscols                IndexColumnRow
//   13           -           rowset columns (611/612) OldRowsetColumnRow
//   4            -           rowset extras (611/612)  OldRowsetColumnExtraRow
//
// Offsets in the readers are byte offsets into the record's fixed data (the
// first fixed column at 0); "var k" is the k-th variable-length value.
#ifndef PAGEWRIGHT_CATALOG_SYSTEM_TABLES_H_
#define PAGEWRIGHT_CATALOG_SYSTEM_TABLES_H_

#include <functional>

#include "catalog/database_catalog.h"
#include "records/record.h"

namespace pagewright {

// The reader, the read context and the placeholder-name counter of one
// catalog build.
struct WalkContext {
  DatabaseReader& reader;
  const ReadContext& read;
  uint64_t& repairCounter;
};

// Reads every page listed under `key` in ObjectPageMap (only data pages when
// `dataPagesOnly`) and hands each decoded page to `readPage`.
void SystemTableWalk(WalkContext& ctx, int32_t key, bool dataPagesOnly,
                     const std::function<void(const CDataPage&)>& readPage);

// The readers. Each appends the rows of one page to its list.
void ReadDatabaseFiles(const CDataPage& page, const ReadContext& context, std::vector<DatabaseFileRow>& out);
void ReadClassObjects(const CDataPage& page, std::vector<ClassObjectRow>& out);
void ReadObjects(const CDataPage& page, WalkContext& ctx, const std::vector<ClassObjectRow>& classObjects,
                 bool legacy, std::vector<CatalogObject>& out);
void ReadAllocationUnits(const CDataPage& page, const ReadContext& context, std::vector<AllocUnitRow>& out);
void ReadRowsets(const CDataPage& page, const ReadContext& context, std::vector<RowsetRow>& out);
void ReadLegacyIndexes(const CDataPage& page, const ReadContext& context, std::map<int32_t, LegacyIndexRow>& out);
void ReadColumns(const CDataPage& page, WalkContext& ctx, std::vector<ColumnRow>& out);
// SQL Server 2000: every sysindexes row with its name and key columns, and
// sysreferences rows as foreign key column pairs (names filled later).
void ReadLegacyIndexKeys(const CDataPage& page, const ReadContext& context, std::vector<LegacyIndexKeys>& out);
void ReadLegacyReferences(const CDataPage& page, const ReadContext& context, std::vector<ForeignKeyColumn>& out);
// systypes of SQL Server 2000 into scalar type rows.
void ReadLegacyScalarTypes(const CDataPage& page, const ReadContext& context, std::vector<ScalarTypeRow>& out);
void ReadLegacyColumns(const CDataPage& page, WalkContext& ctx, std::vector<LegacyColumnRow>& out);
void ReadScalarTypes(const CDataPage& page, const ReadContext& context, std::vector<ScalarTypeRow>& out);
void ReadRowsetColumns(const CDataPage& page, const ReadContext& context, std::vector<RowsetColumnRow>& out);
void ReadObjectReferences(const CDataPage& page, const ReadContext& context, std::vector<ObjectRefRow>& out);
void ReadIndexes(const CDataPage& page, const ReadContext& context, std::vector<IndexRow>& out);
void ReadIndexColumns(const CDataPage& page, const ReadContext& context, std::vector<IndexColumnRow>& out);
void ReadOldRowsetColumns(const CDataPage& page, const ReadContext& context, std::vector<OldRowsetColumnRow>& out);
void ReadOldRowsetColumnExtras(const CDataPage& page, const ReadContext& context,
                               std::vector<OldRowsetColumnExtraRow>& out);

// "identity(seed,increment)" from a syscolpars identity value.
std::string IdentityText(ByteSpan value);

}  // namespace pagewright

#endif  // PAGEWRIGHT_CATALOG_SYSTEM_TABLES_H_
