// Object classification and the details of one selected object.
//
// Every object carries a two-character type code from sysschobjs (or
// sysobjects): "U " user table, "S " system table, "V " view, "P "
// procedure, "FN"/"IF"/"TF" functions, "TR" trigger, "D " default, "PK",
// "UQ", "F ", "C " constraints, "X " extended procedure, "TT" table type.
// Tables take the table path (storage, columns, keys); the other codes the
// identity path (id, code, name).
#ifndef PAGEWRIGHT_CATALOG_OBJECT_DETAILS_H_
#define PAGEWRIGHT_CATALOG_OBJECT_DETAILS_H_

#include <optional>
#include <string>
#include <vector>

#include "catalog/database_catalog.h"

namespace pagewright {

// One stored module value (sysobjvalues or syscomments): object id, sub id
// and the value as "0x" followed by upper-case hex digit pairs.
struct ModuleValue {
  std::string objectId;
  std::string subObjectId;
  std::string value;
  // sysobjvalues' value class (1: module definitions, 2: computed column
  // definitions); -1 for syscomments rows, which are all definitions.
  int32_t valueClass = -1;
  // The piece's text flags (syscomments' status, sysobjvalues' value): bit 1
  // (value 2) set means the piece is 8-bit text, clear means UTF-16; -1 when
  // unknown.
  int32_t textFlags = -1;
};

enum class DetailsPath { kTable, kIdentity };

// The working set of one selected object: where its rows lie, its columns,
// keys and constraints. A value: each reader of a table holds its own, so
// tables can be read at once.
struct ObjectDetails {
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
};

// Which details an object of this type code gets.
DetailsPath PathOfTypeCode(const std::string& typeCode);
bool IsTableTypeCode(const std::string& typeCode);

// The working set of the named object; `descriptors` holds its column
// descriptors (tables), or three descriptors holding the object id, type
// code and name (other objects). An object not found gives an empty list
// and a default object (id -1). A table kind ("U ", "S ") is found by name and exact type code; any
// other kind by name among the objects that are not tables, preferring one
// of exactly that kind.
struct LoadedDetails {
  ObjectDetails details;
  std::vector<ColumnDescriptor> descriptors;
};
LoadedDetails LoadObjectDetails(const DatabaseCatalog& catalog, const std::string& name, const std::string& typeCode,
                                const std::vector<ModuleValue>& moduleValues);

// The key columns, in key order, of the index behind a primary key or
// unique constraint of a table, found by the constraint's name as declared
// (without schema); the table's primary key columns when no index has that
// name.
std::vector<std::string> KeyColumnsOfConstraint(const DatabaseCatalog& catalog, const ObjectDetails& details,
                                                int32_t tableId, const std::string& constraintName);

// The data-page-map key (page header object id) of an allocation unit.
int32_t PageKeyOfAllocationUnit(int64_t allocationUnitId, int64_t ownerId);

// Decoded text of a module value: the bytes of "0x..." hex pairs (upper-case
// digits), read as UTF-16LE or as 8-bit text. Module definitions are stored
// as UTF-16 by SQL Server; for them pass kDefinition and every even-length
// value is read as UTF-16, so that text without Latin letters keeps its
// characters. Values of unknown kind are read as UTF-16 when a byte after
// the first is zero, or when their 8-bit reading holds control bytes that
// their UTF-16 reading does not.
enum class ModuleTextKind { kUnknown, kDefinition, kEightBit };
struct DecodedModuleText {
  std::string text;
  bool wide = false;
};
std::optional<DecodedModuleText> DecodeModuleText(const std::string& valueText,
                                                  ModuleTextKind kind = ModuleTextKind::kUnknown,
                                                  int32_t codePage = 0);

// How a stored definition piece is to be read, from its text flags.
ModuleTextKind TextKindOf(const ModuleValue& value);

}  // namespace pagewright

#endif  // PAGEWRIGHT_CATALOG_OBJECT_DETAILS_H_
