#include "support/builder/database_builder.h"

#include <atomic>
#include <fstream>
#include <random>
#include <stdexcept>

#include "pagestore/boot_page.h"
#include "pagestore/bytes.h"

namespace pagewright::build {

std::vector<uint8_t> BootPageBytes(const BootInfo& info) {
  PageBuilder page(13, kBootPagePosition);
  std::vector<uint8_t> bytes = page.Bytes();
  StoreLittleEndian<uint16_t>(bytes.data() + 22, 1);  // one record
  StoreLittleEndian<uint16_t>(bytes.data() + kPageSize - 2, 96);
  bytes[96] = 0;  // record status
  StoreLittleEndian<uint16_t>(bytes.data() + kBootVersionOffset, info.version);
  for (int i = 0; i < kBootNameUnits; ++i) {  // SQL Server pads with 0x20 bytes
    char16_t unit = i < static_cast<int>(info.name.size()) ? info.name[static_cast<size_t>(i)] : u'\x2020';
    StoreLittleEndian<uint16_t>(bytes.data() + kBootNameOffset + 2 * i, static_cast<uint16_t>(unit));
  }
  StoreLittleEndian<int32_t>(bytes.data() + kBootCollationOffset, info.collationId);
  return bytes;
}

DatabaseBuilder::DatabaseBuilder(uint32_t pageCount) { EnsurePages(pageCount); }

void DatabaseBuilder::EnsurePages(uint32_t count) {
  while (pages_.size() < count) {
    pages_.push_back(PageBuilder(0, static_cast<int32_t>(pages_.size())).Bytes());
    used_.push_back(false);
  }
}

DatabaseBuilder& DatabaseBuilder::SetPage(uint32_t position, std::vector<uint8_t> bytes) {
  EnsurePages(position + 1);
  bytes.resize(kPageSize, 0);
  pages_[position] = std::move(bytes);
  used_[position] = true;
  return *this;
}

DatabaseBuilder& DatabaseBuilder::Boot(const BootInfo& info) { return SetPage(kBootPagePosition, BootPageBytes(info)); }

DatabaseBuilder& DatabaseBuilder::Prefix(std::vector<uint8_t> bytes) {
  prefix_ = std::move(bytes);
  return *this;
}
DatabaseBuilder& DatabaseBuilder::Trailer(std::vector<uint8_t> bytes) {
  trailer_ = std::move(bytes);
  return *this;
}

uint32_t DatabaseBuilder::AllocatePosition() {
  // Positions 0 to 15 hold the file's own allocation pages in real files.
  for (uint32_t p = 16; p < pages_.size(); ++p) {
    if (!used_[p]) {
      used_[p] = true;
      return p;
    }
  }
  EnsurePages(static_cast<uint32_t>(std::max<size_t>(pages_.size(), 16)) + 1);
  uint32_t p = static_cast<uint32_t>(pages_.size()) - 1;
  used_[p] = true;
  return p;
}

std::vector<uint8_t> DatabaseBuilder::Build() const {
  std::vector<uint8_t> out(prefix_);
  out.reserve(prefix_.size() + pages_.size() * kPageSize + trailer_.size());
  for (const auto& p : pages_) out.insert(out.end(), p.begin(), p.end());
  out.insert(out.end(), trailer_.begin(), trailer_.end());
  return out;
}

void DatabaseBuilder::WriteTo(const std::filesystem::path& path) const { WriteFileBytes(path, Build()); }

void WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + path.string());
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

namespace {
std::filesystem::path FreshFolder() {
  static std::atomic<uint64_t> counter{0};
  std::random_device rd;
  auto base = std::filesystem::temp_directory_path();
  for (;;) {
    auto candidate = base / ("pagewright-" + std::to_string(rd()) + "-" + std::to_string(counter++));
    if (std::filesystem::create_directory(candidate)) return candidate;
  }
}
}  // namespace

TempFile::TempFile(const std::string& fileName) : folder_(FreshFolder()), path_(folder_ / fileName) {}
TempFile::TempFile(const std::vector<uint8_t>& bytes, const std::string& fileName) : TempFile(fileName) {
  Write(bytes);
}
TempFile::~TempFile() {
  std::error_code ec;
  std::filesystem::remove_all(folder_, ec);
}
void TempFile::Write(const std::vector<uint8_t>& bytes) const { WriteFileBytes(path_, bytes); }

}  // namespace pagewright::build
