// Records of every data page of the real files.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "records/record_enumeration.h"
#include "support/corpus.h"
#include "support/read_fixture.h"

namespace pagewright {
namespace {

struct PageCounts {
  int slots = 0;
  int ghosts = 0;
  int accepted = 0;  // valid records
  int ghostRecords = 0;
};

PageCounts Count(const CDataPage& page) {
  PageCounts c;
  c.slots = page.header.slotCount;
  c.ghosts = page.header.ghostRecordCount;
  for (size_t i = 0; i < page.records.size(); ++i) {
    const CPrimaryRecord* r = RecordAt(page, i);
    if (r == nullptr || r->invalid) continue;
    ++c.accepted;
    if (r->status.kind == kGhostDataRecord) ++c.ghostRecords;
  }
  return c;
}

TEST(CorpusRecords, EveryDataPageYieldsItsSlotsLessGhosts) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  for (const auto& f : testing::CorpusFiles()) {
    SCOPED_TRACE(f.file);
    ReadContext plain, deleted, advanced;
    deleted.showDeleted = true;
    advanced.showDeleted = advanced.showAdvancedDeleted = true;
    auto reader = OpenForTest(plain, f.path.string(), f.path.string(), nullptr);
    ASSERT_TRUE(reader->openSucceeded());
    int pages = 0, mismatches = 0;
    std::map<int32_t, long long> ghostsByObject;
    std::set<int32_t> refusedObjects;
    for (const auto& [objectId, list] : reader->dataPageMap) {
      for (const auto& entry : list) {
        auto raw = reader->ReadCatalogPage(entry.id());
        ASSERT_TRUE(raw);
        CDataPage a(raw->bytes, reader.get()), b(raw->bytes, reader.get()), c(raw->bytes, reader.get());
        BuildPrimaryRecordPage(a, plain);
        BuildPrimaryRecordPage(b, deleted);
        BuildPrimaryRecordPage(c, advanced);
        PageCounts pa = Count(a), pb = Count(b), pc = Count(c);
        ++pages;
        ghostsByObject[objectId] += pb.ghostRecords;
        if (!HeaderAllowsEnumeration(a.header)) {
          // A header with negative fields (garbage on an unused page) yields nothing.
          refusedObjects.insert(objectId);
          EXPECT_EQ(pa.accepted + pb.accepted + pc.accepted, 0);
          continue;
        }
        if (pa.accepted != pa.slots - pa.ghosts || pb.ghostRecords != pb.ghosts) {
          ++mismatches;
          ADD_FAILURE() << "page " << entry.page << " object " << objectId << ": slots " << pa.slots << " ghosts "
                        << pa.ghosts << " accepted " << pa.accepted << " ghost records shown " << pb.ghostRecords;
        }
        EXPECT_GE(pb.accepted, pa.accepted);
        EXPECT_GE(pc.accepted, pb.accepted) << "the advanced scan only adds records";
      }
    }
    EXPECT_GT(pages, 0);
    // Ghost records by the object id in the page header, as the manifest
    // lists them (objects whose pages all have sane headers).
    for (const auto& [id, count] : f.raw["ghostRecordsByPageObjectId"].object) {
      int32_t objectId = std::stoi(id);
      if (refusedObjects.count(objectId)) continue;
      EXPECT_EQ(ghostsByObject[objectId], count.AsInt()) << "object " << id;
    }
    if (mismatches > 20) FAIL() << mismatches << " pages differ";
  }
}

}  // namespace
}  // namespace pagewright
