#include "app/database_check.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <unordered_map>

#include "catalog/object_details.h"
#include "pagestore/allocation_map.h"
#include "pagestore/text_codec.h"
#include "records/record_check.h"

namespace pagewright {

namespace {

// Per-page facts kept from the one pass over a file until allocation is
// known: the page's protection, whether it failed a check, whether it is an
// IAM page at its own position.
constexpr uint8_t kChecksumProtected = 1;
constexpr uint8_t kTornProtected = 2;
constexpr uint8_t kFailed = 4;
constexpr uint8_t kIam = 8;

// sysfiles1 status bit of a transaction log file.
constexpr int32_t kLogFileStatus = 0x40;

// Object ids below this are system tables in every layout.
constexpr int32_t kFirstUserObjectId = 100;

uint64_t PageKey(int16_t fileId, uint64_t page) { return (static_cast<uint64_t>(static_cast<uint16_t>(fileId)) << 32) | page; }

// Who a page belongs to, as a page header names it: the object id in the
// header (an allocation unit's page key from SQL Server 2005 on) and, in
// SQL Server 2000 files, the index id beside it.
struct HeaderOwner {
  int32_t objectId = 0;
  uint16_t indexId = 0;
};

// Names objects from the catalog.
class ObjectNamer {
 public:
  ObjectNamer(const DatabaseCatalog* catalog, bool legacy) : c_(catalog), legacy_(legacy) {
    if (c_ == nullptr || legacy_) return;
    std::unordered_map<int64_t, const RowsetRow*> rowsets;
    for (const auto& r : c_->rowsets) rowsets.emplace(r.rowsetId, &r);
    for (const auto& au : c_->allocationUnits) {
      auto it = rowsets.find(au.ownerId);
      if (it == rowsets.end()) continue;
      if (au.allocationUnitId == 0) continue;
      // A page header names its allocation unit by two parts of the id:
      // bits 16 to 47 (the object id at 24) and bits 48 to 63 (the index id
      // at 6).
      const auto id = static_cast<uint64_t>(au.allocationUnitId);
      const HeaderOwner key{static_cast<int32_t>(static_cast<uint32_t>((id >> 16) & 0xFFFFFFFFu)),
                            static_cast<uint16_t>(id >> 48)};
      byPageKey_.emplace(KeyOf(key), std::make_pair(it->second->objectId, it->second->indexId));
      // The key the page maps use, for files whose ids do not split so.
      byObjectKey_.emplace(PageKeyOfAllocationUnit(au.allocationUnitId, au.ownerId),
                           std::make_pair(it->second->objectId, it->second->indexId));
    }
  }

  // Table (or system table) id and index id of a header owner; none when
  // the catalog does not know the allocation unit.
  std::optional<std::pair<int32_t, int32_t>> Resolve(const HeaderOwner& owner) const {
    if (legacy_) return std::make_pair(owner.objectId, static_cast<int32_t>(owner.indexId));
    if (auto it = byPageKey_.find(KeyOf(owner)); it != byPageKey_.end()) return it->second;
    if (auto it = byObjectKey_.find(owner.objectId); it != byObjectKey_.end()) return it->second;
    return std::nullopt;
  }

  DamagedObject Describe(const HeaderOwner& owner) const {
    DamagedObject d;
    auto resolved = Resolve(owner);
    if (!resolved) {
      d.kind = "unknown object";
      d.name = "object id " + std::to_string(owner.objectId);
      return d;
    }
    const auto [objectId, indexId] = *resolved;
    const CatalogObject* object = nullptr;
    if (c_ != nullptr) {
      for (const auto& o : c_->objects)
        if (o.id == objectId) object = &o;
    }
    const bool system = objectId > 0 && objectId < kFirstUserObjectId;
    const std::string table = object != nullptr ? object->name : "object id " + std::to_string(objectId);
    if (system || (object != nullptr && object->typeCode == "S ")) {
      d.kind = "system table";
      d.name = table;
      return d;
    }
    if (object == nullptr) {
      d.kind = "unknown object";
      d.name = table;
      return d;
    }
    if (indexId > 1) {
      d.kind = "index";
      d.name = table + " index " + IndexName(objectId, indexId);
      return d;
    }
    d.kind = "table";
    d.name = table;
    d.losesRows = object->typeCode == "U ";
    return d;
  }

 private:
  std::string IndexName(int32_t objectId, int32_t indexId) const {
    for (const auto& x : c_->indexes)
      if (x.objectId == objectId && x.indexId == indexId && !x.name.empty()) return x.name;
    for (const auto& x : c_->legacyIndexKeys)
      if (x.objectId == objectId && x.indexId == indexId && !x.name.empty()) return x.name;
    return std::to_string(indexId);
  }

  const DatabaseCatalog* c_;
  bool legacy_;
  static uint64_t KeyOf(const HeaderOwner& o) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(o.objectId)) << 16) | o.indexId;
  }
  std::unordered_map<uint64_t, std::pair<int32_t, int32_t>> byPageKey_;
  std::unordered_map<int32_t, std::pair<int32_t, int32_t>> byObjectKey_;
};

// Pages the IAM pages give to an owner: single pages and whole extents.
class IamOwnership {
 public:
  void Add(IamPage& iam, const HeaderOwner& owner, uint64_t extentLimit) {
    const int16_t fileId = iam.header.thisPage.fileId;
    for (const PageId& single : iam.singlePages) {
      if (single.page > 0) singles_[PageKey(single.fileId, static_cast<uint64_t>(single.page))] = owner;
    }
    for (const ExtentItem& e : EnumerateExtents(iam, extentLimit)) {
      extents_[PageKey(fileId, static_cast<uint64_t>(e.first.page) / 8)] = owner;
    }
  }
  std::optional<HeaderOwner> OwnerOf(PageId id) const {
    if (auto it = singles_.find(PageKey(id.fileId, static_cast<uint64_t>(id.page))); it != singles_.end())
      return it->second;
    if (auto it = extents_.find(PageKey(id.fileId, static_cast<uint64_t>(id.page) / 8)); it != extents_.end())
      return it->second;
    return std::nullopt;
  }
  // Pages named at or after `pageCount` in one file: pages a short file lost.
  std::vector<std::pair<uint32_t, HeaderOwner>> NamedFrom(int16_t fileId, uint64_t pageCount) const {
    std::vector<std::pair<uint32_t, HeaderOwner>> out;
    for (const auto& [key, owner] : singles_) {
      if ((key >> 32) == static_cast<uint16_t>(fileId) && (key & 0xFFFFFFFFu) >= pageCount)
        out.emplace_back(static_cast<uint32_t>(key & 0xFFFFFFFFu), owner);
    }
    for (const auto& [key, owner] : extents_) {
      if ((key >> 32) != static_cast<uint16_t>(fileId)) continue;
      for (uint64_t p = (key & 0xFFFFFFFFu) * 8; p < (key & 0xFFFFFFFFu) * 8 + 8; ++p)
        if (p >= pageCount) out.emplace_back(static_cast<uint32_t>(p), owner);
    }
    return out;
  }

 private:
  std::unordered_map<uint64_t, HeaderOwner> singles_;
  std::unordered_map<uint64_t, HeaderOwner> extents_;
};

struct Candidate {
  DamagedPage page;
  HeaderOwner header;
  bool headerUsable = false;
};

struct FileScan {
  CheckedFile file;
  std::vector<uint8_t> facts;                        // one byte per page
  std::map<uint32_t, std::vector<uint8_t>> pfs;      // sound PFS pages by position
  std::map<uint32_t, Candidate> failing;             // pages that failed a check
};

HeaderOwner HeaderOwnerOf(ByteSpan page) { return HeaderOwner{I32At(page, 24), U16At(page, 6)}; }

void ScanFile(DatabaseReader& reader, FileScan& scan, IamOwnership& iams) {
  const int16_t fileId = scan.file.fileId;
  scan.facts.assign(scan.file.pages, 0);
  for (uint64_t p = 0; p < scan.file.pages; ++p) {
    const PageId id{fileId, static_cast<int32_t>(p)};
    auto bytes = reader.ReadFilePage(ReadContext(), id);
    uint8_t& fact = scan.facts[p];
    if (!bytes) {
      fact |= kFailed;
      scan.failing[static_cast<uint32_t>(p)] = Candidate{DamagedPage{id, 0, {{PageFault::kMissing, "unreadable"}}}, {}, false};
      continue;
    }
    ByteSpan page(bytes->data(), kPageSize);
    std::vector<PageFinding> findings = VerifyPage(page, id);
    const uint8_t type = U8At(page, 1);
    if (findings.empty() && type == kDataPage) {
      std::vector<int> slots = UnparsableRecordSlots(page);
      if (!slots.empty()) {
        std::string detail = "slot " + std::to_string(slots.front());
        if (slots.size() > 1) detail += " and " + std::to_string(slots.size() - 1) + " more";
        findings.push_back({PageFault::kRecord, detail});
      }
    }
    switch (ProtectionOf(page)) {
      case PageProtection::kChecksum: fact |= kChecksumProtected; break;
      case PageProtection::kTornBits: fact |= kTornProtected; break;
      case PageProtection::kNone: break;
    }
    if (!findings.empty()) {
      fact |= kFailed;
      const bool usable = IsKnownPageType(type);
      scan.failing[static_cast<uint32_t>(p)] = Candidate{DamagedPage{id, type, std::move(findings)}, HeaderOwnerOf(page), usable};
      continue;
    }
    if (type == kPfsPageType && (p == 1 || p % kPfsInterval == 0)) scan.pfs[static_cast<uint32_t>(p)] = *bytes;
    if (type == kIamPage) {
      fact |= kIam;
      IamPage iam(std::move(*bytes), &reader);
      // The bitmap is bounded by its own interval, not by the primary
      // file's size: secondary files have their own.
      iams.Add(iam, HeaderOwnerOf(iam.page()), UINT64_MAX);
    }
  }
}

bool Allocated(const FileScan& scan, const IamOwnership& iams, uint32_t p) {
  auto pfs = scan.pfs.find(PfsPageOf(p));
  if (pfs != scan.pfs.end()) return PfsSaysAllocated(pfs->second, p);
  const PageId id{scan.file.fileId, static_cast<int32_t>(p)};
  if (AllocationPageKind(p, scan.file.fileId == 1) != nullptr) return true;
  if (p < scan.facts.size() && (scan.facts[p] & kIam)) return true;
  return iams.OwnerOf(id).has_value();
}

// Files of the database: the primary file and each secondary file the
// catalog names (those not found are listed apart).
std::vector<CheckedFile> FilesOf(const DatabaseReader& reader, const DatabaseCatalog* catalog,
                                 std::vector<std::string>& missing) {
  std::vector<CheckedFile> files;
  files.push_back(CheckedFile{1, reader.oldPath, reader.oldPageCount});
  for (const auto& [fileId, row] : reader.secondaryFileMap) {
    files.push_back(CheckedFile{static_cast<int16_t>(fileId), row.physicalName, static_cast<uint64_t>(row.pageCount)});
  }
  if (catalog != nullptr) {
    for (const auto& row : catalog->databaseFiles) {
      // Log files (status bit 0x40) hold no pages of this kind.
      if (row.fileId > 1 && (row.status & kLogFileStatus) == 0 && reader.secondaryFileMap.count(row.fileId) == 0)
        missing.push_back(row.physicalName.empty() ? row.logicalName : row.physicalName);
    }
  }
  return files;
}

}  // namespace

DatabaseCheck CheckDatabase(DatabaseReader& reader, const DatabaseCatalog* catalog) {
  DatabaseCheck check;
  check.databaseName = reader.databaseName;
  check.files = FilesOf(reader, catalog, check.missingFiles);
  const ObjectNamer namer(catalog, catalog && catalog->legacyCatalog);
  IamOwnership iams;
  std::vector<FileScan> scans;
  for (const CheckedFile& f : check.files) {
    FileScan scan;
    scan.file = f;
    ScanFile(reader, scan, iams);
    scans.push_back(std::move(scan));
  }

  std::vector<DamagedObject> objects;
  std::map<std::string, size_t> objectIndex;
  auto addDamage = [&](DamagedObject described, DamagedPage page) {
    auto [it, inserted] = objectIndex.emplace(described.kind + "\x1f" + described.name, objects.size());
    if (inserted) objects.push_back(std::move(described));
    objects[it->second].pages.push_back(std::move(page));
  };
  auto describe = [&](const FileScan& scan, uint32_t p, const std::optional<HeaderOwner>& header) {
    if (const char* kind = AllocationPageKind(p, scan.file.fileId == 1)) {
      DamagedObject d;
      d.kind = "allocation page";
      d.name = kind;
      return d;
    }
    if (auto owner = iams.OwnerOf(PageId{scan.file.fileId, static_cast<int32_t>(p)})) return namer.Describe(*owner);
    if (header) return namer.Describe(*header);
    DamagedObject d;
    d.kind = "unknown object";
    d.name = "no owner known";
    return d;
  };

  for (FileScan& scan : scans) {
    CheckTotals& t = check.totals;
    for (uint32_t p = 0; p < scan.facts.size(); ++p) {
      ++t.pagesRead;
      const uint8_t fact = scan.facts[p];
      if (!Allocated(scan, iams, p)) {
        ++t.unallocated;
        if (fact & kFailed) ++t.unallocatedFailing;
        continue;
      }
      ++t.allocated;
      if (fact & kFailed) {
        Candidate& c = scan.failing[p];
        ++t.damaged;
        addDamage(describe(scan, p, c.headerUsable ? std::optional<HeaderOwner>(c.header) : std::nullopt),
                  std::move(c.page));
        continue;
      }
      if (fact & kChecksumProtected) ++t.checksumsVerified;
      else if (fact & kTornProtected) ++t.tornBitsVerified;
      else ++t.unprotected;
    }
    // Pages the allocation maps give out past the end of a short file.
    std::map<uint32_t, std::optional<HeaderOwner>> lost;
    const uint64_t n = scan.file.pages;
    for (const auto& [pfsAt, bytes] : scan.pfs) {
      const uint64_t base = pfsAt < kPfsInterval ? 0 : pfsAt;
      for (uint64_t p = std::max<uint64_t>(base, n); p < base + kPfsInterval; ++p)
        if (PfsSaysAllocated(bytes, static_cast<uint32_t>(p))) lost.emplace(static_cast<uint32_t>(p), std::nullopt);
    }
    for (const auto& [p, owner] : iams.NamedFrom(scan.file.fileId, n)) lost[p] = owner;
    for (const auto& [p, owner] : lost) {
      ++t.missing;
      ++t.damaged;
      DamagedPage page{PageId{scan.file.fileId, static_cast<int32_t>(p)}, 0,
                       {{PageFault::kMissing, "the file ends at page " + std::to_string(n)}}};
      addDamage(describe(scan, p, std::nullopt), std::move(page));
    }
  }
  for (auto& o : objects) {
    // Index pages of a table's own index hold no rows; every other page of
    // it (data, large values, allocation) does, or says where they are.
    if (o.kind == "table") {
      o.losesRows = o.losesRows && std::any_of(o.pages.begin(), o.pages.end(),
                                               [](const DamagedPage& pg) { return pg.pageType != kIndexPage; });
    }
    if (o.losesRows) check.tablesLosingRows.push_back(o.name);
  }
  check.objects = std::move(objects);
  return check;
}

DamagedObject ObjectOfPageHeader(const DatabaseCatalog* catalog, bool legacy, int32_t headerObjectId,
                                 uint16_t headerIndexId) {
  return ObjectNamer(catalog, legacy).Describe(HeaderOwner{headerObjectId, headerIndexId});
}

namespace {

std::string PageText(PageId id) { return std::to_string(id.fileId) + ":" + std::to_string(id.page); }

std::string ReasonsText(const DamagedPage& p) {
  std::string out;
  for (const auto& f : p.findings) {
    if (!out.empty()) out += "; ";
    out += PageFaultText(f.fault);
    if (!f.detail.empty()) out += " (" + f.detail + ")";
  }
  return out;
}

bool OnlyMissing(const DamagedPage& p) {
  return p.findings.size() == 1 && p.findings.front().fault == PageFault::kMissing;
}

std::string JsonString(const std::string& s) {
  std::string out;
  AppendJsonString(s, out);
  return out;
}

}  // namespace

std::string FormatCheckText(const DatabaseCheck& check) {
  const CheckTotals& t = check.totals;
  std::string out;
  out += "Database: " + (check.databaseName.empty() ? std::string("RepairDataBase") : check.databaseName) + "\n";
  for (const auto& f : check.files)
    out += "File " + std::to_string(f.fileId) + ": " + f.path + " (" + std::to_string(f.pages) + " pages)\n";
  for (const auto& m : check.missingFiles) out += "File not found: " + m + "\n";
  out += "Pages read: " + std::to_string(t.pagesRead) + "\n";
  out += "Allocated pages: " + std::to_string(t.allocated) + "\n";
  out += "Unallocated pages: " + std::to_string(t.unallocated) + " (" + std::to_string(t.unallocatedFailing) +
         " of them fail a check; unused space, not damage)\n";
  out += "Checksums verified: " + std::to_string(t.checksumsVerified) + "\n";
  out += "Torn-page bits verified: " + std::to_string(t.tornBitsVerified) + "\n";
  out += "Pages without protection: " + std::to_string(t.unprotected) + "\n";
  out += "Damaged pages: " + std::to_string(t.damaged) + "\n";
  if (t.missing > 0) out += "Missing pages: " + std::to_string(t.missing) + "\n";
  for (const auto& o : check.objects) {
    out += "\n" + o.name + " (" + o.kind + "): " + std::to_string(o.pages.size()) + " damaged page" +
           (o.pages.size() == 1 ? "" : "s") + "\n";
    for (size_t i = 0; i < o.pages.size(); ++i) {
      const DamagedPage& p = o.pages[i];
      // Runs of missing pages are one line.
      size_t j = i;
      while (OnlyMissing(p) && j + 1 < o.pages.size() && OnlyMissing(o.pages[j + 1]) &&
             o.pages[j + 1].id.fileId == p.id.fileId && o.pages[j + 1].id.page == o.pages[j].id.page + 1)
        ++j;
      if (j > i) {
        out += "  (" + PageText(p.id) + ") to (" + PageText(o.pages[j].id) + "): " + ReasonsText(p) + "\n";
        i = j;
        continue;
      }
      out += "  (" + PageText(p.id) + ") type " + std::to_string(p.pageType) + ": " + ReasonsText(p) + "\n";
    }
  }
  out += "\n";
  if (check.tablesLosingRows.empty()) {
    out += "No user table loses rows.\n";
  } else {
    out += "User tables that will lose rows:";
    for (const auto& name : check.tablesLosingRows) out += " " + name + (&name == &check.tablesLosingRows.back() ? "" : ",");
    out += "\n";
  }
  return out;
}

std::string FormatCheckJson(const DatabaseCheck& check) {
  const CheckTotals& t = check.totals;
  std::string out = "{\n";
  out += "  \"database\": " + JsonString(check.databaseName) + ",\n";
  out += "  \"clean\": " + std::string(check.clean() ? "true" : "false") + ",\n";
  out += "  \"files\": [";
  for (size_t i = 0; i < check.files.size(); ++i) {
    const auto& f = check.files[i];
    out += std::string(i ? ", " : "") + "{\"fileId\": " + std::to_string(f.fileId) + ", \"path\": " + JsonString(f.path) +
           ", \"pages\": " + std::to_string(f.pages) + "}";
  }
  out += "],\n  \"missingFiles\": [";
  for (size_t i = 0; i < check.missingFiles.size(); ++i)
    out += std::string(i ? ", " : "") + JsonString(check.missingFiles[i]);
  out += "],\n  \"totals\": {";
  const std::pair<const char*, uint64_t> totals[] = {
      {"pagesRead", t.pagesRead},         {"allocated", t.allocated},
      {"unallocated", t.unallocated},     {"unallocatedFailing", t.unallocatedFailing},
      {"checksumsVerified", t.checksumsVerified}, {"tornBitsVerified", t.tornBitsVerified},
      {"unprotected", t.unprotected},     {"damaged", t.damaged},
      {"missing", t.missing}};
  for (size_t i = 0; i < std::size(totals); ++i)
    out += std::string(i ? ", " : "") + "\"" + totals[i].first + "\": " + std::to_string(totals[i].second);
  out += "},\n  \"objects\": [";
  for (size_t i = 0; i < check.objects.size(); ++i) {
    const auto& o = check.objects[i];
    out += std::string(i ? "," : "") + "\n    {\"name\": " + JsonString(o.name) + ", \"kind\": " + JsonString(o.kind) +
           ", \"losesRows\": " + (o.losesRows ? "true" : "false") + ", \"pages\": [";
    for (size_t k = 0; k < o.pages.size(); ++k) {
      const auto& p = o.pages[k];
      out += std::string(k ? ", " : "") + "{\"page\": " + JsonString(PageText(p.id)) +
             ", \"pageType\": " + std::to_string(p.pageType) + ", \"reasons\": [";
      for (size_t r = 0; r < p.findings.size(); ++r) {
        const auto& f = p.findings[r];
        out += std::string(r ? ", " : "") + "{\"code\": " + JsonString(PageFaultCode(f.fault)) +
               ", \"text\": " + JsonString(PageFaultText(f.fault)) + ", \"detail\": " + JsonString(f.detail) + "}";
      }
      out += "]}";
    }
    out += "]}";
  }
  out += check.objects.empty() ? "],\n" : "\n  ],\n";
  out += "  \"tablesLosingRows\": [";
  for (size_t i = 0; i < check.tablesLosingRows.size(); ++i)
    out += std::string(i ? ", " : "") + JsonString(check.tablesLosingRows[i]);
  out += "]\n}\n";
  return out;
}

}  // namespace pagewright
