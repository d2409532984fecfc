#include "harness/fuzz_databases.h"

#include <stdexcept>

#include "pagestore/bytes.h"
#include "pagestore/page_header.h"
#include "support/builder/catalog_builder.h"
#include "support/builder/lob_builder.h"

namespace pagewright::fuzz {

namespace {

using namespace build;

// Text pages go here, past the pages the catalog builder uses.
constexpr uint32_t kFirstTextPage = 64;

TableDef Customers() {
  TableDef t;
  t.name = "Customers";
  t.columns = {NcharColumn("CustomerID", 5, false), NvarcharColumn("CompanyName", 40, false),
               VarcharColumn("Phone", 24), BitColumn("Active", false)};
  t.primaryKey = {0};
  t.clustered = true;
  t.rows = {
      {UnicodeValue(u"ALFKI"), UnicodeValue(u"Alfreds Futterkiste"), TextValue("030-0074321"), BitValue(true)},
      {UnicodeValue(u"BOLID"), UnicodeValue(u"Bólido Comidas"), TextValue("(91) 555 22 82"), BitValue(true)},
      {UnicodeValue(u"MOSKV"), UnicodeValue(u"Московская торговля"), Null(), BitValue(false)},
      {UnicodeValue(u"TOKYO"), UnicodeValue(u"東京トレーダーズ"), TextValue("03-3555-5011"), BitValue(true)},
  };
  return t;
}

TableDef Orders() {
  TableDef t;
  t.name = "Orders";
  ColumnSpec id = IntColumn("OrderID", false);
  id.identity = std::make_pair(10248, 1);
  t.columns = {id, NcharColumn("CustomerID", 5), DatetimeColumn("OrderDate"), MoneyColumn("Freight"),
               DecimalColumn("Discount", 5, 2), FloatColumn("Weight"), GuidColumn("Tracking")};
  t.primaryKey = {0};
  t.clustered = true;
  t.rowsPerPage = 8;  // a chain of several data pages
  t.foreignKeys = {{"FK_Orders_Customers", {1}, "Customers", {0}}};
  const char16_t* owners[] = {u"ALFKI", u"BOLID", u"MOSKV", u"TOKYO"};
  for (int i = 0; i < 30; ++i) {
    Bytes guid(16);
    for (int k = 0; k < 16; ++k) guid[static_cast<size_t>(k)] = static_cast<uint8_t>(i * 16 + k);
    t.rows.push_back({IntValue(10248 + i), UnicodeValue(owners[i % 4]), DatetimeValue(35249 + i, 300 * 3600 * 9),
                      MoneyValue(32380 + 1000 * i), DecimalValue(i % 3 == 0, static_cast<uint64_t>(i % 25), 5),
                      FloatValue(1.5 + i), GuidValue(guid)});
  }
  return t;
}

TableDef AuditLog() {
  TableDef t;
  t.name = "AuditLog";  // a heap
  t.columns = {BigintColumn("EntryID", false), DateColumn("Day"), VarcharColumn("Message", 200),
               VarbinaryColumn("Payload", 64)};
  for (int i = 0; i < 12; ++i) {
    t.rows.push_back({BigintValue(5000000000LL + i), DateValue(739000 + i), TextValue("entry " + std::to_string(i)),
                      i % 3 ? RawValue({static_cast<uint8_t>(i), 0xAB, 0xCD}) : Null()});
  }
  t.ghostRows = {{BigintValue(4999999999LL), DateValue(738999), TextValue("deleted entry"), Null()},
                 {BigintValue(4999999998LL), DateValue(738998), TextValue("deleted too"), RawValue({1, 2})}};
  return t;
}

// Large values: text, ntext and image behind text pointers; with the
// 2005-and-later catalog also varchar(max) behind an in-row root and a
// row-overflow pointer, and xml in the row and behind an in-row root.
TableDef Documents(LobStore& lob, bool legacy) {
  TableDef t;
  t.name = "Documents";
  t.clustered = true;
  t.primaryKey = {0};
  t.columns = {IntColumn("Id", false), TypedColumn("Body", kSqlText, 16), TypedColumn("Note", kSqlNtext, 16),
               TypedColumn("Picture", kSqlImage, 16)};
  if (!legacy) {
    t.columns.push_back(TypedColumn("Big", kSqlVarchar, -1));
    t.columns.push_back(TypedColumn("Doc", kSqlXml, -1));
  }
  std::string body;
  for (int i = 0; i < 60; ++i) body += "The quick brown fox. ";
  Bytes picture;
  for (int i = 0; i < 300; ++i) picture.push_back(static_cast<uint8_t>(i * 7));
  for (int i = 0; i < 2; ++i) {
    std::vector<Value> row = {IntValue(i), ComplexValue(lob.TextPointerTo(Ascii(body), 700)),
                              ComplexValue(lob.TextPointerTo(Utf16(u"Заметка 注意 " + std::u16string(i + 1, u'✓')))),
                              ComplexValue(lob.TextPointerTo(picture))};
    if (!legacy) {
      row.push_back(ComplexValue(i == 0 ? lob.InRowRootTo(Ascii(body + body), 500)
                                        : lob.RowOverflowTo(Ascii(std::string(900, 'o')))));
      row.push_back(i == 0 ? ComplexValue(lob.InRowRootTo(SmallBinaryXmlDocument())) : RawValue(SmallBinaryXmlDocument()));
    }
    t.rows.push_back(std::move(row));
  }
  return t;
}

// A heap in three partitions (2005-and-later catalogs): the first one
// empty, as a partitioned table's first partition often is.
std::vector<TableDef> Readings() {
  std::vector<TableDef> parts;
  int next = 0;
  for (int rows : {0, 10, 5}) {
    TableDef t;
    t.name = parts.empty() ? "Readings" : "Readings_" + std::to_string(parts.size() + 1);
    if (!parts.empty()) t.partitionOf = "Readings";
    t.columns = {IntColumn("Sensor", false), FloatColumn("Value")};
    for (int i = 0; i < rows; ++i, ++next) t.rows.push_back({IntValue(next), FloatValue(next * 0.5)});
    parts.push_back(std::move(t));
  }
  return parts;
}

FuzzDatabase Finish(CatalogBuilder& b, const LobStore& lob) {
  DatabaseBuilder db = b.Build();
  if (db.pageCount() > kFirstTextPage) throw std::logic_error("fuzz database: catalog pages reach the text pages");
  lob.WriteInto(db);
  FuzzDatabase out;
  out.bytes = db.Build();
  for (uint32_t p = 0; p < db.pageCount(); ++p) {
    const ByteSpan page(out.bytes.data() + static_cast<size_t>(p) * kPageSize, kPageSize);
    if (U8At(page, 1) != 0 || I32At(page, 24) != 0) out.pages.push_back(p);
  }
  return out;
}

FuzzDatabase Build(bool legacy) {
  CatalogBuilder b(legacy, 661);
  b.DatabaseName(legacy ? u"FuzzLegacy" : u"FuzzModern");
  LobStore lob(kFirstTextPage, 9000);
  TableDef customers = Customers();
  if (!legacy) customers.uniqueKeys = {{"UQ_Customers_CompanyName", {1}}};
  customers.checkConstraints = {{"CK_Customers_Phone", u"([Phone] like '%[0-9]%')"}};
  std::vector<TableDef> tables = {customers, Orders(), AuditLog(), Documents(lob, legacy)};
  if (!legacy)
    for (auto& part : Readings()) tables.push_back(std::move(part));
  FuzzDatabase out;
  std::map<std::string, size_t> rows;
  for (auto& t : tables) {
    rows["dbo." + (t.partitionOf.empty() ? t.name : t.partitionOf)] += t.rows.size();
    b.AddTable(std::move(t));
  }
  b.AddModule({"CustomerOrders", "dbo", "V ",
               u"CREATE VIEW [dbo].[CustomerOrders] AS\r\nSELECT c.CompanyName, o.OrderID, o.OrderDate\r\n"
               u"FROM dbo.Customers c JOIN dbo.Orders o ON o.CustomerID = c.CustomerID"});
  b.AddModule({"OrdersOfCustomer", "dbo", "P ",
               u"CREATE PROCEDURE [dbo].[OrdersOfCustomer] @CustomerID nchar(5) AS\r\n"
               u"SELECT OrderID, OrderDate, Freight FROM dbo.Orders WHERE CustomerID = @CustomerID",
               "", 40});  // several pieces
  b.AddModule({"OrdersAudit", "dbo", "TR",
               u"CREATE TRIGGER [dbo].[OrdersAudit] ON [dbo].[Orders] AFTER INSERT AS\r\n"
               u"INSERT dbo.AuditLog (EntryID, Message) SELECT OrderID, 'order' FROM inserted",
               "Orders"});
  out = Finish(b, lob);
  out.rows = std::move(rows);
  return out;
}

}  // namespace

const FuzzDatabase& ModernFuzzDatabase() {
  static const FuzzDatabase db = Build(false);
  return db;
}

const FuzzDatabase& LegacyFuzzDatabase() {
  static const FuzzDatabase db = Build(true);
  return db;
}

}  // namespace pagewright::fuzz
