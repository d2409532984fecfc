#include "support/builder/example_database.h"

namespace pagewright::build {

DatabaseBuilder ExampleDatabase() {
  DatabaseBuilder db(24);
  db.Boot(BootInfo{u"PagewrightExample", 661, 872468488});
  // One sysallocunits page, so that the mapping scan finds the system tables.
  PageBuilder allocUnits(1, 16);
  allocUnits.ObjectId(7);
  db.SetPage(16, allocUnits);
  return db;
}

}  // namespace pagewright::build
