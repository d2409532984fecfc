#include "snapshot/snapshot_file.h"

#include <fstream>

#include "pagestore/bytes.h"
#include "pagestore/file_access.h"
#include "pagestore/text_codec.h"

namespace pagewright {

namespace {

class Writer {
 public:
  explicit Writer(std::ofstream& out) : out_(out) {}
  template <typename T>
  void Put(T value) {
    uint8_t b[sizeof(T)];
    StoreLittleEndian<T>(b, value);
    out_.write(reinterpret_cast<const char*>(b), sizeof b);
  }
  void Bytes(const std::string& bytes) { out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size())); }

 private:
  std::ofstream& out_;
};

// Reads little-endian fields; once a read fails every later one fails too.
class Reader {
 public:
  explicit Reader(std::ifstream& in) : in_(in) {}
  template <typename T>
  bool Get(T& value) {
    uint8_t b[sizeof(T)];
    if (!in_.read(reinterpret_cast<char*>(b), sizeof b)) return false;
    value = *ReadLittleEndian<T>(ByteSpan(b, sizeof b), 0);
    return true;
  }
  bool Bytes(std::string& out, uint32_t length) {
    out.resize(length);
    return length == 0 || static_cast<bool>(in_.read(out.data(), length));
  }

 private:
  std::ifstream& in_;
};

void WriteMap(Writer& w, const PageMap& map) {
  w.Put<uint64_t>(map.size() & 0xFFFFFFFFu);
  for (const auto& [objectId, entries] : map) {
    w.Put<int32_t>(objectId);
    w.Put<uint32_t>(static_cast<uint32_t>(entries.size()));
    for (const auto& e : entries) {
      w.Put<uint16_t>(e.fileId);
      w.Put<uint32_t>(e.page);
      w.Put<int32_t>(e.pageType);
    }
  }
}

bool ReadHeader(Reader& r, SnapshotHeader& h) {
  uint32_t length = 0;
  std::string path;
  uint8_t advanced, autoDetect, legacy, deleted, advancedDeleted;
  if (!r.Get(length) || length > (1u << 20) || !r.Bytes(path, length)) return false;
  h.databasePath = Utf16LeToUtf8(ByteSpan(reinterpret_cast<const uint8_t*>(path.data()), path.size()));
  if (!r.Get(advanced) || !r.Get(autoDetect)) return false;
  h.advanced = advanced != 0;
  h.collationAutoDetect = autoDetect != 0;
  if (!h.collationAutoDetect && !r.Get(h.manualCollationKey)) return false;
  if (!r.Get(legacy) || !r.Get(deleted) || !r.Get(advancedDeleted)) return false;
  h.legacyCatalogMode = legacy != 0;
  h.showDeleted = deleted != 0;
  h.showAdvancedDeleted = advancedDeleted != 0;
  return true;
}

bool ReadMap(Reader& r, PageMap& map, const ReadContext& state) {
  uint64_t keys = 0;
  if (!r.Get(keys)) return false;
  for (uint64_t k = 0; k < keys; ++k) {
    if (state.StopRequested()) return false;
    int32_t objectId = 0;
    uint32_t n = 0;
    if (!r.Get(objectId) || !r.Get(n)) return false;
    auto& list = map[objectId];
    for (uint32_t i = 0; i < n; ++i) {
      PageListEntry e;
      if (!r.Get(e.fileId) || !r.Get(e.page) || !r.Get(e.pageType)) return false;
      list.push_back(e);
    }
  }
  return true;
}

}  // namespace

bool WriteSnapshot(const std::string& snapshotPath, const SnapshotHeader& header, const DatabaseReader& reader) {
  const std::string& databasePath = header.databasePath;
  std::ofstream out(snapshotPath, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  Writer w(out);
  std::u16string path = Utf8ToUtf16(databasePath);
  std::string pathBytes;
  for (char16_t u : path) {
    pathBytes.push_back(static_cast<char>(u & 0xFF));
    pathBytes.push_back(static_cast<char>(u >> 8));
  }
  w.Put<uint32_t>(static_cast<uint32_t>(pathBytes.size()));
  w.Bytes(pathBytes);
  w.Put<uint8_t>(header.advanced ? 1 : 0);
  w.Put<uint8_t>(header.collationAutoDetect ? 1 : 0);
  if (!header.collationAutoDetect) w.Put<int64_t>(header.manualCollationKey);
  w.Put<uint8_t>(header.legacyCatalogMode ? 1 : 0);
  w.Put<uint8_t>(header.showDeleted ? 1 : 0);
  w.Put<uint8_t>(header.showAdvancedDeleted ? 1 : 0);
  WriteMap(w, reader.objectPageMap);
  WriteMap(w, reader.dataPageMap);
  WriteMap(w, reader.iamPageMap);
  out.close();
  return static_cast<bool>(out);
}

std::optional<SnapshotHeader> ReadSnapshotHeader(const std::string& snapshotPath) {
  if (KindOfPath(snapshotPath) != PathKind::kRegular) return std::nullopt;  // a pipe would block the open
  std::ifstream in(snapshotPath, std::ios::binary);
  if (!in) return std::nullopt;
  Reader r(in);
  SnapshotHeader h;
  if (!ReadHeader(r, h)) return std::nullopt;
  return h;
}

bool ReadSnapshotMaps(const std::string& snapshotPath, DatabaseReader& reader, const ReadContext& context,
                      ReadEventSink* events) {
  Emit(events, ReadEventCode::kSnapshotLoading);
  if (KindOfPath(snapshotPath) != PathKind::kRegular) return false;
  std::ifstream in(snapshotPath, std::ios::binary);
  if (!in) return false;
  Reader r(in);
  SnapshotHeader h;
  PageMap maps[3];
  if (!ReadHeader(r, h) || !ReadMap(r, maps[0], context) || !ReadMap(r, maps[1], context) ||
      !ReadMap(r, maps[2], context)) {
    return false;
  }
  PageMap* targets[3] = {&reader.objectPageMap, &reader.dataPageMap, &reader.iamPageMap};
  for (int m = 0; m < 3; ++m) {
    for (auto& [objectId, entries] : maps[m]) {
      auto& list = (*targets[m])[objectId];
      list.insert(list.end(), entries.begin(), entries.end());
    }
  }
  return true;
}

namespace {
// Reads a map block without keeping it.
bool SkipMap(Reader& r) {
  uint64_t keys = 0;
  if (!r.Get(keys)) return false;
  for (uint64_t k = 0; k < keys; ++k) {
    int32_t objectId = 0;
    uint32_t n = 0;
    if (!r.Get(objectId) || !r.Get(n)) return false;
    for (uint32_t i = 0; i < n; ++i) {  // ends at the end of the file
      PageListEntry e;
      if (!r.Get(e.fileId) || !r.Get(e.page) || !r.Get(e.pageType)) return false;
    }
  }
  return true;
}
}  // namespace

bool IsSnapshotFile(const std::string& path) {
  if (KindOfPath(path) != PathKind::kRegular) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  Reader r(in);
  SnapshotHeader h;
  if (!ReadHeader(r, h) || !SkipMap(r) || !SkipMap(r) || !SkipMap(r)) return false;
  return in.peek() == std::char_traits<char>::eof();
}

}  // namespace pagewright
