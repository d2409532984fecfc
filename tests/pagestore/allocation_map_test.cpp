// IAM pages: the interval they cover, the extents their bitmap owns, the
// header's single pages, and pages missing one of their two records.
#include "pagestore/allocation_map.h"

#include <gtest/gtest.h>

#include "support/builder/catalog_builder.h"

namespace pagewright {
namespace {

using namespace build;

std::vector<PageId> Pages(int16_t file, int32_t first, int32_t last) {
  std::vector<PageId> out;
  for (int32_t p = first; p <= last; ++p) out.push_back(PageId{file, p});
  return out;
}

std::vector<uint32_t> Range(uint32_t first, uint32_t last) {
  std::vector<uint32_t> out;
  for (uint32_t p = first; p <= last; ++p) out.push_back(p);
  return out;
}

TEST(IamPageExtents, IntervalComesFromThePagesOwnPosition) {
  // Bit 3 of the IAM page at 600000 (interval 511232): pages 511256-511263.
  // The header's start page field says page 0; it is not used.
  IamPage iam(IamPageBytes(600000, 77, Range(511256, 511263)), nullptr);
  auto extents = EnumerateExtents(iam, UINT64_MAX);
  ASSERT_EQ(extents.size(), 1u);
  EXPECT_EQ(extents[0].first, (PageId{1, 511256}));
  EXPECT_EQ(extents[0].last, (PageId{1, 511263}));
  EXPECT_EQ(iam.allocatedExtentCount, 1);

  // The file id comes from the page's own header too.
  auto bytes = IamPageBytes(600000, 77, Range(511256, 511263));
  bytes[36] = 3;
  IamPage onFile3(bytes, nullptr);
  EXPECT_EQ(EnumerateExtents(onFile3, UINT64_MAX).at(0).first, (PageId{3, 511256}));
}

TEST(IamPageExtents, BitsBeyondTheOldFilesExtentCountAreCut) {
  // 21 extents owned; a file of 100 pages has 12.
  IamPage iam(IamPageBytes(50, 77, Range(0, 167)), nullptr);
  EXPECT_EQ(EnumerateExtents(iam, UINT64_MAX).size(), 21u);
  auto extents = EnumerateExtents(iam, 100 / 8);
  ASSERT_EQ(extents.size(), 12u);
  EXPECT_EQ(extents.back().first, (PageId{1, 88}));
  EXPECT_EQ(iam.allocatedExtentCount, 12);
  EXPECT_TRUE(EnumerateExtents(iam, 0).empty());
  EXPECT_EQ(iam.allocatedExtentCount, 0);
}

TEST(IamPageExtents, ExtentExpandsToItsEightPagesInOrder) {
  EXPECT_EQ(ExtentPages(ExtentItem{PageId{1, 16}, PageId{1, 23}}), Pages(1, 16, 23));
  EXPECT_EQ(ExtentPages(ExtentItem{PageId{4, 800}, PageId{4, 807}}), Pages(4, 800, 807));
  EXPECT_TRUE(ExtentPages(ExtentItem{PageId{1, 23}, PageId{1, 16}}).empty());
}

TEST(IamPageHeader, SinglePagesAndIdsAreDecoded) {
  IamPage iam(IamPageBytes(300, 1077, {40, 41, 97}), nullptr);
  EXPECT_EQ(iam.objectId, 1077);
  EXPECT_EQ(iam.pageCount, 3);
  EXPECT_EQ(iam.singlePages[0], (PageId{1, 40}));
  EXPECT_EQ(iam.singlePages[1], (PageId{1, 41}));
  EXPECT_EQ(iam.singlePages[2], (PageId{1, 97}));
  EXPECT_EQ(iam.singlePages[3], (PageId{0, 0}));  // an empty slot as stored
  EXPECT_TRUE(EnumerateExtents(iam, UINT64_MAX).empty());
}

// An IAM page holding the given records in slots 0 and 1.
std::vector<uint8_t> IamWithRecords(const std::vector<Bytes>& records) {
  PageBuilder p(10, 300);
  for (const Bytes& r : records) p.AddRecord(r);
  return p.Bytes();
}

TEST(IamPageDamage, MissingHeaderOrBitmapRecord) {
  Bytes bitmap(7988, 0);
  bitmap[0] = 0x05;  // extents 0 and 2
  const Bytes bitmapRecord = RecordBuilder().Fixed(bitmap).Columns(0).WithoutNullBitmap().Build();
  const Bytes shortHeader = RecordBuilder().Fixed(Bytes(40, 0xEE)).Columns(0).WithoutNullBitmap().Build();

  // A header record too short for its fields: defaults, extents still read.
  IamPage noHeader(IamWithRecords({shortHeader, bitmapRecord}), nullptr);
  EXPECT_EQ(noHeader.startPage, (PageId{1, 0}));
  EXPECT_EQ(noHeader.singlePages[0], (PageId{1, 0}));
  EXPECT_EQ(noHeader.objectId, 0);
  auto extents = EnumerateExtents(noHeader, UINT64_MAX);
  ASSERT_EQ(extents.size(), 2u);
  EXPECT_EQ(extents[1].first, (PageId{1, 16}));

  // No bitmap record: no extents, the header still read.
  Bytes header(90, 0);
  header[28] = 0x35;  // object id 1077 (0x435)
  header[29] = 0x04;
  header[42] = 40;  // first single page: page 40 ...
  header[46] = 1;   // ... of file 1
  IamPage noBitmap(IamWithRecords({RecordBuilder().Fixed(header).Columns(0).WithoutNullBitmap().Build()}), nullptr);
  EXPECT_EQ(noBitmap.bitCount, 0);
  EXPECT_EQ(noBitmap.objectId, 1077);
  EXPECT_EQ(noBitmap.singlePages[0], (PageId{1, 40}));
  EXPECT_TRUE(EnumerateExtents(noBitmap, UINT64_MAX).empty());

  // A page with no records at all.
  IamPage empty(IamWithRecords({}), nullptr);
  EXPECT_TRUE(EnumerateExtents(empty, UINT64_MAX).empty());
  EXPECT_EQ(empty.objectId, 0);
}

TEST(IamPageDamage, BitmapShorterThanAPageCountsOnlyItsBits) {
  const Bytes bitmapRecord = RecordBuilder().Fixed(Bytes{0x00, 0x80}).Columns(0).WithoutNullBitmap().Build();
  const Bytes header = RecordBuilder().Fixed(Bytes(90, 0)).Columns(0).WithoutNullBitmap().Build();
  IamPage iam(IamWithRecords({header, bitmapRecord}), nullptr);
  EXPECT_EQ(iam.bitCount, 16);
  auto extents = EnumerateExtents(iam, UINT64_MAX);
  ASSERT_EQ(extents.size(), 1u);
  EXPECT_EQ(extents[0].first, (PageId{1, 120}));
}

}  // namespace
}  // namespace pagewright
