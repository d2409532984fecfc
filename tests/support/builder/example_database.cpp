#include "support/builder/example_database.h"

#include "support/builder/catalog_builder.h"

namespace pagewright::build {

DatabaseBuilder ExampleDatabase() {
  CatalogBuilder b(false, 661);
  b.DatabaseName(u"PagewrightExample");

  TableDef customers;
  customers.name = "Customers";
  customers.columns = {NcharColumn("CustomerID", 5, false), NvarcharColumn("CompanyName", 40, false),
                       NvarcharColumn("City", 15), VarcharColumn("Phone", 24), BitColumn("Active", false)};
  customers.primaryKey = {0};
  customers.clustered = true;
  customers.rows = {
      {UnicodeValue(u"ALFKI"), UnicodeValue(u"Alfreds Futterkiste"), UnicodeValue(u"Berlin"), TextValue("030-0074321"),
       BitValue(true)},
      {UnicodeValue(u"BOLID"), UnicodeValue(u"Bólido Comidas preparadas"), UnicodeValue(u"Madrid"),
       TextValue("(91) 555 22 82"), BitValue(true)},
      {UnicodeValue(u"MOSKV"), UnicodeValue(u"Московская торговля"), UnicodeValue(u"Москва"), Null(), BitValue(false)},
      {UnicodeValue(u"TOKYO"), UnicodeValue(u"東京トレーダーズ"), Null(), TextValue("03-3555-5011"), BitValue(true)},
  };
  b.AddTable(customers);

  TableDef orders;
  orders.name = "Orders";
  ColumnSpec orderId = IntColumn("OrderID", false);
  orderId.identity = std::make_pair(10248, 1);
  orders.columns = {orderId, NcharColumn("CustomerID", 5), DatetimeColumn("OrderDate"), MoneyColumn("Freight"),
                    DecimalColumn("Discount", 5, 2), FloatColumn("Weight"), GuidColumn("Tracking")};
  orders.primaryKey = {0};
  orders.clustered = true;
  orders.foreignKeys = {{"FK_Orders_Customers", {1}, "Customers", {0}}};
  const char16_t* owners[] = {u"ALFKI", u"BOLID", u"MOSKV", u"TOKYO"};
  for (int i = 0; i < 40; ++i) {
    Bytes guid(16);
    for (int k = 0; k < 16; ++k) guid[static_cast<size_t>(k)] = static_cast<uint8_t>(i * 16 + k);
    orders.rows.push_back({IntValue(10248 + i), UnicodeValue(owners[i % 4]), DatetimeValue(35249 + i, 300 * 3600 * 9),
                           MoneyValue(32380 + 1000 * i), DecimalValue(false, static_cast<uint64_t>(i % 25), 5),
                           FloatValue(1.5 + i), GuidValue(guid)});
  }
  b.AddTable(orders);

  TableDef log;
  log.name = "AuditLog";
  log.columns = {BigintColumn("EntryID", false), DateColumn("Day"), VarcharColumn("Message", 200),
                 VarbinaryColumn("Payload", 64)};
  for (int i = 0; i < 12; ++i) {
    log.rows.push_back({BigintValue(5000000000LL + i), DateValue(739000 + i), TextValue("entry " + std::to_string(i)),
                        i % 3 ? RawValue({static_cast<uint8_t>(i), 0xAB, 0xCD}) : Null()});
  }
  log.ghostRows = {{BigintValue(4999999999LL), DateValue(738999), TextValue("deleted entry"), Null()}};
  b.AddTable(log);

  b.AddModule({"CustomerOrders", "dbo", "V ",
               u"CREATE VIEW [dbo].[CustomerOrders] AS\r\nSELECT c.CompanyName, o.OrderID, o.OrderDate\r\n"
               u"FROM dbo.Customers c JOIN dbo.Orders o ON o.CustomerID = c.CustomerID"});
  b.AddModule({"OrdersOfCustomer", "dbo", "P ",
               u"CREATE PROCEDURE [dbo].[OrdersOfCustomer] @CustomerID nchar(5) AS\r\n"
               u"SELECT OrderID, OrderDate, Freight FROM dbo.Orders WHERE CustomerID = @CustomerID"});
  return b.Build();
}

}  // namespace pagewright::build
