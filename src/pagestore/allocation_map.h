// IAM (index allocation map) pages: which pages an allocation unit owns.
//
// An IAM page (type 10) covers one interval of 511232 pages of one file.
// Its slot 0 holds the header record, its slot 1 the extent bitmap, both
// classic records; offsets below are into the records' fixed data:
//
//   header record
//     0   i32   sequence number
//     14  i16   status
//     28  i32   object id
//     32  i16   index id
//     34  u8    page count
//     36  6     start page of the interval: i32 page number, u16 file id
//     42  8x6   single-page slots, each i32 page number and u16 file id:
//               pages of mixed extents owned by the unit
//   bitmap record
//     bit j of byte i (least significant first) marks extent 8i + j of the
//     interval as owned (up to 7988 bytes: 63904 extents)
//
// The interval is taken from the IAM page's own position (its page number
// rounded down to a multiple of 511232), not from its start page field.
#ifndef PAGEWRIGHT_PAGESTORE_ALLOCATION_MAP_H_
#define PAGEWRIGHT_PAGESTORE_ALLOCATION_MAP_H_

#include <array>
#include <optional>
#include <vector>

#include "pagestore/pages.h"

namespace pagewright {

constexpr int32_t kPagesPerIamInterval = 511232;
constexpr int kExtentBitmapBytes = 7988;
constexpr int kMaxExtentBits = kExtentBitmapBytes * 8;  // 63904
constexpr int kIamHeaderLength = 90;
constexpr int kSinglePageSlots = 8;

// The first and last page of one extent.
struct ExtentItem {
  PageId first;
  PageId last;
};

class ExtentAllocationMap : public PrimaryRecordPage {
 public:
  // Reads the extent bitmap from the fixed data of slot 1.
  ExtentAllocationMap(std::vector<uint8_t> pageBytes, DatabaseReader* source);
  ~ExtentAllocationMap() override;

  std::vector<uint8_t> extentBits;  // one byte (0 or 1) per extent bit
  int32_t bitCount = 0;
  int32_t allocatedExtentCount = 0;
};

class IamPage : public ExtentAllocationMap {
 public:
  IamPage(std::vector<uint8_t> pageBytes, DatabaseReader* source);
  ~IamPage() override;

  int32_t sequenceNumber = 0;
  int16_t status = 0;
  int32_t objectId = 0;
  int16_t indexId = 0;
  uint8_t pageCount = 0;
  PageId startPage;
  std::array<PageId, kSinglePageSlots> singlePages;
};

// The fixed data of the classic record in `slot` of a page: the bytes from
// record offset 4 to its fixed-part end, when 0 < length < 8060 and the
// record fits the page; none otherwise.
std::optional<ByteSpan> ClassicFixedData(const RecordPage& page, int slot);

// The allocated extents of an IAM page, each eight pages from 8i of the
// interval, bounded by `extentLimit` (the old file's extent count). Sets
// the page's allocated extent count.
std::vector<ExtentItem> EnumerateExtents(IamPage& page, uint64_t extentLimit);

// The pages of an extent item, first to last; empty when the last page lies
// before the first.
std::vector<PageId> ExtentPages(const ExtentItem& item);

}  // namespace pagewright

#endif  // PAGEWRIGHT_PAGESTORE_ALLOCATION_MAP_H_
