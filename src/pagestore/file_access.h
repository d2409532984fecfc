// Read-only access to database files by path: the only unit that talks to
// the operating system's file interface.
#ifndef PAGEWRIGHT_PAGESTORE_FILE_ACCESS_H_
#define PAGEWRIGHT_PAGESTORE_FILE_ACCESS_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace pagewright {

class ReadOnlyFile {
 public:
  // Opens `path` for reading only; null when it cannot be opened or is not
  // a regular file.
  static std::unique_ptr<ReadOnlyFile> Open(const std::string& path);
  ~ReadOnlyFile();
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  uint64_t size() const { return size_; }
  const std::string& path() const { return path_; }

  // Reads up to out.size() bytes at `offset`; returns how many were read
  // (fewer at the end of the file, 0 on error). Bytes not read are left as
  // they were.
  size_t ReadAt(uint64_t offset, std::span<uint8_t> out) const;

  // Tells the system the file will be read front to back.
  void AdviseSequential() const;

 private:
  ReadOnlyFile(int handle, uint64_t size, std::string path)
      : handle_(handle), size_(size), path_(std::move(path)) {}
  int handle_;
  uint64_t size_;
  std::string path_;
};

}  // namespace pagewright

#endif  // PAGEWRIGHT_PAGESTORE_FILE_ACCESS_H_

namespace pagewright {
// True when standard error is attached to a terminal.
bool StandardErrorIsTerminal();
}  // namespace pagewright
