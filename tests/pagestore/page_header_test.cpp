#include "pagestore/page_header.h"

#include <gtest/gtest.h>

#include "pagestore/pages.h"
#include "support/builder/page_builder.h"

namespace pagewright {
namespace {

using build::PageBuilder;

TEST(PageHeader, DecodesEveryField) {
  PageBuilder b(1, 1234, 3);
  b.TypeFlags(0x80).Level(2).FlagBits(0x0200).IndexId(5).Previous({2, 77}).Next({4, 88}).ObjectId(-12).GhostCount(3)
      .FreeByteCount(100);
  b.PutLE<int32_t>(40, 21).PutLE<int32_t>(44, -7).PutLE<int16_t>(48, 3);
  b.PutLE<int32_t>(52, 99).PutLE<int16_t>(56, -2);
  b.AddRecord(std::vector<uint8_t>(10, 0x30));
  auto bytes = b.Bytes();
  CPage_Header h = DecodePageHeader(bytes);
  EXPECT_EQ(h.pageType, 1);
  EXPECT_EQ(h.typeFlagBits, 0x80);
  EXPECT_EQ(h.level, 2);
  EXPECT_EQ(h.indexId, 5);
  EXPECT_EQ(h.previousPage, (PageId{2, 77}));
  EXPECT_EQ(h.nextPage, (PageId{4, 88}));
  EXPECT_EQ(h.thisPage, (PageId{3, 1234}));
  EXPECT_EQ(h.objectId, -12);
  EXPECT_EQ(h.slotCount, 1);
  EXPECT_EQ(h.freeDataOffset, 106);
  EXPECT_EQ(h.ghostRecordCount, 3);
  EXPECT_EQ(h.logSequenceNumber, "( 21 : -7 : 3 )");
  EXPECT_EQ(h.transactionId, "( -2 : 99 )");
}

TEST(PageHeader, ShortInputLeavesFieldsZero) {
  std::vector<uint8_t> few = {0x01, 0x0A, 0x00};
  CPage_Header h = DecodePageHeader(few);
  EXPECT_EQ(h.pageType, 10);
  EXPECT_EQ(h.objectId, 0);
  EXPECT_EQ(h.thisPage, (PageId{0, 0}));
}

TEST(TornPageRepair, PutsBackTheTwoLowBitsOfEverySectorButTheFirst) {
  PageBuilder b(1, 5);
  b.FlagBits(kFlagTornBits).TornBits(12);  // binary 1100: sector 1 gets 3
  auto bytes = b.Bytes();
  for (int s = 0; s < 16; ++s) bytes[static_cast<size_t>(512 * s + 511)] = 0xFE;
  CPage_Header h = DecodeAndRepairHeader(bytes);
  EXPECT_EQ(h.tornBits, 12u);
  EXPECT_EQ(bytes[511], 0xFE) << "sector 0 is left alone";
  EXPECT_EQ(bytes[1023], 0xFF);
  for (int s = 2; s < 16; ++s) EXPECT_EQ(bytes[static_cast<size_t>(512 * s + 511)], 0xFC) << "sector " << s;
}

TEST(TornPageRepair, WithoutTheFlagNothingChanges) {
  PageBuilder b(1, 5);
  b.TornBits(0xFFFFFFFF);
  auto bytes = b.Bytes();
  bytes[1023] = 0x40;
  DecodeAndRepairHeader(bytes);
  EXPECT_EQ(bytes[1023], 0x40);
}

TEST(TornPageRepair, RecordPageSeesRepairedBytes) {
  PageBuilder b(1, 5);
  b.FlagBits(kFlagTornBits).TornBits(0b11u << 4);  // sector 2
  auto bytes = b.Bytes();
  bytes[1535] = 0x10;
  RecordPage page(bytes, nullptr);
  EXPECT_EQ(page.bytes[1535], 0x13);
}

TEST(SlotTable, CountsFromOneTo3999GiveATable) {
  PageBuilder b(1, 5);
  b.AddSlot(96);
  b.AddSlot(300);
  auto bytes = b.Bytes();
  auto two = ReadSlotTable(bytes, 2);
  ASSERT_TRUE(two);
  EXPECT_EQ(*two, (std::vector<uint16_t>{96, 300}));
  ASSERT_TRUE(ReadSlotTable(bytes, 3999));
  EXPECT_EQ(ReadSlotTable(bytes, 3999)->size(), 3999u);
  EXPECT_FALSE(ReadSlotTable(bytes, 4000));
  EXPECT_FALSE(ReadSlotTable(bytes, 0));
  EXPECT_FALSE(ReadSlotTable(bytes, -1));
}

TEST(RecordPage, ShortBufferIsZeroExtended) {
  RecordPage page(std::vector<uint8_t>{1, 1}, nullptr);
  EXPECT_EQ(page.bytes.size(), static_cast<size_t>(kPageSize));
  EXPECT_EQ(page.header.pageType, 1);
  EXPECT_FALSE(page.slotTable);
}

TEST(RecordStatusByte, DecodesKindAndFlags) {
  RecordStatus s = DecodeRecordStatus(0x3C);
  EXPECT_EQ(s.kind, kGhostDataRecord);
  EXPECT_TRUE(s.hasNullBitmap);
  EXPECT_TRUE(s.hasVariableColumns);
  EXPECT_FALSE(s.compressed);
  RecordStatus c = DecodeRecordStatus(0x41);
  EXPECT_TRUE(c.compressed);
  EXPECT_TRUE(c.hasVersioning);
  EXPECT_EQ(c.kind, kPrimaryRecord);
}

}  // namespace
}  // namespace pagewright
