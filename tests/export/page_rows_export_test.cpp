// Rows of many pages through the export, in classic and page-compressed
// records: every page is decoded into the cells of the page before it (a
// long text, then a short one, then NULL, in the same cell), CSV fields
// are scanned for quotes in wide steps, and SQLite takes a page's rows in
// statements of several rows. The oracle is the generator of the rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "csv_reading.h"
#include "export/table_stream.h"
#include "pagestore/collation_table.h"
#include "records/record_enumeration.h"
#include "support/builder/catalog_builder.h"
#include "support/builder/compression_builder.h"
#include "support/builder/database_builder.h"

namespace pagewright {
namespace {

using namespace build;

constexpr int kRows = 700;

// One generated row: its values and the CSV field text each should give.
struct GeneratedRow {
  std::vector<Value> values;
  std::vector<std::string> csv;
  std::string sqlite;  // "Id|quote(Word)|quote(Wide)|hex(Blob)|Amount to 4 places|__deleted"
};

std::string CsvField(const std::string& text) {
  if (!text.empty() && text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  return out + "\"";
}

std::string SqlQuoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out.push_back('\'');
    out.push_back(c);
  }
  return out + "'";
}

std::string Money(int64_t tenThousandths) {
  const bool negative = tenThousandths < 0;
  const uint64_t m = negative ? 0 - static_cast<uint64_t>(tenThousandths) : static_cast<uint64_t>(tenThousandths);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%s%llu.%04llu", negative ? "-" : "", static_cast<unsigned long long>(m / 10000),
                static_cast<unsigned long long>(m % 10000));
  return buf;
}

// Texts of lengths 0 to 150 with a comma, quote, CR or LF at a position
// that moves through the text (inside the first sixteen bytes, in a later
// block, in the tail); every 7th NULL.
GeneratedRow Generate(int i) {
  GeneratedRow g;
  g.values.push_back(IntValue(i));
  g.csv.push_back(std::to_string(i));
  std::string sqlite = std::to_string(i);

  if (i % 7 == 3) {
    g.values.push_back(Null());
    g.csv.emplace_back();
    sqlite += "|NULL";
  } else {
    const size_t length = static_cast<size_t>((i * 37) % 151);
    std::string word;
    for (size_t k = 0; k < length; ++k) word.push_back(static_cast<char>('a' + (i + static_cast<int>(k)) % 26));
    if (length > 0 && i % 3 != 0) word[static_cast<size_t>(i) % length] = ",\"\r\n"[i % 4];
    g.values.push_back(TextValue(word));
    g.csv.push_back(CsvField(word));
    sqlite += "|" + SqlQuoted(word);
  }

  if (i % 5 == 1) {
    g.values.push_back(Null());
    g.csv.emplace_back();
    sqlite += "|NULL";
  } else {
    std::u16string wide;
    std::string utf8;
    for (int k = 0; k < i % 23; ++k) {
      if (k % 3 == 0) {
        wide.push_back(u'\u0416');
        utf8 += "\xD0\x96";
      } else {
        wide.push_back(static_cast<char16_t>(u'A' + k));
        utf8.push_back(static_cast<char>('A' + k));
      }
    }
    g.values.push_back(UnicodeValue(wide));
    g.csv.push_back(CsvField(utf8));
    sqlite += "|" + SqlQuoted(utf8);
  }

  if (i % 4 == 2) {
    g.values.push_back(Null());
    g.csv.emplace_back();
    sqlite += "|";
  } else {
    Bytes blob(static_cast<size_t>((i * 13) % 41));
    for (size_t k = 0; k < blob.size(); ++k) blob[k] = static_cast<uint8_t>(i * 7 + static_cast<int>(k));
    g.values.push_back(RawValue(blob));
    g.csv.push_back("0x" + testing::UpperHex(blob));
    sqlite += "|" + testing::UpperHex(blob);
  }

  const int64_t amount = (static_cast<int64_t>(i) * 98765) % 4000000 - 2000000;
  if (i % 9 == 4) {
    g.values.push_back(Null());
    g.csv.emplace_back();
    sqlite += "|";
  } else {
    g.values.push_back(MoneyValue(amount));
    g.csv.push_back(Money(amount));
    sqlite += "|" + Money(amount);
  }
  g.sqlite = sqlite + "|0";
  return g;
}

std::vector<ColumnSpec> Columns() {
  return {IntColumn("Id", false), VarcharColumn("Word", 200), NvarcharColumn("Wide", 40), VarbinaryColumn("Blob", 60),
          MoneyColumn("Amount")};
}

void WriteTable(const std::filesystem::path& path, bool compressed) {
  CatalogBuilder b;
  TableDef t;
  t.name = "Rows";
  t.columns = Columns();
  if (compressed) {
    t.dataPages = [](const TableDef& table, DatabaseBuilder&) {
      CompressedPagePacker packer(table.columns, Compression::kPage);
      for (int i = 0; i < kRows; ++i) packer.Add(Generate(i).values);
      return packer.Finish();
    };
  } else {
    for (int i = 0; i < kRows; ++i) t.rows.push_back(Generate(i).values);
  }
  b.AddTable(t);
  b.Build().WriteTo(path);
}

// Where two texts part, with some text around it.
std::string FirstDifference(const std::string& got, const std::string& want) {
  size_t k = 0;
  while (k < got.size() && k < want.size() && got[k] == want[k]) ++k;
  const size_t from = k < 80 ? 0 : k - 80;
  return "first difference at byte " + std::to_string(k) + ":\n  got  " + got.substr(from, 160) + "\n  want " +
         want.substr(from, 160);
}

std::string RecordsName(const ::testing::TestParamInfo<bool>& param) {
  return param.param ? "PageCompressed" : "Classic";
}

class PageRowsExport : public ::testing::TestWithParam<bool> {};

// The ids of a CSV export's rows, in file order (the order of the table's
// pages, which need not be the order the rows were generated in).
std::vector<int> CsvIds(const std::string& text) {
  std::vector<int> ids;
  const auto records = testing::ParseCsv(text);
  for (size_t r = 1; r < records.size(); ++r) ids.push_back(std::atoi(records[r][0].text.c_str()));
  return ids;
}

std::vector<int> AllIds() {
  std::vector<int> ids(kRows);
  for (int i = 0; i < kRows; ++i) ids[static_cast<size_t>(i)] = i;
  return ids;
}

TEST_P(PageRowsExport, CsvHoldsEveryGeneratedValue) {
  TempFile file("rows.mdf");
  WriteTable(file.path(), GetParam());
  const auto folder = file.folder() / "csv";
  ExportResult result = testing::ExportFile(file.path(), ExportFormat::kCsv, folder);
  ASSERT_TRUE(result.finished) << result.error;
  ASSERT_EQ(result.tables.size(), 1u);
  EXPECT_EQ(result.ExitCode(), 0) << SummaryLine(result.tables[0]);
  EXPECT_EQ(result.tables[0].rows, kRows);
  EXPECT_GT(result.tables[0].counts.pages, 4) << "the rows must span several pages";
  const std::string text = testing::ReadWholeFile(folder / "dbo.Rows.csv");
  std::vector<int> ids = CsvIds(text);
  ASSERT_EQ(ids.size(), static_cast<size_t>(kRows));
  std::string expected = "Id,Word,Wide,Blob,Amount\r\n";
  for (int id : ids) {
    const GeneratedRow g = Generate(id);
    for (size_t k = 0; k < g.csv.size(); ++k) expected += (k ? "," : "") + g.csv[k];
    expected += "\r\n";
  }
  EXPECT_EQ(text.size(), expected.size());
  EXPECT_TRUE(text == expected) << FirstDifference(text, expected);
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(ids, AllIds()) << "every row once";
}

TEST_P(PageRowsExport, SqliteHoldsEveryGeneratedRowInPageOrder) {
  if (std::system("sqlite3 -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "the sqlite3 shell is not installed";
  TempFile file("rows.mdf");
  WriteTable(file.path(), GetParam());
  const auto db = file.folder() / "rows.sqlite";
  // With deleted rows shown each row has one parameter more.
  ExportResult result = testing::ExportFile(file.path(), ExportFormat::kSqlite, db, true);
  ASSERT_TRUE(result.finished) << result.error;
  ASSERT_EQ(result.tables.size(), 1u);
  EXPECT_EQ(result.tables[0].rows, kRows);
  // The rows go in in the order the CSV writer, which writes row by row,
  // puts them.
  const auto folder = file.folder() / "csv";
  ASSERT_TRUE(testing::ExportFile(file.path(), ExportFormat::kCsv, folder).finished);
  const std::vector<int> ids = CsvIds(testing::ReadWholeFile(folder / "dbo.Rows.csv"));
  ASSERT_EQ(ids.size(), static_cast<size_t>(kRows));
  const std::string out =
      testing::SqliteOutput(db, "select Id, quote(Word), quote(Wide), hex(Blob), case when Amount is null then '' else "
                                "printf('%.4f', Amount) end, __deleted from \"dbo.Rows\" order by rowid");
  std::string expected;
  for (int id : ids) expected += Generate(id).sqlite + "\n";
  EXPECT_EQ(out.size(), expected.size());
  EXPECT_TRUE(out == expected) << FirstDifference(out, expected);
}

// Every cell of every page decoded into the cells of other pages (the
// pages in an order that puts long values before short ones and NULLs)
// equals the cell decoded into a new row list.
TEST_P(PageRowsExport, CellsDecodedIntoEarlierPagesCellsEqualNewOnes) {
  TempFile file("rows.mdf");
  WriteTable(file.path(), GetParam());
  OpenedDatabase db = OpenForExport(ReadContext(), LoadCollationTable(testing::BinaryDir()), true, 0, file.str(),
                                    file.str(), nullptr);
  ASSERT_TRUE(db.reader && db.catalog);
  const TableEntry* table = FindTable(db.tables, "dbo.Rows");
  ASSERT_NE(table, nullptr);
  TableStream stream(*db.reader, *db.catalog, db.read, *table, false);
  ASSERT_GT(stream.pages().size(), 4u);
  const RowDecodeContext shared{stream.columns()};
  ReadContext read = db.read;
  read.columns = &shared;
  read.placeholders = false;
  RowDecodeContext reusedContext{stream.columns()};
  std::vector<TypedRow> reused;
  std::vector<size_t> order;
  for (size_t k = 0; k < stream.pages().size(); ++k) order.push_back(k);
  for (size_t k = stream.pages().size(); k-- > 0;) order.push_back(k);
  size_t cells = 0;
  for (size_t k : order) {
    auto page = LoadDataPage(*db.reader, read, stream.pages()[k]);
    ASSERT_TRUE(page);
    DecodePageCells(*page, reusedContext, *db.reader, read, DecodeMode{}, reused);
    RowDecodeContext freshContext{stream.columns()};
    std::vector<TypedRow> fresh;
    DecodePageCells(*page, freshContext, *db.reader, read, DecodeMode{}, fresh);
    ASSERT_EQ(reused.size(), fresh.size());
    for (size_t r = 0; r < fresh.size(); ++r) {
      ASSERT_EQ(reused[r].cells.size(), fresh[r].cells.size());
      EXPECT_EQ(reused[r].deleted, fresh[r].deleted);
      for (size_t c = 0; c < fresh[r].cells.size(); ++c, ++cells) {
        const CellValue& a = reused[r].cells[c];
        const CellValue& b = fresh[r].cells[c];
        SCOPED_TRACE("page " + std::to_string(k) + " row " + std::to_string(r) + " column " + std::to_string(c));
        EXPECT_EQ(a.kind, b.kind);
        EXPECT_EQ(a.hexPrefixes, b.hexPrefixes);
        EXPECT_EQ(a.single, b.single);
        EXPECT_EQ(a.blank, b.blank);
        EXPECT_EQ(a.integer, b.integer);
        EXPECT_EQ(a.real, b.real);
        EXPECT_EQ(a.text, b.text);
        EXPECT_EQ(a.bytes, b.bytes);
        EXPECT_EQ(DisplayText(a), DisplayText(b));
      }
    }
  }
  EXPECT_EQ(cells, 2u * kRows * stream.columns().size());
}

INSTANTIATE_TEST_SUITE_P(Records, PageRowsExport, ::testing::Values(false, true), RecordsName);

}  // namespace
}  // namespace pagewright
