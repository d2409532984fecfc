// Writes a whole database file in memory: pages by position, the boot page,
// a byte prefix (pages shifted by a partial block) and trailing bytes.
#ifndef PAGEWRIGHT_TESTS_SUPPORT_BUILDER_DATABASE_BUILDER_H_
#define PAGEWRIGHT_TESTS_SUPPORT_BUILDER_DATABASE_BUILDER_H_

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/builder/page_builder.h"

namespace pagewright::build {

struct BootInfo {
  std::u16string name = u"Example";
  uint16_t version = 661;
  int32_t collationId = 872468488;  // SQL_Latin1_General_CP1_CI_AS
};

// The 8 KB boot page for position 9.
std::vector<uint8_t> BootPageBytes(const BootInfo& info);

class DatabaseBuilder {
 public:
  // A file of `pageCount` pages; every page starts as a zero page whose
  // header carries its own position as page number (file id 1).
  explicit DatabaseBuilder(uint32_t pageCount);

  uint32_t pageCount() const { return static_cast<uint32_t>(pages_.size()); }
  // Grows the file to at least `count` pages.
  void EnsurePages(uint32_t count);

  // Replaces the page at `position` (its bytes are used as given).
  DatabaseBuilder& SetPage(uint32_t position, std::vector<uint8_t> bytes);
  DatabaseBuilder& SetPage(uint32_t position, const PageBuilder& page) { return SetPage(position, page.Bytes()); }
  std::vector<uint8_t>& PageBytes(uint32_t position) { return pages_.at(position); }
  // Writes the boot page at position 9 (the file grows when needed).
  DatabaseBuilder& Boot(const BootInfo& info);
  // Bytes written before position 0 (a shifted file) and after the last
  // page (a partial trailing block).
  DatabaseBuilder& Prefix(std::vector<uint8_t> bytes);
  DatabaseBuilder& Trailer(std::vector<uint8_t> bytes);
  // Marks and returns the first position from 16 on that holds no page yet.
  uint32_t AllocatePosition();

  std::vector<uint8_t> Build() const;
  void WriteTo(const std::filesystem::path& path) const;

 private:
  std::vector<std::vector<uint8_t>> pages_;
  std::vector<bool> used_;
  std::vector<uint8_t> prefix_;
  std::vector<uint8_t> trailer_;
};

// A file in a fresh temporary folder, removed with the object.
class TempFile {
 public:
  explicit TempFile(const std::string& fileName = "test.mdf");
  TempFile(const std::vector<uint8_t>& bytes, const std::string& fileName = "test.mdf");
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::filesystem::path& path() const { return path_; }
  const std::filesystem::path& folder() const { return folder_; }
  std::string str() const { return path_.string(); }
  void Write(const std::vector<uint8_t>& bytes) const;

 private:
  std::filesystem::path folder_;
  std::filesystem::path path_;
};

void WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path);

}  // namespace pagewright::build

#endif  // PAGEWRIGHT_TESTS_SUPPORT_BUILDER_DATABASE_BUILDER_H_
