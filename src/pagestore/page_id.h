// Page and record addresses.
//
// In memory (and in the snapshot file) a PageId is the file id followed by
// the page number. References stored inside SQL Server pages and records hold
// the page number (4 bytes) first and the file id (2 bytes) after it; use
// ReadStoredPageRef to convert them.
#ifndef PAGEWRIGHT_PAGESTORE_PAGE_ID_H_
#define PAGEWRIGHT_PAGESTORE_PAGE_ID_H_

#include <compare>
#include <cstdint>
#include <string>

#include "pagestore/bytes.h"

namespace pagewright {

constexpr int kPageSize = 8192;
constexpr int kPageHeaderSize = 96;

struct PageId {
  int16_t fileId = 1;
  int32_t page = 0;
  friend auto operator<=>(const PageId&, const PageId&) = default;
  std::string ToString() const { return "(" + std::to_string(fileId) + ":" + std::to_string(page) + ")"; }
};

struct RowLocator {
  PageId page;
  int16_t slot = 0;
};

// One page registered by a mapping scan: file id, position in its file and
// the page type byte of its header (zero-extended).
struct PageListEntry {
  uint16_t fileId = 0;
  uint32_t page = 0;
  int32_t pageType = 0;
  PageId id() const { return PageId{static_cast<int16_t>(fileId), static_cast<int32_t>(page)}; }
  friend bool operator==(const PageListEntry&, const PageListEntry&) = default;
};
constexpr int kPageListEntrySize = 2 + 4 + 4;  // file id, page, page type

// A 6-byte page reference as SQL Server stores it: int32 page number, then
// uint16 file id. Out-of-range offsets give file 0, page 0.
inline PageId ReadStoredPageRef(ByteSpan bytes, int64_t offset) {
  if (!InBounds(bytes.size(), offset, 6)) return PageId{0, 0};
  return PageId{static_cast<int16_t>(U16At(bytes, offset + 4)), I32At(bytes, offset)};
}

}  // namespace pagewright

#endif  // PAGEWRIGHT_PAGESTORE_PAGE_ID_H_
