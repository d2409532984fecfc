#include "support/builder/lob_builder.h"

#include <algorithm>
#include <stdexcept>

namespace pagewright::build {

namespace {

constexpr uint8_t kBlobFragmentStatus = 4 << 1;  // record kind 4
// Links one record can hold and still fit a page.
constexpr size_t kLargeRootLinks = 600;
constexpr size_t kInternalLinks = 480;
// Links an in-row root holds before internal nodes take over (a 72-byte
// root).
constexpr size_t kInRowRootLinks = 5;

Bytes Header(int16_t type, uint64_t blobId) { return Concat({LE<uint64_t>(blobId), LE<int16_t>(type)}); }

Bytes StoredLocation(const LobLocation& at) {
  return Concat({LE<int32_t>(at.page.page), LE<uint16_t>(static_cast<uint16_t>(at.page.fileId)), LE<int16_t>(at.slot)});
}

}  // namespace

Bytes SmallRootStructure(const Bytes& data, uint64_t blobId) {
  return Concat({Header(kLobSmallRoot, blobId), LE<int16_t>(static_cast<int16_t>(data.size())), LE<int16_t>(0),
                 LE<int16_t>(0), data});
}

Bytes DataFragmentStructure(const Bytes& data, uint64_t blobId) { return Concat({Header(kLobFragment, blobId), data}); }

Bytes InternalNodeStructure(const std::vector<LobLink>& links, int16_t level, uint64_t blobId) {
  const auto count = static_cast<int16_t>(links.size());
  Bytes out = Concat({Header(kLobInternal, blobId), LE<int16_t>(count), LE<int16_t>(count), LE<int16_t>(level)});
  for (const LobLink& l : links) {
    Bytes link = Concat({LE<int64_t>(l.end), StoredLocation(l.at)});
    out.insert(out.end(), link.begin(), link.end());
  }
  return out;
}

Bytes LargeRootStructure(const std::vector<LobLink>& links, int16_t type, int16_t level, uint64_t blobId) {
  const auto count = static_cast<int16_t>(links.size());
  Bytes out =
      Concat({Header(type, blobId), LE<int16_t>(count), LE<int16_t>(count), LE<int16_t>(level), LE<int32_t>(0)});
  for (const LobLink& l : links) {
    Bytes link = Concat({LE<int32_t>(static_cast<int32_t>(l.end)), StoredLocation(l.at)});
    out.insert(out.end(), link.begin(), link.end());
  }
  return out;
}

Bytes RawStructure(int16_t type, const Bytes& rest, uint64_t blobId) { return Concat({Header(type, blobId), rest}); }

Bytes TextRecordBytes(const Bytes& structure) {
  return Concat({Bytes{kBlobFragmentStatus, 0}, LE<int16_t>(static_cast<int16_t>(4 + structure.size())), structure});
}

Bytes TextPointer(LobLocation root, uint64_t timestamp) {
  return Concat({LE<uint64_t>(timestamp), LE<int32_t>(root.page.page),
                 LE<uint16_t>(static_cast<uint16_t>(root.page.fileId)), LE<uint16_t>(static_cast<uint16_t>(root.slot))});
}

Bytes InRowRoot(const std::vector<LobLink>& links, uint8_t kind) {
  Bytes out = {kind, 0};
  out.resize(12, 0);
  for (const LobLink& l : links) {
    Bytes link = Concat({LE<int32_t>(static_cast<int32_t>(l.end)), StoredLocation(l.at)});
    out.insert(out.end(), link.begin(), link.end());
  }
  return out;
}

Bytes RowOverflowPointer(const LobLink& link) { return InRowRoot({link}, kRowOverflowKind); }

LobStore::LobStore(uint32_t firstPosition, int32_t objectId) : first_(firstPosition), objectId_(objectId) {}

void LobStore::NewPage() { fresh_ = true; }

LobLocation LobStore::Place(const Bytes& structure) {
  Bytes record = TextRecordBytes(structure);
  if (record.size() + 2 > static_cast<size_t>(kPageSize - kPageHeaderSize))
    throw std::runtime_error("a text record larger than a page");
  auto fits = [&](const PageBuilder& p) {
    return static_cast<size_t>(p.freeOffset()) + record.size() + 2 * (static_cast<size_t>(p.slotCount()) + 1) <=
           static_cast<size_t>(kPageSize);
  };
  if (fresh_ || pages_.empty() || !fits(pages_.back())) {
    const auto position = static_cast<int32_t>(first_ + pages_.size());
    pages_.emplace_back(3, position);
    pages_.back().ObjectId(objectId_);
    fresh_ = false;
  }
  PageBuilder& page = pages_.back();
  const int slot = page.AddRecord(record);
  return LobLocation{PageId{1, static_cast<int32_t>(first_ + pages_.size() - 1)}, static_cast<int16_t>(slot)};
}

std::vector<LobLink> LobStore::Fragments(const Bytes& value, size_t fragment) {
  std::vector<LobLink> links;
  for (size_t at = 0; at < value.size(); at += fragment) {
    const size_t n = std::min(fragment, value.size() - at);
    Bytes piece(value.begin() + static_cast<long>(at), value.begin() + static_cast<long>(at + n));
    links.push_back(LobLink{Place(DataFragmentStructure(piece)), static_cast<int64_t>(at + n)});
  }
  return links;
}

std::vector<LobLink> LobStore::Tree(std::vector<LobLink> links, size_t topLinks, int16_t& level) {
  level = 0;
  while (links.size() > topLinks) {
    std::vector<LobLink> nodes;
    for (size_t at = 0; at < links.size(); at += kInternalLinks) {
      std::vector<LobLink> part(links.begin() + static_cast<long>(at),
                                links.begin() + static_cast<long>(std::min(links.size(), at + kInternalLinks)));
      nodes.push_back(LobLink{Place(InternalNodeStructure(part, level)), part.back().end});
    }
    links = std::move(nodes);
    ++level;
  }
  return links;
}

LobLocation LobStore::Root(const Bytes& value, size_t fragment) {
  if (value.size() <= kSmallRootBytes) return Place(SmallRootStructure(value));
  int16_t level = 0;
  std::vector<LobLink> links = Tree(Fragments(value, fragment), kLargeRootLinks, level);
  return Place(LargeRootStructure(links, kLobLargeRoot, level));
}

Bytes LobStore::TextPointerTo(const Bytes& value, size_t fragment) { return TextPointer(Root(value, fragment)); }

Bytes LobStore::InRowRootTo(const Bytes& value, size_t fragment) {
  int16_t level = 0;
  Bytes root = InRowRoot(Tree(Fragments(value, fragment), kInRowRootLinks, level));
  root[1] = static_cast<uint8_t>(level);
  return root;
}

Bytes LobStore::RowOverflowTo(const Bytes& value) {
  return RowOverflowPointer(LobLink{Place(DataFragmentStructure(value)), static_cast<int64_t>(value.size())});
}

PageBuilder& LobStore::PageAt(uint32_t position) {
  if (position < first_ || position - first_ >= pages_.size()) throw std::out_of_range("not a text page of this store");
  return pages_[position - first_];
}

void LobStore::WriteInto(DatabaseBuilder& db) const {
  if (db.pageCount() > first_) throw std::runtime_error("the file's pages reach the text pages' first position");
  db.EnsurePages(first_ + static_cast<uint32_t>(pages_.size()));
  for (size_t i = 0; i < pages_.size(); ++i) db.SetPage(first_ + static_cast<uint32_t>(i), pages_[i]);
}

Bytes SmallBinaryXmlDocument() {
  return Concat({Bytes{0xDF, 0xFF, 0x01, 0xB0, 0x04}, Bytes{0xF0, 0x01}, Utf16(u"a"), Bytes{0xEF, 0x00, 0x00, 0x01},
                 Bytes{0xF8, 0x01, 0xF5, 0x11, 0x01}, Utf16(u"x"), Bytes{0xF7}});
}

}  // namespace pagewright::build
