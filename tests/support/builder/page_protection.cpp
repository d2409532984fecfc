#include "support/builder/page_protection.h"

#include "pagestore/page_check.h"
#include "support/builder/page_builder.h"
#include "support/builder/record_builder.h"

namespace pagewright::build {

void WritePfsPage(DatabaseBuilder& db) {
  Bytes record(4 + kPfsInterval, 0);
  record[2] = static_cast<uint8_t>((kPfsInterval + 4) & 0xFF);
  record[3] = static_cast<uint8_t>((kPfsInterval + 4) >> 8);
  PageBuilder pfs(kPfsPageType, 1);
  db.SetPage(1, pfs.Bytes());  // typed first, so that it counts itself
  for (uint32_t p = 0; p < db.pageCount() && p < kPfsInterval; ++p)
    if (db.PageBytes(p)[1] != 0) record[4 + p] = kPfsAllocated;
  pfs.AddRecord(record);
  db.SetPage(1, pfs.Bytes());
}

void StampChecksums(DatabaseBuilder& db) {
  for (uint32_t p = 0; p < db.pageCount(); ++p) {
    std::vector<uint8_t>& page = db.PageBytes(p);
    uint16_t flags = static_cast<uint16_t>((page[4] | (page[5] << 8)) | kFlagChecksum);
    page[4] = static_cast<uint8_t>(flags);
    page[5] = static_cast<uint8_t>(flags >> 8);
    uint32_t checksum = ComputePageChecksum(page);
    for (int i = 0; i < 4; ++i) page[kChecksumOffset + i] = static_cast<uint8_t>(checksum >> (8 * i));
  }
}

void StampTornBits(std::vector<uint8_t>& page, uint32_t pattern) {
  uint32_t bits = pattern & 3u;
  for (int s = 1; s < kSectorsPerPage; ++s) {
    uint8_t& last = page[static_cast<size_t>(s * kSectorSize + kSectorSize - 1)];
    bits |= static_cast<uint32_t>(last & 3u) << (2 * s);
    last = static_cast<uint8_t>((last & ~3u) | (pattern & 3u));
  }
  uint16_t flags = static_cast<uint16_t>((page[4] | (page[5] << 8)) | kFlagTornBits);
  page[4] = static_cast<uint8_t>(flags);
  page[5] = static_cast<uint8_t>(flags >> 8);
  for (int i = 0; i < 4; ++i) page[kChecksumOffset + i] = static_cast<uint8_t>(bits >> (8 * i));
}

}  // namespace pagewright::build
