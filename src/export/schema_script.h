// The T-SQL that re-creates a database's schema: CREATE TABLE with the
// declared types (nvarchar(20), not the stored byte length), NULL / NOT
// NULL, IDENTITY(seed, increment) [NOT FOR REPLICATION], computed columns
// by their expressions, defaults, the primary key, unique keys and check
// constraints; the foreign keys as ALTER TABLE statements (WITH NOCHECK and
// ON DELETE CASCADE as created); the stored text of views, procedures,
// functions and triggers.
#ifndef PAGEWRIGHT_EXPORT_SCHEMA_SCRIPT_H_
#define PAGEWRIGHT_EXPORT_SCHEMA_SCRIPT_H_

#include <string>
#include <vector>

#include "catalog/object_details.h"
#include "export/table_stream.h"

namespace pagewright {

// The type as declared: "nvarchar(20)" for a stored length of 40,
// "varbinary(max)", "decimal(10,2)", "datetime2(7)", "int".
std::string DeclaredType(const ColumnDescriptor& column);

// "[dbo].[Order Details]".
std::string QuotedTableName(const TableEntry& table);

// What the scripts read besides the catalog: the stored module texts
// (defaults, checks and modules), in the database's code page.
struct SchemaSource {
  const DatabaseCatalog* catalog = nullptr;
  std::vector<ModuleValue> modules;
  int32_t codePage = 0;
};

// Reads the module texts of the open database.
SchemaSource LoadSchemaSource(DatabaseReader& reader, const ReadContext& read, const DatabaseCatalog& catalog);

// The CREATE TABLE statement of a table, columns in table order; computed
// columns as "AS (expression)", PERSISTED when stored. `computedColumns`
// gets the names declared so (their values cannot be inserted).
// `deletedColumn` adds "[__deleted] bit NOT NULL" after the columns.
std::string CreateTableScript(const SchemaSource& source, const TableEntry& table,
                              std::vector<std::string>* computedColumns = nullptr, bool deletedColumn = false);

// The indexes of a table that no key constraint owns, one CREATE INDEX
// each: UNIQUE, CLUSTERED or NONCLUSTERED, the key columns in key order and
// the included columns, as stored.
std::vector<std::string> IndexScripts(const SchemaSource& source, const TableEntry& table);

// The foreign keys whose table is one of `tables`, one ALTER TABLE each;
// all WITH NOCHECK when `noCheck` (deleted rows brought back may name rows
// that are gone), else those created so.
std::vector<std::string> ForeignKeyScripts(const SchemaSource& source, const std::vector<TableEntry>& tables,
                                           bool noCheck = false);

// The stored text of every view, procedure, function and trigger:
// functions first, then views, procedures and triggers, each in object id
// order.
std::vector<std::string> ModuleScripts(const SchemaSource& source);

}  // namespace pagewright

#endif  // PAGEWRIGHT_EXPORT_SCHEMA_SCRIPT_H_
