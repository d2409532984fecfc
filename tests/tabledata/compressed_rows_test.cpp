// Row- and page-compressed tables read back cell by cell: every value the
// builder wrote, the same text a classic table of the same rows shows,
// through single pages and through grid paging.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "catalog/object_details.h"
#include "support/builder/catalog_builder.h"
#include "tabledata/page_rows.h"
#include "support/builder/compression_builder.h"
#include "support/builder/lob_builder.h"
#include "support/read_fixture.h"
#include "tabledata/record_paging.h"

namespace pagewright {
namespace {

using namespace build;

ColumnSpec Typed(const std::string& name, uint8_t type, int16_t maxLength, bool nullable = true) {
  ColumnSpec c;
  c.name = name;
  c.type = type;
  c.maxLength = maxLength;
  c.nullable = nullable;
  return c;
}

// Text padded with spaces to a char / nchar column's width, as SQL Server
// stores it.
std::string Padded(const std::string& s, size_t width) { return s + std::string(width - s.size(), ' '); }
std::u16string Padded(const std::u16string& s, size_t width) { return s + std::u16string(width - s.size(), u' '); }

std::vector<ColumnSpec> MixedColumns() {
  return {IntColumn("Id", false),
          Typed("Small", kSqlSmallint, 2),
          BigintColumn("Big"),
          Typed("Tiny", kSqlTinyint, 1),
          BitColumn("Flag"),
          BitColumn("Other"),
          MoneyColumn("Price"),
          CharColumn("Code", 10),
          VarcharColumn("Name", 40),
          NcharColumn("Wide", 8),
          NvarcharColumn("Note", 60),
          Typed("Raw", kSqlBinary, 6),
          VarbinaryColumn("Blob", 20),
          GuidColumn("Guid"),
          DateColumn("Day"),
          NvarcharColumn("Memo", -1)};
}

const std::u16string kNotes[] = {u"Привет, мир!", u"数据库 recovery tool 恢复工具!", u"plain ascii note", u"",
                                 u"Съешь же ещё этих мягких французских булок", u"Да"};

// Row i of the mixed table: NULLs, zeros, negatives, empty and full-width
// strings, repeated values (dictionary) and shared prefixes (anchors).
std::vector<Value> MixedRow(int i) {
  const std::string code = i % 11 == 0   ? std::string()
                            : i % 13 == 0 ? std::string("ABCDEFGHIJ")
                                          : "AB-" + std::to_string(1000 + i % 300);
  const std::string name = i % 9 == 0 ? std::string() : i % 4 == 0 ? "Bob" : "Customer number " + std::to_string(i / 3);
  Bytes guid(16);
  for (size_t k = 0; k < 16; ++k) guid[k] = static_cast<uint8_t>(i * 7 + static_cast<int>(k) * 13);
  Bytes blob = i % 6 == 0 ? Bytes{} : i % 6 == 1 ? Bytes{0xDE, 0xAD} : Bytes(12, static_cast<uint8_t>(i));
  const std::u16string wide = i % 5 == 0 ? u"" : i % 5 == 1 ? u"Да" : i % 5 == 2 ? u"日本" : u"wide" + std::u16string(1, u'0' + static_cast<char16_t>(i % 10));
  return {IntValue(i),
          i % 7 == 0 ? Null() : SmallintValue(static_cast<int16_t>(i * 37 - 9000)),
          i % 5 == 0 ? BigintValue(0) : BigintValue(static_cast<int64_t>(i) * -123456789012LL),
          RawValue({static_cast<uint8_t>(i % 256)}),
          BitValue(i % 2 == 1),
          i % 3 == 0 ? Null() : BitValue(i % 5 == 0),
          MoneyValue(static_cast<int64_t>(i - 300) * 12345),
          TextValue(Padded(code, 10)),
          i % 17 == 0 ? Null() : TextValue(name),
          UnicodeValue(Padded(wide, 8)),
          i % 19 == 0 ? Null() : UnicodeValue(kNotes[i % 6]),
          RawValue({static_cast<uint8_t>(i), static_cast<uint8_t>(i + 1), 0, 0, i % 4 == 0 ? uint8_t{9} : uint8_t{0}, 0}),
          i % 23 == 0 ? Null() : RawValue(blob),
          GuidValue(guid),
          DateValue(730000 + i),
          i % 8 == 0 ? Null() : UnicodeValue(u"memo " + std::u16string(static_cast<size_t>(i % 30), u'м'))};
}

std::string Utf8(const std::u16string& text) {
  std::string out;
  for (char16_t u : text) {  // the texts here are all in the Basic Multilingual Plane
    if (u < 0x80) {
      out += static_cast<char>(u);
    } else if (u < 0x800) {
      out += static_cast<char>(0xC0 | (u >> 6));
      out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (u >> 12));
      out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return out;
}

std::string HexText(const Bytes& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out = "0x";
  for (uint8_t b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

std::string MoneyText(int64_t tenThousandths) {
  const uint64_t m = tenThousandths < 0 ? 0 - static_cast<uint64_t>(tenThousandths) : static_cast<uint64_t>(tenThousandths);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%s%llu.%04llu", tenThousandths < 0 ? "-" : "", static_cast<unsigned long long>(m / 10000),
                static_cast<unsigned long long>(m % 10000));
  return buf;
}

std::string DateText(int32_t daysSince0001) {
  using namespace std::chrono;
  const year_month_day d{sys_days{year{1} / January / 1} + days{daysSince0001}};
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", static_cast<int>(d.year()), static_cast<unsigned>(d.month()),
                static_cast<unsigned>(d.day()));
  return buf;
}

std::string GuidText(const Bytes& v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", v[3], v[2], v[1],
                v[0], v[5], v[4], v[7], v[6], v[8], v[9], v[10], v[11], v[12], v[13], v[14], v[15]);
  return buf;
}

// The text every cell of row i must show: the values MixedRow wrote,
// formatted independently of the decoder.
DecodedRow ExpectedRow(int i) {
  const std::vector<Value> v = MixedRow(i);
  // (the text of a NULL value is worked out from no bytes, then dropped)
  auto orNull = [&](size_t c, const std::string& text) { return v[c].isNull ? std::string("NULL") : text; };
  auto ascii = [&](size_t c) { return std::string(v[c].bytes.begin(), v[c].bytes.end()); };
  auto unicode = [&](size_t c) {
    std::u16string text;
    for (size_t k = 0; k + 1 < v[c].bytes.size(); k += 2)
      text += static_cast<char16_t>(v[c].bytes[k] | v[c].bytes[k + 1] << 8);
    return Utf8(text);
  };
  auto integer = [&](size_t c, size_t width) {
    int64_t x = 0;
    for (size_t k = 0; k < width && k < v[c].bytes.size(); ++k) x |= int64_t{v[c].bytes[k]} << (8 * k);
    if (width < 8 && (x >> (8 * width - 1) & 1)) x -= int64_t{1} << (8 * width);
    return std::to_string(x);
  };
  return {std::to_string(i),
          orNull(1, integer(1, 2)),
          integer(2, 8),
          std::to_string(i % 256),
          i % 2 == 1 ? "True" : "False",
          orNull(5, i % 5 == 0 ? "True" : "False"),
          MoneyText(static_cast<int64_t>(i - 300) * 12345),
          ascii(7),
          orNull(8, ascii(8)),
          unicode(9),
          orNull(10, unicode(10)),
          HexText(v[11].bytes),
          orNull(12, HexText(v[12].bytes)),
          GuidText(v[13].bytes),
          DateText(730000 + i),
          orNull(15, unicode(15))};
}

std::vector<DecodedRow> ExpectedRows(int count) {
  std::vector<DecodedRow> out;
  for (int i = 0; i < count; ++i) out.push_back(ExpectedRow(i));
  return out;
}

TableDef MixedTable(const std::string& name, int rows, decltype(TableDef::dataPages) pages) {
  TableDef t;
  t.name = name;
  t.columns = MixedColumns();
  for (int i = 0; i < rows; ++i) t.rows.push_back(MixedRow(i));
  t.dataPages = std::move(pages);
  t.clustered = true;  // read along the chain of data pages: rows in the order written
  t.primaryKey = {0};
  return t;
}

struct Scanned {
  AppState state;
  DatabaseBuilder db;
  std::unique_ptr<TempFile> file;
  std::unique_ptr<DatabaseReader> reader;
  std::unique_ptr<DatabaseCatalog> catalog;

  Scanned(CatalogBuilder& b, bool showDeleted = false, const LobStore* lob = nullptr) : db(b.Build()) {
    if (lob) lob->WriteInto(db);
    state.showDeleted = showDeleted;
    file = std::make_unique<TempFile>(db.Build());
    reader = OpenForTest(state, file->str(), file->str(), nullptr);
    catalog = BuildCatalog(state, *reader);
  }

  // Every row of a table, page by page as the table view reads them.
  std::vector<DecodedRow> Rows(const std::string& table) { return RowsPageByPage(state, *reader, *catalog, table); }

  // Every row through the grid: the first grid page, then Next until the end.
  std::vector<DecodedRow> GridRows(const std::string& table, int* gridPages) {
    auto columns = SelectDetails(*catalog, table, "U ", {});
    RecordPaging paging = PagingFor(state, *reader, *catalog);
    std::vector<DecodedRow> out = paging.ShowTable(columns, false, {});
    *gridPages = 1;
    while (paging.HasNext()) {
      auto next = paging.NextPage({});
      if (next.empty()) break;
      ++*gridPages;
      out.insert(out.end(), next.begin(), next.end());
    }
    return out;
  }

  // How many of a table's data pages carry compression information with
  // an anchor record (header byte 0x02) and a dictionary (0x04).
  std::pair<int, int> InformationRecords(const CatalogBuilder& b, const std::string& table) {
    int anchors = 0, dictionaries = 0;
    for (uint32_t p : b.built().at(table).dataPages) {
      const auto& bytes = db.PageBytes(p);
      if ((bytes[2] & 0x80) == 0) continue;
      anchors += (bytes[96] & 0x02) != 0;
      dictionaries += (bytes[96] & 0x04) != 0;
    }
    return {anchors, dictionaries};
  }
};

void ExpectSameRows(const std::vector<DecodedRow>& actual, const std::vector<DecodedRow>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t r = 0; r < expected.size(); ++r) {
    ASSERT_EQ(actual[r].size(), expected[r].size());
    for (size_t c = 0; c < expected[r].size(); ++c)
      EXPECT_EQ(actual[r][c], expected[r][c]) << "row " << r << " column " << c;
  }
}

TEST(CompressedTables, ClassicReferenceShowsTheValuesWritten) {
  CatalogBuilder b;
  b.AddTable(MixedTable("Classic", 40, {}));
  Scanned s(b);
  auto rows = s.Rows("dbo.Classic");
  ASSERT_EQ(rows.size(), 40u);
  ExpectSameRows(rows, ExpectedRows(40));
  // Spot checks of the reference the compressed tables are held to.
  EXPECT_EQ(rows[0][0], "0");
  EXPECT_EQ(rows[0][2], "0");
  EXPECT_EQ(rows[1][2], "-123456789012");
  EXPECT_EQ(rows[1][4], "True");
  EXPECT_EQ(rows[1][6], "-369.1155");
  EXPECT_EQ(rows[1][7], "AB-1001   ");
  EXPECT_EQ(rows[0][7], "          ");
  EXPECT_EQ(rows[26][7], "ABCDEFGHIJ");
  EXPECT_EQ(rows[1][9], "Да      ");
  EXPECT_EQ(rows[1][10], "数据库 recovery tool 恢复工具!");
  EXPECT_EQ(rows[1][11], "0x010200000000");
  EXPECT_EQ(rows[1][12], "0xDEAD");
  EXPECT_EQ(rows[6][12], "0x");
  EXPECT_EQ(rows[0][15], "NULL");
}

class CompressedTableKinds : public ::testing::TestWithParam<Compression> {};

TEST_P(CompressedTableKinds, EveryCellShowsTheValueWritten) {
  CatalogBuilder b;
  b.AddTable(MixedTable("Classic", 700, {}));
  b.AddTable(MixedTable("Compressed", 700, CompressedPages(GetParam())));
  Scanned s(b);
  ASSERT_GT(b.built().at("dbo.Compressed").dataPages.size(), 1u);
  if (GetParam() == Compression::kPage) {
    auto [anchors, dictionaries] = s.InformationRecords(b, "dbo.Compressed");
    EXPECT_GT(anchors, 0) << "prefixes are exercised";
    EXPECT_GT(dictionaries, 0) << "symbols are exercised";
  }
  auto classic = s.Rows("dbo.Classic");
  ExpectSameRows(classic, ExpectedRows(700));
  ExpectSameRows(s.Rows("dbo.Compressed"), ExpectedRows(700));
}

TEST_P(CompressedTableKinds, GridPagesThroughRecordPaging) {
  CatalogBuilder b;
  b.AddTable(MixedTable("Classic", 2300, {}));
  b.AddTable(MixedTable("Compressed", 2300, CompressedPages(GetParam())));
  Scanned s(b);
  int classicPages = 0, compressedPages = 0;
  auto expected = s.GridRows("dbo.Classic", &classicPages);
  auto actual = s.GridRows("dbo.Compressed", &compressedPages);
  ASSERT_EQ(expected.size(), 2300u);
  EXPECT_EQ(compressedPages, 3);
  EXPECT_EQ(classicPages, 3);
  ExpectSameRows(expected, ExpectedRows(2300));
  ExpectSameRows(actual, ExpectedRows(2300));
}

TEST_P(CompressedTableKinds, GhostRowsComeBackWithShowDeleted) {
  CatalogBuilder b;
  TableDef t = MixedTable("Compressed", 5, CompressedPages(GetParam()));
  t.ghostRows = {MixedRow(5), MixedRow(6)};
  b.AddTable(t);
  EXPECT_EQ(Scanned(b).Rows("dbo.Compressed").size(), 5u);
  auto rows = Scanned(b, true).Rows("dbo.Compressed");
  ASSERT_EQ(rows.size(), 7u);
  EXPECT_EQ(rows[6][0], "6");
  EXPECT_EQ(rows[6], Scanned(b, true).Rows("dbo.Compressed")[6]) << "the deleted row in full";
  EXPECT_EQ(rows[5][7], "AB-1005   ");
}

TEST_P(CompressedTableKinds, HeapsFoundThroughTheirAllocationPages) {
  // Two heaps of several extents each, the second one's first pages among
  // the first one's: every row through the IAM chain, in its order.
  CatalogBuilder b;
  TableDef classic = MixedTable("Classic", 1500, {});
  TableDef compressed = MixedTable("Compressed", 1500, CompressedPages(GetParam()));
  for (TableDef* t : {&classic, &compressed}) {
    t->clustered = false;
    t->primaryKey.clear();
  }
  b.AddTable(classic);
  b.AddTable(compressed);
  Scanned s(b);
  auto expected = ExpectedRows(1500);
  std::sort(expected.begin(), expected.end());
  for (const char* table : {"dbo.Classic", "dbo.Compressed"}) {
    SCOPED_TRACE(table);
    int gridPages = 0;
    auto rows = s.GridRows(table, &gridPages);
    std::sort(rows.begin(), rows.end());
    ExpectSameRows(rows, expected);
  }
}

INSTANTIATE_TEST_SUITE_P(Compression, CompressedTableKinds, ::testing::Values(Compression::kRow, Compression::kPage),
                         [](const auto& p) { return p.param == Compression::kRow ? "Row" : "Page"; });

TEST(CompressedTables, EmptyValuesShowTheirTypesEmptyValue) {
  CatalogBuilder b;
  TableDef t;
  t.name = "Empties";
  t.columns = {IntColumn("I"),    BigintColumn("B"), BitColumn("F"), MoneyColumn("M"), CharColumn("C", 5),
               NcharColumn("N", 3), VarcharColumn("V", 10), VarbinaryColumn("VB", 10)};
  t.rows = {{IntValue(0), BigintValue(0), BitValue(false), MoneyValue(0), TextValue("     "),
             UnicodeValue(u"   "), TextValue(""), RawValue({})}};
  t.dataPages = CompressedPages(Compression::kRow);
  b.AddTable(t);
  Scanned s(b);
  auto rows = s.Rows("dbo.Empties");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (DecodedRow{"0", "0", "False", "0.0000", "     ", "   ", "", "0x"}));
}

TEST(CompressedTables, BitOneKeepsLongValuesWithTheirColumns) {
  // A bit 1 has no long value: taking it for one moved every later long
  // value one column on.
  CatalogBuilder b;
  TableDef t;
  t.name = "Bits";
  t.columns = {BitColumn("A"), VarcharColumn("First", 40), BitColumn("B"), VarcharColumn("Second", 40)};
  t.rows = {{BitValue(true), TextValue("first long value"), BitValue(true), TextValue("second long value")},
            {BitValue(false), TextValue("another first one"), BitValue(true), TextValue("short")}};
  t.dataPages = CompressedPages(Compression::kRow);
  b.AddTable(t);
  Scanned s(b);
  auto rows = s.Rows("dbo.Bits");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (DecodedRow{"True", "first long value", "True", "second long value"}));
  EXPECT_EQ(rows[1], (DecodedRow{"False", "another first one", "True", "short"}));
}

TEST(CompressedTables, ThirtyAndThirtyOneColumnsWithShortAndLongValues) {
  for (int columns : {30, 31}) {
    SCOPED_TRACE(columns);
    CatalogBuilder b;
    TableDef t;
    t.name = "Wide";
    for (int c = 0; c < columns - 1; ++c) t.columns.push_back(IntColumn("I" + std::to_string(c)));
    t.columns.push_back(VarcharColumn("Tail", 50));
    std::vector<DecodedRow> expected;
    for (int r = 0; r < 20; ++r) {
      std::vector<Value> row;
      DecodedRow text;
      for (int c = 0; c < columns - 1; ++c) {
        const int v = (r - 10) * 1000 + c;
        row.push_back((r + c) % 4 == 0 ? Null() : IntValue(v));
        text.push_back((r + c) % 4 == 0 ? "NULL" : std::to_string(v));
      }
      row.push_back(TextValue("the tail value of row " + std::to_string(r)));
      text.push_back("the tail value of row " + std::to_string(r));
      t.rows.push_back(row);
      expected.push_back(text);
    }
    t.dataPages = CompressedPages(Compression::kRow);
    b.AddTable(t);
    Scanned s(b);
    ExpectSameRows(s.Rows("dbo.Wide"), expected);
  }
}

TEST(CompressedTables, TextPointerInACompressedRecordReadsItsTextPages) {
  LobStore lob;
  const std::string body(9000, 'b');
  const Bytes pointer = lob.TextPointerTo(Ascii(body));
  CatalogBuilder b;
  TableDef t;
  t.name = "Docs";
  t.columns = {IntColumn("Id", false), Typed("Body", kSqlText, 16), VarcharColumn("After", 30)};
  t.rows = {{IntValue(1), ComplexValue(pointer), TextValue("after the pointer")}, {IntValue(2), Null(), TextValue("x")}};
  t.dataPages = CompressedPages(Compression::kPage);
  b.AddTable(t);
  Scanned s(b, false, &lob);
  auto rows = s.Rows("dbo.Docs");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (DecodedRow{"1", body, "after the pointer"}));
  EXPECT_EQ(rows[1], (DecodedRow{"2", "NULL", "x"}));
}

}  // namespace
}  // namespace pagewright
