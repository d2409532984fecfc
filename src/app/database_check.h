// The damage survey behind `pagewright check`: every page of every file of
// the database read once and verified (page protection, header against
// position, records of data pages), told apart into allocated space (where
// a failure is damage) and space no allocation map gives to anything (where
// leftover bytes are no damage), and the damaged pages put down to the
// objects that own them.
//
// A page is allocated when the PFS page of its interval marks it so. When
// that PFS page is itself damaged or missing, its interval falls back on the
// IAM pages: a page is allocated there when an IAM page names it (in its
// single-page slots or an extent of its bitmap), when it is an IAM page
// itself, or when it is one of the file's own allocation pages.
#ifndef PAGEWRIGHT_APP_DATABASE_CHECK_H_
#define PAGEWRIGHT_APP_DATABASE_CHECK_H_

#include <cstdint>
#include <string>
#include <vector>

#include "catalog/database_catalog.h"
#include "pagestore/database_reader.h"
#include "pagestore/page_check.h"

namespace pagewright {

struct CheckedFile {
  int16_t fileId = 1;
  std::string path;
  uint64_t pages = 0;
};

struct DamagedPage {
  PageId id;
  uint8_t pageType = 0;  // from the header as read (0 for a missing page)
  std::vector<PageFinding> findings;
};

// One object with damaged pages: a table (its data, large values and
// allocation pages), one of its indexes, a system table, or the file's own
// allocation pages.
struct DamagedObject {
  std::string name;
  std::string kind;  // "table", "index", "system table", "allocation page", "unknown object"
  bool losesRows = false;
  std::vector<DamagedPage> pages;
};

struct CheckTotals {
  uint64_t pagesRead = 0;
  uint64_t allocated = 0;
  uint64_t unallocated = 0;
  uint64_t unallocatedFailing = 0;  // leftovers that fail a check: no damage
  uint64_t checksumsVerified = 0;
  uint64_t tornBitsVerified = 0;
  uint64_t unprotected = 0;
  uint64_t damaged = 0;
  uint64_t missing = 0;
};

struct DatabaseCheck {
  std::string databaseName;
  std::vector<CheckedFile> files;
  std::vector<std::string> missingFiles;  // named by sysfiles1, not found
  CheckTotals totals;
  std::vector<DamagedObject> objects;
  std::vector<std::string> tablesLosingRows;
  bool clean() const { return totals.damaged == 0 && missingFiles.empty(); }
};

// Runs the survey on an open reader whose catalog is built (`catalog` may be
// null: pages are then named by the object id in their header).
DatabaseCheck CheckDatabase(DatabaseReader& reader, const DatabaseCatalog* catalog);

// The object a page header names (its object id and, in SQL Server 2000
// files, its index id), as check reports name it.
DamagedObject ObjectOfPageHeader(const DatabaseCatalog* catalog, bool legacy, int32_t headerObjectId,
                                 uint16_t headerIndexId);

// The report as text and as JSON (format in README.md).
std::string FormatCheckText(const DatabaseCheck& check);
std::string FormatCheckJson(const DatabaseCheck& check);

}  // namespace pagewright

#endif  // PAGEWRIGHT_APP_DATABASE_CHECK_H_
