#include "snapshot/snapshot_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "support/builder/catalog_builder.h"
#include "support/damage.h"
#include "support/recording_sink.h"
#include "support/read_fixture.h"
#include "support/special_files.h"

namespace pagewright {
namespace {

using namespace build;

struct Opened {
  AppState state;
  std::unique_ptr<TempFile> file;
  std::unique_ptr<DatabaseReader> reader;
};

std::unique_ptr<Opened> OpenSmall() {
  CatalogBuilder b;
  TableDef t;
  t.name = "T";
  t.columns = {IntColumn("A", false)};
  t.rows = {{IntValue(1)}, {IntValue(2)}};
  b.AddTable(t);
  auto o = std::make_unique<Opened>();
  o->file = std::make_unique<TempFile>(b.Build().Build());
  o->reader = OpenForTest(o->state, o->file->str(), o->file->str(), nullptr);
  return o;
}

TEST(SnapshotFile, HeaderLayoutWithAndWithoutManualCollation) {
  auto o = OpenSmall();
  TempFile automatic("auto.KVSNAPDB");
  o->state.showDeleted = true;
  ASSERT_TRUE(WriteSnapshotFor(automatic.str(), "D:\\db\\Ω.mdf", true, *o->reader, o->state));
  auto bytes = ReadFileBytes(automatic.path());
  // L, the path in UTF-16 (11 characters), advanced, auto-detect, legacy,
  // show deleted, show advanced deleted.
  ASSERT_GT(bytes.size(), 4u + 22u + 5u);
  EXPECT_EQ(U32At(bytes, 0), 22u);
  EXPECT_EQ(U16At(bytes, 4 + 2 * 6), 0x03A9u) << "the Omega";
  EXPECT_EQ(bytes[26], 1) << "advanced";
  EXPECT_EQ(bytes[27], 1) << "auto-detect: no collation key follows";
  EXPECT_EQ(bytes[28], 0);
  EXPECT_EQ(bytes[29], 1) << "show deleted";
  EXPECT_EQ(bytes[30], 0);
  EXPECT_EQ(U64At(bytes, 31), o->reader->objectPageMap.size());

  TempFile manual("manual.KVSNAPDB");
  o->state.collationAutoDetect = false;
  o->state.manualCollationKey = 53269;
  ASSERT_TRUE(WriteSnapshotFor(manual.str(), "x.mdf", false, *o->reader, o->state));
  auto m = ReadFileBytes(manual.path());
  EXPECT_EQ(m[4 + 10 + 1], 0) << "auto-detect off";
  EXPECT_EQ(I64At(m, 4 + 10 + 2), 53269) << "the 8-byte key, low half first";
  auto header = ReadSnapshotHeader(manual.str());
  ASSERT_TRUE(header);
  EXPECT_EQ(header->databasePath, "x.mdf");
  EXPECT_FALSE(header->collationAutoDetect);
  EXPECT_EQ(header->manualCollationKey, 53269);
}

TEST(SnapshotFile, MapsRoundTripInAscendingKeyOrderWithEmptyLists) {
  auto o = OpenSmall();
  o->reader->dataPageMap[-7];  // a key whose list is empty
  TempFile file("maps.KVSNAPDB");
  ASSERT_TRUE(WriteSnapshotFor(file.str(), "a.mdf", false, *o->reader, o->state));
  auto bytes = ReadFileBytes(file.path());
  // Map 1 keys ascend.
  size_t at = 4 + 10 + 5;
  uint64_t keys = U64At(bytes, static_cast<int64_t>(at));
  at += 8;
  int32_t previous = INT32_MIN;
  for (uint64_t k = 0; k < keys; ++k) {
    int32_t id = I32At(bytes, static_cast<int64_t>(at));
    EXPECT_GT(id, previous);
    previous = id;
    at += 8 + 10 * U32At(bytes, static_cast<int64_t>(at) + 4);
  }

  AppState other;
  auto target = OpenSmall();
  target->reader->objectPageMap.clear();
  target->reader->dataPageMap.clear();
  target->reader->iamPageMap.clear();
  testing::RecordingSink sink;
  ASSERT_TRUE(ReadSnapshotMapsFor(file.str(), *target->reader, &sink));
  EXPECT_EQ(target->reader->objectPageMap, o->reader->objectPageMap);
  EXPECT_EQ(target->reader->dataPageMap, o->reader->dataPageMap);
  EXPECT_EQ(target->reader->iamPageMap, o->reader->iamPageMap);
  ASSERT_EQ(target->reader->dataPageMap.count(-7), 1u);
  EXPECT_TRUE(target->reader->dataPageMap.at(-7).empty());
  EXPECT_EQ(sink.Texts(NotificationId::kStatusText), (std::vector<std::string>{snapshot_text::kLoading}));
}

TEST(SnapshotFile, ReadOnlySnapshotLoads) {
  auto o = OpenSmall();
  TempFile file("ro.KVSNAPDB");
  ASSERT_TRUE(WriteSnapshotFor(file.str(), "a.mdf", false, *o->reader, o->state));
  std::filesystem::permissions(file.path(), std::filesystem::perms::owner_read, std::filesystem::perm_options::replace);
  EXPECT_TRUE(ReadSnapshotHeader(file.str()));
  auto target = OpenSmall();
  EXPECT_TRUE(ReadSnapshotMapsFor(file.str(), *target->reader, nullptr));
}

TEST(SnapshotFile, TruncatedOrGarbageSnapshotsFailWithoutTouchingTheMaps) {
  auto o = OpenSmall();
  TempFile good("good.KVSNAPDB");
  ASSERT_TRUE(WriteSnapshotFor(good.str(), "a.mdf", false, *o->reader, o->state));
  auto bytes = ReadFileBytes(good.path());
  auto target = OpenSmall();
  const PageMap before = target->reader->objectPageMap;
  TempFile bad("bad.KVSNAPDB");
  for (size_t cut = 0; cut < bytes.size(); cut += 7) {
    bad.Write(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(cut)));
    EXPECT_FALSE(ReadSnapshotMapsFor(bad.str(), *target->reader, nullptr)) << "cut at " << cut;
    EXPECT_EQ(target->reader->objectPageMap, before);
  }
  for (uint32_t seed = 1; seed <= 50; ++seed) {
    bad.Write(testing::RandomBytes(64 + seed * 37, seed));
    ReadSnapshotMapsFor(bad.str(), *target->reader, nullptr);
    ReadSnapshotHeader(bad.str());
  }
  EXPECT_FALSE(ReadSnapshotMapsFor((good.folder() / "missing.KVSNAPDB").string(), *target->reader, nullptr));
  EXPECT_FALSE(ReadSnapshotHeader((good.folder() / "missing.KVSNAPDB").string()));
}

TEST(SnapshotFile, ScanFromASnapshotMapsTheSamePages) {
  auto o = OpenSmall();
  TempFile file("scan.KVSNAPDB");
  ASSERT_TRUE(WriteSnapshotFor(file.str(), o->file->str(), false, *o->reader, o->state));
  AppState state;
  state.snapshotMode = true;
  auto reader = OpenForTest(state, o->file->str(), o->file->str(), nullptr,
                                             [&](DatabaseReader& r) { return ReadSnapshotMapsFor(file.str(), r, nullptr); });
  ASSERT_TRUE(reader->openSucceeded());
  EXPECT_EQ(reader->objectPageMap, o->reader->objectPageMap);
  EXPECT_EQ(reader->dataPageMap, o->reader->dataPageMap);
  EXPECT_EQ(reader->scanCounts.pagesRead, 0u) << "the backup file was not scanned";

  AppState failing;
  failing.snapshotMode = true;
  testing::RecordingSink sink;
  auto none = OpenForTest(failing, o->file->str(), o->file->str(), &sink,
                                           [](DatabaseReader&) { return false; });
  EXPECT_FALSE(none->openSucceeded());
  EXPECT_EQ(sink.Texts(NotificationId::kOpenFailed), (std::vector<std::string>{open_text::kNotValid}));
}

// The files a new snapshot replaces unasked: one whole snapshot, nothing
// after it; a pipe is refused without being opened (it would wait).
TEST(SnapshotFile, OnlyAWholeSnapshotIsRecognisedAndAPipeNeverBlocks) {
  using namespace std::chrono_literals;
  auto o = OpenSmall();
  TempFile good("good.KVSNAPDB");
  ASSERT_TRUE(WriteSnapshotFor(good.str(), "a.mdf", false, *o->reader, o->state));
  EXPECT_TRUE(IsSnapshotFile(good.str()));
  auto bytes = ReadFileBytes(good.path());
  TempFile other("other.KVSNAPDB");
  for (size_t cut : {size_t{0}, size_t{20}, bytes.size() - 1, bytes.size() + 1}) {
    auto copy = bytes;
    copy.resize(cut);
    other.Write(copy);
    EXPECT_FALSE(IsSnapshotFile(other.str())) << "length " << cut;
  }
  const std::filesystem::path pipe = good.folder() / "p.KVSNAPDB";
  ASSERT_TRUE(testing::MakeNamedPipe(pipe));
  EXPECT_TRUE(testing::FinishesWithin(1s, [&] {
    EXPECT_FALSE(IsSnapshotFile(pipe.string()));
    EXPECT_FALSE(ReadSnapshotHeader(pipe.string()));
    EXPECT_FALSE(ReadSnapshotMapsFor(pipe.string(), *o->reader, nullptr));
  }, pipe));
}

}  // namespace
}  // namespace pagewright
