// Row readers of the system tables on pages written record by record.
#include <gtest/gtest.h>

#include "catalog/object_details.h"
#include "catalog/system_tables.h"
#include "records/record_enumeration.h"
#include "support/builder/database_builder.h"
#include "support/builder/record_builder.h"
#include "support/read_fixture.h"

namespace pagewright {
namespace {

using namespace build;

std::unique_ptr<CDataPage> PageOf(const std::vector<Bytes>& records, int32_t objectId = 41) {
  PageBuilder b(1, 20);
  b.ObjectId(objectId);
  for (const auto& r : records) b.AddRecord(r);
  auto page = std::make_unique<CDataPage>(b.Bytes(), nullptr);
  AppState state;
  BuildPrimaryRecordPage(*page, Ctx(state));
  return page;
}

Bytes ColumnRowBytes(int32_t objectId, int32_t columnId, int32_t status, std::vector<Bytes> var) {
  Bytes fixed = Concat({LE<int32_t>(objectId), LE<int16_t>(0), LE<int32_t>(columnId), Bytes{56}, LE<int32_t>(56),
                        LE<int16_t>(4), Bytes{10}, Bytes{0}, LE<int32_t>(0), LE<int32_t>(status), LE<int16_t>(4),
                        Bytes(12, 0)});
  RecordBuilder r;
  r.Fixed(fixed);
  for (auto& v : var) r.Variable(v);
  return r.Columns(16).Build();
}

TEST(IdentityText, SeedAndIncrementByValueLength) {
  EXPECT_EQ(IdentityText(Concat({LE<int32_t>(1), LE<int32_t>(100), LE<int32_t>(5)})), "identity(100,5)");
  EXPECT_EQ(IdentityText(Bytes{1, 2, 3}), "identity(1,1)");
  EXPECT_EQ(IdentityText(Concat({LE<int32_t>(9), LE<int32_t>(10), LE<int32_t>(0)})), "identity(10,1)")
      << "an increment stored as 0 shows as 1";
  EXPECT_EQ(IdentityText(Concat({LE<int16_t>(3), LE<int16_t>(-5), LE<int16_t>(2)})), "identity(-5,2)");
  // 24 bytes: a bigint seed and increment after a non-zero first word.
  EXPECT_EQ(IdentityText(Concat({LE<int32_t>(1), LE<int32_t>(0), LE<int64_t>(5000000000), LE<int64_t>(10)})),
            "identity(5000000000,10)");
}

TEST(ColumnReader, MissingNamesGetNumberedPlaceholders) {
  uint64_t counter = 0;
  AppState state;
  build::TempFile unused(std::vector<uint8_t>(8192, 0));
  auto reader = OpenForTest(state, unused.str(), unused.str(), nullptr);
  const ReadContext read = Ctx(state);
  WalkContext ctx{*reader, read, counter};
  auto page = PageOf({ColumnRowBytes(500, 1, 0, {}), ColumnRowBytes(500, 2, 0, {Bytes{}}),
                      ColumnRowBytes(500, 3, 0, {Utf16(u"Named")})});
  std::vector<ColumnRow> rows;
  ReadColumns(*page, ctx, rows);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].name, "RepairColumn0");
  EXPECT_EQ(rows[1].name, "RepairColumn1") << "an empty name counts as missing";
  EXPECT_EQ(rows[2].name, "Named");
  EXPECT_EQ(counter, 2u);
}

// Status bit 2 marks identity whatever bits sit beside it: 5 is NOT NULL
// identity, 0x10005 the same NOT FOR REPLICATION (AdventureWorksLT's
// CustomerID); 1 is a NOT NULL column whose var 1 is not an identity value.
TEST(ColumnReader, IdentityForEveryStatusWithTheIdentityBitAndAValue) {
  uint64_t counter = 0;
  AppState state;
  build::TempFile unused(std::vector<uint8_t>(8192, 0));
  auto reader = OpenForTest(state, unused.str(), unused.str(), nullptr);
  const ReadContext read = Ctx(state);
  WalkContext ctx{*reader, read, counter};
  Bytes identity = Concat({LE<int32_t>(1), LE<int32_t>(100), LE<int32_t>(5)});
  auto page = PageOf({ColumnRowBytes(500, 1, 5, {Utf16(u"A"), identity}), ColumnRowBytes(500, 2, 1, {Utf16(u"B"), identity}),
                      ColumnRowBytes(500, 3, 0x10005, {Utf16(u"C"), identity}), ColumnRowBytes(500, 4, 5, {Utf16(u"D")})});
  std::vector<ColumnRow> rows;
  ReadColumns(*page, ctx, rows);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].identityText, "identity(100,5)");
  EXPECT_EQ(rows[1].identityText, "");
  EXPECT_EQ(rows[2].identityText, "identity(100,5)");
  EXPECT_EQ(rows[3].identityText, "") << "no identity value";
}

TEST(ColumnReader, ShortRowsAreAddedWithDefaults) {
  uint64_t counter = 0;
  AppState state;
  build::TempFile unused(std::vector<uint8_t>(8192, 0));
  auto reader = OpenForTest(state, unused.str(), unused.str(), nullptr);
  const ReadContext read = Ctx(state);
  WalkContext ctx{*reader, read, counter};
  auto page = PageOf({RecordBuilder().FixedLE<int32_t>(500).Variable(Utf16(u"x")).Build()});
  std::vector<ColumnRow> rows;
  ReadColumns(*page, ctx, rows);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].objectId, -1);
  EXPECT_EQ(rows[0].systemTypeId, 255);
  EXPECT_EQ(rows[0].name, "");
  EXPECT_EQ(counter, 0u);
}

TEST(FileReader, ShortRowGivesFileIdZero) {
  AppState state;
  auto page = PageOf({RecordBuilder().Fixed(Bytes(100, 1)).Build()}, 8);
  std::vector<DatabaseFileRow> rows;
  ReadDatabaseFiles(*page, Ctx(state), rows);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].fileId, 0);
  EXPECT_TRUE(rows[0].physicalName.empty());
}

TEST(FileReader, NamesAreCutAtTheFirstZeroAndTrimmed) {
  Bytes logical = Utf16(u"Sales_Data   ");
  logical.resize(256, 0);
  Bytes physical = Utf16(u"D:\\data\\Sales_2.ndf");
  physical.resize(520, 0);
  Bytes fixed = Concat({LE<int32_t>(2), LE<int16_t>(3), logical, physical});
  AppState state;
  auto page = PageOf({RecordBuilder().Fixed(fixed).Build()}, 8);
  std::vector<DatabaseFileRow> rows;
  ReadDatabaseFiles(*page, Ctx(state), rows);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].fileId, 3);
  EXPECT_EQ(rows[0].logicalName, "Sales_Data");
  EXPECT_EQ(rows[0].physicalName, "D:\\data\\Sales_2.ndf");
}

TEST(ObjectReader, EmptyOrMissingNamesBecomeRepairnames) {
  uint64_t counter = 7;
  AppState state;
  build::TempFile unused(std::vector<uint8_t>(8192, 0));
  auto reader = OpenForTest(state, unused.str(), unused.str(), nullptr);
  const ReadContext read = Ctx(state);
  WalkContext ctx{*reader, read, counter};
  auto row = [](int32_t id, std::vector<Bytes> var) {
    Bytes fixed = Concat({LE<int32_t>(id), LE<int32_t>(1), Bytes{0}, LE<int32_t>(0), Ascii("U "), LE<int32_t>(0),
                          Bytes{0}, LE<int32_t>(0)});
    RecordBuilder r;
    r.Fixed(fixed);
    for (auto& v : var) r.Variable(v);
    return r.Columns(9).Build();
  };
  auto page = PageOf({row(100, {}), row(101, {Bytes{}}), row(-5, {Utf16(u"neg")}), row(102, {Utf16(u"Ok")})}, 34);
  std::vector<CatalogObject> rows;
  std::vector<ClassObjectRow> schemas = {{1, "dbo", 0}};
  ReadObjects(*page, ctx, schemas, false, rows);
  ASSERT_EQ(rows.size(), 3u) << "ids of 0 or less are skipped";
  EXPECT_EQ(rows[0].name, "dbo.Repairname7");
  EXPECT_EQ(rows[1].name, "dbo.Repairname8");
  EXPECT_EQ(rows[2].name, "dbo.Ok");
  EXPECT_EQ(rows[2].typeCode, "U ");
}

TEST(AllocationUnits, PageKeyIsBits16To47) {
  EXPECT_EQ(PageKeyOfAllocationUnit(72057594043236352, 72057594038321152), 0x51);
  EXPECT_EQ(PageKeyOfAllocationUnit(int64_t{1000} << 16, int64_t{1000} << 16), 1000);
}

TEST(ModuleText, HexPairsDecodeToWideOrAnsiText) {
  auto wide = DecodeModuleText("0x410042004300");
  ASSERT_TRUE(wide);
  EXPECT_TRUE(wide->wide);
  EXPECT_EQ(wide->text, "ABC");
  auto narrow = DecodeModuleText("0x414243");
  ASSERT_TRUE(narrow);
  EXPECT_FALSE(narrow->wide);
  EXPECT_EQ(narrow->text, "ABC");
  EXPECT_FALSE(DecodeModuleText("0"));
  EXPECT_FALSE(DecodeModuleText(""));
  auto odd = DecodeModuleText("0x41424");
  ASSERT_TRUE(odd);
  EXPECT_EQ(odd->text, "AB@") << "a trailing digit pairs with the terminator";
  // Text without Latin letters has no zero bytes: Cyrillic still reads as
  // UTF-16 (its 8-bit reading is full of control bytes), and a definition
  // is UTF-16 whatever its letters.
  EXPECT_EQ(DecodeModuleText("0x1F04430441043A04")->text, "Пуск");
  EXPECT_EQ(DecodeModuleText("0x2D4E8765", ModuleTextKind::kDefinition)->text, "中文");
  EXPECT_EQ(DecodeModuleText("0x41424344")->text, "ABCD");
}

}  // namespace
}  // namespace pagewright
