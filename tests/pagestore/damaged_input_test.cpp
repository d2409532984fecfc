// Damaged and hostile files open without crash, hang or out-of-bounds read;
// the sanitizer build runs these.
#include <gtest/gtest.h>

#include <chrono>
#include <set>

#include "pagestore/boot_page.h"
#include "pagestore/collation_table.h"
#include "pagestore/database_reader.h"
#include "support/builder/database_builder.h"
#include "support/corpus.h"
#include "support/damage.h"
#include "support/recording_sink.h"
#include "support/read_fixture.h"
#include "support/special_files.h"

namespace pagewright {
namespace {

const std::set<std::string> kOpenTexts = {open_text::kCannotOpen, open_text::kNotValid, open_text::kNewCannotOpen,
                                          open_text::kNewNotValid};

// Opens the file, reads its boot page and every mapped page through each
// typed reader; returns whether the open succeeded.
bool Exercise(const std::string& path, testing::RecordingSink& sink) {
  AppState state;
  state.collations = LoadCollationTable(testing::BinaryDir());
  auto reader = OpenForTest(state, path, path, &sink);
  for (const auto& text : sink.Texts(NotificationId::kOpenFailed)) EXPECT_TRUE(kOpenTexts.count(text)) << text;
  ReadBootPageInto(state, *reader);
  for (const PageMap* map : {&reader->objectPageMap, &reader->dataPageMap, &reader->iamPageMap}) {
    for (const auto& [id, list] : *map) {
      for (const auto& e : list) {
        reader->ReadCatalogPage(e.id());
        reader->ReadDataPage(Ctx(state), e.id());
        reader->ReadTextMixPage(Ctx(state), e.id());
      }
    }
  }
  state.pageSource = 2;
  for (int32_t p = -1; p < static_cast<int32_t>(reader->newPageCount) + 2; ++p) reader->ReadTextMixPage(Ctx(state), {1, p});
  return reader->openSucceeded();
}

TEST(DamagedInput, RandomAndZeroFilesFailCleanly) {
  for (size_t size : {size_t{0}, size_t{1}, size_t{8191}, size_t{8192}, size_t{8192 * 3 + 17}, size_t{8192 * 40}}) {
    build::TempFile random(testing::RandomBytes(size, static_cast<uint32_t>(size)));
    testing::RecordingSink sink;
    Exercise(random.str(), sink);
    build::TempFile zero(std::vector<uint8_t>(size, 0));
    testing::RecordingSink zeroSink;
    EXPECT_FALSE(Exercise(zero.str(), zeroSink)) << "a zero-filled file holds no system pages";
  }
}

TEST(DamagedInput, CorpusFilesWithDamageStillOpen) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  uint32_t seed = 1;
  for (const auto& f : testing::CorpusFiles()) {
    auto original = build::ReadFileBytes(f.path);
    for (const auto& copy : testing::DamagedVariants(original, seed++)) {
      SCOPED_TRACE(f.file + ": " + copy.label);
      build::TempFile file(copy.bytes);
      testing::RecordingSink sink;
      bool ok = Exercise(file.str(), sink);
      if (copy.label.rfind("truncated at 8191", 0) == 0) {
        EXPECT_FALSE(ok);
      }
      if (copy.label == "777 bytes prepended") {
        EXPECT_TRUE(ok) << "the remainder alignment is found";
      }
    }
  }
}

// A named pipe waits for a writer when opened for reading, a device may never
// end: neither may hold up the open, as the database or as a secondary file.
TEST(DamagedInput, PipesDevicesAndFoldersAreRefusedAtOnce) {
  using namespace std::chrono_literals;
  build::DatabaseBuilder db(24);
  db.Boot({});
  db.SetPage(16, build::PageBuilder(1, 16).ObjectId(7));
  build::TempFile primary(db.Build(), "main.mdf");
  const std::filesystem::path pipe = primary.folder() / "Sales_2.ndf";
  ASSERT_TRUE(testing::MakeNamedPipe(pipe));
  for (const std::string& path : {pipe.string(), primary.folder().string(), std::string("/dev/zero")}) {
    AppState state;
    testing::RecordingSink sink;
    std::unique_ptr<DatabaseReader> reader;
    EXPECT_TRUE(testing::FinishesWithin(
        1s, [&] { reader = OpenForTest(state, path, path, &sink); }, pipe)) << path;
    EXPECT_EQ(sink.Texts(NotificationId::kOpenFailed),
              (std::vector<std::string>{open_text::kCannotOpen, open_text::kNewCannotOpen}));
  }
  // The pipe among the .ndf files of the folder, found by the search and
  // named by the catalog, is left out.
  AppState state;
  auto reader = OpenForTest(state, primary.str(), primary.str(), nullptr);
  ASSERT_TRUE(reader->openSucceeded());
  std::vector<DatabaseFileRow> found, named(1);
  named[0].fileId = 3;
  named[0].physicalName = "D:\\data\\Sales_2.ndf";
  EXPECT_TRUE(testing::FinishesWithin(1s, [&] { reader->ResolveSecondaryFiles(Ctx(state), found); }, pipe));
  EXPECT_TRUE(testing::FinishesWithin(1s, [&] { reader->ResolveSecondaryFiles(Ctx(state), named); }, pipe));
  EXPECT_TRUE(found.empty());
  EXPECT_TRUE(reader->secondaryFileMap.empty());
}

}  // namespace
}  // namespace pagewright
