// The snapshot file (extension "KVSNAPDB"): the page maps of a scanned
// database and the options of the scan, so that a later scan can take the
// backup file's mapping from it instead of reading the whole file again.
//
// Little-endian, packed, no magic number and no version:
//   u32          L: byte length of the path
//   L bytes      database path, UTF-16LE, no terminator
//   u8           advanced mode (1) or standard (0)
//   u8           collation auto-detect
//   8 bytes      manual collation key, low 32 bits first; only when the
//                auto-detect byte is 0
//   u8           SQL Server 2000 catalog
//   u8           show deleted records
//   u8           show advanced deleted records
//   3 map blocks system object pages, data pages, IAM pages; each:
//     u64        number of keys (high 32 bits written as 0)
//     per key, ascending: i32 object id, u32 n, n entries of 10 bytes
//                (u16 file id, u32 page, i32 page type)
#ifndef PAGEWRIGHT_SNAPSHOT_SNAPSHOT_FILE_H_
#define PAGEWRIGHT_SNAPSHOT_SNAPSHOT_FILE_H_

#include <optional>
#include <string>

#include "pagestore/database_reader.h"

namespace pagewright {


struct SnapshotHeader {
  std::string databasePath;
  bool advanced = false;
  bool collationAutoDetect = true;
  int64_t manualCollationKey = 0;
  bool legacyCatalogMode = false;
  bool showDeleted = false;
  bool showAdvancedDeleted = false;
};

// Writes the snapshot: `header` (database path and options), then the
// reader's three page maps. False when the file cannot be created or
// written.
bool WriteSnapshot(const std::string& snapshotPath, const SnapshotHeader& header, const DatabaseReader& reader);

// Reads the header; the file is opened for reading only. None when it cannot
// be opened or is too short.
std::optional<SnapshotHeader> ReadSnapshotHeader(const std::string& snapshotPath);

// Adds the three page maps of the snapshot to the reader's maps (an existing
// list of a key is extended). False, with the maps left as they were, when
// the file cannot be opened or ends before all three maps are complete.
// `events` hears that the load starts.
bool ReadSnapshotMaps(const std::string& snapshotPath, DatabaseReader& reader, const ReadContext& context,
                      ReadEventSink* events);

// True when the file holds one complete snapshot and nothing after it: the
// files a new snapshot may replace without being told to.
bool IsSnapshotFile(const std::string& path);

}  // namespace pagewright

#endif  // PAGEWRIGHT_SNAPSHOT_SNAPSHOT_FILE_H_
