#include "pagestore/page_header.h"

#include <cstdio>

namespace pagewright {

CPage_Header DecodePageHeader(ByteSpan page) {
  CPage_Header h;
  h.headerVersion = U8At(page, 0);
  h.pageType = U8At(page, 1);
  h.typeFlagBits = U8At(page, 2);
  h.level = U8At(page, 3);
  h.flagBits = U16At(page, 4);
  h.indexId = U16At(page, 6);
  h.previousPage = PageId{I16At(page, 12), I32At(page, 8)};
  h.minimumRecordLength = U16At(page, 14);
  h.nextPage = PageId{I16At(page, 20), I32At(page, 16)};
  h.slotCount = I16At(page, 22);
  h.objectId = I32At(page, 24);
  h.freeByteCount = I16At(page, 28);
  h.freeDataOffset = U16At(page, 30);
  h.thisPage = PageId{I16At(page, 36), I32At(page, 32)};
  h.reservedCount = U16At(page, 38);
  char text[64];
  std::snprintf(text, sizeof text, "( %d : %d : %d )", I32At(page, 40), I32At(page, 44), static_cast<int>(I16At(page, 48)));
  h.logSequenceNumber = text;
  h.transactionReservedCount = U16At(page, 50);
  std::snprintf(text, sizeof text, "( %d : %d )", static_cast<int>(I16At(page, 56)), I32At(page, 52));
  h.transactionId = text;
  h.ghostRecordCount = I16At(page, 58);
  h.tornBits = U32At(page, 60);
  return h;
}

void RepairTornBits(std::span<uint8_t> page, const CPage_Header& header) {
  if ((header.flagBits & kFlagTornBits) == 0 || page.size() < static_cast<size_t>(kPageSize)) return;
  for (int sector = 1; sector < 16; ++sector) {
    uint8_t& last = page[static_cast<size_t>(512 * sector + 511)];
    uint8_t bits = static_cast<uint8_t>((header.tornBits >> (2 * sector)) & 3u);
    last = static_cast<uint8_t>((last & ~3u) | bits);
  }
}

CPage_Header DecodeAndRepairHeader(std::span<uint8_t> page) {
  CPage_Header h = DecodePageHeader(page);
  RepairTornBits(page, h);
  return h;
}

std::optional<std::vector<uint16_t>> ReadSlotTable(ByteSpan page, int16_t slotCount) {
  if (slotCount <= 0 || slotCount > kMaxSlotCount) return std::nullopt;
  std::vector<uint16_t> slots(static_cast<size_t>(slotCount));
  for (int j = 0; j < slotCount; ++j) slots[static_cast<size_t>(j)] = U16At(page, kPageSize - 2 - 2 * j);
  return slots;
}

std::string CPage_Header::Describe() const {
  char buf[1024];
  std::snprintf(buf, sizeof buf,
                "page %s type %u typeflags 0x%02x level %u flags 0x%04x index %u\n"
                "prev %s next %s slots %d ghosts %d object %d\n"
                "free bytes %d free offset %u min record %u reserved %u\n"
                "lsn %s xact %s torn 0x%08x\n",
                thisPage.ToString().c_str(), pageType, typeFlagBits, level, flagBits, indexId,
                previousPage.ToString().c_str(), nextPage.ToString().c_str(), slotCount, ghostRecordCount,
                objectId, freeByteCount, freeDataOffset, minimumRecordLength, reservedCount,
                logSequenceNumber.c_str(), transactionId.c_str(), tornBits);
  return buf;
}

}  // namespace pagewright
