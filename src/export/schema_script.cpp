#include "export/schema_script.h"

#include <algorithm>

#include "catalog/object_details.h"
#include "records/value_format.h"
#include "scripts/module_text.h"

namespace pagewright {

namespace {

std::string TypeName(const ColumnDescriptor& c) {
  std::string name = c.typeText.substr(0, c.typeText.find('('));
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
  return name;
}

}  // namespace

std::string DeclaredType(const ColumnDescriptor& c) {
  std::string name = TypeName(c);
  const int32_t length = DeclaredLengthOf(c.typeText);
  auto sized = [&](int32_t units) { return name + "(" + (length < 0 ? std::string("max") : std::to_string(units)) + ")"; };
  if (name == "nvarchar" || name == "nchar") return sized(length / 2);
  if (name == "varchar" || name == "char" || name == "varbinary" || name == "binary") return sized(length);
  if (name == "decimal" || name == "numeric")
    return name + "(" + std::to_string(c.precision) + "," + std::to_string(c.scale) + ")";
  if (name == "datetime2" || name == "time" || name == "datetimeoffset") return name + "(" + std::to_string(c.scale) + ")";
  if (name.empty()) {
    // A type the catalog does not name: what its values are stored as.
    switch (c.typeIndex) {
      case kTypeGeometry:
      case kTypeClr: return "varbinary(max)";
      case kTypeHierarchyid: return "hierarchyid";
      default: return "varbinary(max)";
    }
  }
  if (c.typeIndex == kTypeHierarchyid) return "hierarchyid";
  return name;
}

std::string CreateTableScript(DatabaseCatalog& catalog, const TableEntry& table) {
  const std::vector<ColumnDescriptor> columns = LoadObjectDetails(catalog, table.name, "U ", {});
  std::string out = "CREATE TABLE " + BracketedName(table.name) + " (\n";
  bool first = true;
  for (const ColumnDescriptor& c : columns) {
    if (c.physicalColumnId == kNotStoredColumn || c.name.empty()) continue;
    out += first ? "  " : ",\n  ";
    first = false;
    out += Bracketed(c.name) + " " + DeclaredType(c);
    if (!c.identityText.empty()) {
      std::string identity = c.identityText;  // "identity(1,1)"
      std::transform(identity.begin(), identity.end(), identity.begin(),
                     [](unsigned char ch) { return static_cast<char>(std::toupper(ch)); });
      out += " " + identity;
    }
    out += c.nullable ? " NULL" : " NOT NULL";
  }
  // The primary key, its columns in key order.
  std::vector<std::string> key;
  for (const PrimaryKeyColumnEntry& k : catalog.primaryKeyColumns)
    if (std::find(key.begin(), key.end(), k.columnName) == key.end()) key.push_back(k.columnName);
  if (!key.empty()) {
    std::string name;
    for (const ConstraintEntry& con : catalog.tableConstraints)
      if (con.isPrimaryKey) name = con.name;
    const size_t dot = name.find('.');
    if (dot != std::string::npos) name = name.substr(dot + 1);
    out += ",\n  ";
    if (!name.empty()) out += "CONSTRAINT " + Bracketed(name) + " ";
    out += "PRIMARY KEY (";
    for (size_t i = 0; i < key.size(); ++i) out += (i ? ", " : "") + Bracketed(key[i]);
    out += ")";
  }
  out += "\n);\n";
  return out;
}

}  // namespace pagewright
