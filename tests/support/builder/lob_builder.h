// Writes large values the way SQL Server stores them: text/image pages
// (page type 3) whose records each hold one large-object structure, and
// the pointers a data row keeps to them.
//
// A text record is a classic record whose fixed part is the structure:
//   byte 0 status (record kind 4), byte 1 zero, i16 fixed-part end F,
//   then F - 4 bytes of structure:
//     0   8    blob id
//     8   i16  type: 0 small root, 2 internal node, 3 data fragment,
//              5 large root (4 and 6 are older large roots)
//   small root     10 i16 data length, 12 i16 links (0), 14 i16 level,
//                  16 the data
//   internal node  10 i16 max links, 12 i16 links, 14 i16 level,
//                  16 links of i64 end offset, i32 page, u16 file, i16 slot
//   large root     10 i16 max links, 12 i16 links, 14 i16 level, 16 4 zero
//                  bytes, 20 links of i32 end offset, i32 page, u16 file,
//                  i16 slot
//   data fragment  10 the data
//
// Row-side pointers (complex values of the variable part):
//   text pointer (text, ntext, image): 8-byte timestamp, i32 page, u16 file,
//     u16 slot of the value's root record
//   in-row root (max types off-row, kind 4) and row-overflow pointer
//     (kind 2, 24 bytes): byte 0 kind, byte 1 level, 10 more header bytes,
//     then 12-byte links of i32 end offset, i32 page, i16 file, i16 slot
#ifndef PAGEWRIGHT_TESTS_SUPPORT_BUILDER_LOB_BUILDER_H_
#define PAGEWRIGHT_TESTS_SUPPORT_BUILDER_LOB_BUILDER_H_

#include <cstdint>
#include <vector>

#include "support/builder/database_builder.h"
#include "support/builder/record_builder.h"

namespace pagewright::build {

// The most data bytes one fragment record holds by default: a whole page's
// worth, with room left for the page header, record header and slot.
constexpr size_t kLobFragmentBytes = 8000;
// Values up to this many bytes go into a small root of their own.
constexpr size_t kSmallRootBytes = 64;

constexpr int16_t kLobSmallRoot = 0;
constexpr int16_t kLobInternal = 2;
constexpr int16_t kLobFragment = 3;
constexpr int16_t kLobLargeRoot = 5;

constexpr uint8_t kRowOverflowKind = 2;
constexpr uint8_t kBlobRootKind = 4;

// Where a text record lies.
struct LobLocation {
  PageId page;
  int16_t slot = 0;
};

// One link of a root or internal node: the record it names and the end
// offset of its data within the value (the size, for one-link pointers).
struct LobLink {
  LobLocation at;
  int64_t end = 0;
};

// The structures (the fixed part of a text record).
Bytes SmallRootStructure(const Bytes& data, uint64_t blobId = 1);
Bytes DataFragmentStructure(const Bytes& data, uint64_t blobId = 1);
Bytes InternalNodeStructure(const std::vector<LobLink>& links, int16_t level = 0, uint64_t blobId = 1);
Bytes LargeRootStructure(const std::vector<LobLink>& links, int16_t type = kLobLargeRoot, int16_t level = 0,
                         uint64_t blobId = 1);
// A structure with a raw type word and the given bytes after it (damaged or
// unknown structures).
Bytes RawStructure(int16_t type, const Bytes& rest, uint64_t blobId = 1);

// The text record holding a structure.
Bytes TextRecordBytes(const Bytes& structure);

// Row-side pointers.
Bytes TextPointer(LobLocation root, uint64_t timestamp = 0x0000002A3B4C0000ull);
Bytes InRowRoot(const std::vector<LobLink>& links, uint8_t kind = kBlobRootKind);
Bytes RowOverflowPointer(const LobLink& link);

// A small xml value in SQL Server's binary XML form (signature DF FF,
// version 1, code page 1200): element a holding the text x, "<a>x</a>".
Bytes SmallBinaryXmlDocument();

// Text/image pages of one file, written from a fixed position on so that
// pointers can be made before the rest of the file exists.
class LobStore {
 public:
  explicit LobStore(uint32_t firstPosition = 4000, int32_t objectId = 9000);

  // Puts a text record holding `structure` on the current page, or on a
  // new page when it does not fit.
  LobLocation Place(const Bytes& structure);
  // The next structure goes on a page of its own.
  void NewPage();

  // The value cut into data fragments of at most `fragment` bytes, one
  // link each, end offsets counted from the value's start.
  std::vector<LobLink> Fragments(const Bytes& value, size_t fragment = kLobFragmentBytes);
  // The root record of a whole value: a small root when it is short, else
  // a large root whose links name the fragments (through internal nodes
  // when one root cannot hold them all).
  LobLocation Root(const Bytes& value, size_t fragment = kLobFragmentBytes);

  // Pointers to whole values.
  Bytes TextPointerTo(const Bytes& value, size_t fragment = kLobFragmentBytes);
  // An in-row root of up to five links: fragments, or internal nodes over
  // them for longer values.
  Bytes InRowRootTo(const Bytes& value, size_t fragment = kLobFragmentBytes);
  // One fragment behind a row-overflow pointer.
  Bytes RowOverflowTo(const Bytes& value);

  uint32_t firstPosition() const { return first_; }
  uint32_t pageCount() const { return static_cast<uint32_t>(pages_.size()); }
  // The page at `position`, for damage (the position must be one of ours).
  PageBuilder& PageAt(uint32_t position);

  // Writes the pages into the file, growing it; throws when pages of the
  // file already reach the first position.
  void WriteInto(DatabaseBuilder& db) const;

 private:
  // Internal nodes over `links` until at most `topLinks` remain; `level`
  // becomes the level of the links returned.
  std::vector<LobLink> Tree(std::vector<LobLink> links, size_t topLinks, int16_t& level);

  uint32_t first_;
  int32_t objectId_;
  std::vector<PageBuilder> pages_;
  bool fresh_ = true;  // the next Place opens a page
};

}  // namespace pagewright::build

#endif  // PAGEWRIGHT_TESTS_SUPPORT_BUILDER_LOB_BUILDER_H_
