// One column of the table being decoded, as the row decoder and the grid
// see it. The catalog fills these from the system tables; the value
// formatters read the type text, precision, scale and collation id.
#ifndef PAGEWRIGHT_RECORDS_COLUMN_DESCRIPTOR_H_
#define PAGEWRIGHT_RECORDS_COLUMN_DESCRIPTOR_H_

#include <cstdint>
#include <string>
#include <vector>

namespace pagewright {

// Physical column id of a descriptor that is not a stored column
// (computed columns): never decoded, never shown.
constexpr int32_t kNotStoredColumn = -99;

struct ColumnDescriptor {
  int32_t declaredLength = 0;  // the number between "(" and ")" of the type text
  int32_t columnId = 0;
  std::string name;
  int32_t typeIndex = 3;
  std::string typeText;  // e.g. "int(4)", "varbinary(-1)"
  uint8_t nullable = 0;
  uint8_t variable = 0;  // stored in the variable part
  uint8_t sparse = 0;
  std::string valueText;
  uint8_t precision = 0;
  uint8_t scale = 0;
  int32_t physicalColumnId = 0;
  uint8_t hasLayout = 0;
  int16_t leafOffset = 0;  // fixed column: offset from the record start;
                           // variable column: -1 for the first, -2 ...
  int16_t legacyOffsetInRow = 0;
  int32_t nullBit = -1;       // 1-based position in the null bitmap
  int16_t bitPosition = -1;   // bit columns: the bit within their byte, when known
  uint8_t primaryKeyColumn = 0;
  uint8_t uniqueIndexColumn = 0;
  uint8_t uniqueConstraintColumn = 0;
  uint8_t foreignKeyColumn = 0;
  uint8_t statusBit3 = 0;
  std::string referencedTableName;
  std::string referencedColumnName;
  std::string identityText;
  uint8_t identityNotForReplication = 0;
  // A computed column: its value is the table's expression, stored only
  // when the column is persisted (a physical column of its own).
  uint8_t computed = 0;
  uint8_t keyFlags = 0;
  int32_t collationId = 0;
};

// The columns of the table whose pages are being decoded. The page
// compression layer reads it (through the read context's columns) while
// the records of a page are built.
struct RowDecodeContext {
  std::vector<ColumnDescriptor> columns;
};

// The number between the first "(" and the first ")" of a type text, 0 when
// there is none.
int32_t DeclaredLengthOf(const std::string& typeText);

// A descriptor for a column known only by name, type text and value-type
// index (the columns of system tables the shell decodes itself): declared
// length and variable flag follow the catalog's rules.
ColumnDescriptor DescribeColumn(const std::string& name, const std::string& typeText, int32_t typeIndex);

// The stored columns (physical column id not -99) in the order their values
// lie in a record: by physical column id.
std::vector<size_t> StoredColumnOrder(const std::vector<ColumnDescriptor>& columns);

// Whether columns of a value-type index are stored in the variable part,
// and whether their type text's length is the declared length.
bool IsVariableTypeIndex(int32_t typeIndex);
bool HasDeclaredLength(int32_t typeIndex);

}  // namespace pagewright

#endif  // PAGEWRIGHT_RECORDS_COLUMN_DESCRIPTOR_H_
