// Records parsed per second and values formatted per second on generated
// pages.
//
//   bench_records [PAGES]
//
// Builds PAGES (default 2000) data pages in memory full of classic records of
// mixed types (int, bigint, bits, money, datetime, decimal, char, varchar,
// nvarchar, uniqueidentifier, float, date; some NULLs), and row- and
// page-compressed pages of rows of the types the builder compresses. Then,
// three runs of each measure, each run repeated over the pages for at least
// a second:
//   parse   a fresh page object from the page bytes and its records built as
//           the loaders build them (slot enumeration, record parse, and for
//           compressed pages the compression information and the rebuild);
//   format  FormatValue on every non-NULL column of every parsed classic
//           record, as the row decoder calls it.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_util.h"
#include "records/record_enumeration.h"
#include "records/value_format.h"
#include "support/builder/compression_builder.h"

using namespace pagewright;
using namespace pagewright::build;
using namespace pagewright::bench;

namespace {

constexpr int kRecordAreaEnd = 8096;

std::vector<ColumnSpec> ClassicColumns() {
  return {IntColumn("Id", false), BigintColumn("Big"),       BitColumn("A"),          BitColumn("B"),
          MoneyColumn("Price"),   DatetimeColumn("Created"), DecimalColumn("Amount", 9, 2), CharColumn("Code", 10),
          VarcharColumn("Name", 40), NvarcharColumn("Note", 40), GuidColumn("Guid"), FloatColumn("Ratio"),
          DateColumn("Day")};
}

std::vector<Value> ClassicRow(int64_t i) {
  Bytes guid(16);
  for (size_t k = 0; k < 16; ++k) guid[k] = static_cast<uint8_t>(i * 31 + static_cast<int64_t>(k));
  char code[16];
  std::snprintf(code, sizeof code, "K%09lld", static_cast<long long>(i % 1000000000));
  return {IntValue(static_cast<int32_t>(i)),
          BigintValue(i * 7919 - 4000000),
          BitValue(i % 2 == 0),
          i % 5 == 0 ? Null() : BitValue(i % 3 == 0),
          MoneyValue((i % 100000) * 125),
          DatetimeValue(40000 + static_cast<int32_t>(i % 3000), static_cast<int32_t>(i % 25920000)),
          i % 9 == 0 ? Null() : DecimalValue(i % 2 == 1, static_cast<uint64_t>(i % 9999999), 9),
          TextValue(code),
          TextValue("Customer name " + std::to_string(i % 50000)),
          i % 4 == 0 ? Null() : UnicodeValue(u"Примечание " + std::u16string(1, u'А' + static_cast<char16_t>(i % 32))),
          GuidValue(guid),
          FloatValue(static_cast<double>(i) / 7.0),
          DateValue(730000 + static_cast<int32_t>(i % 3650))};
}

std::vector<ColumnSpec> CompressedColumns() {
  return {IntColumn("Id", false), BigintColumn("Big"),      BitColumn("A"),          BitColumn("B"),
          MoneyColumn("Price"),   CharColumn("Code", 10),   VarcharColumn("Name", 40), NvarcharColumn("Note", 40),
          GuidColumn("Guid"),     DateColumn("Day")};
}

std::vector<Value> CompressedRow(int64_t i) {
  std::vector<Value> c = ClassicRow(i);
  return {c[0], c[1], c[2], c[3], c[4], c[7], c[8], c[9], c[10], c[12]};
}

std::vector<std::vector<uint8_t>> ClassicPages(int count, const std::vector<ColumnSpec>& columns) {
  std::vector<std::vector<uint8_t>> pages;
  int64_t row = 0;
  while (static_cast<int>(pages.size()) < count) {
    PageBuilder p(1, static_cast<int32_t>(100 + pages.size()));
    p.ObjectId(1001);
    for (;;) {
      Bytes r = EncodeRow(columns, ClassicRow(row));
      if (p.freeOffset() + static_cast<int>(r.size()) + 2 * (p.slotCount() + 1) > kRecordAreaEnd) break;
      p.AddRecord(r);
      ++row;
    }
    pages.push_back(p.Bytes());
  }
  return pages;
}

std::vector<std::vector<uint8_t>> CompressedPagesOf(int count, const std::vector<ColumnSpec>& columns,
                                                    Compression compression) {
  CompressedPagePacker packer(columns, compression);
  std::vector<std::vector<uint8_t>> out;
  int64_t row = 0;
  while (static_cast<int>(out.size()) < count) {
    for (int k = 0; k < 2000; ++k) packer.Add(CompressedRow(row++));
    for (PageBuilder& p : packer.Finish()) {
      if (static_cast<int>(out.size()) >= count) break;
      p.ThisPage(PageId{1, static_cast<int32_t>(100 + out.size())});
      p.ObjectId(1001);
      out.push_back(p.Bytes());
    }
  }
  return out;
}

std::vector<ColumnDescriptor> Descriptors(const std::vector<ColumnSpec>& columns) {
  std::vector<ColumnDescriptor> out;
  auto placement = PlaceColumns(columns);
  for (size_t i = 0; i < columns.size(); ++i) {
    const ColumnSpec& s = columns[i];
    int32_t typeIndex = TypeIndexOf(s.type);
    ColumnDescriptor c = DescribeColumn(s.name, SqlTypeName(s.type) + "(" + std::to_string(s.maxLength) + ")", typeIndex);
    c.columnId = c.physicalColumnId = static_cast<int32_t>(i) + 1;
    c.precision = s.precision;
    c.scale = s.scale;
    c.collationId = s.collationId;
    c.leafOffset = placement[i].leafOffset;
    c.nullBit = placement[i].nullBit;
    c.bitPosition = placement[i].bitPosition;
    c.hasLayout = 1;
    c.nullable = s.nullable;
    out.push_back(c);
  }
  return out;
}

struct ParseResult {
  double recordsPerSecond = 0;
  int64_t records = 0;
};

// Builds every page's records, over and over for at least a second.
ParseResult Parse(const std::vector<std::vector<uint8_t>>& pages, const ReadContext& state) {
  ParseResult r;
  auto t0 = Clock::now();
  double elapsed = 0;
  do {
    for (const auto& bytes : pages) {
      CDataPage page(bytes, nullptr);
      BuildPrimaryRecordPage(page, state);
      r.records += static_cast<int64_t>(page.records.size());
    }
    elapsed = SecondsSince(t0);
  } while (elapsed < 1.0);
  r.recordsPerSecond = static_cast<double>(r.records) / elapsed;
  return r;
}

// Formats every non-NULL column of the parsed classic records.
double Format(const std::vector<std::unique_ptr<CDataPage>>& pages, const std::vector<ColumnDescriptor>& columns,
              const ReadContext& state, int64_t& values, size_t& checksum) {
  values = 0;
  auto t0 = Clock::now();
  double elapsed = 0;
  do {
    for (const auto& page : pages) {
      for (size_t s = 0; s < page->records.size(); ++s) {
        const CPrimaryRecord* r = RecordAt(*page, s);
        if (r == nullptr) continue;
        BitCursor bits;
        size_t variable = 0;
        for (const ColumnDescriptor& c : columns) {
          TypeLayout layout = ComputeTypeLayout(c, bits, c.typeIndex);
          const bool isNull = r->NullBit(c.nullBit - 1);
          if (layout.isVariable) {
            const size_t k = variable++;
            if (isNull || k >= r->values.size()) continue;
            const ValueItem& item = r->values[k];
            layout.valueLength = static_cast<int16_t>(item.range.length);
            layout.available = item.range.length;
            checksum += FormatValue(layout, r->Bytes(item), c, state).size();
          } else {
            ByteSpan fixed = r->FixedData();
            const auto at = static_cast<size_t>(c.leafOffset - 4);
            if (isNull || at >= fixed.size()) continue;
            layout.available = static_cast<int64_t>(fixed.size() - at);
            checksum += FormatValue(layout, fixed.subspan(at), c, state).size();
          }
          ++values;
        }
      }
    }
    elapsed = SecondsSince(t0);
  } while (elapsed < 1.0);
  return static_cast<double>(values) / elapsed;
}

void Report(const char* what, const std::vector<double>& rates, const char* unit) {
  Summary s = Rates(rates);
  std::printf("%-34s runs:", what);
  for (double r : rates) std::printf(" %.0f", r);
  std::printf(" | best %.0f %s, median %.0f %s\n", s.best, unit, s.median, unit);
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 2000;
  const auto classicColumns = ClassicColumns();
  const auto compressedColumns = CompressedColumns();
  auto t0 = Clock::now();
  const auto classic = ClassicPages(count, classicColumns);
  const auto row = CompressedPagesOf(count, compressedColumns, Compression::kRow);
  const auto page = CompressedPagesOf(count, compressedColumns, Compression::kPage);
  std::printf("generated %d pages of each kind in %.1f s\n", count, SecondsSince(t0));

  ReadContext classicState;
  RowDecodeContext compressedContext{Descriptors(compressedColumns)};
  ReadContext compressedState;
  compressedState.columns = &compressedContext;

  std::vector<double> classicRates, rowRates, pageRates, formatRates;
  int64_t classicRecords = 0, rowRecords = 0, pageRecords = 0, values = 0;
  size_t checksum = 0;
  std::vector<std::unique_ptr<CDataPage>> parsed;
  for (const auto& bytes : classic) {
    parsed.push_back(std::make_unique<CDataPage>(bytes, nullptr));
    BuildPrimaryRecordPage(*parsed.back(), classicState);
  }
  const auto classicDescriptors = Descriptors(classicColumns);
  for (int run = 0; run < 3; ++run) {
    ParseResult c = Parse(classic, classicState);
    ParseResult r = Parse(row, compressedState);
    ParseResult p = Parse(page, compressedState);
    classicRates.push_back(c.recordsPerSecond);
    rowRates.push_back(r.recordsPerSecond);
    pageRates.push_back(p.recordsPerSecond);
    formatRates.push_back(Format(parsed, classicDescriptors, classicState, values, checksum));
  }
  for (const auto& p : parsed) classicRecords += static_cast<int64_t>(p->records.size());
  {
    CDataPage first(row.front(), nullptr);
    BuildPrimaryRecordPage(first, compressedState);
    rowRecords = static_cast<int64_t>(first.records.size());
    CDataPage firstPage(page.front(), nullptr);
    BuildPrimaryRecordPage(firstPage, compressedState);
    pageRecords = static_cast<int64_t>(firstPage.records.size());
  }
  std::printf("records per page: classic %.1f (13 columns), row-compressed %lld, page-compressed %lld (10 columns; "
              "first page)\n",
              static_cast<double>(classicRecords) / count, static_cast<long long>(rowRecords),
              static_cast<long long>(pageRecords));
  Report("classic records parsed", classicRates, "records/s");
  Report("row-compressed records parsed", rowRates, "records/s");
  Report("page-compressed records parsed", pageRates, "records/s");
  Report("classic values formatted", formatRates, "values/s");
  std::printf("(checksum %zu)\n", checksum);
  return 0;
}
