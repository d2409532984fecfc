#include "tabledata/row_decoder.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "records/binary_xml.h"
#include "records/large_value.h"
#include "records/record_enumeration.h"
#include "records/value_format.h"

namespace pagewright {

std::string ConvertLargeValue(const std::vector<uint8_t>& bytes) {
  if (bytes.empty()) return {};
  return ConvertBinaryXml(bytes);
}

namespace {

// Pointer kinds of complex values (first byte, or first u16 when it is 0).
constexpr int kRowOverflowPointer = 2;
constexpr int kBlobRootPointer = 4;
constexpr size_t kTextPointerSize = 16;

bool IsBinaryTypeIndex(int32_t t) { return t == kTypeVarbinary || t == kTypeClr; }

class RecordDecoder {
 public:
  RecordDecoder(const CPrimaryRecord& r, RowDecodeContext& ctx, DatabaseReader& reader, const ReadContext& read,
                const DecodeMode& mode, const std::vector<int>& storedRank, const std::vector<int32_t>& declaredLengths)
      : r_(r),
        ctx_(ctx),
        reader_(reader),
        read_(read),
        mode_(mode),
        storedRank_(storedRank),
        declaredLengths_(declaredLengths) {
    sparseCount_ = r.hasSparseVector ? static_cast<int>(r.sparse.size()) : 0;
  }

  // Decodes the columns into `row`; false when the positional decoder drops
  // the row (its first stored column came out empty).
  bool Decode(CellRow& row);

 private:
  struct Flags {
    bool binary = false, variant = false, unicode = false;
  };
  // Each decodes one column's value into `out` (the row's cell, whose room
  // is reused).
  void Sparse(const ColumnDescriptor& c, CellValue& out);
  void Variable(ColumnDescriptor& c, int32_t& typeIndex, int index, bool& assigned, CellValue& out);
  void Complex(const ColumnDescriptor& c, int32_t typeIndex, ByteSpan value, const Flags& flags, bool& assigned,
               CellValue& out);
  void Fixed(ColumnDescriptor& c, TypeLayout& layout, CellValue& out);
  void CompressedFixed(ColumnDescriptor& c, int code, size_t stored, CellValue& out);
  int32_t CodePage(const ColumnDescriptor& c) const { return CodePageOfCollation(c.collationId, read_); }
  // The declared length of the column being decoded, which DecodeValue
  // would otherwise parse from its type text for every value.
  void Prime(TypeLayout& layout) const {
    if (layout.consumed == 0) layout.consumed = declared_;
  }

  const CPrimaryRecord& r_;
  RowDecodeContext& ctx_;
  DatabaseReader& reader_;
  const ReadContext& read_;
  const DecodeMode& mode_;
  const std::vector<int>& storedRank_;
  const std::vector<int32_t>& declaredLengths_;
  int32_t declared_ = 0;
  BitCursor bits_;
  int64_t fixedCursor_ = 0;
  size_t variableCounter_ = 0;
  int processed_ = 0;
  int sparseCount_ = 0;
};

void RecordDecoder::Sparse(const ColumnDescriptor& c, CellValue& out) {
  out.Reset(CellKind::kMissing);
  for (const auto& item : r_.sparse) {
    if (item.id != c.columnId || !item.range.present) continue;
    BitCursor bits;
    TypeLayout layout = ComputeTypeLayout(c, bits, c.typeIndex);
    layout.valueLength = static_cast<int16_t>(item.range.length);
    layout.available = item.range.length;
    Prime(layout);
    DecodeValue(layout, r_.Bytes(item), c, read_, out);
  }
}

void RecordDecoder::Complex(const ColumnDescriptor& c, int32_t typeIndex, ByteSpan value, const Flags& flags,
                            bool& assigned, CellValue& out) {
  const bool xml = typeIndex == kTypeXml;
  const bool placeholders = read_.placeholders && !mode_.moduleForm;
  LargeValueFlags lob{flags.variant, flags.binary, flags.unicode, CodePage(c)};
  out.Reset(CellKind::kMissing);
  if (value.empty()) {
    assigned = false;
    return;
  }
  auto placeholder = [&](const char* text) { out.Reset(CellKind::kPlaceholder).text = text; };
  if (value.size() == kTextPointerSize && value[0] == 0) {
    if (xml) {
      auto bytes = ReadTextPointerBytes(value, reader_, read_);
      if (bytes) out.Reset(CellKind::kText).text = ConvertLargeValue(*bytes);
      return;
    }
    if (placeholders) return placeholder(kBinaryPlaceholder);
    out = ReadTextPointerCell(value, reader_, read_, lob);
    return;
  }
  int kind = value[0] != 0 ? value[0] : U16At(value, 0);
  if (kind == kRowOverflowPointer || kind == kBlobRootPointer) {
    if (xml) {
      if (kind == kBlobRootPointer && placeholders && !mode_.rowset) return placeholder(kBigBinaryPlaceholder);
      out.Reset(CellKind::kText).text = ConvertLargeValue(ReadInRowRootBytes(value, reader_, read_));
      return;
    }
    if (kind == kBlobRootPointer && placeholders) return placeholder(kBigBinaryPlaceholder);
    out = ReadInRowRootCell(value, reader_, read_, lob);
  }
}

void RecordDecoder::Variable(ColumnDescriptor& c, int32_t& typeIndex, int index, bool& assigned, CellValue& out) {
  const auto& values = r_.values;
  if (values.empty() || index < 0 || static_cast<size_t>(index) >= values.size()) {
    ++variableCounter_;
    ++processed_;
    // The variable part ends before a column its null bit calls present:
    // trailing empty values take no offset entry, so it holds the type's
    // empty value.
    if (!mode_.moduleForm && index >= 0 && typeIndex != kTypeSqlVariant) {
      BitCursor bits;
      TypeLayout layout = ComputeTypeLayout(c, bits, typeIndex == kTypeImage ? kTypeVarbinary : typeIndex);
      return DecodeValue(layout, ByteSpan(), c, read_, out);
    }
    out.Reset(CellKind::kMissing);
    return;
  }
  const ValueItem& item = values[static_cast<size_t>(index)];
  Flags flags;
  if (typeIndex == kTypeImage) typeIndex = kTypeVarbinary;  // image reads as varbinary
  flags.binary = IsBinaryTypeIndex(typeIndex);
  flags.variant = typeIndex == kTypeSqlVariant;
  flags.unicode = typeIndex == kTypeNvarchar || typeIndex == kTypeNtext;
  out.Reset(CellKind::kMissing);
  if (item.complex) {
    Complex(c, typeIndex, r_.Bytes(item), flags, assigned, out);
    if (!assigned) {  // a complex entry without data
      ++variableCounter_;
      out.Reset(CellKind::kMissing);
      return;
    }
  } else if (item.empty && typeIndex != kTypeSqlVariant) {
    // A value of no bytes: the type's empty value (an empty string or binary).
    BitCursor bits;
    TypeLayout layout = ComputeTypeLayout(c, bits, typeIndex);
    DecodeValue(layout, ByteSpan(), c, read_, out);
  } else if (item.range.present) {
    BitCursor bits;
    std::optional<ColumnDescriptor> retyped;  // copied only when the type read differs
    const ColumnDescriptor* described = &c;
    if (typeIndex != c.typeIndex) {
      retyped = c;
      retyped->typeIndex = typeIndex;
      described = &*retyped;
    }
    const ColumnDescriptor& typed = *described;
    TypeLayout layout = ComputeTypeLayout(typed, bits, typeIndex);
    layout.valueLength = static_cast<int16_t>(std::min<int32_t>(item.range.length, 32767));
    layout.available = item.range.length;
    layout.isVariable = 1;
    Prime(layout);
    ByteSpan value = r_.Bytes(item);
    if (typeIndex == kTypeSqlVariant) {
      out = DecodeVariant(item.range.length, layout, value, typed, read_);
    } else {
      DecodeValue(layout, value, typed, read_, out);
    }
  }
  ++variableCounter_;
  ++processed_;
}

void RecordDecoder::Fixed(ColumnDescriptor& c, TypeLayout& layout, CellValue& out) {
  ByteSpan fixed = r_.FixedData();
  ++processed_;
  if (!r_.fixed.present) {
    fixedCursor_ += layout.fixedSize;
    out.Reset(CellKind::kMissing);
    return;
  }
  const int64_t length = static_cast<int64_t>(fixed.size());
  int64_t leaf = c.leafOffset;
  if (!mode_.rowset && leaf < 0) leaf = 3 - leaf;
  int64_t at = -1;
  bool advanceByFixedSize = false;
  if (!mode_.rowset && read_.legacyCatalog) {
    const int64_t legacy = c.legacyOffsetInRow;
    if (c.leafOffset < 0 && legacy > 0 && legacy - 4 < length) {
      at = legacy - 4;
      advanceByFixedSize = true;
    } else if (legacy - 4 >= 0 && legacy - 4 != fixedCursor_ && legacy - 4 < length) {
      at = legacy - 4;
    } else if (fixedCursor_ < length) {
      at = fixedCursor_;
    }
  } else if (leaf - 4 >= 0 && leaf - 4 <= length) {
    at = leaf - 4;
  } else if (fixedCursor_ < length) {
    at = fixedCursor_;
  }
  if (at < 0) {
    out.Reset(CellKind::kMissing);
    return;
  }
  // A bit column whose bit position is known reads its own bit.
  if (mode_.rowset && c.typeIndex == kTypeBit && c.hasLayout && c.bitPosition >= 0 && c.bitPosition < 8) {
    fixedCursor_ = at + 1;
    if (at >= length) {
      out.Reset(CellKind::kMissing);
      return;
    }
    out.Reset(CellKind::kBool).integer = (fixed[static_cast<size_t>(at)] >> c.bitPosition) & 1;
    return;
  }
  layout.available = length - at;
  const ByteSpan value = fixed.subspan(static_cast<size_t>(at));
  // Only where DecodeValue would set it too: the cursor below reads it.
  if (!value.empty() && layout.typeIndex != kTypeSqlVariant) Prime(layout);
  DecodeValue(layout, value, c, read_, out);
  if (advanceByFixedSize && layout.consumed == 0) {
    fixedCursor_ = at + layout.fixedSize;
  } else {
    fixedCursor_ = at + layout.consumed;
  }
}

void RecordDecoder::CompressedFixed(ColumnDescriptor& c, int code, size_t stored, CellValue& out) {
  ++processed_;
  out.Reset(CellKind::kMissing);
  if (stored >= r_.columnEntries.size()) return;
  const CompressedColumnEntry& e = r_.columnEntries[stored];
  BitCursor bits;  // each compressed bit column has a byte of its own
  TypeLayout layout = ComputeTypeLayout(c, bits, c.typeIndex);
  if (e.offset < 0) {
    // Code 1 without an anchor value takes no room: it is the type's empty
    // value (0, a bit 0, an empty or all-space string, an empty
    // variable-length string or binary), not a missing one.
    if (code == 1 && layout.isVariable) return DecodeValue(layout, ByteSpan(), c, read_, out);
    if (code != 1 || layout.valueLength <= 0) return;
    std::vector<uint8_t> empty(static_cast<size_t>(layout.valueLength), 0);
    if (c.typeIndex == kTypeChar) std::fill(empty.begin(), empty.end(), uint8_t{0x20});
    if (c.typeIndex == kTypeNchar)
      for (size_t k = 0; k < empty.size(); k += 2) empty[k] = 0x20;
    if (c.typeIndex == kTypeDecimal || c.typeIndex == kTypeNumeric) empty[0] = 1;  // the sign byte: positive
    layout.available = layout.valueLength;
    Prime(layout);
    return DecodeValue(layout, empty, c, read_, out);
  }
  // A value rebuilt to no bytes (an anchor prefix of none and nothing
  // after it) is a variable-length column's empty value.
  if (e.length == 0 && layout.isVariable) return DecodeValue(layout, ByteSpan(), c, read_, out);
  ByteSpan value = SubSpan(r_.FixedData(), e.offset, e.length);
  if (value.empty()) return;
  layout.available = e.length;
  if (layout.valueLength <= 0 || layout.isVariable) {
    layout.valueLength = static_cast<int16_t>(std::min<int32_t>(e.length, 32767));
    layout.isVariable = 1;
  }
  Prime(layout);
  DecodeValue(layout, value, c, read_, out);
}

bool RecordDecoder::Decode(CellRow& row) {
  auto& columns = ctx_.columns;
  const int recordColumns = r_.columnCount;
  const bool compressed = r_.status.compressed;
  // A column no value is decoded for shows NULL, never an earlier record's
  // (module text rows: empty).
  const CellKind unassigned = mode_.moduleForm ? CellKind::kMissing : CellKind::kNull;
  row.resize(columns.size());  // cells are assigned below, each once, in place
  for (size_t i = 0; i < columns.size(); ++i) {
    ColumnDescriptor& c = columns[i];
    CellValue& text = row[i];
    declared_ = declaredLengths_[i];
    if (c.physicalColumnId == kNotStoredColumn) {
      text.Reset(CellKind::kNotStored).text = c.valueText;
      continue;
    }
    const int stored = storedRank_[i];
    if (stored >= recordColumns) {  // a record with fewer columns than the table
      text.Reset(unassigned);
      continue;
    }
    TypeLayout layout = ComputeTypeLayout(c, bits_, c.typeIndex);
    int variableIndex = layout.isVariable && c.leafOffset < 0 ? -1 - c.leafOffset : static_cast<int>(variableCounter_);
    int code = -1;
    if (compressed && mode_.rowset && static_cast<size_t>(stored) < r_.descriptorCodes.size()) {
      code = r_.descriptorCodes[static_cast<size_t>(stored)];
      // Only code 10 has a value in the long data region; every other code
      // (11 is a bit 1) reads the rebuilt fixed data, so that long values
      // stay paired with their columns.
      if (code == 10) {
        layout.isVariable = 1;
        variableIndex = static_cast<int>(variableCounter_);
      } else {
        layout.isVariable = 0;
      }
    }
    const int limit = mode_.rowset ? recordColumns : static_cast<int>(columns.size());
    if (c.physicalColumnId > limit) c.physicalColumnId = c.columnId;
    int bitIndex;
    if (c.nullBit > 0 && c.nullBit <= recordColumns) {
      bitIndex = c.nullBit - 1;
    } else if (!mode_.rowset) {
      bitIndex = processed_;
    } else if (c.physicalColumnId - sparseCount_ - 1 > 0 && c.physicalColumnId - sparseCount_ - 1 <= recordColumns) {
      bitIndex = c.physicalColumnId - sparseCount_ - 1;
    } else {
      bitIndex = sparseCount_;
    }
    const bool nullFlag = !compressed && r_.NullBit(bitIndex);

    if (mode_.rowset) {
      bool isNull = false;
      if (compressed) {
        isNull = static_cast<size_t>(stored) < r_.columnEntries.size() && r_.columnEntries[static_cast<size_t>(stored)].isNull;
      } else if (!mode_.moduleForm) {
        isNull = !c.sparse && (c.hasLayout == 0 || nullFlag);
      }
      if (isNull) {
        text.Reset(CellKind::kNull);
        ++processed_;
        continue;
      }
    }

    // The positional decoder honours the null bitmap too (SQL Server 2000
    // records carry one bit per column): a NULL fixed column would otherwise
    // show its zero bytes as a value.
    if (!mode_.rowset && !mode_.moduleForm && nullFlag && c.nullable && !c.sparse) {
      if (layout.isVariable) {
        ++variableCounter_;
        ++processed_;
      } else {
        Fixed(c, layout, text);  // still moves the fixed and bit cursors past it
      }
      text.Reset(CellKind::kNull);
      continue;
    }

    int32_t typeIndex = c.typeIndex;
    bool assigned = true;
    if (c.sparse) {
      Sparse(c, text);
    } else if (processed_ > recordColumns) {
      text.Reset(CellKind::kMissing);
    } else if (compressed && mode_.rowset && !layout.isVariable) {
      CompressedFixed(c, code, static_cast<size_t>(stored), text);
    } else if (layout.isVariable) {
      if (!mode_.rowset && nullFlag) {
        text.Reset(CellKind::kMissing);
        ++variableCounter_;
      } else {
        if (!mode_.rowset && read_.legacyCatalog && !nullFlag && variableCounter_ < r_.values.size()) {
          const ValueItem& here = r_.values[variableCounter_];
          if (!here.range.present || here.range.length == 0) {
            size_t alternative = c.legacyOffsetInRow < 0 ? static_cast<size_t>(-1 - c.legacyOffsetInRow) : 0;
            if (alternative < r_.values.size() && r_.values[alternative].range.present &&
                r_.values[alternative].range.length > 0) {
              variableCounter_ = alternative;
            }
          }
          variableIndex = static_cast<int>(variableCounter_);
        } else if (!mode_.rowset) {
          variableIndex = static_cast<int>(variableCounter_);
        }
        Variable(c, typeIndex, variableIndex, assigned, text);
      }
    } else {
      Fixed(c, layout, text);
    }
    if (!assigned) {
      text.Reset(unassigned);
      continue;
    }
    // Binary text gets its "0x"; a space (an empty large value) and the
    // placeholders of large values not read stay as they are.
    if ((typeIndex == kTypeVarbinary || typeIndex == kTypeClr) && !text.blank && text.kind != CellKind::kPlaceholder)
      ++text.hexPrefixes;
    if (!mode_.rowset && c.nullable && !mode_.moduleForm && DisplaysEmpty(text)) text.Reset(CellKind::kNull);
  }
  if (!mode_.rowset) {
    for (size_t i = 0; i < columns.size(); ++i) {
      if (columns[i].physicalColumnId == kNotStoredColumn) continue;
      return !DisplaysEmpty(row[i]);
    }
  }
  return true;
}

}  // namespace

namespace {

struct PageDecodePlan {
  std::vector<int> rank;  // of each descriptor among the stored columns, in record order
  std::vector<int32_t> declared;
};

PageDecodePlan PlanFor(const RowDecodeContext& context) {
  PageDecodePlan plan;
  plan.rank.assign(context.columns.size(), 0);
  const std::vector<size_t> order = StoredColumnOrder(context.columns);
  for (size_t k = 0; k < order.size(); ++k) plan.rank[order[k]] = static_cast<int>(k);
  plan.declared.resize(context.columns.size());
  for (size_t k = 0; k < plan.declared.size(); ++k) plan.declared[k] = DeclaredLengthOf(context.columns[k].typeText);
  return plan;
}

}  // namespace

void DecodePageCells(const CDataPage& page, RowDecodeContext& context, DatabaseReader& reader, const ReadContext& read,
                     const DecodeMode& mode, std::vector<TypedRow>& rows) {
  DecodePageCellsFrom(page, context, reader, read, mode, rows, 0, SIZE_MAX);
}

size_t PageRecordCount(const CDataPage& page) {
  return std::min<size_t>(static_cast<size_t>(std::max<int16_t>(page.header.slotCount, 0)), page.records.size());
}

size_t DecodePageCellsFrom(const CDataPage& page, RowDecodeContext& context, DatabaseReader& reader,
                           const ReadContext& read, const DecodeMode& mode, std::vector<TypedRow>& rows, size_t from,
                           size_t maxRows) {
  // The rows already in `rows` are reused (their cell lists keep their
  // room), so that decoding page after page into one list allocates little.
  size_t used = 0;
  const PageDecodePlan plan = PlanFor(context);
  const PageId here = page.header.thisPage;
  const size_t n = PageRecordCount(page);
  size_t i = from;
  for (; i < n && used < maxRows && !read.StopRequested() && !read.OverBudget(); ++i) {
    const CPrimaryRecord* r = RecordAt(page, i);
    if (r == nullptr || r->status.kind == kIndexRecord || r->returnedThroughStub) continue;
    if (r->invalid) {
      // Ghosts of deleted rows and row versions are no damage; any other
      // record a data page holds should have parsed.
      const int32_t kind = r->status.kind;
      if (kind != kGhostDataRecord && kind != kGhostVersionRecord)
        read.Report(DamageReason::kRecordRejected, here.fileId, here.page, static_cast<int32_t>(i));
      continue;
    }
    if (!read.showDeleted && r->ghost) continue;
    RecordDecoder decoder(*r, context, reader, read, mode, plan.rank, plan.declared);
    if (used == rows.size()) rows.emplace_back();
    TypedRow& row = rows[used];
    // The record's own kind: with deleted records shown the ghost flag is
    // left clear, but a ghost record stays a deleted row.
    row.deleted = r->ghost || r->status.kind == kGhostDataRecord || r->status.kind == kGhostVersionRecord;
    if (decoder.Decode(row.cells)) {
      ++used;
    } else {
      read.Report(DamageReason::kRowDropped, here.fileId, here.page, static_cast<int32_t>(i));
    }
  }
  rows.resize(used);
  return i;
}

std::vector<DecodedRow> DecodePage(const CDataPage& page, RowDecodeContext& context, DatabaseReader& reader,
                                   const ReadContext& read, const DecodeMode& mode) {
  // Decoded page after page into the same cell lists: their room is kept.
  thread_local std::vector<TypedRow> typed;
  DecodePageCells(page, context, reader, read, mode, typed);
  std::vector<DecodedRow> rows(typed.size());
  for (size_t i = 0; i < typed.size(); ++i) {
    rows[i].reserve(typed[i].cells.size());
    for (CellValue& cell : typed[i].cells) rows[i].push_back(DisplayText(std::move(cell)));
  }
  return rows;
}

std::vector<DecodedRow> ReadPageRows(DatabaseReader& reader, const ReadContext& read, PageId id,
                                     RowDecodeContext& context, const DecodeMode& mode, bool catalogPage) {
  ReadContext withColumns = read;
  withColumns.columns = &context;
  auto page = catalogPage ? LoadCatalogPage(reader, withColumns, id) : LoadDataPage(reader, withColumns, id);
  if (!page || page->header.pageType != kDataPage) return {};
  return DecodePage(*page, context, reader, withColumns, mode);
}

}  // namespace pagewright
