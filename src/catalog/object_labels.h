// Texts that name catalog objects and columns to the user (tree labels and
// the catalog listing).
#ifndef PAGEWRIGHT_CATALOG_OBJECT_LABELS_H_
#define PAGEWRIGHT_CATALOG_OBJECT_LABELS_H_

#include <string>

#include "records/column_descriptor.h"

namespace pagewright {

// The label of a column node: name, two spaces, type text, then
// "[Primary Key]" or "[Unique]", then for a foreign key column
// "  (foreign key) references T( C)".
std::string ColumnLabel(const ColumnDescriptor& column);

// The same with " NOT NULL" for columns that are not nullable and the
// identity text, placed after the type text.
std::string ColumnListing(const ColumnDescriptor& column);

// "TABLE", "VIEW", "PROCEDURE", ... for a type code; empty for kinds that
// are not listed.
std::string ObjectKindWord(const std::string& typeCode);

}  // namespace pagewright

#endif  // PAGEWRIGHT_CATALOG_OBJECT_LABELS_H_
