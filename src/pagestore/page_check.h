// Verification of one page as it lies in its file: the protection SQL Server
// wrote into its header (a checksum or torn-page bits) and the header fields
// against the page's position.
//
// Page protection (header offset 4, flag bits; offset 60, four bytes):
//   0x0200 checksum: the u32 at 60 is the checksum of the page. The page is
//          taken as 16 sectors of 512 bytes, each as 128 little-endian u32
//          words (the checksum word itself counted as 0); the words of
//          sector s are XORed together and that value, rotated left by
//          15 - s bits, is XORed into the checksum.
//   0x0100 torn-page bits: before the write SQL Server moves the two low
//          bits of the last byte of sectors 1 to 15 into bits 2s and 2s + 1
//          of the u32 at 60 and writes into every one of those bytes the
//          same 2-bit pattern, 01 or 10, which it also keeps in bits 0 and
//          1. A page whose sectors do not all carry the pattern was written
//          only in part. (Sector 0 holds the header and is written with it.)
//   neither: nothing to verify.
//
// Allocation (PFS, page free space): page 1 of every file and every 8088th
// page after it hold one byte per page of their interval at offset 100 + the
// page's index in the interval (the record at 96 has a 4-byte header); bit
// 0x40 of the byte says the page is allocated.
#ifndef PAGEWRIGHT_PAGESTORE_PAGE_CHECK_H_
#define PAGEWRIGHT_PAGESTORE_PAGE_CHECK_H_

#include <cstdint>
#include <string>
#include <vector>

#include "pagestore/bytes.h"
#include "pagestore/page_header.h"
#include "pagestore/page_id.h"

namespace pagewright {

constexpr uint16_t kFlagChecksum = 0x0200;
constexpr int kSectorSize = 512;
constexpr int kSectorsPerPage = kPageSize / kSectorSize;
constexpr int kChecksumOffset = 60;

constexpr uint8_t kPfsPageType = 11;
constexpr uint32_t kPfsInterval = 8088;
constexpr int kPfsBytesOffset = 100;
constexpr uint8_t kPfsAllocated = 0x40;

// What can be wrong with a page. The text of each is its reason in reports.
enum class PageFault : uint8_t {
  kChecksum,        // "checksum mismatch"
  kTornPage,        // "torn page"
  kPageNumber,      // "wrong page number"
  kFileId,          // "wrong file id"
  kPageType,        // "unknown page type"
  kSlotCount,       // "slot count out of range"
  kFreeDataOffset,  // "free data offset out of range"
  kSlotOffset,      // "slot offset outside the page"
  kRecord,          // "record does not parse"
  kMissing,         // "page missing (file too short)"
};
const char* PageFaultText(PageFault fault);
// The reason code used in JSON reports ("checksum", "torn_page", ...).
const char* PageFaultCode(PageFault fault);

struct PageFinding {
  PageFault fault;
  std::string detail;  // e.g. "stored 0x12345678, computed 0x9abcdef0"
};

// The checksum of a whole page (8192 bytes), the word at offset 60 taken as 0.
uint32_t ComputePageChecksum(ByteSpan page);

// True when sectors 1 to 15 all carry the torn-page pattern the header keeps.
bool TornBitsIntact(ByteSpan page);

enum class PageProtection { kNone, kChecksum, kTornBits };
PageProtection ProtectionOf(ByteSpan page);

// Page types SQL Server writes: data, index, text mix and tree, sort, GAM,
// SGAM, IAM, PFS, boot, server configuration, file header, differential and
// bulk-logged change maps, and the types 18 to 20 of deallocated pages.
bool IsKnownPageType(uint8_t type);

// Checks the raw bytes of the page at `expected`: its protection, then its
// header (page number and file id, type, slot count, free data offset and
// every slot offset). Empty when the page is sound.
std::vector<PageFinding> VerifyPage(ByteSpan page, PageId expected);

// Position of the PFS page whose interval holds `page`, and whether a PFS
// page says `page` is allocated.
uint32_t PfsPageOf(uint32_t page);
bool PfsSaysAllocated(ByteSpan pfsPage, uint32_t page);

// Positions of the pages that describe a file rather than hold objects:
// the file header (0), PFS pages, GAM, SGAM, differential and bulk-logged
// change maps (2, 3, 6, 7 of every 511232-page interval) and, in the primary
// file, the boot page (9). Their kind, or nullptr.
const char* AllocationPageKind(uint32_t page, bool primaryFile);

}  // namespace pagewright

#endif  // PAGEWRIGHT_PAGESTORE_PAGE_CHECK_H_
