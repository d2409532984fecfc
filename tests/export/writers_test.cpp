// The export writers on a built table whose values tell NULL from the empty
// string and from the text 'NULL', with quotes, commas, line breaks,
// Unicode, binary, exact decimals and floats, and a deleted row; and the
// names a user may give a table.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <set>

#include "csv_reading.h"
#include "support/builder/catalog_builder.h"
#include "support/cli_runner.h"
#include "support/builder/database_builder.h"
#include "support/creation_script.h"

namespace pagewright {
namespace {

using namespace build;

std::filesystem::path WriteValuesDatabase(const TempFile& file) {
  CatalogBuilder b;
  TableDef t;
  t.name = "Values";
  t.columns = {IntColumn("Id", false), VarcharColumn("Word", 30), NvarcharColumn("Wide", 20),
               VarbinaryColumn("Blob", 10), DecimalColumn("Price", 10, 2), FloatColumn("Ratio"), BitColumn("Flag")};
  t.rows = {
      {IntValue(1), TextValue("plain"), UnicodeValue(u"\u0416\u00e9"), RawValue({0x00, 0xAB}),
       DecimalValue(false, 123456, 10), FloatValue(0.1), BitValue(true)},
      {IntValue(2), TextValue(""), UnicodeValue(u"NULL"), RawValue({}), DecimalValue(true, 5, 10), FloatValue(-2.5),
       BitValue(false)},
      {IntValue(3), Null(), Null(), Null(), Null(), Null(), Null()},
      {IntValue(4), TextValue("a,\"b\"\r\nc"), UnicodeValue(u"tab\there"), RawValue({0xFF}),
       DecimalValue(false, 0, 10), FloatValue(1e300), BitValue(true)},
  };
  t.ghostRows = {{IntValue(5), TextValue("gone"), Null(), Null(), Null(), Null(), Null()}};
  b.AddTable(t);
  b.Build().WriteTo(file.path());
  return file.path();
}

TEST(CsvWriter, NullEmptyStringAndTheTextNullStayApart) {
  TempFile file("values.mdf");
  WriteValuesDatabase(file);
  const auto folder = file.folder() / "csv";
  ExportResult result = testing::ExportFile(file.path(), ExportFormat::kCsv, folder);
  ASSERT_TRUE(result.finished) << result.error;
  ASSERT_EQ(result.ExitCode(), 0);
  const std::string text = testing::ReadWholeFile(folder / "dbo.Values.csv");
  EXPECT_EQ(text,
            "Id,Word,Wide,Blob,Price,Ratio,Flag\r\n"
            "1,plain,\xD0\x96\xC3\xA9,0x00AB,1234.56,0.1,1\r\n"
            "2,\"\",NULL,0x,-0.05,-2.5,0\r\n"
            "3,,,,,,\r\n"
            "4,\"a,\"\"b\"\"\r\nc\",tab\there,0xFF,0.00,1e+300,1\r\n");
  const auto records = testing::ParseCsv(text);
  ASSERT_EQ(records.size(), 5u);
  EXPECT_TRUE(records[3][1].IsNull());
  EXPECT_FALSE(records[2][1].IsNull());
  EXPECT_EQ(records[2][2].text, "NULL");
  EXPECT_EQ(records[4][1].text, "a,\"b\"\r\nc");
}

TEST(JsonlWriter, NumbersStayNumbersDecimalsStringsBinaryBase64) {
  TempFile file("values.mdf");
  WriteValuesDatabase(file);
  const auto folder = file.folder() / "jsonl";
  ExportResult result = testing::ExportFile(file.path(), ExportFormat::kJsonl, folder, true);
  ASSERT_TRUE(result.finished) << result.error;
  const auto lines = testing::SplitLines(testing::ReadWholeFile(folder / "dbo.Values.jsonl"));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0],
            "{\"Id\":1,\"Word\":\"plain\",\"Wide\":\"\xD0\x96\xC3\xA9\",\"Blob\":\"AKs=\",\"Price\":\"1234.56\","
            "\"Ratio\":0.1,\"Flag\":true,\"__deleted\":false}");
  EXPECT_EQ(lines[1],
            "{\"Id\":2,\"Word\":\"\",\"Wide\":\"NULL\",\"Blob\":\"\",\"Price\":\"-0.05\",\"Ratio\":-2.5,"
            "\"Flag\":false,\"__deleted\":false}");
  EXPECT_EQ(lines[2],
            "{\"Id\":3,\"Word\":null,\"Wide\":null,\"Blob\":null,\"Price\":null,\"Ratio\":null,\"Flag\":null,"
            "\"__deleted\":false}");
  EXPECT_EQ(lines[3],
            "{\"Id\":4,\"Word\":\"a,\\\"b\\\"\\r\\nc\",\"Wide\":\"tab\\there\",\"Blob\":\"/w==\",\"Price\":\"0.00\","
            "\"Ratio\":1e+300,\"Flag\":true,\"__deleted\":false}");
  EXPECT_NE(lines[4].find("\"Id\":5,\"Word\":\"gone\""), std::string::npos);
  EXPECT_NE(lines[4].find("\"__deleted\":true}"), std::string::npos);
  ASSERT_EQ(result.tables.size(), 1u);
  EXPECT_EQ(result.tables[0].rows, 5);
  EXPECT_EQ(result.tables[0].deletedRows, 1);
}

TEST(SqliteWriter, StorageClassesFollowTheValues) {
  if (!testing::HaveSqliteShell()) GTEST_SKIP() << "the sqlite3 shell is not installed";
  TempFile file("values.mdf");
  WriteValuesDatabase(file);
  const auto db = file.folder() / "values.sqlite";
  ExportResult result = testing::ExportFile(file.path(), ExportFormat::kSqlite, db, true);
  ASSERT_TRUE(result.finished) << result.error;
  const std::string out = testing::SqliteOutput(
      db, "select Id, typeof(Word), quote(Word), quote(Wide), hex(Blob), typeof(Blob), typeof(Price), Ratio, Flag, "
          "__deleted from \"dbo.Values\" order by Id");
  EXPECT_EQ(out,
            "1|text|'plain'|'\xD0\x96\xC3\xA9'|00AB|blob|real|0.1|1|0\n"
            "2|text|''|'NULL'||blob|real|-2.5|0|0\n"
            "3|null|NULL|NULL||null|null|||0\n"
            "4|text|'a,\"b\"\r\nc'|'tab\there'|FF|blob|integer|1.0e+300|1|0\n"
            "5|text|'gone'|NULL||null|null|||1\n");
}

// SQLite keeps 15 significant digits of any text it turns into a number:
// money and long decimals are declared without affinity, and each value is
// stored as INTEGER or REAL only where that holds it exactly, else as its
// digits.
TEST(SqliteWriter, MoneyAndLongDecimalsKeepEveryDigit) {
  if (!testing::HaveSqliteShell()) GTEST_SKIP() << "the sqlite3 shell is not installed";
  TempFile file("money.mdf");
  CatalogBuilder b;
  TableDef t;
  t.name = "Money";
  t.columns = {IntColumn("Id", false), MoneyColumn("Amount"), DecimalColumn("Long", 28, 10), DecimalColumn("Short", 10, 2)};
  t.rows = {
      {IntValue(1), MoneyValue(INT64_MAX), DecimalValue(false, 12345678901234567891ull, 28), DecimalValue(false, 123456, 10)},
      {IntValue(2), MoneyValue(INT64_MIN), DecimalValue(true, 10000000000000000000ull, 28), DecimalValue(true, 5, 10)},
      {IntValue(3), MoneyValue(123400), DecimalValue(false, 25, 28), DecimalValue(false, 0, 10)},
      {IntValue(4), MoneyValue(100000000), Null(), Null()},
  };
  b.AddTable(t);
  b.Build().WriteTo(file.path());
  const auto db = file.folder() / "money.sqlite";
  ExportResult result = testing::ExportFile(file.path(), ExportFormat::kSqlite, db);
  ASSERT_TRUE(result.finished) << result.error;
  auto shell = [&](const std::string& sql) { return testing::SqliteOutput(db, sql); };
  EXPECT_EQ(shell("select sql from sqlite_master"),
            "CREATE TABLE \"dbo.Money\" (\"Id\" INTEGER, \"Amount\", \"Long\", \"Short\" NUMERIC)\n");
  EXPECT_EQ(shell("select Id, typeof(Amount), Amount, typeof(Long), Long, typeof(Short), Short from \"dbo.Money\" order by Id"),
            "1|text|922337203685477.5807|text|1234567890.1234567891|real|1234.56\n"
            "2|text|-922337203685477.5808|integer|-1000000000|real|-0.05\n"
            "3|real|12.34|real|2.5e-09|integer|0\n"
            "4|integer|10000|null||null|\n");
  EXPECT_EQ(shell("select sum(Amount) from \"dbo.Money\" where Id > 2"), "10012.34\n");
}

// Deleted rows in the T-SQL script: marked by [__deleted], each in an
// INSERT of its own so one whose key a kept row holds fails alone, and the
// foreign keys added WITH NOCHECK since such rows may name rows that are
// gone.
TEST(SqlWriter, DeletedRowsAreMarkedAndInsertedOneByOne) {
  TempFile file("rsvp.mdf");
  CatalogBuilder b;
  TableDef dinners;
  dinners.name = "Dinners";
  dinners.columns = {IntColumn("Id", false)};
  dinners.rows = {{IntValue(1)}, {IntValue(2)}};
  dinners.primaryKey = {0};
  b.AddTable(dinners);
  TableDef rsvp;
  rsvp.name = "Rsvp";
  rsvp.columns = {IntColumn("Id", false), IntColumn("DinnerId", false), VarcharColumn("Who", 20)};
  rsvp.rows = {{IntValue(1), IntValue(1), TextValue("a")}, {IntValue(2), IntValue(2), TextValue("b")},
               {IntValue(3), IntValue(1), TextValue("c")}};
  rsvp.ghostRows = {{IntValue(2), IntValue(2), TextValue("old b")}, {IntValue(4), IntValue(9), TextValue("gone")}};
  rsvp.primaryKey = {0};
  rsvp.foreignKeys = {{"FK_Rsvp_Dinners", {1}, "Dinners", {0}}};
  b.AddTable(rsvp);
  b.Build().WriteTo(file.path());

  const auto sql = file.folder() / "rsvp.sql";
  ExportResult result = testing::ExportFile(file.path(), ExportFormat::kSql, sql, true);
  ASSERT_TRUE(result.finished) << result.error;
  const std::string text = testing::ReadWholeFile(sql);
  EXPECT_NE(text.find("  [Who] varchar(20) NULL,\n  [__deleted] bit NOT NULL,\n"), std::string::npos) << text;
  EXPECT_NE(text.find("ALTER TABLE [dbo].[Rsvp] WITH NOCHECK ADD CONSTRAINT [FK_Rsvp_Dinners] FOREIGN KEY"),
            std::string::npos);

  // Every statement holding a deleted row holds nothing else.
  const std::string head = "INSERT INTO [dbo].[Rsvp] ([Id], [DinnerId], [Who], [__deleted]) VALUES\n";
  std::multiset<std::string> statements;
  for (size_t at = text.find(head); at != std::string::npos; at = text.find(head, at + 1))
    statements.insert(text.substr(at + head.size(), text.find(";\nGO\n", at) - at - head.size()));
  EXPECT_EQ(statements, (std::multiset<std::string>{"(1, 1, N'a', 0),\n(2, 2, N'b', 0),\n(3, 1, N'c', 0)",
                                                     "(2, 2, N'old b', 1)", "(4, 9, N'gone', 1)"}));
  // The script reads back as the same five rows.
  EXPECT_EQ(testing::ParseCreationScript(text).InsertsInto("dbo.Rsvp").size(), 5u);
}

// Tables whose file names would meet (a character a file name cannot hold,
// or names that differ only in case) each keep a file of their own; in
// SQLite, whose names ignore case, tables and columns whose names differ
// only in case each keep theirs, and a name holding "(" is written too.
TEST(TableNames, FileNamesThatWouldMeetStayApart) {
  TempFile file("names.mdf");
  CatalogBuilder b;
  const std::vector<std::string> names = {"Shop/Items", "Shop_Items", "ORDERS", "Orders", "Sales (old)"};
  for (size_t i = 0; i < names.size(); ++i) {
    TableDef t;
    t.name = names[i];
    t.columns = {IntColumn("Id", false), IntColumn("ID")};
    t.rows = {{IntValue(static_cast<int32_t>(i)), IntValue(7)}};
    b.AddTable(t);
  }
  b.Build().WriteTo(file.path());
  if (testing::HaveSqliteShell()) {
    const auto db = file.folder() / "names.sqlite";
    ExportResult result = testing::ExportFile(file.path(), ExportFormat::kSqlite, db);
    ASSERT_TRUE(result.finished) << result.error;
    EXPECT_EQ(result.ExitCode(), 0);
    const std::string out = testing::SqliteOutput(
        db, "select group_concat(name || ': ' || sql, char(10)) from sqlite_master; select * from \"dbo.Orders (2)\";");
    EXPECT_EQ(out,
              "dbo.Shop/Items: CREATE TABLE \"dbo.Shop/Items\" (\"Id\" INTEGER, \"ID (2)\" INTEGER)\n"
              "dbo.Shop_Items: CREATE TABLE \"dbo.Shop_Items\" (\"Id\" INTEGER, \"ID (2)\" INTEGER)\n"
              "dbo.ORDERS: CREATE TABLE \"dbo.ORDERS\" (\"Id\" INTEGER, \"ID (2)\" INTEGER)\n"
              "dbo.Orders (2): CREATE TABLE \"dbo.Orders (2)\" (\"Id\" INTEGER, \"ID (2)\" INTEGER)\n"
              "dbo.Sales (old): CREATE TABLE \"dbo.Sales (old)\" (\"Id\" INTEGER, \"ID (2)\" INTEGER)\n"
              "3|7\n");
  }
  for (const char* format : {"csv", "jsonl"}) {
    SCOPED_TRACE(format);
    const auto folder = file.folder() / format;
    ExportResult result =
        testing::ExportFile(file.path(), std::string(format) == "csv" ? ExportFormat::kCsv : ExportFormat::kJsonl, folder);
    ASSERT_TRUE(result.finished) << result.error;
    const std::string ext = std::string(".") + format;
    const std::vector<std::string> files = {"dbo.Shop_Items" + ext, "dbo.Shop_Items (2)" + ext, "dbo.ORDERS" + ext,
                                            "dbo.Orders (2)" + ext, "dbo.Sales (old)" + ext};
    for (size_t i = 0; i < files.size(); ++i) {
      const std::string text = testing::ReadWholeFile(folder / files[i]);
      EXPECT_NE(text.find(std::string(format) == "csv" ? "Id,ID\r\n" + std::to_string(i) + ",7\r\n"
                                                        : "{\"Id\":" + std::to_string(i) + ",\"ID\":7}"),
                std::string::npos)
          << files[i] << ": " << text;
    }
  }
}

TEST(TableNames, CaseBracketsAndSchemaFormsFindTheTableAndMissesSuggestOne) {
  std::vector<TableEntry> tables = {{"dbo.Orders", "dbo", "Orders"},
                                    {"dbo.Order Details", "dbo", "Order Details"},
                                    {"sales.Orders", "sales", "Orders"},
                                    {"dbo.Customers", "dbo", "Customers"},
                                    {"x.Items", "x", "Items"},
                                    {"y.Items", "y", "Items"}};
  EXPECT_EQ(FindTable(tables, "dbo.Orders"), &tables[0]);
  EXPECT_EQ(FindTable(tables, "[dbo].[order details]"), &tables[1]);
  EXPECT_EQ(FindTable(tables, "SALES.orders"), &tables[2]);
  EXPECT_EQ(FindTable(tables, "customers"), &tables[3]);
  std::string suggestion;
  EXPECT_EQ(FindTable(tables, "orders", &suggestion), &tables[0]) << "the default schema of two";
  EXPECT_EQ(FindTable(tables, "items", &suggestion), nullptr) << "two schemas hold it";
  EXPECT_EQ(suggestion, "x.Items");
  suggestion.clear();
  EXPECT_EQ(FindTable(tables, "Custmers", &suggestion), nullptr);
  EXPECT_EQ(suggestion, "dbo.Customers");
  suggestion.clear();
  EXPECT_EQ(FindTable(tables, "Invoices", &suggestion), nullptr);
  EXPECT_EQ(suggestion, "");
}

}  // namespace
}  // namespace pagewright
