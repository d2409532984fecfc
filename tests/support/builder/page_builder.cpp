#include "support/builder/page_builder.h"

#include <algorithm>

#include "pagestore/bytes.h"

namespace pagewright::build {

PageBuilder::PageBuilder(uint8_t pageType, int32_t pageNumber, int16_t fileId) : page_(kPageSize, 0) {
  page_[0] = 1;
  Type(pageType);
  ThisPage(PageId{fileId, pageNumber});
}

template <typename T>
PageBuilder& PageBuilder::PutLE(int offset, T value) {
  StoreLittleEndian<T>(page_.data() + offset, value);
  return *this;
}
template PageBuilder& PageBuilder::PutLE<uint8_t>(int, uint8_t);
template PageBuilder& PageBuilder::PutLE<uint16_t>(int, uint16_t);
template PageBuilder& PageBuilder::PutLE<int16_t>(int, int16_t);
template PageBuilder& PageBuilder::PutLE<uint32_t>(int, uint32_t);
template PageBuilder& PageBuilder::PutLE<int32_t>(int, int32_t);
template PageBuilder& PageBuilder::PutLE<int64_t>(int, int64_t);
template PageBuilder& PageBuilder::PutLE<uint64_t>(int, uint64_t);

PageBuilder& PageBuilder::Type(uint8_t type) { return PutLE<uint8_t>(1, type); }
PageBuilder& PageBuilder::TypeFlags(uint8_t flags) { return PutLE<uint8_t>(2, flags); }
PageBuilder& PageBuilder::Level(uint8_t level) { return PutLE<uint8_t>(3, level); }
PageBuilder& PageBuilder::FlagBits(uint16_t flags) { return PutLE<uint16_t>(4, flags); }
PageBuilder& PageBuilder::IndexId(uint16_t indexId) { return PutLE<uint16_t>(6, indexId); }
PageBuilder& PageBuilder::Previous(PageId id) { return PutLE<int32_t>(8, id.page).PutLE<int16_t>(12, id.fileId); }
PageBuilder& PageBuilder::Next(PageId id) { return PutLE<int32_t>(16, id.page).PutLE<int16_t>(20, id.fileId); }
PageBuilder& PageBuilder::ObjectId(int32_t objectId) { return PutLE<int32_t>(24, objectId); }
PageBuilder& PageBuilder::ThisPage(PageId id) { return PutLE<int32_t>(32, id.page).PutLE<int16_t>(36, id.fileId); }
PageBuilder& PageBuilder::GhostCount(int16_t count) { return PutLE<int16_t>(58, count); }
PageBuilder& PageBuilder::FreeByteCount(int16_t count) { return PutLE<int16_t>(28, count); }
PageBuilder& PageBuilder::TornBits(uint32_t bits) { return PutLE<uint32_t>(60, bits); }
PageBuilder& PageBuilder::SlotCount(int16_t count) {
  slotCountOverride_ = true;
  slotCountValue_ = count;
  return *this;
}

PageBuilder& PageBuilder::Put(int offset, std::span<const uint8_t> bytes) {
  std::copy(bytes.begin(), bytes.end(), page_.begin() + offset);
  return *this;
}

int PageBuilder::AddUnslottedRecord(std::span<const uint8_t> record) {
  int at = freeOffset_;
  Put(at, record);
  freeOffset_ += static_cast<int>(record.size());
  return at;
}

int PageBuilder::AddRecord(std::span<const uint8_t> record) {
  return AddSlot(static_cast<uint16_t>(AddUnslottedRecord(record)));
}

int PageBuilder::AddSlot(uint16_t offset) {
  slots_.push_back(offset);
  return static_cast<int>(slots_.size()) - 1;
}

std::vector<uint8_t> PageBuilder::Bytes() const {
  std::vector<uint8_t> out = page_;
  int16_t count = slotCountOverride_ ? slotCountValue_ : static_cast<int16_t>(slots_.size());
  StoreLittleEndian<int16_t>(out.data() + 22, count);
  StoreLittleEndian<uint16_t>(out.data() + 30, static_cast<uint16_t>(freeOffset_));
  for (size_t j = 0; j < slots_.size(); ++j) {
    StoreLittleEndian<uint16_t>(out.data() + kPageSize - 2 - 2 * j, slots_[j]);
  }
  return out;
}

}  // namespace pagewright::build
