// Page checksums and torn-page bits against the pages SQL Server wrote, and
// the header checks of a page against its position.
#include "pagestore/page_check.h"

#include <gtest/gtest.h>

#include "support/builder/database_builder.h"
#include "support/builder/page_builder.h"
#include "support/builder/page_protection.h"
#include "support/builder/record_builder.h"
#include "support/corpus.h"

namespace pagewright {
namespace {

using namespace build;

std::vector<PageFault> Faults(const std::vector<PageFinding>& findings) {
  std::vector<PageFault> out;
  for (const auto& f : findings) out.push_back(f.fault);
  return out;
}

ByteSpan PageOf(const std::vector<uint8_t>& file, uint64_t p) { return ByteSpan(file.data() + p * kPageSize, kPageSize); }

// Every page SQL Server allocated verifies, by checksum or by its torn-page
// bits; some leftovers in free space do not (so the test can tell).
TEST(PageProtection, EveryAllocatedCorpusPageVerifies) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  uint64_t checksums = 0, torn = 0, freeFailing = 0;
  for (const auto& f : testing::CorpusFiles()) {
    SCOPED_TRACE(f.file);
    const std::vector<uint8_t> bytes = ReadFileBytes(f.path);
    const uint64_t pages = bytes.size() / kPageSize;
    ASSERT_GT(pages, 1u);
    const ByteSpan pfs = PageOf(bytes, 1);
    ASSERT_EQ(pfs[1], kPfsPageType);
    for (uint64_t p = 0; p < pages; ++p) {
      const ByteSpan page = PageOf(bytes, p);
      const bool allocated = PfsSaysAllocated(pfs, static_cast<uint32_t>(p));
      bool ok = true;
      switch (ProtectionOf(page)) {
        case PageProtection::kChecksum:
          ok = ComputePageChecksum(page) == U32At(page, kChecksumOffset);
          checksums += allocated && ok;
          break;
        case PageProtection::kTornBits:
          ok = TornBitsIntact(page);
          torn += allocated && ok;
          break;
        case PageProtection::kNone: break;
      }
      if (allocated) {
        EXPECT_TRUE(ok) << "page " << p;
        EXPECT_TRUE(VerifyPage(page, PageId{1, static_cast<int32_t>(p)}).empty()) << "page " << p;
      } else if (!ok) {
        ++freeFailing;
      }
    }
  }
  EXPECT_GT(checksums, 2000u);
  EXPECT_GT(torn, 1000u);
  EXPECT_GT(freeFailing, 0u);
}

TEST(PageProtection, EverySingleBitFlipBreaksTheChecksum) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  const std::vector<uint8_t> bytes = ReadFileBytes(testing::CorpusFiles().back().path);
  // The first allocated data page with a checksum.
  const ByteSpan pfs = PageOf(bytes, 1);
  uint64_t p = 16;
  while (!(PageOf(bytes, p)[1] == kDataPage && ProtectionOf(PageOf(bytes, p)) == PageProtection::kChecksum &&
           PfsSaysAllocated(pfs, static_cast<uint32_t>(p))))
    ++p;
  std::vector<uint8_t> page(PageOf(bytes, p).begin(), PageOf(bytes, p).end());
  ASSERT_TRUE(VerifyPage(page, PageId{1, static_cast<int32_t>(p)}).empty());
  for (size_t bit = 0; bit < 8 * static_cast<size_t>(kPageSize); bit += 61) {
    if (bit / 8 >= static_cast<size_t>(kChecksumOffset) && bit / 8 < static_cast<size_t>(kChecksumOffset + 4)) continue;
    if (bit / 8 >= 4 && bit / 8 < 6) continue;  // the flag bits that say which protection there is
    std::vector<uint8_t> flipped = page;
    flipped[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
    EXPECT_NE(ComputePageChecksum(flipped), U32At(flipped, kChecksumOffset)) << "bit " << bit;
  }
}

TEST(PageProtection, TornSectorIsFoundAndTheRepairGivesTheBytesBack) {
  PageBuilder b(kDataPage, 30);
  b.AddRecord(RecordBuilder().FixedLE<int32_t>(7).Variable(Ascii(std::string(3000, 'x'))).Build());
  const std::vector<uint8_t> original = b.Bytes();
  for (uint32_t pattern : {1u, 2u}) {
    std::vector<uint8_t> page = original;
    StampTornBits(page, pattern);
    EXPECT_TRUE(TornBitsIntact(page));
    EXPECT_TRUE(VerifyPage(page, PageId{1, 30}).empty());
    // What the page store reads back is the page as it was before the write.
    std::vector<uint8_t> repaired = page;
    DecodeAndRepairHeader(repaired);
    EXPECT_TRUE(std::equal(repaired.begin() + 64, repaired.end(), original.begin() + 64));
    for (int sector = 1; sector < kSectorsPerPage; ++sector) {
      std::vector<uint8_t> torn = page;
      uint8_t& last = torn[static_cast<size_t>(sector * kSectorSize + kSectorSize - 1)];
      last = static_cast<uint8_t>((last & ~3u) | (3u - pattern));  // the other pattern: an older write
      EXPECT_FALSE(TornBitsIntact(torn)) << sector;
      EXPECT_EQ(Faults(VerifyPage(torn, PageId{1, 30})), std::vector<PageFault>{PageFault::kTornPage});
    }
  }
}

TEST(PageHeaderChecks, HeaderIsHeldToThePagesPosition) {
  PageBuilder b(kDataPage, 40);
  b.AddRecord(RecordBuilder().FixedLE<int32_t>(1).Build());
  b.AddRecord(RecordBuilder().FixedLE<int32_t>(2).Build());
  const std::vector<uint8_t> good = b.Bytes();
  EXPECT_TRUE(VerifyPage(good, PageId{1, 40}).empty());
  EXPECT_EQ(Faults(VerifyPage(good, PageId{1, 41})), std::vector<PageFault>{PageFault::kPageNumber});
  EXPECT_EQ(Faults(VerifyPage(good, PageId{3, 40})), std::vector<PageFault>{PageFault::kFileId});

  std::vector<uint8_t> type = good;
  type[1] = 99;
  EXPECT_EQ(Faults(VerifyPage(type, PageId{1, 40})), std::vector<PageFault>{PageFault::kPageType});

  std::vector<uint8_t> slots = good;
  StoreLittleEndian<int16_t>(slots.data() + 22, 4090);
  EXPECT_EQ(Faults(VerifyPage(slots, PageId{1, 40})), std::vector<PageFault>{PageFault::kSlotCount});
  StoreLittleEndian<int16_t>(slots.data() + 22, -1);
  EXPECT_EQ(Faults(VerifyPage(slots, PageId{1, 40})), std::vector<PageFault>{PageFault::kSlotCount});

  std::vector<uint8_t> free = good;
  StoreLittleEndian<uint16_t>(free.data() + 30, 50);
  EXPECT_EQ(Faults(VerifyPage(free, PageId{1, 40})), std::vector<PageFault>{PageFault::kFreeDataOffset});

  std::vector<uint8_t> slot = good;
  StoreLittleEndian<uint16_t>(slot.data() + kPageSize - 4, 8189);  // slot 1 inside the slot array
  EXPECT_EQ(Faults(VerifyPage(slot, PageId{1, 40})), std::vector<PageFault>{PageFault::kSlotOffset});
  StoreLittleEndian<uint16_t>(slot.data() + kPageSize - 4, 12);  // inside the header
  EXPECT_EQ(Faults(VerifyPage(slot, PageId{1, 40})), std::vector<PageFault>{PageFault::kSlotOffset});
  StoreLittleEndian<uint16_t>(slot.data() + kPageSize - 4, 0);  // an emptied slot is no fault
  EXPECT_TRUE(VerifyPage(slot, PageId{1, 40}).empty());
}

TEST(PageAllocation, PfsIntervalsAndTheFilesOwnPages) {
  EXPECT_EQ(PfsPageOf(0), 1u);
  EXPECT_EQ(PfsPageOf(8087), 1u);
  EXPECT_EQ(PfsPageOf(8088), 8088u);
  EXPECT_EQ(PfsPageOf(20000), 16176u);
  EXPECT_STREQ(AllocationPageKind(0, true), "file header");
  EXPECT_STREQ(AllocationPageKind(1, false), "PFS");
  EXPECT_STREQ(AllocationPageKind(16176, true), "PFS");
  EXPECT_STREQ(AllocationPageKind(2, true), "GAM");
  EXPECT_STREQ(AllocationPageKind(511235, true), "SGAM");
  EXPECT_STREQ(AllocationPageKind(9, true), "boot page");
  EXPECT_EQ(AllocationPageKind(9, false), nullptr);
  EXPECT_EQ(AllocationPageKind(20, true), nullptr);
}

}  // namespace
}  // namespace pagewright
