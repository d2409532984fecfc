// Large values in table rows: placeholders on the first grid page, whole
// values on later ones, the "0x" of binary types, and xml read even where
// other large values show placeholders.
#include <gtest/gtest.h>

#include "catalog/object_details.h"
#include "support/builder/catalog_builder.h"
#include "support/builder/lob_builder.h"
#include "support/read_fixture.h"
#include "tabledata/record_paging.h"

namespace pagewright {
namespace {

using namespace build;

const std::u16string kNote = u"Заметка: 注意 ✓ ";
const std::string kNoteText = "Заметка: 注意 ✓ ";

template <typename Text>
Text Repeat(const Text& s, int n) {
  Text out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}
std::string Hex(const Bytes& b) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (uint8_t c : b) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

struct Scanned {
  AppState state;
  std::unique_ptr<TempFile> file;
  std::unique_ptr<DatabaseReader> reader;
  std::unique_ptr<DatabaseCatalog> catalog;
  std::vector<ColumnDescriptor> columns;

  Scanned(CatalogBuilder& b, const LobStore& lob, const std::string& table) {
    DatabaseBuilder db = b.Build();
    lob.WriteInto(db);
    file = std::make_unique<TempFile>(db.Build());
    reader = OpenForTest(state, file->str(), file->str(), nullptr);
    catalog = BuildCatalog(state, *reader);
    state.pageSource = 2;  // after a scan, rows come from the damaged file
    columns = SelectDetails(*catalog, table, "U ", {});
  }
  // The rows of the table's first page, decoded with or without
  // placeholders by the chosen decoder.
  std::vector<DecodedRow> FirstPageRows(bool placeholders, bool rowset = true) {
    RowDecodeContext context{columns};
    auto rows = ReadPageRows(*reader, RowsCtx(state, placeholders), Selected(*catalog).tablePages.at(0), context, DecodeMode{rowset, false});
    return rows;
  }
};

// Text, ntext and image behind text pointers; the values of SQL Server
// 2000 and of later catalogs read the same way.
class ClassicLargeValues : public ::testing::TestWithParam<bool> {};

TEST_P(ClassicLargeValues, PlaceholdersOnTheFirstGridPageValuesOnTheNext) {
  const std::string body = Repeat(std::string("The quick brown fox. "), 700);  // 14700 bytes: two fragments
  const Bytes picture = [] {
    Bytes b;
    for (int i = 0; i < 9000; ++i) b.push_back(static_cast<uint8_t>(i * 7));
    return b;
  }();
  LobStore lob;
  const Bytes bodyPointer = lob.TextPointerTo(Ascii(body));
  const Bytes notePointer = lob.TextPointerTo(Utf16(Repeat(kNote, 300)), 4001);  // odd cuts
  const Bytes picturePointer = lob.TextPointerTo(picture);
  const Bytes emptyPointer = TextPointer(lob.Place(SmallRootStructure({})));

  CatalogBuilder b(GetParam());
  TableDef t;
  t.name = "Documents";
  t.clustered = true;  // pages in key order: the chain of data pages
  t.primaryKey = {0};
  t.columns = {IntColumn("Id", false), TypedColumn("Body", kSqlText, 16), TypedColumn("Note", kSqlNtext, 16),
               TypedColumn("Picture", kSqlImage, 16), TypedColumn("Blank", kSqlImage, 16)};
  for (int i = 0; i < 1001; ++i) {
    t.rows.push_back({IntValue(i), ComplexValue(bodyPointer), ComplexValue(notePointer),
                      ComplexValue(picturePointer), ComplexValue(emptyPointer)});
  }
  b.AddTable(t);
  Scanned s(b, lob, "dbo.Documents");

  RecordPaging paging = PagingFor(s.state, *s.reader, *s.catalog);
  auto first = paging.ShowTable(s.columns, false, {});
  ASSERT_EQ(first.size(), 1000u);
  EXPECT_EQ(first[0], (DecodedRow{"0", "<BINARY DATA>", "<BINARY DATA>", "<BINARY DATA>", "<BINARY DATA>"}));
  // What a placeholder stands for, read again in full on request; the
  // record counts from the grid page's start.
  std::optional<TypedRow> full = paging.FullRow(997);
  ASSERT_TRUE(full.has_value());
  ASSERT_EQ(full->cells.size(), 5u);
  EXPECT_EQ(full->cells[0].integer, 997);
  EXPECT_EQ(full->cells[1].text, body);
  EXPECT_EQ(full->cells[3].bytes, picture);
  EXPECT_FALSE(paging.FullRow(1000).has_value()) << "past the grid page";
  ASSERT_TRUE(paging.HasNext());
  auto next = paging.NextPage({});
  ASSERT_EQ(next.size(), 1u);
  EXPECT_EQ(next[0][0], "1000");
  EXPECT_EQ(next[0][1], body);
  EXPECT_EQ(next[0][2], Repeat(kNoteText, 300));
  EXPECT_EQ(next[0][3], "0x" + Hex(picture));
  EXPECT_EQ(next[0][4], " ") << "an empty image value shows a space, without 0x";
  ASSERT_TRUE(paging.FullRow(0).has_value());
  EXPECT_EQ(paging.FullRow(0)->cells[0].integer, 1000);
  EXPECT_EQ(paging.FullRow(0)->cells[2].text, Repeat(kNoteText, 300));
  // Paging back loads the first grid page without placeholders.
  auto back = paging.PreviousPage({});
  ASSERT_EQ(back.size(), 1000u);
  EXPECT_EQ(back[999][1], body);
}

INSTANTIATE_TEST_SUITE_P(Catalogs, ClassicLargeValues, ::testing::Values(false, true),
                         [](const auto& p) { return p.param ? "Sql2000" : "Sql2005AndLater"; });

struct MaxTypesTable {
  std::string big = Repeat(std::string("varchar(max) value "), 900);  // 17100 bytes
  std::u16string wide = Repeat(std::u16string(u"ширина 幅 🙂 "), 1200);
  Bytes blob = Bytes(20000, 0xA5);
  std::string overflow = std::string(7000, 'o');
  LobStore lob;
  CatalogBuilder builder;

  MaxTypesTable() {
    TableDef t;
    t.name = "MaxTypes";
    t.columns = {IntColumn("Id", false),          VarcharColumn("Big", -1),     NvarcharColumn("Wide", -1),
                 VarbinaryColumn("Blob", -1),      VarcharColumn("Overflow", 8000), TypedColumn("Doc", kSqlXml, -1),
                 VarbinaryColumn("Small", 20)};
    t.rows.push_back({IntValue(1), ComplexValue(lob.InRowRootTo(Ascii(big))),
                      ComplexValue(lob.InRowRootTo(Utf16(wide), 3001)), ComplexValue(lob.InRowRootTo(blob)),
                      ComplexValue(lob.RowOverflowTo(Ascii(overflow))), ComplexValue(lob.InRowRootTo(SmallBinaryXmlDocument())),
                      RawValue({})});
    builder.AddTable(t);
  }
};

TEST(MaxTypeLargeValues, OffRowRootsShowBigBinaryDataOnlyWithPlaceholders) {
  MaxTypesTable m;
  Scanned s(m.builder, m.lob, "dbo.MaxTypes");
  auto shown = s.FirstPageRows(true);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0][1], "<BIG BINARY DATA>");
  EXPECT_EQ(shown[0][2], "<BIG BINARY DATA>");
  EXPECT_EQ(shown[0][3], "<BIG BINARY DATA>") << "no 0x before a placeholder";
  EXPECT_EQ(shown[0][4], m.overflow) << "row-overflow values are read even on the first page";
  EXPECT_EQ(shown[0][6], "0x") << "an empty varbinary";

  auto full = s.FirstPageRows(false);
  ASSERT_EQ(full.size(), 1u);
  EXPECT_EQ(full[0][1], m.big);
  EXPECT_EQ(full[0][2], Repeat(std::string("ширина 幅 🙂 "), 1200));
  EXPECT_EQ(full[0][3], "0x" + Hex(m.blob));
  EXPECT_EQ(full[0][4], m.overflow);
  EXPECT_EQ(full[0][6], "0x");
}

TEST(MaxTypeLargeValues, XmlIsConvertedByTheRowsetDecoderEvenWithPlaceholders) {
  MaxTypesTable m;
  Scanned s(m.builder, m.lob, "dbo.MaxTypes");
  const std::string converted = s.FirstPageRows(false).at(0).at(5);
  const std::string rowsetShown = s.FirstPageRows(true).at(0).at(5);
  EXPECT_NE(rowsetShown, "<BIG BINARY DATA>");
  EXPECT_EQ(rowsetShown, converted);
  // The positional decoder keeps the placeholder for an xml root.
  EXPECT_EQ(s.FirstPageRows(true, false).at(0).at(5), "<BIG BINARY DATA>");
}

}  // namespace
}  // namespace pagewright
