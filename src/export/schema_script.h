// The T-SQL that re-creates a table's schema: CREATE SCHEMA and CREATE
// TABLE with the declared types (nvarchar(20), not the stored byte
// length), NULL / NOT NULL, IDENTITY(seed, increment) and the primary key.
#ifndef PAGEWRIGHT_EXPORT_SCHEMA_SCRIPT_H_
#define PAGEWRIGHT_EXPORT_SCHEMA_SCRIPT_H_

#include <string>
#include <vector>

#include "export/table_stream.h"

namespace pagewright {

// The type as declared: "nvarchar(20)" for a stored length of 40,
// "varbinary(max)", "decimal(10,2)", "datetime2(7)", "int".
std::string DeclaredType(const ColumnDescriptor& column);

// The CREATE TABLE statement of a table (the catalog's working set is
// prepared for it), columns in table order, computed columns left out.
std::string CreateTableScript(DatabaseCatalog& catalog, const TableEntry& table);

}  // namespace pagewright

#endif  // PAGEWRIGHT_EXPORT_SCHEMA_SCRIPT_H_
