#include "pagestore/database_reader.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/builder/database_builder.h"
#include "support/recording_sink.h"
#include "support/read_fixture.h"

namespace pagewright {
namespace {

using build::DatabaseBuilder;
using build::PageBuilder;
using build::TempFile;
using testing::RecordingSink;

PageBuilder Page(uint8_t type, int32_t position, int32_t objectId, int16_t fileId = 1) {
  PageBuilder p(type, position, fileId);
  p.ObjectId(objectId);
  return p;
}

// A small file: sysallocunits (7) at 16, a data page of object 500 at 17, an
// IAM page of object 500 at 18, a data page of the system object 34 at 19.
DatabaseBuilder SmallDatabase() {
  DatabaseBuilder db(24);
  db.Boot({});
  db.SetPage(16, Page(1, 16, 7));
  db.SetPage(17, Page(1, 17, 500));
  db.SetPage(18, Page(10, 18, 500));
  db.SetPage(19, Page(1, 19, 34));
  return db;
}

struct Opened {
  AppState state;
  RecordingSink sink;
  std::unique_ptr<DatabaseReader> reader;
};

std::unique_ptr<Opened> OpenBoth(const std::string& oldPath, const std::string& newPath) {
  auto o = std::make_unique<Opened>();
  o->reader = OpenForTest(o->state, oldPath, newPath, &o->sink);
  return o;
}

TEST(OpenSequence, MapsSystemDataAndIamPages) {
  TempFile file(SmallDatabase().Build());
  auto o = OpenBoth(file.str(), file.str());
  ASSERT_TRUE(o->reader->openSucceeded());
  const auto& r = *o->reader;
  EXPECT_EQ(r.oldPageCount, 24u);
  EXPECT_EQ(r.oldExtentCount, 3u);
  EXPECT_EQ(r.oldBaseOffset, 0u);
  ASSERT_EQ(r.objectPageMap.count(7), 1u);
  EXPECT_EQ(r.objectPageMap.at(7), (std::vector<PageListEntry>{{1, 16, 1}}));
  EXPECT_EQ(r.objectPageMap.at(34), (std::vector<PageListEntry>{{1, 19, 1}}));
  EXPECT_EQ(r.dataPageMap.at(500), (std::vector<PageListEntry>{{1, 17, 1}}));
  // A system page of type 1 is entered in both maps.
  EXPECT_EQ(r.dataPageMap.at(34), (std::vector<PageListEntry>{{1, 19, 1}}));
  // The IAM page is entered once from the old file and once from the new.
  EXPECT_EQ(r.iamPageMap.at(500), (std::vector<PageListEntry>{{1, 18, 10}, {1, 18, 10}}));
  EXPECT_EQ(r.objectPageMap.count(500), 0u);
}

TEST(OpenSequence, ReportsStatusTextsInOrder) {
  TempFile file(SmallDatabase().Build());
  auto o = OpenBoth(file.str(), file.str());
  EXPECT_EQ(o->sink.Texts(NotificationId::kStatusText),
            (std::vector<std::string>{open_text::kChecking, open_text::kCheckDone, open_text::kMapping,
                                      open_text::kMappingDone, open_text::kChecking, open_text::kNewCheckDone,
                                      open_text::kMapping, open_text::kMappingDone}));
  EXPECT_TRUE(o->sink.Texts(NotificationId::kOpenFailed).empty());
  auto positions = o->sink.Positions();
  EXPECT_LE(positions.size(), 4u * 110u) << "about 100 positions per pass";
}

TEST(OpenSequence, MissingFilesAreReportedAndTheOtherFileIsStillTried) {
  TempFile file(SmallDatabase().Build());
  auto o = OpenBoth(file.folder().string() + "/missing.mdf", file.str());
  EXPECT_FALSE(o->reader->openSucceeded());
  EXPECT_EQ(o->sink.Texts(NotificationId::kOpenFailed), (std::vector<std::string>{open_text::kCannotOpen}));
  EXPECT_EQ(o->reader->iamPageMap.at(500).size(), 1u) << "the new file was still mapped";

  auto n = OpenBoth(file.str(), file.folder().string() + "/missing.mdf");
  EXPECT_FALSE(n->reader->openSucceeded());
  EXPECT_EQ(n->sink.Texts(NotificationId::kOpenFailed), (std::vector<std::string>{open_text::kNewCannotOpen}));
}

TEST(OpenSequence, FileOf8191BytesIsNotValid) {
  TempFile small(std::vector<uint8_t>(8191, 0));
  auto o = OpenBoth(small.str(), small.str());
  EXPECT_FALSE(o->reader->openSucceeded());
  EXPECT_EQ(o->sink.Texts(NotificationId::kOpenFailed),
            (std::vector<std::string>{open_text::kNotValid, open_text::kNewNotValid}));
}

TEST(OpenSequence, FileWithoutSystemPagesFailsTheMappingScan) {
  TempFile blank(DatabaseBuilder(16).Build());
  auto o = OpenBoth(blank.str(), blank.str());
  EXPECT_FALSE(o->reader->openSucceeded());
  EXPECT_EQ(o->sink.Texts(NotificationId::kOpenFailed), (std::vector<std::string>{open_text::kNotValid}));
}

TEST(OpenSequence, FileOfExactlyOnePageScansPositionsZeroAndOne) {
  auto page = Page(1, 0, 7).Bytes();
  TempFile one(page);
  auto o = OpenBoth(one.str(), one.str());
  EXPECT_TRUE(o->reader->openSucceeded());
  EXPECT_EQ(o->reader->oldPageCount, 1u);
  EXPECT_EQ(o->reader->scanCounts.pagesRead, 2u);
  EXPECT_EQ(o->reader->objectPageMap.at(7), (std::vector<PageListEntry>{{1, 0, 1}}));
}

TEST(CorruptionCheck, WholePagesKeepBaseOffsetZero) {
  TempFile file(SmallDatabase().Build());
  auto o = OpenBoth(file.str(), file.str());
  EXPECT_EQ(o->reader->oldBaseOffset, 0u);
  EXPECT_EQ(o->reader->newBaseOffset, 0u);
}

TEST(CorruptionCheck, PagesFromOffsetZeroWithPartialTrailerGetBaseZero) {
  auto db = SmallDatabase();
  std::vector<uint8_t> trailer(100, 0);
  trailer[24] = 7;  // object id 7 in the partial block's header
  trailer[1] = 1;
  db.Trailer(trailer);
  TempFile file(db.Build());
  auto o = OpenBoth(file.str(), file.str());
  ASSERT_TRUE(o->reader->openSucceeded());
  EXPECT_EQ(o->reader->oldBaseOffset, 0u);
  // The partial block is scanned as position N and can be read.
  const auto& sys = o->reader->objectPageMap.at(7);
  ASSERT_EQ(sys.size(), 2u);
  EXPECT_EQ(sys[1].page, 24u);
  auto raw = o->reader->ReadRawPage(Ctx(o->state), PageId{1, 24});
  ASSERT_TRUE(raw);
  EXPECT_EQ((*raw)[24], 7);
  EXPECT_EQ((*raw)[200], 0) << "bytes past the end read as zero";
}

TEST(CorruptionCheck, PagesShiftedByThePartialBlockKeepThatAlignment) {
  auto db = SmallDatabase();
  db.Prefix(std::vector<uint8_t>(512, 0xEE));
  TempFile file(db.Build());
  auto o = OpenBoth(file.str(), file.str());
  ASSERT_TRUE(o->reader->openSucceeded());
  EXPECT_EQ(o->reader->oldBaseOffset, 512u);
  EXPECT_EQ(o->reader->objectPageMap.at(7), (std::vector<PageListEntry>{{1, 16, 1}}));
  auto header = o->reader->ReadPageHeader(Ctx(o->state), PageId{1, 17});
  ASSERT_TRUE(header);
  EXPECT_EQ(header->objectId, 500);
}

TEST(CorruptionCheck, NoPageAtItsOwnPositionKeepsTheRemainder) {
  DatabaseBuilder db(20);
  for (uint32_t p = 0; p < 20; ++p) db.SetPage(p, Page(1, static_cast<int32_t>(p) + 1000, 7));
  db.Trailer(std::vector<uint8_t>(300, 0));
  TempFile file(db.Build());
  auto o = OpenBoth(file.str(), file.str());
  EXPECT_EQ(o->reader->oldBaseOffset, 300u);
}

TEST(CorruptionCheck, StopEndsTheFirstPassAndIsClearedAtTheEnd) {
  DatabaseBuilder db(400);
  for (uint32_t p = 0; p < 400; ++p) db.SetPage(p, Page(1, 100000, 7));
  TempFile file(db.Build());
  Opened o;
  int seen = 0;
  o.sink.onNotify = [&](const Notification& n) {
    if (n.id == NotificationId::kProgressPos && ++seen == 3) o.state.stopRequested = true;
  };
  o.reader = OpenForTest(o.state, file.str(), file.str(), &o.sink);
  EXPECT_FALSE(o.state.stopRequested) << "cleared at the end of the open sequence";
  // The mapping scan stopped early too: far fewer pages than the file holds.
  EXPECT_LT(o.reader->scanCounts.pagesRead, 400u);
}

TEST(CorruptionCheck, StopDuringMappingKeepsWhatWasMapped) {
  DatabaseBuilder db(1000);
  for (uint32_t p = 16; p < 1000; ++p) db.SetPage(p, Page(1, static_cast<int32_t>(p), 7));
  TempFile file(db.Build());
  Opened o;
  bool mapping = false;
  o.sink.onNotify = [&](const Notification& n) {
    if (n.id == NotificationId::kStatusText && n.text == open_text::kMapping) mapping = true;
    if (mapping && n.id == NotificationId::kProgressPos && n.wParam >= 300) o.state.stopRequested = true;
  };
  o.reader = OpenForTest(o.state, file.str(), file.str(), &o.sink);
  size_t mapped = o.reader->objectPageMap.at(7).size();
  EXPECT_GT(mapped, 200u);
  EXPECT_LT(mapped, 984u);
}

TEST(PageReads, BoundsAndSmallestPageNumbers) {
  TempFile file(SmallDatabase().Build());
  auto o = OpenBoth(file.str(), file.str());
  auto& r = *o->reader;
  EXPECT_FALSE(r.ReadDataPage(Ctx(o->state), PageId{1, 0})) << "page 0 refused";
  auto header = r.ReadCatalogPage(PageId{1, 0});
  ASSERT_TRUE(header) << "the catalog reader accepts the file header page";
  EXPECT_EQ(header->header.thisPage.page, 0);
  EXPECT_FALSE(r.ReadRawPage(Ctx(o->state), PageId{1, -1}));
  EXPECT_FALSE(r.ReadRawPage(Ctx(o->state), PageId{0, 5}));
  EXPECT_FALSE(r.ReadRawPage(Ctx(o->state), PageId{2, 5})) << "unknown secondary file";
  EXPECT_FALSE(r.ReadRawPage(Ctx(o->state), PageId{1, 25}));
  EXPECT_TRUE(r.ReadRawPage(Ctx(o->state), PageId{1, 24})) << "the block after the last whole page may be read";
  auto raw = r.ReadRawPage(Ctx(o->state), PageId{1, 17});
  ASSERT_TRUE(raw);
  EXPECT_EQ(raw->size(), 8193u);
  auto data = r.ReadDataPage(Ctx(o->state), PageId{1, 17});
  ASSERT_TRUE(data);
  EXPECT_EQ(data->header.objectId, 500);
  EXPECT_EQ(r.ReadPageHeader(Ctx(o->state), PageId{1, 18})->pageType, 10);
}

TEST(PageReads, PageSourceSelectsTheNewFileWithItsOwnGeometry) {
  auto oldDb = SmallDatabase();
  auto newDb = SmallDatabase();
  newDb.EnsurePages(40);
  newDb.SetPage(30, Page(1, 30, 900));
  newDb.Prefix(std::vector<uint8_t>(1024, 0));
  TempFile oldFile(oldDb.Build(), "old.mdf");
  TempFile newFile(newDb.Build(), "new.mdf");
  auto o = OpenBoth(oldFile.str(), newFile.str());
  ASSERT_TRUE(o->reader->openSucceeded());
  EXPECT_EQ(o->reader->newPageCount, 40u);
  EXPECT_EQ(o->reader->newBaseOffset, 1024u);
  EXPECT_FALSE(o->reader->ReadRawPage(Ctx(o->state), PageId{1, 30})) << "beyond the old file";
  o->state.pageSource = 2;
  auto page = o->reader->ReadDataPage(Ctx(o->state), PageId{1, 30});
  ASSERT_TRUE(page);
  EXPECT_EQ(page->header.objectId, 900);
  auto catalogPage = o->reader->ReadCatalogPage(PageId{1, 17});
  ASSERT_TRUE(catalogPage) << "catalog pages always come from the old file";
  EXPECT_EQ(catalogPage->header.objectId, 500);
}

TEST(TextMixPageReads, ShiftedFileIsCorrected) {
  DatabaseBuilder db(40);
  db.Boot({});
  db.SetPage(16, Page(1, 16, 7));
  db.SetPage(20, Page(3, 22, 600));  // position 20 claims page 22: shifted by 2
  db.SetPage(18, Page(3, 20, 600));  // so page 20 lies at position 18
  TempFile file(db.Build());
  auto o = OpenBoth(file.str(), file.str());
  auto page = o->reader->ReadTextMixPage(Ctx(o->state), PageId{1, 20});
  ASSERT_TRUE(page);
  EXPECT_EQ(page->header.thisPage.page, 20);
}

TEST(TextMixPageReads, ShiftIsNotTakenWhenThePageThereDoesNotMatch) {
  DatabaseBuilder db(40);
  db.SetPage(16, Page(1, 16, 7));
  std::vector<uint8_t> zero(kPageSize, 0);
  db.SetPage(20, zero);  // a zeroed page claims page 0
  TempFile file(db.Build());
  auto o = OpenBoth(file.str(), file.str());
  auto page = o->reader->ReadTextMixPage(Ctx(o->state), PageId{1, 20});
  ASSERT_TRUE(page);
  EXPECT_EQ(page->header.thisPage.page, 0) << "read at its own position, not at position 40";
}

TEST(TextMixPageReads, ARepeatedReadFollowsThePageSource) {
  // Text pages are kept once read; the same page id must still come from
  // the damaged file once a scan has switched the page source.
  auto oldDb = SmallDatabase();
  oldDb.SetPage(20, Page(3, 20, 600));
  auto newDb = SmallDatabase();
  newDb.SetPage(20, Page(3, 20, 700));
  TempFile oldFile(oldDb.Build(), "old.mdf");
  TempFile newFile(newDb.Build(), "new.mdf");
  auto o = OpenBoth(oldFile.str(), newFile.str());
  ASSERT_TRUE(o->reader->openSucceeded());
  for (int round = 0; round < 2; ++round) {
    o->state.pageSource = 1;
    auto before = o->reader->ReadTextMixPage(Ctx(o->state), PageId{1, 20});
    ASSERT_TRUE(before);
    EXPECT_EQ(before->header.objectId, 600);
    o->state.pageSource = 2;
    auto after = o->reader->ReadTextMixPage(Ctx(o->state), PageId{1, 20});
    ASSERT_TRUE(after);
    EXPECT_EQ(after->header.objectId, 700);
  }
}

TEST(SecondaryFiles, FolderOfTheOldPath) {
  EXPECT_EQ(SecondaryFileFolder("C:\\\\data\\\\db.mdf"), "C:\\data\\");
  EXPECT_EQ(SecondaryFileFolder("/tmp/x/db.mdf"), "/tmp/x/");
  EXPECT_EQ(SecondaryFileFolder("db.mdf"), "");
}

TEST(SecondaryFiles, NamedFilesAreFoundInTheOldFoldersWithNdfExtension) {
  TempFile primary(SmallDatabase().Build(), "main.mdf");
  DatabaseBuilder second(20);
  second.SetPage(16, Page(1, 16, 500, 3));
  second.SetPage(17, Page(1, 17, 34, 3));
  build::WriteFileBytes(primary.folder() / "Sales_2.ndf", second.Build());
  auto o = OpenBoth(primary.str(), primary.str());
  std::vector<DatabaseFileRow> files(2);
  files[0].fileId = 1;
  files[0].physicalName = "D:\\db\\main.mdf";
  files[1].fileId = 3;
  files[1].physicalName = "D:\\elsewhere\\Sales_2.mdf2";  // other folder and extension
  o->reader->ResolveSecondaryFiles(Ctx(o->state), files);
  EXPECT_EQ(files[1].physicalName, (primary.folder() / "Sales_2.ndf").string());
  ASSERT_EQ(o->reader->secondaryFileMap.count(3), 1u);
  EXPECT_EQ(o->reader->secondaryFileMap.at(3).pageCount, 20);
  EXPECT_EQ(o->reader->dataPageMap.at(500).back(), (PageListEntry{3, 16, 1}));
  EXPECT_EQ(o->reader->objectPageMap.at(34).back(), (PageListEntry{3, 17, 1}));
  auto page = o->reader->ReadDataPage(Ctx(o->state), PageId{3, 16});
  ASSERT_TRUE(page);
  EXPECT_EQ(page->header.objectId, 500);
  EXPECT_EQ(o->reader->PageCountOf(3), 20u);
}

TEST(SecondaryFiles, FolderSearchTakesTheFileIdFromTheFirstDataPage) {
  TempFile primary(SmallDatabase().Build(), "main.mdf");
  DatabaseBuilder second(20);
  second.SetPage(16, Page(1, 16, 700, 4));
  build::WriteFileBytes(primary.folder() / "extra.NDF", second.Build());
  DatabaseBuilder noId(20);  // no data page names a file above 1: dropped
  noId.SetPage(16, Page(1, 16, 701, 1));
  build::WriteFileBytes(primary.folder() / "other.ndf", noId.Build());
  auto o = OpenBoth(primary.str(), primary.str());
  std::vector<DatabaseFileRow> files;
  o->reader->ResolveSecondaryFiles(Ctx(o->state), files);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].fileId, 4);
  EXPECT_EQ(files[0].status, 0);
  EXPECT_TRUE(files[0].logicalName.empty());
  EXPECT_EQ(o->reader->dataPageMap.at(700), (std::vector<PageListEntry>{{4, 16, 1}}));
  EXPECT_TRUE(o->reader->ReadDataPage(Ctx(o->state), PageId{4, 16}));
}

}  // namespace
}  // namespace pagewright

namespace pagewright {
namespace {

TEST(SecondaryFiles, ANamedDataFileThatIsNotFoundIsCountedAndTheLogIsNot) {
  TempFile primary(SmallDatabase().Build(), "main.mdf");
  auto o = OpenBoth(primary.str(), primary.str());
  std::vector<DatabaseFileRow> files(3);
  files[0].fileId = 1;
  files[0].physicalName = "D:\\db\\main.mdf";
  files[1].fileId = 2;
  files[1].status = 0x42;  // the transaction log
  files[1].physicalName = "D:\\db\\main_log.ldf";
  files[2].fileId = 3;
  files[2].physicalName = "D:\\db\\gone.ndf";
  DamageCounters damage;
  o->reader->ResolveSecondaryFiles(Ctx(o->state, &damage), files);
  EXPECT_EQ(damage.Count(DamageReason::kSecondaryFileMissing), 1u);
  EXPECT_EQ(damage.Total(), 1u);
}

}  // namespace
}  // namespace pagewright
