// Row records of the system base tables and the records joined from them.
//
// Every record starts with all-ones defaults (-1 for signed ids, 255 for
// byte codes, empty text), so that a row too short to read still yields a
// record whose unread fields show as such.
#ifndef PAGEWRIGHT_CATALOG_CATALOG_ROWS_H_
#define PAGEWRIGHT_CATALOG_CATALOG_ROWS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "pagestore/database_reader.h"
#include "pagestore/page_id.h"

namespace pagewright {

// sysschobjs (2005 and later) / sysobjects (2000).
struct CatalogObject {
  int32_t id = -1;
  std::string name;      // schema-qualified where the schema is known
  std::string bareName;  // the name as stored, without the schema
  int32_t schemaId = -1;
  uint8_t schemaClass = 255;
  int32_t status = -1;
  std::string typeCode;  // two characters, e.g. "U ", "V ", "PK"
  int32_t parentObjectId = -1;
  uint8_t parentClass = 255;
  int32_t objectProperty = -1;
};

// syscolpars.
struct ColumnRow {
  int32_t objectId = -1;
  int16_t number = -1;
  int32_t columnId = -1;
  std::string name;
  uint8_t systemTypeId = 255;
  int32_t userTypeId = -1;
  int16_t maxLength = -1;
  uint8_t precision = 255;
  uint8_t scale = 255;
  int32_t collationId = -1;
  int32_t status = -1;
  int16_t maxInRowLength = -1;
  int32_t xmlCollectionId = -1;
  int32_t defaultObjectId = -1;
  int32_t ruleObjectId = -1;
  std::string identityText;  // "identity(seed,increment)" or empty
};

// syscolumns of SQL Server 2000.
struct LegacyColumnRow {
  std::string name;
  int32_t objectId = -1;
  uint8_t systemType = 255;
  uint8_t typeStatus = 255;
  int16_t userType = -1;
  int16_t length = -1;
  uint8_t precision = 255;
  uint8_t scale = 255;
  int16_t columnId = -1;
  int16_t offsetInRow = -1;
  uint8_t bitPosition = 255;
  uint8_t reserved = 255;
  int16_t columnStatus = -1;
  int16_t defaultObjectId = -1;
  int32_t domain = -1;
  int16_t number = -1;
  int16_t columnOrder = -1;
  int16_t physicalOffset = -1;
  int32_t collationId = -1;
  uint8_t status = 255;
  int32_t typeStatusMarker = -1;  // 0 when bit 0 of the type status is set
  std::string identityText;       // identity columns (column status bit 0)
};

// sysindexes of SQL Server 2000: the clustered index (index id 1) of a table.
struct LegacyIndexRow {
  int32_t objectId = 0;
  uint16_t fileId = 0;
  uint16_t indexId = 1;
  uint32_t firstPage = 0;
  uint32_t firstIamPage = 0;
};

// Any sysindexes row of SQL Server 2000 with its name and key columns: the
// indexes behind primary key and unique constraints.
struct LegacyIndexKeys {
  int32_t objectId = 0;
  int16_t indexId = 0;
  int32_t status = 0;  // 0x2 unique, 0x20 hypothetical, 0x40 statistics, 0x800 primary key, 0x1000 unique constraint
  std::string name;
  std::vector<int16_t> keyColumnIds;  // in key order
};

struct LegacyTableColumn {
  std::string name;
  int32_t columnOrder = 0;
  uint8_t typeStatus = 255;
};

struct LegacyTable {
  int32_t objectId = 0;
  std::string name;
  std::vector<LegacyTableColumn> columns;
};

// sysallocunits.
struct AllocUnitRow {
  int64_t allocationUnitId = 0;
  uint8_t type = 255;
  int64_t ownerId = 0;
  int32_t status = -1;
  int16_t filegroupId = 0;
  PageId firstPage{0, 0};
  PageId rootPage{0, 0};
  PageId firstIamPage{0, 0};
};

// sysrowsets.
struct RowsetRow {
  int64_t rowsetId = 0;
  uint8_t ownerType = 255;
  int32_t objectId = -1;
  int32_t indexId = -1;
  int32_t partitionNumber = -1;
  int32_t status = -1;
  int16_t filegroupId = -1;
  int64_t rowCount = -1;
};

// sysrscols: where each column of a rowset lies in the record.
struct RowsetColumnRow {
  int64_t rowsetId = 0;
  int32_t rowsetColumnId = -1;
  int32_t hobtColumnId = 0;
  int64_t modificationCounter = -1;
  int32_t typeInformation = -1;
  int32_t columnId = -1;
  int16_t keyOrdinal = -1;
  int16_t maxInRowLength = -1;
  int32_t status = -1;
  int32_t offset = -1;
  int32_t nullBit = -1;
  int16_t bitPosition = -1;
};

// Rowset columns of version-611/612 files (object id 13).
struct OldRowsetColumnRow {
  int64_t rowsetId = 0;
  int32_t columnId = 0;
  int16_t firstValue = 0;   // leaf offset
  int16_t secondValue = 0;  // null bit
  int32_t extraValue = -1;  // from table 4
};

// Extra rowset-column values of version-611/612 files (object id 4).
struct OldRowsetColumnExtraRow {
  int64_t rowsetId = 0;
  int32_t columnId = 0;
  int32_t value = 0;
};

// sysidxstats.
struct IndexRow {
  int32_t objectId = -1;
  int32_t indexId = -1;
  std::string name;
  int32_t status = -1;
  int32_t property = -1;
  uint8_t fillFactor = 255;
  uint8_t indexType = 255;
  uint8_t tinyProperty = 255;
  int32_t dataSpaceId = -1;
  int32_t lobDataSpaceId = -1;
  int64_t rowsetId = -1;
};

// sysiscols.
struct IndexColumnRow {
  int32_t objectId = -1;
  int32_t indexId = -1;
  int32_t columnOrdinal = -1;
  int32_t status = -1;
  int32_t property = -1;  // the column id
  uint8_t firstTiny = 255;
  uint8_t secondTiny = 255;
  int32_t owningIndexStatus = 0;
};

// sysclsobjs: schemas among other classes.
struct ClassObjectRow {
  int32_t id = 0;
  std::string name;
  int32_t scopeId = 0;
};

// sysscalartypes.
struct ScalarTypeRow {
  int32_t id = -1;
  int32_t schemaId = -1;
  std::string name;
  uint8_t systemTypeId = 255;
  int16_t length = -1;
  uint8_t precision = 255;
  uint8_t scale = 255;
  int32_t collationId = -1;
  int32_t status = -1;
  int32_t extra1 = -1;
  int32_t extra2 = -1;
};

// syssingleobjrefs.
struct ObjectRefRow {
  uint8_t refClass = 255;
  int32_t dependentId = -1;
  int32_t dependentSubId = -1;
  int32_t independentId = -1;
  int32_t independentSubId = -1;
  int32_t status = -1;
};

// Object reference classes used by the foreign key assembly.
constexpr uint8_t kRefForeignKeyColumn = 28;      // constraint column -> parent column
constexpr uint8_t kRefReferencedColumn = 29;      // constraint column -> referenced column
constexpr uint8_t kRefReferencedTable = 27;       // foreign key -> referenced table and index
constexpr uint8_t kRefConstraintReference = 97;

// An object that has a parent object: constraints, triggers, defaults.
struct ChildObject {
  std::string name;
  int32_t objectId = 0;
  int32_t referencedObjectId = 0;
  int32_t schemaId = 0;
  int32_t parentObjectId = 0;
  int32_t referencedIndexId = 0;
  std::string typeCode;
  int32_t objectProperty = 0;
};

// One column pair of one foreign key.
struct ForeignKeyColumn {
  int32_t constraintId = 0;
  int32_t keyOrdinal = 0;
  int32_t parentTableId = 0;
  int32_t parentColumnId = 0;
  int32_t referencedTableId = 0;
  int32_t referencedColumnId = 0;
  std::string constraintName;
  std::string parentTableName;
  std::string parentColumnName;
  std::string referencedTableName;
  std::string referencedColumnName;
  int32_t constraintStatus = 0;
};

// Working set of the selected object.
struct ConstraintEntry {
  uint8_t isPrimaryKey = 0;
  uint8_t isForeignKey = 0;
  uint8_t isUnique = 0;
  std::string name;
  int32_t objectId = 0;
  std::string typeCode;
};

struct PrimaryKeyColumnEntry {
  std::string tableName;
  std::string columnName;
  uint8_t keyFlags = 0;
};

}  // namespace pagewright

#endif  // PAGEWRIGHT_CATALOG_CATALOG_ROWS_H_
