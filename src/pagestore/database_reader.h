// The open database: the old (backup) file, the new (damaged) file, their
// secondary files, and the page maps a scan of the old file produces.
//
// Every page is addressed by its position in its file: the number of whole
// 8192-byte blocks between the file's base offset and the page. A file whose
// size is not a multiple of 8192 may carry its pages either from offset 0 or
// shifted by the remainder; the corruption check decides which.
#ifndef PAGEWRIGHT_PAGESTORE_DATABASE_READER_H_
#define PAGEWRIGHT_PAGESTORE_DATABASE_READER_H_

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "pagestore/file_access.h"
#include "pagestore/page_header.h"
#include "pagestore/page_id.h"
#include "pagestore/pages.h"
#include "state/read_context.h"
#include "state/read_events.h"

namespace pagewright {

// Ordered map from the object id in the page header to the pages carrying it,
// in the order the scans met them.
using PageMap = std::map<int32_t, std::vector<PageListEntry>>;

// One database file as `sysfiles1` names it; the page store fills the size
// fields when it finds and maps the file.
struct DatabaseFileRow {
  int32_t status = 0;
  int32_t fileId = 0;
  std::string logicalName;
  std::string physicalName;
  int64_t fileSize = 0;
  int64_t pageCount = 0;
  int32_t baseOffset = 0;  // bytes before position 0
};

// System object ids whose pages the old-file scan registers in ObjectPageMap.
// Object id 64 (sysclsobjs) is registered too, so that objects get their
// schema names.
bool IsMappedSystemObject(int32_t objectId);
// The shorter list used for secondary files.
bool IsMappedSecondarySystemObject(int32_t objectId);

// Result of the corruption check: whether a page was found at its own
// position, and in which alignment.
struct AlignmentCheck {
  bool found = false;
  uint64_t baseOffset = 0;  // the alignment in which it was found
};

class DatabaseReader {
 public:
  // Loads the three page maps from a snapshot in place of the old-file
  // mapping scan; returns false when the snapshot could not be read.
  using SnapshotMapLoader = std::function<bool(DatabaseReader&)>;

  // Builds a reader and runs the open sequence; always returns the reader,
  // with openSucceeded() telling the outcome. Progress and failures go to
  // `events` (kept for the secondary-file scans); `context` gives the stop
  // token. With a snapshot loader the old file's page maps come from the
  // snapshot instead of a mapping scan.
  static std::unique_ptr<DatabaseReader> OpenDatabase(const ReadContext& context, const std::string& oldPath,
                                                      const std::string& newPath, ReadEventSink* events,
                                                      const SnapshotMapLoader& snapshotLoader = {});
  ~DatabaseReader();

  bool openSucceeded() const { return openSucceeded_; }
  ReadEventSink* events() const { return events_; }

  // --- page reads (none when the page cannot be read) ----------------------
  // File id 1 names the file the context's page source says.
  // 8193 zero-filled bytes holding the page.
  std::optional<std::vector<uint8_t>> ReadRawPage(const ReadContext& context, PageId id) const;
  std::optional<CPage_Header> ReadPageHeader(const ReadContext& context, PageId id) const;
  // The 8192 bytes at a position as they lie in the file, the file header
  // page (0) included.
  std::optional<std::vector<uint8_t>> ReadFilePage(const ReadContext& context, PageId id) const;
  // Header and slot table of a data page; the record layer parses records.
  std::unique_ptr<CDataPage> ReadDataPage(const ReadContext& context, PageId id);
  // Like ReadDataPage, but file id 1 is always the old file and page 0 (the
  // file header page) may be read.
  std::unique_ptr<CDataPage> ReadCatalogPage(PageId id);
  // Text/image page p; when p's header claims another page number c the file
  // is taken to be shifted by c - p pages and position 2p - c is read,
  // provided the page found there carries number p. The page is shared: the
  // last pages read are kept and handed out again.
  std::shared_ptr<const TextMixPage> ReadTextMixPage(const ReadContext& context, PageId id);
  // An IAM page with its extent bitmap and header decoded.
  std::unique_ptr<class IamPage> ReadIamPage(const ReadContext& context, PageId id);

  // Finds, checks and maps the secondary files: those `files` names (looked
  // for in the old file's folder with the extension ".ndf"), or, when the
  // list is empty, every .ndf file in that folder. A named file that is not
  // found is reported as damage.
  void ResolveSecondaryFiles(const ReadContext& context, std::vector<DatabaseFileRow>& files);

  // Page count of file id 1 (old file) or of a secondary file; 0 when unknown.
  uint64_t PageCountOf(int16_t fileId) const;

  // --- state read by the other layers --------------------------------------
  uint64_t recordedSize = 0;
  uint64_t oldPageCount = 0;
  uint64_t newPageCount = 0;
  uint64_t oldBaseOffset = 0;
  uint64_t newBaseOffset = 0;
  uint64_t oldExtentCount = 0;
  std::string oldPath;
  std::string newPath;
  std::string databaseName;
  PageMap objectPageMap;
  PageMap dataPageMap;
  PageMap iamPageMap;
  std::map<int32_t, DatabaseFileRow> secondaryFileMap;

  // Counts of what the last mapping scan of the old file registered.
  struct ScanCounts {
    uint64_t pagesRead = 0;
    uint64_t systemPages = 0;
    uint64_t dataPages = 0;
    uint64_t iamPages = 0;
  } scanCounts;

  // Runs the corruption check on one file (exposed for tests and tools).
  AlignmentCheck CheckAlignment(const ReadContext& context, const ReadOnlyFile& file, uint64_t pageCount,
                                uint64_t remainder, ReadFileRole role);

 private:
  explicit DatabaseReader(ReadEventSink* events) : events_(events) {}

  struct FileView {
    const ReadOnlyFile* file = nullptr;
    uint64_t pageCount = 0;
    uint64_t baseOffset = 0;
    uint64_t size = 0;
  };
  std::optional<FileView> ViewFor(int16_t fileId, PageSource source) const;
  bool ReadInto(PageId id, PageSource source, int32_t smallestPage, std::span<uint8_t> out) const;
  std::optional<std::vector<uint8_t>> ReadPageBytes(PageId id, PageSource source, int32_t smallestPage,
                                                    size_t bufferSize) const;

  bool MapOldFile(const ReadContext& context);
  bool MapNewFileIam(const ReadContext& context);
  void MapSecondaryFile(const ReadContext& context, const ReadOnlyFile& file, DatabaseFileRow& row,
                        bool useRowFileId);

  // What the old file's alignment check and mapping scan found, so that the
  // same file opened as the new file (the usual case: one damaged file for
  // both) is not read a second time. Only whole passes are kept: one a stop
  // request cut short is run again.
  struct OldFileScan {
    uint64_t pageCount = 0;
    // Alignment check passes by base offset: the position of the first
    // page carrying its own number, or pageCount + 1 when none does.
    std::map<uint64_t, uint64_t> checkPasses;
    bool mapped = false;  // the mapping scan read every position
    uint64_t mapBaseOffset = 0;
    std::vector<std::pair<int32_t, PageListEntry>> iamPages;  // in position order
  };
  bool SameAsOldFile(const ReadOnlyFile& file) const { return oldFile_ && oldFile_->SameFileAs(file); }

  ReadEventSink* events_;
  OldFileScan oldScan_;
  std::unique_ptr<ReadOnlyFile> oldFile_;
  std::unique_ptr<ReadOnlyFile> newFile_;
  // Secondary files stay open once opened, keyed by file id.
  mutable std::mutex secondaryMutex_;
  mutable std::map<int32_t, std::unique_ptr<ReadOnlyFile>> secondaryFiles_;
  bool openSucceeded_ = false;
  SnapshotMapLoader snapshotLoader_;

  // Text pages read lately. Text mix pages hold the large-value fragments of
  // many neighbouring rows, so paging through a table asks for the same few
  // pages again and again. Keyed by page and by which file file id 1 meant,
  // since that changes once a scan completes.
  struct CachedTextPage {
    PageId id{0, 0};
    PageSource source = PageSource::kOldFile;
    std::shared_ptr<const TextMixPage> page;
  };
  static constexpr size_t kTextPageCacheSize = 64;
  std::mutex textCacheMutex_;
  std::vector<CachedTextPage> textCache_;
  size_t textCacheNext_ = 0;
};

// Size split of a file: whole pages and the bytes after them.
struct FileGeometry {
  uint64_t pageCount = 0;
  uint64_t remainder = 0;
};
constexpr FileGeometry GeometryOf(uint64_t size) { return {size / kPageSize, size % kPageSize}; }

// The folder secondary files are looked for in: the old path up to and
// including its last separator ('\\' or '/'; doubled backslashes count once).
std::string SecondaryFileFolder(const std::string& oldPath);

}  // namespace pagewright

#endif  // PAGEWRIGHT_PAGESTORE_DATABASE_READER_H_
