// The page class tree and the record base class.
//
//   CPage                      abstract root
//   └ RecordPage               header, page bytes, slot table, records
//     ├ PrimaryRecordPage      + compression information, deleted-scan offsets
//     │ ├ CDataPage            data and catalog pages
//     │ ├ CBootPage            the boot page (boot_page.h)
//     │ └ ExtentAllocationMap  extent bitmap (allocation_map.h)
//     │   └ IamPage            IAM header and single-page slots
//     └ TextMixPage            text/image pages
//
// The page store builds a page from its bytes: header (with torn-page repair)
// and slot table. The records on a page are parsed by the record layer, which
// fills `records` and the compression members.
#ifndef PAGEWRIGHT_PAGESTORE_PAGES_H_
#define PAGEWRIGHT_PAGESTORE_PAGES_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "pagestore/bytes.h"
#include "pagestore/page_header.h"

namespace pagewright {

class DatabaseReader;

// Status byte of every record (its first byte).
//   bit 0    compressed (column-descriptor) layout
//   bits 1-3 record kind (RecordKind)
//   bit 4    classic: null bitmap present; compressed: bitmap block present
//   bit 5    classic: variable-length columns present; compressed: long data
//   bit 6    versioning information present
enum RecordKind : int32_t {
  kPrimaryRecord = 0,
  kForwardedRecord = 1,
  kForwardingStub = 2,
  kIndexRecord = 3,
  kBlobFragment = 4,
  kGhostIndexRecord = 5,
  kGhostDataRecord = 6,
  kGhostVersionRecord = 7,
};

struct RecordStatus {
  int32_t kind = 0;
  bool compressed = false;
  bool hasNullBitmap = false;
  bool hasVariableColumns = false;
  bool hasVersioning = false;
};

constexpr RecordStatus DecodeRecordStatus(uint8_t status) {
  return RecordStatus{(status >> 1) & 7, (status & 0x01) != 0, (status & 0x10) != 0, (status & 0x20) != 0,
                      (status & 0x40) != 0};
}

// Base of every record object (CPrimaryRecord and TextRecord are defined by
// the record layer).
class CRecord {
 public:
  virtual ~CRecord();
  RecordStatus status;
  bool invalid = false;  // could not be accepted; still occupies its slot
  bool ghost = false;    // kind 5, 6 or 7 while deleted records are hidden
};

class CPage {
 public:
  virtual ~CPage();
};

class RecordPage : public CPage {
 public:
  // Takes the page bytes (at least 8192; shorter input is zero-extended),
  // decodes the header, repairs torn bits and reads the slot table.
  RecordPage(std::vector<uint8_t> pageBytes, DatabaseReader* source);
  ~RecordPage() override;

  ByteSpan page() const { return ByteSpan(bytes.data(), kPageSize); }

  CPage_Header header;
  DatabaseReader* reader = nullptr;  // not owned; may be null in tests
  std::vector<uint8_t> bytes;        // the page, owned
  std::vector<std::unique_ptr<CRecord>> records;   // one entry per enumerated slot
  std::vector<std::unique_ptr<CRecord>> scanList;  // records met by the advanced deleted scan
  std::optional<std::vector<uint16_t>> slotTable;
};

// Page compression information of a page-compressed page: the 7 bytes after
// the header, the anchor record's column values and the dictionary.
struct CompressedValue {
  std::vector<uint8_t> bytes;
  int32_t length = 0;  // -2 NULL, -1 empty, otherwise bytes.size()
};
struct CompressionInfo {
  std::vector<uint8_t> header;  // page offsets 96..102 when present
  std::vector<CompressedValue> anchorValues;
  std::vector<CompressedValue> dictionary;
  std::unique_ptr<CRecord> anchorRecord;
  bool hasDictionary = false;
  bool hasAnchor = false;
};

class PrimaryRecordPage : public RecordPage {
 public:
  using RecordPage::RecordPage;
  ~PrimaryRecordPage() override;
  CompressionInfo compression;
  std::vector<uint16_t> foundOffsets;  // offsets gathered by the advanced deleted scan
};

class CDataPage : public PrimaryRecordPage {
 public:
  using PrimaryRecordPage::PrimaryRecordPage;
  ~CDataPage() override;
};

class TextMixPage : public RecordPage {
 public:
  using RecordPage::RecordPage;
  ~TextMixPage() override;
};

}  // namespace pagewright

#endif  // PAGEWRIGHT_PAGESTORE_PAGES_H_
