#include "support/builder/compression_builder.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <map>
#include <memory>
#include <stdexcept>

namespace pagewright::build {

namespace {

constexpr int kRecordAreaEnd = 8096;  // records and slots end here, as the catalog builder fills pages
constexpr size_t kMaxPrefix = 255;    // the prefix length is one byte
constexpr size_t kMaxDictionaryEntries = 255;
constexpr size_t kMaxInformationBytes = 4000;

int64_t SignedLE(const Bytes& bytes, size_t width) {
  uint64_t v = 0;
  for (size_t i = 0; i < width && i < bytes.size(); ++i) v |= uint64_t{bytes[i]} << (8 * i);
  if (width < 8 && (v >> (8 * width - 1) & 1) != 0) v |= ~uint64_t{0} << (8 * width);
  return static_cast<int64_t>(v);
}

Bytes WithoutTrailing(Bytes bytes, const Bytes& unit) {
  while (bytes.size() >= unit.size() && std::equal(unit.begin(), unit.end(), bytes.end() - static_cast<long>(unit.size())))
    bytes.resize(bytes.size() - unit.size());
  return bytes;
}

// nchar / nvarchar: SCSU when it is shorter and cannot be taken for UTF-16.
CompressedField UnicodeField(const Bytes& utf16) {
  std::u16string text;
  for (size_t i = 0; i + 1 < utf16.size(); i += 2) text.push_back(static_cast<char16_t>(utf16[i] | utf16[i + 1] << 8));
  Bytes scsu = ScsuBytes(text);
  if (scsu.size() < utf16.size() && scsu.size() % 2 == 1) return CompressedField::Of(scsu);
  return CompressedField::Of(utf16);
}

size_t CommonPrefix(const Bytes& a, const Bytes& b) {
  size_t n = std::min({a.size(), b.size(), kMaxPrefix});
  size_t k = 0;
  while (k < n && a[k] == b[k]) ++k;
  return k;
}

bool Prefixable(int code) { return code >= kCodeEmpty && code <= kCodeLong; }

// The anchor value of one column that saves the most bytes on the page, or
// none. Each value pays one prefix byte and saves the bytes it shares; the
// anchor record pays the anchor value.
std::optional<Bytes> ChooseAnchor(const std::vector<const CompressedField*>& column) {
  std::vector<const Bytes*> values;
  for (const CompressedField* f : column) {
    if (f->complex) return std::nullopt;  // pointers stay as they are
    if (Prefixable(f->code)) values.push_back(&f->bytes);
  }
  if (values.size() < 2) return std::nullopt;
  std::optional<Bytes> best;
  int64_t bestSaving = 0;
  for (size_t pick : {size_t{0}, values.size() / 2, values.size() - 1}) {
    const Bytes& candidate = *values[pick];
    const size_t length = std::min(candidate.size(), kMaxPrefix);
    if (length == 0) continue;
    std::vector<int64_t> reaching(length + 2, 0);  // values sharing at least L bytes
    for (const Bytes* v : values) ++reaching[CommonPrefix(*v, candidate)];
    for (size_t l = length; l-- > 0;) reaching[l] += reaching[l + 1];
    int64_t shared = 0;
    for (size_t l = 1; l <= length; ++l) {
      shared += reaching[l];
      int64_t saving = shared - static_cast<int64_t>(values.size()) - static_cast<int64_t>(l) - 2;
      if (saving > bestSaving) {
        bestSaving = saving;
        best = Bytes(candidate.begin(), candidate.begin() + static_cast<long>(l));
      }
    }
  }
  return best;
}

// A thread's SCSU converter.
struct ScsuConverter {
  ScsuConverter() {
    UErrorCode status = U_ZERO_ERROR;
    converter = ucnv_open("SCSU", &status);
    if (U_FAILURE(status)) throw std::runtime_error("ICU has no SCSU converter");
  }
  ~ScsuConverter() { ucnv_close(converter); }
  ScsuConverter(const ScsuConverter&) = delete;
  ScsuConverter& operator=(const ScsuConverter&) = delete;
  UConverter* converter = nullptr;
};

}  // namespace

Bytes CompressedInteger(int64_t value) {
  if (value == 0) return {};
  size_t n = 1;
  while (n < 8) {
    const int64_t limit = int64_t{1} << (8 * n - 1);
    if (value >= -limit && value < limit) break;
    ++n;
  }
  const auto u = static_cast<uint64_t>(value);
  Bytes out(n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(u >> (8 * (n - 1 - i)));
  out[0] ^= 0x80;
  return out;
}

Bytes ScsuBytes(const std::u16string& text) {
  thread_local ScsuConverter scsu;
  ucnv_reset(scsu.converter);
  UErrorCode status = U_ZERO_ERROR;
  Bytes out(text.size() * 4 + 16);
  int32_t n = ucnv_fromUChars(scsu.converter, reinterpret_cast<char*>(out.data()), static_cast<int32_t>(out.size()),
                              reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()), &status);
  if (U_FAILURE(status)) throw std::runtime_error("SCSU conversion failed");
  out.resize(static_cast<size_t>(n));
  return out;
}

CompressedField CompressedField::Of(const Bytes& data, bool complex) {
  if (complex) return CompressedField{kCodeLong, data, true};
  if (data.empty()) return CompressedField{kCodeEmpty, {}, false};
  if (data.size() <= 8) return CompressedField{static_cast<int>(data.size()) + 1, data, false};
  return CompressedField{kCodeLong, data, false};
}

CompressedField CompressedField::Symbol(uint8_t index) { return CompressedField{kCodeSymbol, Bytes{index}, false}; }

CompressedField CompressValue(const ColumnSpec& c, const Value& v) {
  if (v.isNull) return CompressedField{};
  if (v.complex) return CompressedField::Of(v.bytes, true);
  switch (c.type) {
    case kSqlInt:
    case kSqlSmallmoney: return CompressedField::Of(CompressedInteger(SignedLE(v.bytes, 4)));
    case kSqlSmallint: return CompressedField::Of(CompressedInteger(SignedLE(v.bytes, 2)));
    case kSqlBigint:
    case kSqlMoney: return CompressedField::Of(CompressedInteger(SignedLE(v.bytes, 8)));
    case kSqlBit: return CompressedField{!v.bytes.empty() && v.bytes[0] != 0 ? kCodeBitOne : kCodeEmpty, {}, false};
    case kSqlChar: return CompressedField::Of(WithoutTrailing(v.bytes, {0x20}));
    case kSqlBinary: return CompressedField::Of(WithoutTrailing(v.bytes, {0x00}));
    case kSqlNchar: return UnicodeField(WithoutTrailing(v.bytes, {0x20, 0x00}));
    case kSqlNvarchar: return c.maxLength < 0 ? CompressedField::Of(v.bytes) : UnicodeField(v.bytes);
    case kSqlTinyint:
    case kSqlVarchar:
    case kSqlVarbinary:
    case kSqlUniqueidentifier:
    case kSqlDate:
    case kSqlSmalldatetime:
    case kSqlText:
    case kSqlNtext:
    case kSqlImage:
    case kSqlXml: return CompressedField::Of(v.bytes);
    default: throw std::invalid_argument("the builder writes no compressed form of " + SqlTypeName(c.type));
  }
}

Bytes CompressedRecordOf(const std::vector<CompressedField>& fields, int kind) {
  CompressedRecordBuilder r(kind);
  for (const CompressedField& f : fields) {
    if (f.code == kCodeNull) {
      r.Null();
    } else if (f.code == kCodeEmpty) {
      r.Empty();
    } else if (f.code >= 2 && f.code <= 9) {
      if (f.bytes.size() != static_cast<size_t>(f.code - 1)) throw std::invalid_argument("short value length");
      r.Short(f.bytes);
    } else if (f.code == kCodeLong) {
      r.Long(f.bytes, f.complex);
    } else if (f.code == kCodeSymbol) {
      r.Symbol(f.bytes.at(0));
    } else {
      r.Code(f.code);
    }
  }
  return r.Build();
}

Bytes EncodeCompressedRow(const std::vector<ColumnSpec>& columns, const std::vector<Value>& values, int kind) {
  std::vector<CompressedField> fields;
  fields.reserve(columns.size());
  for (size_t i = 0; i < columns.size(); ++i) fields.push_back(CompressValue(columns[i], values.at(i)));
  return CompressedRecordOf(fields, kind);
}

CompressedField WithAnchorPrefix(const CompressedField& field, const Bytes& anchor) {
  if (!Prefixable(field.code)) return field;
  size_t p = CommonPrefix(field.bytes, anchor);
  Bytes stored = {static_cast<uint8_t>(p)};
  stored.insert(stored.end(), field.bytes.begin() + static_cast<long>(p), field.bytes.end());
  return CompressedField::Of(stored, field.complex);
}

Bytes CompressionInfoRecord::Build() const {
  const bool hasAnchor = !anchor.empty();
  const bool hasDictionary = !dictionary.empty();
  Bytes anchorRecord;
  if (hasAnchor) {
    std::vector<CompressedField> fields;
    for (const auto& a : anchor) fields.push_back(a ? CompressedField::Of(*a) : CompressedField{});
    anchorRecord = CompressedRecordOf(fields);
  }
  const uint8_t header = static_cast<uint8_t>((hasAnchor ? 0x02 : 0) | (hasDictionary ? 0x04 : 0));
  Bytes out = {header, 0, 0};
  if (!hasDictionary) {
    Bytes size = LE<uint16_t>(static_cast<uint16_t>(5 + anchorRecord.size()));
    out.insert(out.end(), size.begin(), size.end());
    out.insert(out.end(), anchorRecord.begin(), anchorRecord.end());
    return out;
  }
  const auto count = static_cast<uint16_t>(dictionary.size());
  Bytes dict = LE<uint16_t>(count);
  uint16_t end = static_cast<uint16_t>(2 + 2 * count);
  for (const Bytes& e : dictionary) {
    end = static_cast<uint16_t>(end + e.size());
    Bytes b = LE<uint16_t>(end);
    dict.insert(dict.end(), b.begin(), b.end());
  }
  for (const Bytes& e : dictionary) dict.insert(dict.end(), e.begin(), e.end());
  const auto d = static_cast<uint16_t>(7 + anchorRecord.size());
  const auto total = static_cast<uint16_t>(d + dict.size());
  out = Concat({out, LE<uint16_t>(d), LE<uint16_t>(total), anchorRecord, dict});
  return out;
}

PageBuilder CompressedDataPage(const CompressionInfoRecord& info, const std::vector<Bytes>& records, int16_t ghosts) {
  PageBuilder p(1, 0);
  if (!info.empty()) {
    p.TypeFlags(0x80);
    p.AddUnslottedRecord(info.Build());
  }
  for (const Bytes& r : records) p.AddRecord(r);
  p.GhostCount(ghosts);
  return p;
}

CompressedPageContent CompressPage(const std::vector<ColumnSpec>& columns,
                                   const std::vector<const std::vector<Value>*>& rows, const std::vector<int>& kinds,
                                   const PageCompressionChoices& choices) {
  std::vector<std::vector<CompressedField>> fields(rows.size());
  for (size_t r = 0; r < rows.size(); ++r)
    for (size_t c = 0; c < columns.size(); ++c) fields[r].push_back(CompressValue(columns[c], rows[r]->at(c)));

  CompressedPageContent out;
  if (choices.anchors) {
    std::vector<std::optional<Bytes>> anchor(columns.size());
    bool any = false;
    for (size_t c = 0; c < columns.size(); ++c) {
      if (columns[c].type == kSqlBit) continue;
      std::vector<const CompressedField*> column;
      for (const auto& row : fields) column.push_back(&row[c]);
      anchor[c] = ChooseAnchor(column);
      any = any || anchor[c].has_value();
    }
    if (any) {
      for (auto& row : fields)
        for (size_t c = 0; c < columns.size(); ++c)
          if (anchor[c]) row[c] = WithAnchorPrefix(row[c], *anchor[c]);
      out.info.anchor = std::move(anchor);
    }
  }
  if (choices.dictionary) {
    std::map<Bytes, int64_t> counts;
    for (const auto& row : fields)
      for (const auto& f : row)
        if (f.code >= 2 && f.code <= kCodeLong && !f.complex && f.bytes.size() >= 2) ++counts[f.bytes];
    // An entry pays its bytes and its end offset; each use saves all but
    // the index byte.
    std::vector<std::pair<int64_t, const Bytes*>> worth;
    for (const auto& [bytes, n] : counts) {
      const auto length = static_cast<int64_t>(bytes.size());
      int64_t saving = n * (length - 1) - (length + 2);
      if (n >= 2 && saving > 0) worth.emplace_back(saving, &bytes);
    }
    std::stable_sort(worth.begin(), worth.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    size_t budget = 16 + (out.info.anchor.empty() ? 0 : CompressionInfoRecord{out.info.anchor, {}}.Build().size());
    std::map<Bytes, uint8_t> index;
    for (const auto& [saving, bytes] : worth) {
      if (out.info.dictionary.size() >= kMaxDictionaryEntries) break;
      if (budget + bytes->size() + 2 > kMaxInformationBytes) continue;
      budget += bytes->size() + 2;
      index[*bytes] = static_cast<uint8_t>(out.info.dictionary.size());
      out.info.dictionary.push_back(*bytes);
    }
    for (auto& row : fields) {
      for (auto& f : row) {
        if (f.complex || f.code < 2 || f.code > kCodeLong) continue;
        auto it = index.find(f.bytes);
        if (it != index.end()) f = CompressedField::Symbol(it->second);
      }
    }
  }
  for (size_t r = 0; r < fields.size(); ++r) out.records.push_back(CompressedRecordOf(fields[r], kinds.at(r)));
  return out;
}

CompressedPagePacker::CompressedPagePacker(std::vector<ColumnSpec> columns, Compression compression,
                                           PageCompressionChoices choices, int rowsPerPage)
    : columns_(std::move(columns)), compression_(compression), choices_(choices), rowsPerPage_(rowsPerPage) {}

void CompressedPagePacker::Add(const std::vector<Value>& row, int kind) {
  const int size = static_cast<int>(EncodeCompressedRow(columns_, row, kind).size()) + 2;
  // Page compression fits more rows than their row-compressed size says:
  // gather twice a page's worth, and Flush keeps as many as fit.
  const int budget = (kRecordAreaEnd - 96) * (compression_ == Compression::kPage ? 2 : 1);
  const bool full = pendingBytes_ + size > budget ||
                    (rowsPerPage_ > 0 && static_cast<int>(pending_.size()) >= rowsPerPage_);
  if (full && !pending_.empty()) Flush();
  pending_.push_back(row);
  kinds_.push_back(kind);
  pendingBytes_ += size;
}

CompressedPageContent CompressedPagePacker::Content(size_t count) const {
  std::vector<int> kinds(kinds_.begin(), kinds_.begin() + static_cast<long>(count));
  if (compression_ == Compression::kRow) {
    CompressedPageContent content;
    for (size_t i = 0; i < count; ++i) content.records.push_back(EncodeCompressedRow(columns_, pending_[i], kinds[i]));
    return content;
  }
  std::vector<const std::vector<Value>*> rows;
  for (size_t i = 0; i < count; ++i) rows.push_back(&pending_[i]);
  return CompressPage(columns_, rows, kinds, choices_);
}

void CompressedPagePacker::Flush() {
  // Bytes from offset 96 to the end of the slot array.
  auto fits = [](const CompressedPageContent& c) {
    size_t bytes = c.info.empty() ? 0 : c.info.Build().size();
    for (const Bytes& r : c.records) bytes += r.size() + 2;
    return bytes <= static_cast<size_t>(kRecordAreaEnd - 96);
  };
  size_t count = pending_.size();
  CompressedPageContent content = Content(count);
  if (!fits(content)) {
    // The most rows that fit; the others wait for the next page.
    size_t low = 1, high = count - 1;
    CompressedPageContent best = Content(low);
    while (low < high) {
      const size_t middle = (low + high + 1) / 2;
      CompressedPageContent candidate = Content(middle);
      if (fits(candidate)) {
        low = middle;
        best = std::move(candidate);
      } else {
        high = middle - 1;
      }
    }
    count = low;
    content = best.records.size() == count ? std::move(best) : Content(count);
    if (!fits(content)) throw std::invalid_argument("a row larger than a page");
  }
  const auto ghosts = static_cast<int16_t>(std::count(kinds_.begin(), kinds_.begin() + static_cast<long>(count), 6));
  pages_.push_back(CompressedDataPage(content.info, content.records, ghosts));
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(count));
  kinds_.erase(kinds_.begin(), kinds_.begin() + static_cast<long>(count));
  pendingBytes_ = 0;
  for (size_t i = 0; i < pending_.size(); ++i)
    pendingBytes_ += static_cast<int>(EncodeCompressedRow(columns_, pending_[i], kinds_[i]).size()) + 2;
}

std::vector<PageBuilder> CompressedPagePacker::Finish() {
  while (!pending_.empty()) Flush();
  std::vector<PageBuilder> out;
  out.swap(pages_);
  return out;
}

std::vector<PageBuilder> CompressedTablePages(const TableDef& table, Compression compression,
                                              PageCompressionChoices choices) {
  CompressedPagePacker packer(table.columns, compression, choices, table.rowsPerPage);
  for (const auto& row : table.rows) packer.Add(row);
  for (const auto& row : table.ghostRows) packer.Add(row, 6);
  return packer.Finish();
}

std::function<std::vector<PageBuilder>(const TableDef&, DatabaseBuilder&)> CompressedPages(Compression compression,
                                                                         PageCompressionChoices choices) {
  return [compression, choices](const TableDef& t, DatabaseBuilder&) { return CompressedTablePages(t, compression, choices); };
}

}  // namespace pagewright::build
