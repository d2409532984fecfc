#include "pagestore/page_check.h"

#include <bit>
#include <cstdio>

namespace pagewright {

namespace {
constexpr uint32_t kGamInterval = 511232;
}  // namespace

const char* PageFaultText(PageFault fault) {
  switch (fault) {
    case PageFault::kChecksum: return "checksum mismatch";
    case PageFault::kTornPage: return "torn page";
    case PageFault::kPageNumber: return "wrong page number";
    case PageFault::kFileId: return "wrong file id";
    case PageFault::kPageType: return "unknown page type";
    case PageFault::kSlotCount: return "slot count out of range";
    case PageFault::kFreeDataOffset: return "free data offset out of range";
    case PageFault::kSlotOffset: return "slot offset outside the page";
    case PageFault::kRecord: return "record does not parse";
    case PageFault::kMissing: return "page missing (file too short)";
  }
  return "unknown";
}

const char* PageFaultCode(PageFault fault) {
  switch (fault) {
    case PageFault::kChecksum: return "checksum";
    case PageFault::kTornPage: return "torn_page";
    case PageFault::kPageNumber: return "page_number";
    case PageFault::kFileId: return "file_id";
    case PageFault::kPageType: return "page_type";
    case PageFault::kSlotCount: return "slot_count";
    case PageFault::kFreeDataOffset: return "free_data_offset";
    case PageFault::kSlotOffset: return "slot_offset";
    case PageFault::kRecord: return "record";
    case PageFault::kMissing: return "missing";
  }
  return "unknown";
}

uint32_t ComputePageChecksum(ByteSpan page) {
  uint32_t checksum = 0;
  for (int s = 0; s < kSectorsPerPage; ++s) {
    uint32_t sector = 0;
    for (int w = 0; w < kSectorSize / 4; ++w) {
      const int at = s * kSectorSize + 4 * w;
      if (at == kChecksumOffset) continue;
      sector ^= U32At(page, at);
    }
    checksum ^= std::rotl(sector, kSectorsPerPage - 1 - s);
  }
  return checksum;
}

bool TornBitsIntact(ByteSpan page) {
  const uint32_t pattern = U32At(page, kChecksumOffset) & 3u;
  if (pattern != 1 && pattern != 2) return false;
  for (int s = 1; s < kSectorsPerPage; ++s) {
    if ((U8At(page, s * kSectorSize + kSectorSize - 1) & 3u) != pattern) return false;
  }
  return true;
}

PageProtection ProtectionOf(ByteSpan page) {
  const uint16_t flags = U16At(page, 4);
  if (flags & kFlagChecksum) return PageProtection::kChecksum;
  if (flags & kFlagTornBits) return PageProtection::kTornBits;
  return PageProtection::kNone;
}

bool IsKnownPageType(uint8_t type) {
  switch (type) {
    case 1: case 2: case 3: case 4: case 7: case 8: case 9: case 10: case 11:
    case 13: case 14: case 15: case 16: case 17: case 18: case 19: case 20:
      return true;
    default:
      return false;
  }
}

std::vector<PageFinding> VerifyPage(ByteSpan page, PageId expected) {
  std::vector<PageFinding> out;
  char detail[96];
  switch (ProtectionOf(page)) {
    case PageProtection::kChecksum: {
      const uint32_t stored = U32At(page, kChecksumOffset), computed = ComputePageChecksum(page);
      if (stored != computed) {
        std::snprintf(detail, sizeof detail, "stored 0x%08x, computed 0x%08x", stored, computed);
        out.push_back({PageFault::kChecksum, detail});
      }
      break;
    }
    case PageProtection::kTornBits:
      if (!TornBitsIntact(page)) out.push_back({PageFault::kTornPage, "sectors written in part"});
      break;
    case PageProtection::kNone: break;
  }
  // The header and the slot array are read as SQL Server meant them: with
  // the bits the torn-page pattern took put back.
  std::vector<uint8_t> repaired(page.begin(), page.end());
  repaired.resize(kPageSize, 0);
  const CPage_Header h = DecodeAndRepairHeader(repaired);
  page = ByteSpan(repaired.data(), repaired.size());
  if (h.thisPage.page != expected.page) {
    std::snprintf(detail, sizeof detail, "header says %d", h.thisPage.page);
    out.push_back({PageFault::kPageNumber, detail});
  }
  if (h.thisPage.fileId != expected.fileId) {
    std::snprintf(detail, sizeof detail, "header says %d", h.thisPage.fileId);
    out.push_back({PageFault::kFileId, detail});
  }
  if (!IsKnownPageType(h.pageType)) {
    std::snprintf(detail, sizeof detail, "type %u", h.pageType);
    out.push_back({PageFault::kPageType, detail});
    return out;  // the rest of the header means nothing on such a page
  }
  const int slots = h.slotCount;
  const int slotArrayStart = kPageSize - 2 * slots;
  if (slots < 0 || slotArrayStart < kPageHeaderSize) {
    std::snprintf(detail, sizeof detail, "%d slots", slots);
    out.push_back({PageFault::kSlotCount, detail});
    return out;
  }
  if (h.freeDataOffset < kPageHeaderSize || h.freeDataOffset > slotArrayStart) {
    std::snprintf(detail, sizeof detail, "offset %u with %d slots", h.freeDataOffset, slots);
    out.push_back({PageFault::kFreeDataOffset, detail});
  }
  for (int j = 0; j < slots; ++j) {
    const uint16_t o = U16At(page, kPageSize - 2 - 2 * j);
    if (o == 0) continue;  // an emptied slot
    if (o < kPageHeaderSize || o >= slotArrayStart) {
      std::snprintf(detail, sizeof detail, "slot %d at offset %u", j, o);
      out.push_back({PageFault::kSlotOffset, detail});
      break;
    }
  }
  return out;
}

uint32_t PfsPageOf(uint32_t page) { return page < kPfsInterval ? 1 : page / kPfsInterval * kPfsInterval; }

bool PfsSaysAllocated(ByteSpan pfsPage, uint32_t page) {
  return (U8At(pfsPage, kPfsBytesOffset + static_cast<int64_t>(page % kPfsInterval)) & kPfsAllocated) != 0;
}

const char* AllocationPageKind(uint32_t page, bool primaryFile) {
  if (page == 0) return "file header";
  if (page == 1 || page % kPfsInterval == 0) return "PFS";
  if (primaryFile && page == 9) return "boot page";
  switch (page % kGamInterval) {
    case 2: return "GAM";
    case 3: return "SGAM";
    case 6: return "differential change map";
    case 7: return "bulk-logged change map";
    default: return nullptr;
  }
}

}  // namespace pagewright
