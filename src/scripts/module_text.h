// Module text: the stored definitions of views, procedures, functions,
// triggers, defaults and constraints, and the scripts made for keys.
//
// Definitions live in sysobjvalues (2005 and later: value class 1, the
// definition in `imageval`) or syscomments (2000: `ctext`), one or more rows
// per object in page and slot order. The rows are decoded with the table
// row decoder into module values (object id, sub id, value as hex text).
#ifndef PAGEWRIGHT_SCRIPTS_MODULE_TEXT_H_
#define PAGEWRIGHT_SCRIPTS_MODULE_TEXT_H_

#include <functional>
#include <string>
#include <vector>

#include "catalog/database_catalog.h"
#include "catalog/object_details.h"
#include "state/read_context.h"
#include "state/read_events.h"

namespace pagewright {

// The columns the shell decodes the module text tables with.
std::vector<ColumnDescriptor> SysobjvaluesColumns();
std::vector<ColumnDescriptor> SyscommentsColumns();

// The columns to decode module text rows with: sysobjvalues', or in a SQL
// Server 2000 catalog those of its syscomments table when the catalog knows
// them, else the fixed syscomments list.
std::vector<ColumnDescriptor> ModuleTableColumns(const DatabaseCatalog& catalog);

// Reads every row of sysobjvalues (object id 60), or syscomments (6) under
// SQL Server 2000 catalogs, into `target`; reports its start, progress and
// end through `events`.
void RetrieveModuleValues(DatabaseReader& reader, const ReadContext& read, const DatabaseCatalog& catalog,
                          std::vector<ModuleValue>& target, const std::vector<ColumnDescriptor>& columns,
                          ReadEventSink* events);

// The definition of an object: the pieces stored for its id, joined in
// order; 8-bit pieces are read in `codePage` (the database's).
std::string ModuleTextFor(const std::string& objectIdText, const std::vector<ModuleValue>& values,
                          int32_t codePage = 0);

// The expression of a computed column as stored ("(a*b)"): sysobjvalues'
// value class 2 rows of the table and column id; empty when none is there
// (SQL Server 2000 catalogs keep it in syscomments, not read here).
std::string ComputedColumnTextFor(int32_t tableId, int32_t columnId, const std::vector<ModuleValue>& values,
                                  int32_t codePage = 0);

// Scripts for key and constraint nodes, valid T-SQL: the table is
// schema-qualified ("dbo.Orders"), constraint and column names are bare;
// identifiers are bracketed.
std::string PrimaryKeyScript(const std::string& table, const std::vector<std::string>& columns);
std::string UniqueScript(const std::string& table, const std::string& constraint, const std::vector<std::string>& columns);
// ALTER TABLE table ADD CONSTRAINT name FOREIGN KEY (columns) REFERENCES
// referenced (referenced columns).
std::string ForeignKeyScript(const std::string& table, const std::string& constraint,
                             const std::vector<std::string>& columns, const std::string& referencedTable,
                             const std::vector<std::string>& referencedColumns);
std::string CheckScript(const std::string& table, const std::string& constraint, const std::string& moduleText);
std::string DefaultScript(const std::string& table, const std::string& constraint, const std::string& moduleText,
                          const std::string& column);

// "[Order Details]"; "]" doubled.
std::string Bracketed(const std::string& identifier);
// "[dbo].[Order Details]" for "dbo.Order Details" (split at the first ".").
std::string BracketedName(const std::string& qualifiedName);

}  // namespace pagewright

#endif  // PAGEWRIGHT_SCRIPTS_MODULE_TEXT_H_
