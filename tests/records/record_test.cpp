#include "records/record.h"

#include <gtest/gtest.h>

#include "records/record_enumeration.h"
#include "support/builder/database_builder.h"
#include "support/builder/record_builder.h"
#include "support/read_fixture.h"

namespace pagewright {
namespace {

using build::Bytes;
using build::CompressedRecordBuilder;
using build::LE;
using build::PageBuilder;
using build::RecordBuilder;

// A data page holding the given records, built into a CDataPage.
std::unique_ptr<CDataPage> PageWith(const std::vector<Bytes>& records, const ReadContext& state,
                                    std::function<void(PageBuilder&)> tweak = {}) {
  PageBuilder b(1, 100);
  b.ObjectId(555);
  for (const auto& r : records) b.AddRecord(r);
  if (tweak) tweak(b);
  auto page = std::make_unique<CDataPage>(b.Bytes(), nullptr);
  BuildPrimaryRecordPage(*page, state);
  return page;
}

std::string Text(ByteSpan bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(ClassicRecord, FixedPartBitmapAndVariableValues) {
  ReadContext state;
  Bytes r = RecordBuilder().FixedLE<int32_t>(42).FixedLE<int16_t>(7).Null(2).Variable(build::Ascii("abc"))
                .Variable(build::Ascii("de")).Columns(5).Build();
  auto page = PageWith({r}, state);
  ASSERT_EQ(page->records.size(), 1u);
  const CPrimaryRecord* rec = RecordAt(*page, 0);
  ASSERT_NE(rec, nullptr);
  EXPECT_FALSE(rec->invalid);
  EXPECT_EQ(rec->fixedLength, 6);
  EXPECT_EQ(I32At(rec->FixedData(), 0), 42);
  EXPECT_EQ(rec->columnCount, 5);
  EXPECT_TRUE(rec->NullBit(2));
  EXPECT_FALSE(rec->NullBit(1));
  ASSERT_EQ(rec->values.size(), 2u);
  EXPECT_EQ(Text(rec->Bytes(rec->values[0])), "abc");
  EXPECT_EQ(Text(rec->Bytes(rec->values[1])), "de");
  EXPECT_EQ(rec->whole.length, static_cast<int32_t>(r.size()));
  EXPECT_EQ(rec->WholeRecord().size(), r.size());
}

TEST(ClassicRecord, FixedEndOfFourMeansNoFixedDataAndCountAtFour) {
  ReadContext state;
  Bytes r = RecordBuilder().Columns(1).Variable(build::Ascii("xy")).Build();
  auto page = PageWith({r}, state);
  const CPrimaryRecord* rec = RecordAt(*page, 0);
  EXPECT_FALSE(rec->fixed.present);
  EXPECT_EQ(rec->columnCount, 1);
  ASSERT_EQ(rec->values.size(), 1u);
  EXPECT_EQ(Text(rec->Bytes(rec->values[0])), "xy");
}

TEST(ClassicRecord, VariableCountAboveColumnCountYieldsNothing) {
  ReadContext state;
  Bytes r = RecordBuilder().FixedLE<int32_t>(1).Variable(build::Ascii("a")).Columns(2).VariableCount(9).Build();
  auto page = PageWith({r}, state);
  const CPrimaryRecord* rec = RecordAt(*page, 0);
  EXPECT_TRUE(rec->values.empty());
  EXPECT_EQ(rec->whole.length, 0);
}

TEST(ClassicRecord, ComplexFlagIsBit15AndClearedFromTheEnd) {
  ReadContext state;
  Bytes pointer(16, 0x11);
  Bytes r = RecordBuilder().FixedLE<int32_t>(1).Variable(pointer, true).Build();
  auto page = PageWith({r}, state);
  const CPrimaryRecord* rec = RecordAt(*page, 0);
  ASSERT_EQ(rec->values.size(), 1u);
  EXPECT_TRUE(rec->values[0].complex);
  EXPECT_EQ(rec->values[0].range.length, 16);
  EXPECT_EQ(rec->variableEnds[0], r.size());
  EXPECT_FALSE(rec->hasSparseVector);
}

TEST(ClassicRecord, SixteenByteComplexValueIsNeverASparseVector) {
  ReadContext state;
  Bytes looksSparse = build::Concat({LE<uint16_t>(5), Bytes(14, 0)});
  auto page = PageWith({RecordBuilder().FixedLE<int32_t>(1).Variable(looksSparse, true).Build()}, state);
  EXPECT_FALSE(RecordAt(*page, 0)->hasSparseVector);
}

TEST(ClassicRecord, SparseVectorValuesByColumnId) {
  ReadContext state;
  Bytes vector = build::SparseVector({{7, LE<int32_t>(99)}, {9, build::Ascii("sparse")}});
  auto page = PageWith({RecordBuilder().FixedLE<int32_t>(1).Variable(vector, true).Columns(3).Build()}, state);
  const CPrimaryRecord* rec = RecordAt(*page, 0);
  ASSERT_TRUE(rec->hasSparseVector);
  ASSERT_EQ(rec->sparse.size(), 2u);
  EXPECT_EQ(rec->sparse[0].id, 7);
  EXPECT_EQ(I32At(rec->Bytes(rec->sparse[0]), 0), 99);
  EXPECT_EQ(rec->sparse[1].id, 9);
  EXPECT_EQ(Text(rec->Bytes(rec->sparse[1])), "sparse");
}

TEST(ClassicRecord, EmptyVariableValueHasNoBytes) {
  ReadContext state;
  auto page = PageWith({RecordBuilder().FixedLE<int32_t>(1).Variable({}).Variable(build::Ascii("z")).Build()}, state);
  const CPrimaryRecord* rec = RecordAt(*page, 0);
  ASSERT_EQ(rec->values.size(), 2u);
  EXPECT_FALSE(rec->values[0].range.present);
  EXPECT_EQ(Text(rec->Bytes(rec->values[1])), "z");
}

TEST(ClassicRecord, ValuesEndingPastThePageAreEmpty) {
  ReadContext state;
  Bytes r = RecordBuilder().FixedLE<int32_t>(1).Variable(build::Ascii("abcdef")).Build();
  r[r.size() - 8] = 0xF0;  // end offset low byte: far beyond the record
  r[r.size() - 7] = 0x1F;
  auto page = PageWith({r}, state);
  const CPrimaryRecord* rec = RecordAt(*page, 0);
  ASSERT_EQ(rec->values.size(), 1u);
  EXPECT_FALSE(rec->values[0].range.present);
}

TEST(RecordKinds, GhostDataRecordNeedsShowDeleted) {
  Bytes ghost = RecordBuilder(kGhostDataRecord).FixedLE<int32_t>(5).Build();
  Bytes live = RecordBuilder().FixedLE<int32_t>(6).Build();
  ReadContext hidden;
  auto page = PageWith({live, ghost}, hidden, [](PageBuilder& b) { b.GhostCount(1); });
  const CPrimaryRecord* g = RecordAt(*page, 1);
  EXPECT_TRUE(g->invalid);
  EXPECT_TRUE(g->ghost);
  EXPECT_FALSE(g->fixed.present);

  ReadContext shown;
  shown.showDeleted = true;
  auto page2 = PageWith({live, ghost}, shown, [](PageBuilder& b) { b.GhostCount(1); });
  const CPrimaryRecord* g2 = RecordAt(*page2, 1);
  EXPECT_FALSE(g2->invalid);
  EXPECT_FALSE(g2->ghost);
  EXPECT_EQ(I32At(g2->FixedData(), 0), 5);
}

TEST(RecordKinds, IndexAndBlobFragmentRecordsAreInvalid) {
  ReadContext state;
  auto page = PageWith({RecordBuilder(kIndexRecord).FixedLE<int32_t>(1).Build(),
                        RecordBuilder(kBlobFragment).FixedLE<int32_t>(1).Build()},
                       state);
  EXPECT_TRUE(RecordAt(*page, 0)->invalid);
  EXPECT_TRUE(RecordAt(*page, 1)->invalid);
}

TEST(RecordKinds, PagesOfUnknownTypeOrNegativeNumberGiveInvalidRecords) {
  ReadContext state;
  auto page = PageWith({RecordBuilder().FixedLE<int32_t>(1).Build()}, state, [](PageBuilder& b) { b.Type(18); });
  EXPECT_TRUE(RecordAt(*page, 0)->invalid);
}

TEST(Enumeration, GhostCountCoveringAllSlotsHidesTheRecords) {
  Bytes r = RecordBuilder().FixedLE<int32_t>(1).Build();
  ReadContext hidden;
  auto page = PageWith({r, r}, hidden, [](PageBuilder& b) { b.GhostCount(2); });
  ASSERT_EQ(page->records.size(), 2u);
  EXPECT_EQ(RecordAt(*page, 0), nullptr);
  ReadContext shown;
  shown.showDeleted = true;
  auto page2 = PageWith({r, r}, shown, [](PageBuilder& b) { b.GhostCount(2); });
  EXPECT_NE(RecordAt(*page2, 0), nullptr);
}

TEST(Enumeration, SlotOffsetsOutsideTheRecordAreaGiveNone) {
  ReadContext state;
  auto page = PageWith({RecordBuilder().FixedLE<int32_t>(1).Build()}, state, [](PageBuilder& b) {
    b.AddSlot(95);
    b.AddSlot(0);
  });
  ASSERT_EQ(page->records.size(), 3u);
  EXPECT_NE(RecordAt(*page, 0), nullptr);
  EXPECT_EQ(RecordAt(*page, 1), nullptr);
  EXPECT_EQ(RecordAt(*page, 2), nullptr);
}

TEST(Enumeration, IndexPagesAboveTheLeafAreNotEnumerated) {
  ReadContext state;
  auto page = PageWith({RecordBuilder().FixedLE<int32_t>(1).Build()}, state, [](PageBuilder& b) {
    b.Type(kIndexPage).Level(1);
  });
  ASSERT_EQ(page->records.size(), 1u);
  EXPECT_EQ(RecordAt(*page, 0), nullptr);
}

TEST(Enumeration, NegativeHeaderFieldsStopTheEnumeration) {
  ReadContext state;
  auto page = PageWith({RecordBuilder().FixedLE<int32_t>(1).Build()}, state,
                       [](PageBuilder& b) { b.Next(PageId{1, -3}); });
  EXPECT_TRUE(page->records.empty());
}

TEST(AdvancedDeletedScan, FindsRecordsNoSlotPointsToAfterTheSlotRecords) {
  ReadContext state;
  state.showDeleted = true;
  state.showAdvancedDeleted = true;
  auto row = [](int32_t v) { return RecordBuilder().FixedLE<int32_t>(v).Variable(build::Ascii("v")).Build(); };
  PageBuilder b(1, 100);
  b.ObjectId(555);
  b.AddRecord(row(1));
  b.AddUnslottedRecord(row(2));
  b.AddRecord(row(3));
  b.AddUnslottedRecord(row(4));
  b.AddRecord(row(5));
  auto page = std::make_unique<CDataPage>(b.Bytes(), nullptr);
  BuildPrimaryRecordPage(*page, state);
  ASSERT_EQ(page->records.size(), 5u);
  std::vector<int32_t> values;
  for (size_t i = 0; i < 5; ++i) values.push_back(I32At(RecordAt(*page, i)->FixedData(), 0));
  EXPECT_EQ(values, (std::vector<int32_t>{1, 3, 5, 2, 4}));
  EXPECT_EQ(page->header.slotCount, 5);
}

TEST(AdvancedDeletedScan, RunsOnlyWithBothOptions) {
  ReadContext state;
  state.showAdvancedDeleted = true;  // without showDeleted
  PageBuilder b(1, 100);
  b.AddRecord(RecordBuilder().FixedLE<int32_t>(1).Build());
  b.AddUnslottedRecord(RecordBuilder().FixedLE<int32_t>(2).Build());
  auto page = std::make_unique<CDataPage>(b.Bytes(), nullptr);
  BuildPrimaryRecordPage(*page, state);
  EXPECT_EQ(page->records.size(), 1u);
}

TEST(MeasureRecord, ClassicLengthOrMinusOne) {
  ReadContext state;
  Bytes r = RecordBuilder().FixedLE<int64_t>(1).Variable(build::Ascii("hello")).Build();
  PageBuilder b(1, 100);
  b.AddRecord(r);
  b.AddRecord(CompressedRecordBuilder().Short({1}).Build());
  CDataPage page(b.Bytes(), nullptr);
  RecordContext ctx{page, state, 0};
  EXPECT_EQ(MeasureRecord(ctx, 96), static_cast<int>(r.size()));
  EXPECT_EQ(MeasureRecord(ctx, 96 + static_cast<int>(r.size())), -1);
  EXPECT_EQ(MeasureRecord(ctx, 8000), -1);
}

TEST(CompressedRecord, ShortLongAndNullColumns) {
  ReadContext state;
  Bytes r = CompressedRecordBuilder().Short({0x85}).Null().Long(build::Ascii("long value")).Empty().Build();
  PageBuilder b(1, 100);
  b.AddRecord(r);
  CDataPage page(b.Bytes(), nullptr);
  RecordContext ctx{page, state, 0};
  auto rec = ParseRecord(ctx, 96, kPageSize - 96);
  EXPECT_FALSE(rec->invalid);
  EXPECT_EQ(rec->columnCount, 4);
  EXPECT_EQ(rec->descriptorCodes, (std::vector<int32_t>{2, 0, 10, 1}));
  EXPECT_EQ(rec->fixedLength, 1);
  EXPECT_EQ(rec->FixedData()[0], 0x85);
  ASSERT_EQ(rec->values.size(), 1u);
  EXPECT_EQ(Text(rec->Bytes(rec->values[0])), "long value");
  EXPECT_EQ(rec->longValueCount, 1);
}

TEST(CompressedRecord, TwoByteColumnCountIsReadAsStored) {
  ReadContext state;
  PageBuilder b(1, 100);
  b.AddRecord(Bytes{0x01, 0x85, 0x00, 0x00});
  b.AddRecord(Bytes{0x01, 0x80, 0x05, 0x00});
  CDataPage page(b.Bytes(), nullptr);
  RecordContext ctx{page, state, 0};
  auto a = ParseRecord(ctx, 96, 8096);
  EXPECT_EQ(a->columnCount, 133);
  EXPECT_FALSE(a->invalid);
  auto c = ParseRecord(ctx, 100, 8092);
  EXPECT_TRUE(c->invalid) << "1408 columns";
}

TEST(CompressedRecord, ClusterBytesAreSkippedFrom31Columns) {
  ReadContext state;
  CompressedRecordBuilder thirty, thirtyOne;
  for (int i = 0; i < 29; ++i) {
    thirty.Null();
    thirtyOne.Null();
  }
  thirty.Short({0x42});
  thirtyOne.Null().Short({0x43});
  PageBuilder b(1, 100);
  Bytes r30 = thirty.Build(), r31 = thirtyOne.Build();
  b.AddRecord(r30);
  b.AddRecord(r31);
  CDataPage page(b.Bytes(), nullptr);
  RecordContext ctx{page, state, 0};
  auto a = ParseRecord(ctx, 96, 8000);
  auto c = ParseRecord(ctx, 96 + static_cast<int>(r30.size()), 8000);
  EXPECT_EQ(a->FixedData()[0], 0x42);
  EXPECT_EQ(c->columnCount, 31);
  EXPECT_EQ(c->FixedData()[0], 0x43) << "one cluster byte skipped";
}

// Forwarding stubs are followed through the reader to the forwarded record.
class ForwardingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    build::DatabaseBuilder db(24);
    PageBuilder sys(1, 16);
    sys.ObjectId(7);
    db.SetPage(16, sys);
    PageBuilder target(1, 20);
    target.ObjectId(555);
    target.AddRecord(RecordBuilder(kForwardedRecord).FixedLE<int32_t>(77).Variable(build::Ascii("moved")).Build());
    db.SetPage(20, target);
    PageBuilder home(1, 21);
    home.ObjectId(555);
    home.AddRecord(build::ForwardingStub(PageId{1, 20}, 0));
    home.AddRecord(build::ForwardingStub(PageId{1, 20}, 5));   // no such slot
    home.AddRecord(build::ForwardingStub(PageId{1, 900}, 0));  // beyond the file
    home.AddRecord(build::ForwardingStub(PageId{1, 22}, 0));   // a stub pointing at itself
    db.SetPage(21, home);
    PageBuilder loop(1, 22);
    loop.AddRecord(build::ForwardingStub(PageId{1, 22}, 0));
    db.SetPage(22, loop);
    file_ = std::make_unique<build::TempFile>(db.Build());
    reader_ = OpenForTest(state_, file_->str(), file_->str(), nullptr);
  }
  ReadContext state_;
  std::unique_ptr<build::TempFile> file_;
  std::unique_ptr<DatabaseReader> reader_;
};

TEST_F(ForwardingTest, StubTakesTheForwardedRecordsColumns) {
  auto page = LoadDataPage(*reader_, state_, PageId{1, 21});
  ASSERT_TRUE(page);
  const CPrimaryRecord* rec = RecordAt(*page, 0);
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(rec->status.kind, kForwardingStub);
  EXPECT_EQ(I32At(rec->FixedData(), 0), 77);
  ASSERT_EQ(rec->values.size(), 1u);
  EXPECT_EQ(Text(rec->Bytes(rec->values[0])), "moved");
}

TEST_F(ForwardingTest, UnreadableTargetsKeepFixedLengthMinusFive) {
  auto page = LoadDataPage(*reader_, state_, PageId{1, 21});
  for (size_t i : {1u, 2u, 3u}) {
    const CPrimaryRecord* rec = RecordAt(*page, i);
    ASSERT_NE(rec, nullptr);
    EXPECT_FALSE(rec->invalid);
    EXPECT_EQ(rec->fixedLength, kUnreadableForward) << "slot " << i;
    EXPECT_FALSE(rec->fixed.present);
  }
}

}  // namespace
}  // namespace pagewright

namespace pagewright {
namespace {

TEST_F(ForwardingTest, UnreadableTargetsAreReportedOncePerStubAndNothingElse) {
  DamageCounters damage;
  ReadContext read = state_;
  read.damage = &damage;
  auto page = LoadDataPage(*reader_, read, PageId{1, 21});
  ASSERT_TRUE(page);
  EXPECT_EQ(damage.Count(DamageReason::kForwardUnreadable), 3u) << "no such slot, beyond the file, a loop";
  EXPECT_EQ(damage.Total(), 3u);
}

}  // namespace
}  // namespace pagewright

namespace pagewright {
namespace {

TEST(RecordDamage, ASlotPointingIntoThePageHeaderIsARejectedRecordAndARemovedOneIsNot) {
  PageBuilder p(1, 20);
  p.ObjectId(555);
  p.AddRecord(RecordBuilder(kPrimaryRecord).FixedLE<int32_t>(1).Build());
  p.AddSlot(40);  // inside the 96-byte header
  p.AddSlot(0);   // a removed record
  CDataPage page(p.Bytes(), nullptr);
  DamageCounters damage;
  ReadContext read;
  read.damage = &damage;
  BuildPrimaryRecordPage(page, read);
  EXPECT_EQ(damage.Count(DamageReason::kRecordRejected), 1u);
  EXPECT_EQ(damage.Total(), 1u);
}

}  // namespace
}  // namespace pagewright
