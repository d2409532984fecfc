// Writes one 8 KB page in memory: header fields, records and the slot array.
#ifndef PAGEWRIGHT_TESTS_SUPPORT_BUILDER_PAGE_BUILDER_H_
#define PAGEWRIGHT_TESTS_SUPPORT_BUILDER_PAGE_BUILDER_H_

#include <cstdint>
#include <span>
#include <vector>

#include "pagestore/page_id.h"

namespace pagewright::build {

class PageBuilder {
 public:
  // A zero page whose header says: header version 1, the given type, this
  // page (file, number), no slots; records start at offset 96.
  explicit PageBuilder(uint8_t pageType = 1, int32_t pageNumber = 0, int16_t fileId = 1);

  PageBuilder& Type(uint8_t type);
  PageBuilder& TypeFlags(uint8_t flags);
  PageBuilder& Level(uint8_t level);
  PageBuilder& FlagBits(uint16_t flags);
  PageBuilder& IndexId(uint16_t indexId);
  PageBuilder& Previous(PageId id);
  PageBuilder& Next(PageId id);
  PageBuilder& ObjectId(int32_t objectId);
  PageBuilder& ThisPage(PageId id);
  PageBuilder& GhostCount(int16_t count);
  PageBuilder& FreeByteCount(int16_t count);
  PageBuilder& TornBits(uint32_t bits);
  // Overrides the slot count written by Bytes() (for malformed headers).
  PageBuilder& SlotCount(int16_t count);

  // Appends the record at the current free offset and adds a slot for it;
  // returns the slot number.
  int AddRecord(std::span<const uint8_t> record);
  // Appends the record without a slot (for unreferenced-record scans);
  // returns its offset.
  int AddUnslottedRecord(std::span<const uint8_t> record);
  // Adds a slot pointing at an arbitrary offset.
  int AddSlot(uint16_t offset);
  // Writes raw bytes at an offset.
  PageBuilder& Put(int offset, std::span<const uint8_t> bytes);
  template <typename T>
  PageBuilder& PutLE(int offset, T value);

  int freeOffset() const { return freeOffset_; }
  int slotCount() const { return static_cast<int>(slots_.size()); }

  // The finished page: slot count, free data offset and slot array written.
  std::vector<uint8_t> Bytes() const;

 private:
  std::vector<uint8_t> page_;
  std::vector<uint16_t> slots_;
  int freeOffset_ = 96;
  bool slotCountOverride_ = false;
  int16_t slotCountValue_ = 0;
};

}  // namespace pagewright::build

#endif  // PAGEWRIGHT_TESTS_SUPPORT_BUILDER_PAGE_BUILDER_H_
