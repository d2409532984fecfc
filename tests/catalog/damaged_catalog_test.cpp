// The catalog build on real files whose system table pages are damaged:
// zeroed, overwritten with random bytes, or tagged with a wrong object id.
// It must not crash and must still list what the intact pages hold.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "catalog/object_details.h"
#include "catalog/system_tables.h"
#include "records/record_enumeration.h"
#include "support/builder/database_builder.h"
#include "support/corpus.h"
#include "support/read_fixture.h"

namespace pagewright {
namespace {

std::set<std::string> ObjectNames(const DatabaseCatalog& c) {
  std::set<std::string> names;
  // Placeholder names are numbered in reading order, so an object is known
  // by its id and type.
  for (const auto& o : c.objects) names.insert(o.typeCode + "|" + std::to_string(o.id));
  return names;
}

struct Built {
  AppState state;
  std::unique_ptr<build::TempFile> file;
  std::unique_ptr<DatabaseReader> reader;
  std::unique_ptr<DatabaseCatalog> catalog;
};

std::unique_ptr<Built> BuildFrom(const std::vector<uint8_t>& bytes) {
  auto b = std::make_unique<Built>();
  b->file = std::make_unique<build::TempFile>(bytes);
  b->reader = OpenForTest(b->state, b->file->str(), b->file->str(), nullptr);
  b->catalog = BuildCatalog(b->state, *b->reader);
  // Every object's details, as the tree build prepares them.
  for (const auto& o : std::vector<CatalogObject>(b->catalog->objects))
    SelectDetails(*b->catalog, o.name, o.typeCode, {});
  return b;
}

// The object rows one page of the object table holds.
std::set<std::string> ObjectsOnPage(DatabaseReader& reader, PageId page, bool legacy) {
  std::set<std::string> out;
  const ReadContext read;
  auto p = LoadCatalogPage(reader, read, page);
  if (!p) return out;
  uint64_t counter = 0;
  WalkContext ctx{reader, read, counter};
  std::vector<CatalogObject> rows;
  ReadObjects(*p, ctx, {}, legacy, rows);
  for (const auto& o : rows) out.insert(std::to_string(o.id));
  return out;
}

TEST(DamagedCatalog, DamagedSystemPagesLoseOnlyWhatTheyHeld) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  std::mt19937 rng(2026);
  for (const auto& f : testing::CorpusFiles()) {
    SCOPED_TRACE(f.file);
    const auto original = build::ReadFileBytes(f.path);
    auto intact = BuildFrom(original);
    const bool legacy = intact->state.legacyCatalogMode;
    const std::set<std::string> all = ObjectNames(*intact->catalog);
    const int32_t objectKey = legacy ? 1 : 34;
    const auto& objectPages = intact->reader->objectPageMap[objectKey];
    ASSERT_FALSE(objectPages.empty());
    // Damage each object page in turn, three ways.
    for (size_t k = 0; k < objectPages.size(); ++k) {
      const PageListEntry& entry = objectPages[k];
      if (entry.pageType != kDataPage) continue;
      const std::set<std::string> held = ObjectsOnPage(*intact->reader, entry.id(), legacy);
      for (int how = 0; how < 3; ++how) {
        SCOPED_TRACE("object page " + std::to_string(entry.page) + " damage " + std::to_string(how));
        auto bytes = original;
        size_t at = static_cast<size_t>(entry.page) * kPageSize;
        if (how == 0) {
          std::fill(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + kPageSize), 0);
        } else if (how == 1) {
          for (size_t i = at + 96; i < at + kPageSize; ++i) bytes[i] = static_cast<uint8_t>(rng());
        } else {
          StoreLittleEndian<int32_t>(bytes.data() + at + 24, 999999);
        }
        auto damaged = BuildFrom(bytes);
        // Every object not on the damaged page is still listed.
        for (const auto& name : all) {
          std::string id = name.substr(name.rfind('|') + 1);
          if (held.count(id)) continue;
          EXPECT_TRUE(ObjectNames(*damaged->catalog).count(name) || damaged->catalog->objects.empty())
              << name << " lost";
        }
        if (how != 1 && !damaged->catalog->objects.empty()) {
          for (const auto& name : ObjectNames(*damaged->catalog)) EXPECT_TRUE(all.count(name)) << name << " invented";
        }
      }
    }
    // Column pages: random bytes over each one; the objects stay.
    for (int32_t key : {legacy ? 3 : 41, 5, 7, legacy ? 2 : 54}) {
      for (const auto& entry : intact->reader->objectPageMap[key]) {
        auto bytes = original;
        size_t at = static_cast<size_t>(entry.page) * kPageSize;
        for (size_t i = at + 96; i < at + kPageSize; i += 3) bytes[i] = static_cast<uint8_t>(rng());
        auto damaged = BuildFrom(bytes);
        EXPECT_EQ(ObjectNames(*damaged->catalog), all) << "key " << key << " page " << entry.page;
      }
    }
  }
}

}  // namespace
}  // namespace pagewright
