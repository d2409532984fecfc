// The boot page (page 9 of the primary file): database identity.
//
// Its single record starts at page offset 96; the fields read sit at fixed
// page offsets:
//
//   off  width                 field
//   100  u16                   database version number (539 = SQL Server
//                              2000, 611 = 2005, 655 = 2008, 661 = 2008 R2,
//                              706 = 2012, 782 = 2014)
//   148  256 bytes, UTF-16LE   database name, 128 code units, padded with
//                              0x20 bytes (which read as U+2020)
//   488  i32                   collation id (the low 16 bits alone name the
//                              Windows collation when the upper half holds
//                              other data)
#ifndef PAGEWRIGHT_PAGESTORE_BOOT_PAGE_H_
#define PAGEWRIGHT_PAGESTORE_BOOT_PAGE_H_

#include <string>
#include <vector>

#include <optional>
#include <string>

#include "pagestore/pages.h"
#include "state/collation.h"
#include "state/read_context.h"

namespace pagewright {

constexpr int kBootPagePosition = 9;
constexpr int kBootVersionOffset = 100;
constexpr int kBootNameOffset = 148;
constexpr int kBootNameUnits = 128;
constexpr int kBootCollationOffset = 488;
static_assert(kBootNameOffset + 2 * kBootNameUnits == 404);

// " SQL Server 2014" etc. for a known version number, "Unknown SQL Version"
// otherwise.
std::string VersionText(int versionNumber);

// The database name stored in a boot page: every character up to the first
// zero code unit, trailing padding (U+2020 and blanks) removed.
std::string DecodeDatabaseName(ByteSpan page);

// How the database collation is chosen: read from the boot page (its
// 32-bit id, then its low 16 bits) or named by the user.
struct CollationChoice {
  const CollationTable* table = nullptr;
  bool autoDetect = true;
  int64_t manualKey = 0;
};

// What the boot page says about the database.
struct BootIdentity {
  uint16_t versionNumber = 0;
  std::string versionText;  // VersionText(versionNumber)
  std::string databaseName;
  int64_t collationId = 0;  // the id looked up last
  DatabaseCollation collation;
  std::string collationName;  // when found
};

class CBootPage : public PrimaryRecordPage {
 public:
  // Decodes the boot record and looks its collation up as `choice` says.
  CBootPage(std::vector<uint8_t> pageBytes, const CollationChoice& choice);
  ~CBootPage() override;

  BootIdentity identity;
};

class DatabaseReader;

// Finds the boot page of the old file and decodes it. The boot page is at
// position 9, moved by the shift that the first sysallocunits (or syscolpars)
// page shows between its position and the page number in its header. None
// when no boot page could be read.
std::optional<BootIdentity> ReadBootPage(DatabaseReader& reader, const ReadContext& context,
                                         const CollationChoice& choice);

}  // namespace pagewright

#endif  // PAGEWRIGHT_PAGESTORE_BOOT_PAGE_H_
