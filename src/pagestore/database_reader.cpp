#include "pagestore/database_reader.h"

#include "pagestore/allocation_map.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>

namespace pagewright {

namespace {

constexpr int32_t kOldFileSystemIds[] = {1,  2,  3,  4,  5,  6,  7,  8,  13, 14, 20, 21,
                                         34, 41, 50, 53, 54, 55, 60, 64, 74, 99, 2187};
constexpr int32_t kSecondarySystemIds[] = {3, 4, 5, 7, 8, 13, 34, 41, 50, 54, 55, 60, 64, 74};

// Offsets inside a page header read by the scans.
constexpr int kTypeOffset = 1;
constexpr int kObjectIdOffset = 24;
constexpr int kPageNumberOffset = 32;
constexpr int kFileIdOffset = 36;
constexpr uint16_t kPrimaryFileId = 1;
// sysfiles1 status bit of the transaction log file.
constexpr int32_t kLogFileStatus = 0x40;

// Pages read per block by the sequential scans (1 MiB).
constexpr uint64_t kScanBlockPages = 128;

uint64_t ProgressStep(uint64_t pageCount) {
  auto step = static_cast<uint64_t>(std::ceil(static_cast<double>(pageCount) / 100.0));
  return step == 0 ? 1 : step;
}

// Visits positions first..last (inclusive) of `file`, position p lying at
// base + p * 8192; bytes past the end of the file read as zero. Reads whole
// blocks sequentially. `visit(position, page)` returns false to stop.
template <typename Visit>
void ScanPositions(const ReadOnlyFile& file, uint64_t base, uint64_t first, uint64_t last, Visit visit) {
  std::vector<uint8_t> block(kScanBlockPages * kPageSize);
  for (uint64_t pos = first; pos <= last;) {
    uint64_t pages = std::min<uint64_t>(kScanBlockPages, last - pos + 1);
    size_t want = static_cast<size_t>(pages * kPageSize);
    size_t got = file.ReadAt(base + pos * kPageSize, std::span<uint8_t>(block.data(), want));
    if (got < want) std::memset(block.data() + got, 0, want - got);
    for (uint64_t i = 0; i < pages; ++i, ++pos) {
      if (!visit(pos, ByteSpan(block.data() + i * kPageSize, kPageSize))) return;
    }
  }
}

}  // namespace

bool IsMappedSystemObject(int32_t objectId) {
  return std::find(std::begin(kOldFileSystemIds), std::end(kOldFileSystemIds), objectId) !=
         std::end(kOldFileSystemIds);
}

bool IsMappedSecondarySystemObject(int32_t objectId) {
  return std::find(std::begin(kSecondarySystemIds), std::end(kSecondarySystemIds), objectId) !=
         std::end(kSecondarySystemIds);
}

std::string SecondaryFileFolder(const std::string& oldPath) {
  std::string collapsed;
  collapsed.reserve(oldPath.size());
  for (char c : oldPath) {
    if (c == '\\' && !collapsed.empty() && collapsed.back() == '\\') continue;
    collapsed.push_back(c);
  }
  size_t cut = collapsed.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : collapsed.substr(0, cut + 1);
}

DatabaseReader::~DatabaseReader() = default;

// ---------------------------------------------------------------------------
// Open sequence

std::unique_ptr<DatabaseReader> DatabaseReader::OpenDatabase(const ReadContext& context, const std::string& oldPath,
                                                             const std::string& newPath, ReadEventSink* events,
                                                             const SnapshotMapLoader& snapshotLoader) {
  auto fail = [events](OpenFailure why) { Emit(events, ReadEventCode::kOpenFailed, static_cast<int64_t>(why)); };
  std::unique_ptr<DatabaseReader> r(new DatabaseReader(events));
  r->snapshotLoader_ = snapshotLoader;
  r->oldPath = oldPath;
  r->newPath = newPath;
  bool ok = true;

  r->oldFile_ = ReadOnlyFile::Open(oldPath);
  if (!r->oldFile_) {
    fail(OpenFailure::kCannotOpen);
    ok = false;
  } else if (r->oldFile_->size() < static_cast<uint64_t>(kPageSize)) {
    fail(OpenFailure::kNotValid);
    r->oldFile_.reset();
    ok = false;
  } else {
    FileGeometry g = GeometryOf(r->oldFile_->size());
    r->recordedSize = r->oldFile_->size();
    r->oldPageCount = g.pageCount;
    r->oldExtentCount = g.pageCount / 8;
    r->oldBaseOffset = g.remainder;
    AlignmentCheck check = r->CheckAlignment(context, *r->oldFile_, g.pageCount, g.remainder, ReadFileRole::kOld);
    if (check.found) r->oldBaseOffset = check.baseOffset;
    if (!r->MapOldFile(context)) {
      fail(OpenFailure::kNotValid);
      ok = false;
    }
  }

  r->newFile_ = ReadOnlyFile::Open(newPath);
  if (!r->newFile_) {
    fail(OpenFailure::kNewCannotOpen);
    ok = false;
  } else if (r->newFile_->size() < static_cast<uint64_t>(kPageSize)) {
    fail(OpenFailure::kNewNotValid);
    r->newFile_.reset();
    ok = false;
  } else {
    FileGeometry g = GeometryOf(r->newFile_->size());
    r->recordedSize = r->newFile_->size();
    r->newPageCount = g.pageCount;
    r->newBaseOffset = g.remainder;
    AlignmentCheck check = r->CheckAlignment(context, *r->newFile_, g.pageCount, g.remainder, ReadFileRole::kNew);
    if (check.found) r->newBaseOffset = check.baseOffset;
    if (!r->MapNewFileIam(context)) {
      fail(OpenFailure::kNewNotValid);
      ok = false;
    }
  }

  r->openSucceeded_ = ok;
  return r;
}

// Looks for a page carrying its own position, first in the file's natural
// alignment (pages after the remainder), then from offset 0. The result says
// in which alignment a page was found, so the caller reads the file in the
// alignment its pages actually have.
AlignmentCheck DatabaseReader::CheckAlignment(const ReadContext& context, const ReadOnlyFile& file,
                                              uint64_t pageCount, uint64_t remainder, ReadFileRole role) {
  const uint64_t n = pageCount;
  const uint64_t start = n > 8 ? 8 : n / 4;
  const uint64_t step = ProgressStep(n);
  Emit(events_, ReadEventCode::kCheckStarted);
  Emit(events_, ReadEventCode::kProgressRange, 0, static_cast<int64_t>(n));
  Emit(events_, ReadEventCode::kProgressPosition, 0);

  AlignmentCheck result;
  // The old file's passes are kept; the same file checked again as the new
  // file replays them (the same events, no reads).
  const bool isOld = &file == oldFile_.get();
  const bool replay = !isOld && SameAsOldFile(file) && oldScan_.pageCount == n;
  if (isOld) oldScan_ = OldFileScan{n};
  auto pass = [&](uint64_t base, bool honourStop) {
    if (replay) {
      auto kept = oldScan_.checkPasses.find(base);
      if (kept != oldScan_.checkPasses.end()) {
        for (uint64_t k = start; k <= n; ++k) {
          if (honourStop && context.StopRequested()) return false;
          if (k == kept->second) return true;
          if (k % step == 0) Emit(events_, ReadEventCode::kProgressPosition, static_cast<int64_t>(k));
        }
        return false;
      }
    }
    bool found = false, stopped = false;
    uint64_t at = n + 1;
    ScanPositions(file, base, start, n, [&](uint64_t k, ByteSpan page) {
      if (honourStop && context.StopRequested()) {
        stopped = true;
        return false;
      }
      if (static_cast<int64_t>(I32At(page, kPageNumberOffset)) == static_cast<int64_t>(k)) {
        found = true;
        at = k;
        return false;
      }
      if (k % step == 0) Emit(events_, ReadEventCode::kProgressPosition, static_cast<int64_t>(k));
      return true;
    });
    if (isOld && !stopped) oldScan_.checkPasses[base] = at;
    return found;
  };
  if (pass(remainder, true)) {
    result = {true, remainder};
  } else if (remainder != 0 && pass(0, false)) {
    result = {true, 0};
  }
  Emit(events_, ReadEventCode::kProgressPosition, static_cast<int64_t>(n));
  Emit(events_, ReadEventCode::kCheckDone, static_cast<int64_t>(role));
  return result;
}

bool DatabaseReader::MapOldFile(const ReadContext& context) {
  objectPageMap.clear();
  dataPageMap.clear();
  scanCounts = {};
  if (snapshotLoader_) {
    iamPageMap.clear();
    bool loaded = snapshotLoader_(*this);
    if (!loaded || objectPageMap.empty()) return false;
    Emit(events_, ReadEventCode::kSnapshotLoaded);
    return true;
  }
  const uint64_t n = oldPageCount;
  const uint64_t step = ProgressStep(n);
  Emit(events_, ReadEventCode::kProgressRange, 0, static_cast<int64_t>(n));
  Emit(events_, ReadEventCode::kProgressPosition, 0);
  Emit(events_, ReadEventCode::kMappingStarted);
  oldFile_->AdviseSequential();
  oldScan_.mapBaseOffset = oldBaseOffset;
  oldScan_.iamPages.clear();
  ScanPositions(*oldFile_, oldBaseOffset, 0, n, [&](uint64_t i, ByteSpan page) {
    if (context.StopRequested()) return false;
    ++scanCounts.pagesRead;
    uint8_t type = U8At(page, kTypeOffset);
    int32_t objectId = I32At(page, kObjectIdOffset);
    // The page lies at position i of the primary file: it is page (1, i),
    // whatever file id a damaged or stray header claims.
    PageListEntry entry{kPrimaryFileId, static_cast<uint32_t>(i), type};
    if (IsMappedSystemObject(objectId)) {
      objectPageMap[objectId].push_back(entry);
      ++scanCounts.systemPages;
    }
    if (objectId > 0 && type == kDataPage) {
      dataPageMap[objectId].push_back(entry);
      ++scanCounts.dataPages;
    } else if (objectId > 0 && type == kIamPage) {
      iamPageMap[objectId].push_back(entry);
      oldScan_.iamPages.emplace_back(objectId, entry);
      ++scanCounts.iamPages;
    }
    if ((i + 1) % step == 0) Emit(events_, ReadEventCode::kProgressPosition, static_cast<int64_t>(i + 1));
    return true;
  });
  oldScan_.mapped = scanCounts.pagesRead == n + 1 && oldScan_.pageCount == n;
  Emit(events_, ReadEventCode::kProgressPosition, static_cast<int64_t>(n));
  Emit(events_, ReadEventCode::kMappingDone);
  return scanCounts.systemPages > 0;
}

bool DatabaseReader::MapNewFileIam(const ReadContext& context) {
  const uint64_t n = newPageCount;
  const uint64_t step = ProgressStep(n);
  Emit(events_, ReadEventCode::kProgressRange, 0, static_cast<int64_t>(n));
  Emit(events_, ReadEventCode::kProgressPosition, 0);
  Emit(events_, ReadEventCode::kMappingStarted);
  if (oldScan_.mapped && SameAsOldFile(*newFile_) && oldScan_.pageCount == n && oldScan_.mapBaseOffset == newBaseOffset) {
    // The old file's scan read these very pages: its IAM pages are the new
    // file's, taken position by position as the scan would.
    auto iam = oldScan_.iamPages.begin();
    for (uint64_t i = 0; i <= n; ++i) {
      if (context.StopRequested()) break;
      for (; iam != oldScan_.iamPages.end() && iam->second.page == i; ++iam) iamPageMap[iam->first].push_back(iam->second);
      if ((i + 1) % step == 0) Emit(events_, ReadEventCode::kProgressPosition, static_cast<int64_t>(i + 1));
    }
    Emit(events_, ReadEventCode::kProgressPosition, static_cast<int64_t>(n));
    Emit(events_, ReadEventCode::kMappingDone);
    return true;
  }
  newFile_->AdviseSequential();
  ScanPositions(*newFile_, newBaseOffset, 0, n, [&](uint64_t i, ByteSpan page) {
    if (context.StopRequested()) return false;
    uint8_t type = U8At(page, kTypeOffset);
    int32_t objectId = I32At(page, kObjectIdOffset);
    if (objectId > 0 && type == kIamPage) {
      iamPageMap[objectId].push_back(PageListEntry{kPrimaryFileId, static_cast<uint32_t>(i), type});
    }
    if ((i + 1) % step == 0) Emit(events_, ReadEventCode::kProgressPosition, static_cast<int64_t>(i + 1));
    return true;
  });
  Emit(events_, ReadEventCode::kProgressPosition, static_cast<int64_t>(n));
  Emit(events_, ReadEventCode::kMappingDone);
  return true;
}

// ---------------------------------------------------------------------------
// Secondary files

void DatabaseReader::MapSecondaryFile(const ReadContext& context, const ReadOnlyFile& file, DatabaseFileRow& row,
                                      bool useRowFileId) {
  const auto n = static_cast<uint64_t>(row.pageCount);
  // Entries added by this scan, so that a file id learnt on the way can be
  // given to all of them.
  struct Added {
    PageMap* map;
    int32_t objectId;
    size_t index;
  };
  std::vector<Added> added;
  const uint64_t step = ProgressStep(n);
  Emit(events_, ReadEventCode::kProgressRange, 0, static_cast<int64_t>(n));
  Emit(events_, ReadEventCode::kProgressPosition, 0);
  ScanPositions(file, static_cast<uint64_t>(row.baseOffset), 0, n, [&](uint64_t i, ByteSpan page) {
    if (context.StopRequested()) return false;
    uint8_t type = U8At(page, kTypeOffset);
    int32_t objectId = I32At(page, kObjectIdOffset);
    uint16_t headerFileId = U16At(page, kFileIdOffset);
    uint16_t fileId = useRowFileId ? static_cast<uint16_t>(row.fileId) : headerFileId;
    PageListEntry entry{fileId, static_cast<uint32_t>(i), type};
    if (IsMappedSecondarySystemObject(objectId)) {
      auto& list = objectPageMap[objectId];
      list.push_back(entry);
      if (!useRowFileId) added.push_back({&objectPageMap, objectId, list.size() - 1});
    }
    if (objectId > 0 && type == kDataPage) {
      auto& list = dataPageMap[objectId];
      list.push_back(entry);
      if (!useRowFileId) added.push_back({&dataPageMap, objectId, list.size() - 1});
      if (!useRowFileId && row.fileId == 0 && headerFileId > 1) row.fileId = headerFileId;
    }
    if ((i + 1) % step == 0) Emit(events_, ReadEventCode::kProgressPosition, static_cast<int64_t>(i + 1));
    return true;
  });
  Emit(events_, ReadEventCode::kProgressPosition, static_cast<int64_t>(n));
  // Every page of a secondary file is addressed by the file id the file
  // turned out to have.
  if (row.fileId > 1) {
    for (const auto& a : added) (*a.map)[a.objectId][a.index].fileId = static_cast<uint16_t>(row.fileId);
  }
}

namespace {
bool HasNdfExtension(const std::filesystem::path& p) {
  std::string ext = p.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext == ".ndf";
}

// The file name after the last separator of a path as SQL Server stored it.
std::string StoredFileName(const std::string& path) {
  size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}
}  // namespace

void DatabaseReader::ResolveSecondaryFiles(const ReadContext& context, std::vector<DatabaseFileRow>& files) {
  const std::string folder = SecondaryFileFolder(oldPath);
  if (files.empty()) {
    std::vector<std::filesystem::path> matches;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(folder.empty() ? "." : folder, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
      if (!it->is_directory(ec) && HasNdfExtension(it->path())) matches.push_back(it->path());
    }
    std::sort(matches.begin(), matches.end());
    for (const auto& match : matches) {
      if (context.StopRequested()) break;
      DatabaseFileRow row;
      row.physicalName = match.string();
      auto file = ReadOnlyFile::Open(row.physicalName);
      if (!file) continue;
      FileGeometry g = GeometryOf(file->size());
      row.fileSize = static_cast<int64_t>(file->size());
      row.pageCount = static_cast<int64_t>(g.pageCount);
      row.baseOffset = static_cast<int32_t>(g.remainder);
      AlignmentCheck check = CheckAlignment(context, *file, g.pageCount, g.remainder, ReadFileRole::kOld);
      if (check.found) row.baseOffset = static_cast<int32_t>(check.baseOffset);
      MapSecondaryFile(context, *file, row, false);
      if (row.fileId > 1) {
        files.push_back(row);
        secondaryFileMap[row.fileId] = row;
      }
    }
    return;
  }

  for (auto& row : files) {
    if (row.fileId <= 1) continue;
    std::string name = StoredFileName(row.physicalName);
    size_t dot = name.find_last_of('.');
    std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    row.physicalName = folder + (stem.empty() ? name : stem + ".ndf");
  }
  for (auto& row : files) {
    if (context.StopRequested()) break;
    if (row.fileId <= 1) continue;
    auto file = ReadOnlyFile::Open(row.physicalName);
    if (!file) {
      // The transaction log (status bit 0x40) holds no pages of ours.
      if ((row.status & kLogFileStatus) == 0)
        context.Report(DamageReason::kSecondaryFileMissing, static_cast<int16_t>(row.fileId), -1);
      continue;
    }
    FileGeometry g = GeometryOf(file->size());
    row.fileSize = static_cast<int64_t>(file->size());
    row.pageCount = static_cast<int64_t>(g.pageCount);
    row.baseOffset = static_cast<int32_t>(g.remainder);
    secondaryFileMap[row.fileId] = row;
    MapSecondaryFile(context, *file, row, true);
  }
}

// ---------------------------------------------------------------------------
// Page reads

uint64_t DatabaseReader::PageCountOf(int16_t fileId) const {
  if (fileId == 0 || fileId == 1) return oldPageCount;
  auto it = secondaryFileMap.find(fileId);
  return it == secondaryFileMap.end() ? 0 : static_cast<uint64_t>(it->second.pageCount);
}

std::optional<DatabaseReader::FileView> DatabaseReader::ViewFor(int16_t fileId, PageSource source) const {
  if (fileId < 1) return std::nullopt;
  if (fileId == 1) {
    if (source == PageSource::kOldFile) {
      if (!oldFile_) return std::nullopt;
      return FileView{oldFile_.get(), oldPageCount, oldBaseOffset, oldFile_->size()};
    }
    if (!newFile_) return std::nullopt;
    return FileView{newFile_.get(), newPageCount, newBaseOffset, newFile_->size()};
  }
  auto row = secondaryFileMap.find(fileId);
  if (row == secondaryFileMap.end() || row->second.physicalName.empty()) return std::nullopt;
  std::lock_guard lock(secondaryMutex_);
  auto& open = secondaryFiles_[fileId];
  if (!open) open = ReadOnlyFile::Open(row->second.physicalName);
  if (!open) return std::nullopt;
  return FileView{open.get(), static_cast<uint64_t>(row->second.pageCount),
                  static_cast<uint64_t>(row->second.baseOffset), open->size()};
}

bool DatabaseReader::ReadInto(PageId id, PageSource source, int32_t smallestPage, std::span<uint8_t> out) const {
  if (id.page < smallestPage) return false;
  auto view = ViewFor(id.fileId, source);
  if (!view) return false;
  auto page = static_cast<uint64_t>(id.page);
  if (page > view->pageCount) return false;
  uint64_t offset = page * kPageSize + view->baseOffset;
  if (offset > view->size) return false;
  // Bytes past the end of the file (and past the page) read as zero.
  const size_t got = view->file->ReadAt(offset, out.first(std::min<size_t>(out.size(), kPageSize)));
  std::fill(out.begin() + static_cast<std::ptrdiff_t>(got), out.end(), 0);
  return true;
}

std::optional<std::vector<uint8_t>> DatabaseReader::ReadPageBytes(PageId id, PageSource source, int32_t smallestPage,
                                                                  size_t bufferSize) const {
  std::vector<uint8_t> buffer(bufferSize);
  if (!ReadInto(id, source, smallestPage, buffer)) return std::nullopt;
  return buffer;
}

std::optional<std::vector<uint8_t>> DatabaseReader::ReadRawPage(const ReadContext& context, PageId id) const {
  return ReadPageBytes(id, context.source, 1, kPageSize + 1);
}

std::optional<std::vector<uint8_t>> DatabaseReader::ReadFilePage(const ReadContext& context, PageId id) const {
  return ReadPageBytes(id, context.source, 0, kPageSize);
}

std::optional<CPage_Header> DatabaseReader::ReadPageHeader(const ReadContext& context, PageId id) const {
  std::array<uint8_t, kPageSize> bytes;
  if (!ReadInto(id, context.source, 1, bytes)) return std::nullopt;
  return DecodeAndRepairHeader(std::span<uint8_t>(bytes.data(), kPageSize));
}

std::unique_ptr<CDataPage> DatabaseReader::ReadDataPage(const ReadContext& context, PageId id) {
  auto bytes = ReadPageBytes(id, context.source, 1, kPageSize);
  if (!bytes) return nullptr;
  return std::make_unique<CDataPage>(std::move(*bytes), this);
}

std::unique_ptr<CDataPage> DatabaseReader::ReadCatalogPage(PageId id) {
  auto bytes = ReadPageBytes(id, PageSource::kOldFile, 0, kPageSize);
  if (!bytes) return nullptr;
  return std::make_unique<CDataPage>(std::move(*bytes), this);
}

std::unique_ptr<IamPage> DatabaseReader::ReadIamPage(const ReadContext& context, PageId id) {
  auto bytes = ReadRawPage(context, id);
  if (!bytes) return nullptr;
  return std::make_unique<IamPage>(std::move(*bytes), this);
}

std::shared_ptr<const TextMixPage> DatabaseReader::ReadTextMixPage(const ReadContext& context, PageId id) {
  const PageSource source = context.source;
  {
    std::lock_guard<std::mutex> lock(textCacheMutex_);
    for (const auto& entry : textCache_)
      if (entry.id == id && entry.source == source) return entry.page;
  }
  auto bytes = ReadRawPage(context, id);
  if (!bytes) return nullptr;
  const int32_t claimed = I32At(*bytes, 32);
  if (claimed != id.page) {
    // The page here names another number: the file may be shifted by the
    // difference. The page at the shifted position is taken only when it
    // carries the number asked for.
    int64_t shifted = 2 * static_cast<int64_t>(id.page) - claimed;
    if (shifted >= 1 && shifted <= INT32_MAX) {
      PageId candidate{id.fileId, static_cast<int32_t>(shifted)};
      auto there = ReadRawPage(context, candidate);
      if (there && I32At(*there, 32) == id.page) bytes = std::move(there);
    }
  }
  auto page = std::make_shared<const TextMixPage>(std::move(*bytes), this);
  std::lock_guard<std::mutex> lock(textCacheMutex_);
  if (textCache_.size() < kTextPageCacheSize) {
    textCache_.push_back({id, source, page});
  } else {
    textCache_[textCacheNext_] = {id, source, page};
    textCacheNext_ = (textCacheNext_ + 1) % kTextPageCacheSize;
  }
  return page;
}

}  // namespace pagewright
