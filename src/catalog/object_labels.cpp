#include "catalog/object_labels.h"

namespace pagewright {

namespace {
std::string KeySuffix(const ColumnDescriptor& c) {
  std::string out;
  if (c.primaryKeyColumn) {
    out += "[Primary Key]";
  } else if (c.uniqueIndexColumn || c.uniqueConstraintColumn) {
    out += "[Unique]";
  }
  if (c.foreignKeyColumn) {
    out += "  (foreign key) references " + c.referencedTableName + "( " + c.referencedColumnName + ")";
  }
  return out;
}
}  // namespace

std::string ColumnLabel(const ColumnDescriptor& c) { return c.name + "  " + c.typeText + KeySuffix(c); }

std::string ColumnListing(const ColumnDescriptor& c) {
  std::string out = c.name + "  " + c.typeText;
  if (!c.nullable) out += " NOT NULL";
  if (!c.identityText.empty()) out += " " + c.identityText;
  return out + KeySuffix(c);
}

std::string ObjectKindWord(const std::string& code) {
  if (code == "U ") return "TABLE";
  if (code == "S ") return "SYSTEM TABLE";
  if (code == "V ") return "VIEW";
  if (code == "P ") return "PROCEDURE";
  if (code == "FN" || code == "IF" || code == "TF") return "FUNCTION";
  if (code == "TR") return "TRIGGER";
  if (code == "D ") return "DEFAULT";
  if (code == "PK" || code == "UQ" || code == "F " || code == "C ") return "CONSTRAINT";
  return {};
}

}  // namespace pagewright
