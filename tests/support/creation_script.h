// The schema and data a T-SQL creation script describes, read the way the
// tests need it to measure a real database file against the script that
// made it: tables with their columns, keys and foreign keys; views,
// procedures, functions and triggers with their definition text; INSERT
// statements with their literal values.
//
// Test-only: the parser understands the statements these scripts use
// (CREATE TABLE, ALTER TABLE ... ADD constraint, INSERT ... VALUES,
// CREATE/ALTER of modules, and string literals that hold a CREATE or ALTER
// statement: dynamic SQL run through EXEC or sp_executesql), not T-SQL at
// large. Statements inside IF blocks count as run, so of an object created
// twice (alternatives under IF ... ELSE) the last definition is kept; DROP
// statements are ignored (the scripts drop only what they create again).
#ifndef PAGEWRIGHT_TESTS_SUPPORT_CREATION_SCRIPT_H_
#define PAGEWRIGHT_TESTS_SUPPORT_CREATION_SCRIPT_H_

#include <filesystem>
#include <string>
#include <vector>

namespace pagewright::testing {

struct ScriptColumn {
  std::string name;
  std::string typeName;  // lower-case, e.g. "nvarchar"
  // The type as the catalog shows it: the name and the stored maximum
  // length in bytes, "nvarchar(80)" for nvarchar(40), "int(4)",
  // "varbinary(-1)" for varbinary(max).
  std::string typeText;
  bool nullable = true;
  std::string identity;  // "identity(1,1)", empty when not an identity
};

struct ScriptForeignKey {
  std::string name;  // empty when the script leaves the name to the server
  std::vector<std::string> columns;
  std::string referencedTable;  // schema-qualified
  std::vector<std::string> referencedColumns;  // empty: the referenced table's primary key
};

struct ScriptTable {
  std::string name;  // schema-qualified, "dbo.Order Details"
  std::vector<ScriptColumn> columns;
  std::string primaryKeyName;  // empty when unnamed or no primary key
  std::vector<std::string> primaryKey;  // key columns in key order
  std::vector<ScriptForeignKey> foreignKeys;
};

struct ScriptModule {
  std::string name;      // schema-qualified
  std::string typeCode;  // "V ", "P ", "TR", "FN", "IF", "TF"
  // The batch that holds the CREATE (or ALTER) statement, line ends as
  // written: from the line after the previous batch separator GO (the
  // start of the text, or of the dynamic SQL string) to the line holding
  // the next one. SQL Server stores a module's text as the batch it came
  // in, leading blank lines and comments included.
  std::string definition;
};

enum class LiteralKind { kNumber, kString, kNull, kBinary, kExpression };

struct ScriptLiteral {
  LiteralKind kind = LiteralKind::kExpression;
  // Strings without quotes and N prefix, doubled quotes made single;
  // everything else as written ("-1.5", "0x15C2", "CAST(0x0000 AS DateTime)").
  std::string text;
};

struct ScriptInsert {
  std::string table;  // schema-qualified
  std::vector<std::string> columns;  // empty when the statement names none
  std::vector<ScriptLiteral> values;
};

struct CreationScript {
  std::vector<ScriptTable> tables;  // in creation order
  std::vector<ScriptModule> modules;
  std::vector<ScriptInsert> inserts;

  const ScriptTable* Table(const std::string& qualifiedName) const;
  std::vector<const ScriptInsert*> InsertsInto(const std::string& qualifiedName) const;
};

// The text of a script file as UTF-8: UTF-16LE when it starts with the
// byte-order mark FF FE, else 8-bit text taken as it is (a UTF-8 mark is
// dropped).
std::string ReadScriptText(const std::filesystem::path& file);

CreationScript ParseCreationScript(const std::string& text);

// The catalog's type text for a declared type: `arguments` are the texts
// between the parentheses ("40", "max", "10", "2"), none when absent.
std::string CatalogTypeText(const std::string& typeName, const std::vector<std::string>& arguments);

}  // namespace pagewright::testing

#endif  // PAGEWRIGHT_TESTS_SUPPORT_CREATION_SCRIPT_H_
