// The bench table: one heap table "dbo.Rows" of ROWS rows in classic or
// page-compressed records, every LOB_EVERY-th row with a text pointer (see
// rows_bench.cpp for the columns), written once by a child process.
#ifndef PAGEWRIGHT_BENCH_BENCH_TABLE_H_
#define PAGEWRIGHT_BENCH_BENCH_TABLE_H_

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_util.h"
#include "support/builder/catalog_builder.h"
#include "support/builder/compression_builder.h"
#include "support/builder/lob_builder.h"

namespace pagewright::bench {

using namespace pagewright::build;

inline constexpr int kRecordAreaEnd = 8096;
inline constexpr int kLobValues = 64;

inline std::vector<ColumnSpec> Columns() {
  ColumnSpec quantity = IntColumn("Quantity");
  quantity.type = kSqlSmallint;
  quantity.maxLength = 2;
  ColumnSpec body;
  body.name = "Body";
  body.type = kSqlText;
  body.maxLength = 16;
  return {IntColumn("Id", false),   MoneyColumn("Amount"),      quantity,
          DateColumn("Day"),        BitColumn("Active"),        CharColumn("Code", 8),
          VarcharColumn("Name", 50), NvarcharColumn("Note", 40), VarbinaryColumn("Extra", -1),
          body};
}

struct RowSource {
  int64_t lobEvery = 10;
  std::vector<Bytes> pointers;  // text pointers to the values on text pages

  std::vector<Value> Row(int64_t i) const {
    char code[16];
    std::snprintf(code, sizeof code, "C%07lld", static_cast<long long>(i % 10000000));
    Bytes extra(20);
    for (size_t k = 0; k < extra.size(); ++k) extra[k] = static_cast<uint8_t>(i + static_cast<int64_t>(k) * 3);
    const bool lob = lobEvery > 0 && i % lobEvery == 0;
    return {IntValue(static_cast<int32_t>(i)),
            MoneyValue((i % 100000) * 125 - 3000000),
            i % 7 == 0 ? Null() : SmallintValue(static_cast<int16_t>(i % 500)),
            DateValue(730000 + static_cast<int32_t>(i % 3650)),
            BitValue(i % 3 == 0),
            TextValue(code),
            TextValue("Customer " + std::to_string(i % 50000)),
            i % 5 == 0 ? Null() : UnicodeValue(u"Заказ номер " + std::u16string(1, u'0' + static_cast<char16_t>(i % 10))),
            i % 4 == 0 ? Null() : RawValue(extra),
            lob ? ComplexValue(pointers[static_cast<size_t>(i / lobEvery) % pointers.size()]) : Null()};
  }
};

// The text values the Body pointers name, written as text pages at the end
// of the file as it stands.
inline std::vector<Bytes> WriteLobValues(DatabaseBuilder& db) {
  LobStore lob(db.pageCount());
  std::vector<Bytes> pointers;
  for (int k = 0; k < kLobValues; ++k) {
    std::string text;
    while (text.size() < 200 + static_cast<size_t>(k) * 50) text += "Body text " + std::to_string(k) + " of a row. ";
    pointers.push_back(lob.TextPointerTo(Ascii(text)));
  }
  lob.WriteInto(db);
  return pointers;
}

inline std::vector<PageBuilder> ClassicPages(const TableDef& t, const RowSource& source, int64_t rows) {
  std::vector<PageBuilder> pages;
  pages.emplace_back(1, 0);
  for (int64_t i = 0; i < rows; ++i) {
    Bytes r = EncodeRow(t.columns, source.Row(i));
    const PageBuilder& last = pages.back();
    if (last.freeOffset() + static_cast<int>(r.size()) + 2 * (last.slotCount() + 1) > kRecordAreaEnd)
      pages.emplace_back(1, 0);
    pages.back().AddRecord(r);
  }
  return pages;
}

inline std::vector<PageBuilder> PageCompressedPages(const TableDef& t, const RowSource& source, int64_t rows) {
  CompressedPagePacker packer(t.columns, Compression::kPage);
  for (int64_t i = 0; i < rows; ++i) packer.Add(source.Row(i));
  return packer.Finish();
}

inline void WriteDatabase(const std::filesystem::path& path, bool compressed, int64_t rows, int64_t lobEvery) {
  CatalogBuilder b;
  TableDef t;
  t.name = "Rows";
  t.columns = Columns();
  t.dataPages = [&](const TableDef& table, DatabaseBuilder& db) {
    RowSource source;
    source.lobEvery = lobEvery;
    source.pointers = WriteLobValues(db);
    return compressed ? PageCompressedPages(table, source, rows) : ClassicPages(table, source, rows);
  };
  b.AddTable(t);
  b.Build().WriteTo(path);
}

// Writes the file in a child process, so that the builder's memory is not
// this process's.
inline bool EnsureDatabase(const std::filesystem::path& path, bool compressed, int64_t rows, int64_t lobEvery) {
  return EnsureFileWritten(path, [&](const std::string& part) { WriteDatabase(part, compressed, rows, lobEvery); });
}

// The file of the bench table in `folder`.
inline std::filesystem::path BenchTablePath(const std::filesystem::path& folder, bool compressed, int64_t rows,
                                            int64_t lobEvery) {
  return folder / ("pagewright_bench_rows_" + std::string(compressed ? "page" : "classic") + "_" +
                   std::to_string(rows) + "_lob" + std::to_string(lobEvery) + ".mdf");
}

}  // namespace pagewright::bench

#endif  // PAGEWRIGHT_BENCH_BENCH_TABLE_H_
