#include "harness/record_harness.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "pagestore/bytes.h"
#include "pagestore/collation_table.h"
#include "records/record_enumeration.h"
#include "records/value_format.h"

namespace pagewright::fuzz {

namespace {

constexpr int32_t kTypeIndexCount = 35;
// Records of a page formatted as every value-type index; the later ones
// (a page may hold hundreds) as one index each, in turn, so that one input
// stays fast.
constexpr size_t kRecordsFormattedAsEveryType = 32;
// Declared lengths a decode context column may get (-1: a max type).
constexpr int32_t kLengthChoices[8] = {1, 2, 4, 8, 16, 40, 8000, -1};

// One collation id per code page of the collation table beside the
// executable: character data is converted with each code page in turn, not
// only the system one.
struct CodePageCollations {
  CollationTable table;  // only the chosen ids
  std::vector<int32_t> ids;
};

const CodePageCollations& Collations() {
  static const CodePageCollations loaded = [] {
    const CollationTable all = LoadCollationTable(ExecutableFolder());
    std::map<int32_t, int64_t> firstOfCodePage;
    for (const auto& [key, entry] : all) firstOfCodePage.emplace(entry.codePage, key);
    CodePageCollations out;
    for (const auto& [codePage, key] : firstOfCodePage) {
      out.ids.push_back(static_cast<int32_t>(key));
      out.table.emplace(key, all.at(key));
    }
    return out;
  }();
  return loaded;
}

struct Choices {
  uint8_t flags = 0;
  int32_t declaredLength = 0;
  uint8_t precision = 0;
  uint8_t scale = 0;
  int32_t collationId = 0;
  uint8_t fixedOffset = 0;
  std::vector<ColumnDescriptor> contextColumns;
};

ColumnDescriptor Describe(int32_t typeIndex, int32_t length, const Choices& c) {
  ColumnDescriptor d;
  d.name = "c";
  d.typeIndex = typeIndex;
  d.declaredLength = length;
  d.typeText = "t(" + std::to_string(length) + ")";
  d.variable = IsVariableTypeIndex(typeIndex) ? 1 : 0;
  d.nullable = 1;
  d.precision = c.precision;
  d.scale = c.scale;
  d.collationId = c.collationId;
  return d;
}

Choices ReadChoices(ByteSpan prefix) {
  Choices c;
  c.flags = U8At(prefix, 0);
  c.declaredLength = I16At(prefix, 1);
  c.precision = U8At(prefix, 3);
  c.scale = U8At(prefix, 4);
  const auto& ids = Collations().ids;
  if (!ids.empty()) c.collationId = ids[U8At(prefix, 5) % ids.size()];
  c.fixedOffset = U8At(prefix, 23);
  const int count = 1 + U8At(prefix, 6) % 8;
  for (int k = 0; k < count; ++k) {
    const uint8_t type = U8At(prefix, 7 + 2 * k);
    const uint8_t shape = U8At(prefix, 8 + 2 * k);
    const int32_t typeIndex = type % kTypeIndexCount;
    const int32_t length = (shape & 0x10) ? c.declaredLength : kLengthChoices[shape & 7];
    ColumnDescriptor d = Describe(typeIndex, length, c);
    d.name = "c" + std::to_string(k);
    d.nullable = (shape & 0x08) ? 1 : 0;
    d.columnId = k + 1;
    d.physicalColumnId = k + 1;
    d.nullBit = k + 1;
    c.contextColumns.push_back(std::move(d));
  }
  return c;
}

class Formatter {
 public:
  Formatter(const Choices& choices, const ReadContext& state, RecordHarnessReport& report)
      : choices_(choices), state_(state), report_(report) {
    for (int32_t t = 0; t < kTypeIndexCount; ++t) declared_.push_back(Describe(t, choices.declaredLength, choices));
  }

  // Every value-type index (or, past the first records, the one whose turn
  // it is), with the declared length of the input and with the value's own
  // length; then as a sql_variant value.
  void AllTypes(ByteSpan value, const char* part, size_t slot) {
    BitCursor bits;
    const bool every = slot < kRecordsFormattedAsEveryType;
    const auto turn = static_cast<int32_t>(slot % kTypeIndexCount);
    for (int32_t t = every ? 0 : turn; t < (every ? kTypeIndexCount : turn + 1); ++t) {
      One(declared_[static_cast<size_t>(t)], value, bits, part, slot);
      One(Describe(t, static_cast<int32_t>(value.size()), choices_), value, bits, part, slot);
    }
    TypeLayout layout = ComputeTypeLayout(declared_[kTypeSqlVariant], bits, kTypeSqlVariant);
    Check(FormatVariant(static_cast<int32_t>(value.size()), layout, value, declared_[kTypeSqlVariant], state_), part,
          slot, kTypeSqlVariant);
  }

  void One(const ColumnDescriptor& column, ByteSpan value, BitCursor& bits, const char* part, size_t slot) {
    TypeLayout layout = ComputeTypeLayout(column, bits, column.typeIndex);
    layout.available = static_cast<int64_t>(value.size());
    Check(FormatValue(layout, value, column, state_), part, slot, column.typeIndex);
  }

  void Record(const CPrimaryRecord& r, size_t slot) {
    const ByteSpan fixed = r.FixedData();
    AllTypes(fixed, "fixed data", slot);
    if (!fixed.empty()) AllTypes(fixed.subspan(choices_.fixedOffset % fixed.size()), "fixed data at offset", slot);
    for (const ValueItem& item : r.values) AllTypes(r.Bytes(item), "variable value", slot);
    for (const ValueItem& item : r.sparse) AllTypes(r.Bytes(item), "sparse value", slot);
  }

 private:
  void Check(const std::string& text, const char* part, size_t slot, int32_t typeIndex) {
    ++report_.valuesFormatted;
    if (!IsWellFormedUtf8(text)) {
      report_.violations.Add(std::string(part) + " of record " + std::to_string(slot) + " formatted as type index " +
                             std::to_string(typeIndex) + ": text is not well-formed UTF-8");
    }
  }

  const Choices& choices_;
  const ReadContext& state_;
  RecordHarnessReport& report_;
  std::vector<ColumnDescriptor> declared_;
};

// Byte ranges a parsed record keeps must lie in its own storage: the
// accessors return views of it.
void CheckRanges(const CPrimaryRecord& r, size_t slot, Violations& v) {
  auto inside = [&](const ByteRange& range, const char* what) {
    if (range.present && !InBounds(r.storage.size(), range.offset, range.length))
      v.Add(std::string(what) + " of record " + std::to_string(slot) + " lies outside the record's storage");
  };
  inside(r.fixed, "fixed data");
  inside(r.nullBitmap, "null bitmap");
  inside(r.whole, "whole record");
  for (const auto& item : r.values) inside(item.range, "variable value");
  for (const auto& item : r.sparse) inside(item.range, "sparse value");
}

}  // namespace

RecordHarnessReport RunRecordHarness(std::span<const uint8_t> input) {
  RecordHarnessReport report;
  const ByteSpan prefix = input.first(std::min(input.size(), kRecordChoiceBytes));
  const Choices choices = ReadChoices(prefix);
  std::vector<uint8_t> pageBytes(kPageSize, 0);
  if (input.size() > kRecordChoiceBytes) {
    const ByteSpan page = input.subspan(kRecordChoiceBytes);
    std::copy_n(page.begin(), std::min(page.size(), pageBytes.size()), pageBytes.begin());
  }

  ReadContext state;
  state.collations = &Collations().table;

  // The deleted-record options off, "show deleted", and both.
  const bool options[3][2] = {{false, false}, {true, false}, {true, true}};
  for (int pass = 0; pass < 3; ++pass) {
    state.showDeleted = options[pass][0];
    state.showAdvancedDeleted = options[pass][1];
    state.legacyCatalog = pass > 0 && (choices.flags & 0x02) != 0;
    CDataPage page(pageBytes, nullptr);
    BuildPrimaryRecordPage(page, state);
    Formatter formatter(choices, state, report);
    for (size_t i = 0; i < page.records.size(); ++i) {
      const CPrimaryRecord* r = RecordAt(page, i);
      if (r == nullptr || r->invalid) continue;
      ++report.records[pass];
      CheckRanges(*r, i, report.violations);
      if (pass != 1) formatter.Record(*r, i);
    }
  }

  // Compressed records rebuilt with a decode context.
  state.showDeleted = true;
  state.showAdvancedDeleted = false;
  state.legacyCatalog = false;
  RowDecodeContext context{choices.contextColumns};
  state.columns = &context;
  std::vector<uint8_t> compressedBytes = pageBytes;
  if (choices.flags & 0x01) compressedBytes[2] |= kTypeFlagCompressed;
  CDataPage page(std::move(compressedBytes), nullptr);
  BuildPrimaryRecordPage(page, state);
  const std::vector<size_t> order = StoredColumnOrder(context.columns);
  for (size_t i = 0; i < page.records.size(); ++i) {
    const CPrimaryRecord* r = RecordAt(page, i);
    if (r == nullptr || r->invalid || !r->status.compressed) continue;
    ++report.compressedRebuilt;
    CheckRanges(*r, i, report.violations);
    const ByteSpan fixed = r->FixedData();
    BitCursor bits;
    for (size_t k = 0; k < r->columnEntries.size() && k < order.size(); ++k) {
      const CompressedColumnEntry& e = r->columnEntries[k];
      if (e.isNull || e.offset < 0) continue;
      if (!InBounds(fixed.size(), e.offset, e.length)) {
        report.violations.Add("column entry " + std::to_string(k) + " of compressed record " + std::to_string(i) +
                              " lies outside the rebuilt fixed data");
        continue;
      }
      const ColumnDescriptor& column = context.columns[order[k]];
      TypeLayout layout = ComputeTypeLayout(column, bits, column.typeIndex);
      layout.available = e.length;
      const std::string text = FormatValue(layout, fixed.subspan(static_cast<size_t>(e.offset)), column, state);
      ++report.valuesFormatted;
      if (!IsWellFormedUtf8(text))
        report.violations.Add("column " + std::to_string(k) + " of compressed record " + std::to_string(i) +
                              ": text is not well-formed UTF-8");
    }
  }
  state.columns = nullptr;
  return report;
}

}  // namespace pagewright::fuzz
