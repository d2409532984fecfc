// The 96-byte header at the start of every 8 KB page.
//
//   off width  field
//     0  u8    header version
//     1  u8    page type: 1 data, 2 index, 3/4 text mix/tree, 8 GAM, 9 SGAM,
//              10 IAM, 11 PFS, 13 boot, 15 file header, 16 DIFF, 17 ML map
//     2  u8    type flag bits; 0x80: a compression information record
//              follows the header
//     3  u8    level (index level; 0 for leaf/data pages)
//     4  u16   flag bits; 0x0100: torn-page bits present
//     6  u16   index id
//     8  i32   previous page number      12  i16  previous page file id
//    14  u16   minimum record length
//    16  i32   next page number          20  i16  next page file id
//    22  i16   slot count
//    24  i32   object id (allocation unit id in 2005 and later)
//    28  i16   free byte count
//    30  u16   free data offset
//    32  i32   this page number          36  i16  this page file id
//    38  u16   reserved count
//    40  i32, i32, i16  log sequence number
//    50  u16   transaction reserved count
//    52  i32   transaction id, second part
//    56  i16   transaction id, first part
//    58  i16   ghost record count
//    60  u32   torn bits: two bits per 512-byte sector
//    64..95    not read
//
// The slot array grows backwards from the end of the page: slot j's record
// offset is the u16 at 8190 - 2j.
#ifndef PAGEWRIGHT_PAGESTORE_PAGE_HEADER_H_
#define PAGEWRIGHT_PAGESTORE_PAGE_HEADER_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "pagestore/bytes.h"
#include "pagestore/page_id.h"

namespace pagewright {

enum PageType : uint8_t {
  kDataPage = 1,
  kIndexPage = 2,
  kTextMixPage = 3,
  kTextTreePage = 4,
  kIamPage = 10,
};

constexpr uint8_t kTypeFlagCompressed = 0x80;
constexpr uint16_t kFlagTornBits = 0x0100;
// Records of pages of a type above this one are never accepted.
constexpr uint8_t kHighestRecordPageType = 17;
// Slot counts from 1 to this bound give a slot table.
constexpr int kMaxSlotCount = 3999;

struct CPage_Header {
  uint8_t headerVersion = 0;
  uint8_t pageType = 0;
  uint8_t typeFlagBits = 0;
  uint8_t level = 0;
  uint16_t flagBits = 0;
  uint16_t indexId = 0;
  PageId previousPage;
  uint16_t minimumRecordLength = 0;
  PageId nextPage;
  int16_t slotCount = 0;
  int32_t objectId = 0;
  int16_t freeByteCount = 0;
  uint16_t freeDataOffset = 0;
  PageId thisPage;
  uint16_t reservedCount = 0;
  std::string logSequenceNumber;  // "( %d : %d : %d )"
  uint16_t transactionReservedCount = 0;
  std::string transactionId;  // "( %d : %d )"
  int16_t ghostRecordCount = 0;
  uint32_t tornBits = 0;

  // Human-readable dump of the decoded fields, one per line.
  std::string Describe() const;
};

// Decodes the header from the first 96 bytes; a shorter span leaves the
// missing fields zero. Does not touch the page.
CPage_Header DecodePageHeader(ByteSpan page);

// When the header's torn-page flag is set, puts back the two low bits of the
// last byte of sectors 1 to 15 from the torn bits (sector 0 is left alone).
// The bytes must be a whole page.
void RepairTornBits(std::span<uint8_t> page, const CPage_Header& header);

// Header decode followed by the torn-page repair of `page` in place.
CPage_Header DecodeAndRepairHeader(std::span<uint8_t> page);

// Slot offsets of the page: n entries when 0 < n <= 3999, none otherwise.
std::optional<std::vector<uint16_t>> ReadSlotTable(ByteSpan page, int16_t slotCount);

}  // namespace pagewright

#endif  // PAGEWRIGHT_PAGESTORE_PAGE_HEADER_H_
