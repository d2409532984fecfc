// One damaged file given as both the old and the new file is read once:
// the new file's alignment check and IAM mapping replay the old file's
// scan. The oracle is the same bytes under a second name (another file),
// which is read twice: maps, geometry and every notification must match.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "pagestore/database_reader.h"
#include "support/builder/database_builder.h"
#include "support/read_fixture.h"
#include "support/recording_sink.h"

namespace pagewright {
namespace {

using build::DatabaseBuilder;
using build::PageBuilder;
using build::TempFile;
using testing::RecordingSink;

PageBuilder Page(uint8_t type, int32_t number, int32_t objectId) {
  PageBuilder p(type, number, 1);
  p.ObjectId(objectId);
  return p;
}

// System, data and IAM pages of several objects spread over `pages`
// positions, IAM pages among them at every 37th position.
DatabaseBuilder Spread(uint32_t pages) {
  DatabaseBuilder db(pages);
  db.Boot({});
  for (uint32_t p = 16; p < pages; ++p) {
    const int32_t object = p % 3 == 0 ? 7 : 500 + static_cast<int32_t>(p % 5);
    db.SetPage(p, Page(p % 37 == 0 ? 10 : 1, static_cast<int32_t>(p), object));
  }
  return db;
}

struct Outcome {
  bool succeeded = false;
  uint64_t oldPages = 0, newPages = 0, oldBase = 0, newBase = 0, pagesRead = 0;
  PageMap objects, data, iam;
  std::vector<std::tuple<int, int64_t, int64_t, std::string>> notifications;
  bool operator==(const Outcome&) const = default;
};

// Opens old and new file; `stopAt`, when given, requests a stop at the
// n-th progress position reported.
Outcome Open(const std::string& oldPath, const std::string& newPath, std::optional<int> stopAt = std::nullopt) {
  AppState state;
  RecordingSink sink;
  int positions = 0;
  sink.onNotify = [&](const Notification& n) {
    if (stopAt && n.id == NotificationId::kProgressPos && ++positions == *stopAt) state.stopRequested = true;
  };
  auto reader = OpenForTest(state, oldPath, newPath, &sink);
  Outcome o;
  o.succeeded = reader->openSucceeded();
  o.oldPages = reader->oldPageCount;
  o.newPages = reader->newPageCount;
  o.oldBase = reader->oldBaseOffset;
  o.newBase = reader->newBaseOffset;
  o.pagesRead = reader->scanCounts.pagesRead;
  o.objects = reader->objectPageMap;
  o.data = reader->dataPageMap;
  o.iam = reader->iamPageMap;
  for (const Notification& n : sink.received)
    o.notifications.emplace_back(static_cast<int>(n.id), n.wParam, n.lParam, n.text);
  return o;
}

// Bytes this process has read through system calls so far; none where the
// system does not tell.
std::optional<uint64_t> BytesReadSoFar() {
  std::ifstream io("/proc/self/io");
  std::string key;
  uint64_t value = 0;
  while (io >> key >> value)
    if (key == "rchar:") return value;
  return std::nullopt;
}

struct Case {
  const char* name;
  std::function<DatabaseBuilder()> make;
  std::optional<int> stopAt;
};

TEST(SameFileOpenedTwice, MatchesTheSameBytesUnderAnotherName) {
  const std::vector<Case> cases = {
      {"spread pages", [] { return Spread(300); }, std::nullopt},
      {"one page",
       [] {
         DatabaseBuilder db(1);
         db.SetPage(0, Page(1, 0, 7));
         return db;
       },
       std::nullopt},
      {"shifted by a partial block",
       [] {
         auto db = Spread(120);
         db.Prefix(std::vector<uint8_t>(512, 0xEE));
         return db;
       },
       std::nullopt},
      {"partial trailer",
       [] {
         auto db = Spread(90);
         db.Trailer(std::vector<uint8_t>(700, 0));
         return db;
       },
       std::nullopt},
      {"no page at its own position (both passes of the check)",
       [] {
         DatabaseBuilder db(200);
         for (uint32_t p = 0; p < 200; ++p) db.SetPage(p, Page(p % 11 == 0 ? 10 : 1, static_cast<int32_t>(p) + 5000, 7));
         db.Trailer(std::vector<uint8_t>(300, 0));
         return db;
       },
       std::nullopt},
      {"no system pages", [] {
         DatabaseBuilder db(40);
         for (uint32_t p = 0; p < 40; ++p) db.SetPage(p, Page(1, static_cast<int32_t>(p), 9000));
         return db;
       },
       std::nullopt},
      {"stop during the check", [] { return Spread(600); }, 2},
      {"stop during the old mapping", [] { return Spread(600); }, 30},
      {"stop during the new mapping", [] { return Spread(600); }, 150},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<uint8_t> bytes = c.make().Build();
    TempFile file(bytes, "damaged.mdf");
    TempFile copy(bytes, "copy.mdf");
    const Outcome once = Open(file.str(), file.str(), c.stopAt);
    const Outcome twice = Open(file.str(), copy.str(), c.stopAt);
    EXPECT_EQ(once.succeeded, twice.succeeded);
    EXPECT_EQ(once.oldBase, twice.oldBase);
    EXPECT_EQ(once.newBase, twice.newBase);
    EXPECT_EQ(once.pagesRead, twice.pagesRead);
    EXPECT_EQ(once.iam, twice.iam);
    EXPECT_EQ(once.notifications, twice.notifications);
    EXPECT_TRUE(once == twice);
  }
}

TEST(SameFileOpenedTwice, IamPagesOfBothFilesAreKept) {
  // The IAM map holds each IAM page once from the old file and once from
  // the new, as when they are two files.
  TempFile file(Spread(200).Build());
  const Outcome o = Open(file.str(), file.str());
  ASSERT_TRUE(o.succeeded);
  size_t entries = 0;
  for (const auto& [object, list] : o.iam) {
    entries += list.size();
    ASSERT_EQ(list.size() % 2, 0u) << "object " << object;
    for (size_t k = 0; k + 1 < list.size(); ++k) EXPECT_LE(list[k].page, list[k + 1].page);
  }
  EXPECT_EQ(entries, 2u * 5u);  // positions 37, 74, 111, 148, 185
}

TEST(SameFileOpenedTwice, TheFileIsReadOnce) {
  if (!BytesReadSoFar()) GTEST_SKIP() << "/proc/self/io is not readable here: no count of bytes read";
  const std::vector<uint8_t> bytes = Spread(1024).Build();  // 8 MiB
  TempFile file(bytes, "damaged.mdf");
  TempFile copy(bytes, "copy.mdf");
  const uint64_t before = *BytesReadSoFar();
  ASSERT_TRUE(Open(file.str(), file.str()).succeeded);
  const uint64_t once = *BytesReadSoFar() - before;
  ASSERT_TRUE(Open(file.str(), copy.str()).succeeded);
  const uint64_t twice = *BytesReadSoFar() - before - once;
  const uint64_t size = bytes.size();
  EXPECT_GE(once, size);
  EXPECT_LT(once, size + size / 4) << "the same file is scanned once";
  EXPECT_GE(twice, 2 * size) << "two files are scanned each";
}

}  // namespace
}  // namespace pagewright
