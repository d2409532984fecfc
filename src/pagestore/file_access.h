// Read-only access to database files by path: the only unit that talks to
// the operating system's file interface.
#ifndef PAGEWRIGHT_PAGESTORE_FILE_ACCESS_H_
#define PAGEWRIGHT_PAGESTORE_FILE_ACCESS_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace pagewright {

class ReadOnlyFile {
 public:
  // Opens `path` for reading only; null when it cannot be opened or is not
  // a regular file. Never waits: a named pipe or a device is refused at once.
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

  // Whether `other` is this very file (opened by another path, a link or
  // the same path twice).
  bool SameFileAs(const ReadOnlyFile& other) const { return device_ == other.device_ && inode_ == other.inode_; }

 private:
  ReadOnlyFile(int handle, uint64_t size, std::string path, uint64_t device, uint64_t inode)
      : handle_(handle), size_(size), path_(std::move(path)), device_(device), inode_(inode) {}
  int handle_;
  uint64_t size_;
  std::string path_;
  uint64_t device_, inode_;
};

}  // namespace pagewright

// What a path names, asked without opening it (opening a named pipe for
// reading waits for a writer; a device may wait for data), and which file it
// is: a hard link, a symbolic link and another spelling of the same path all
// have the same identity.
namespace pagewright {

enum class PathKind { kMissing, kRegular, kDirectory, kNamedPipe, kCharacterDevice, kBlockDevice, kSocket, kOther };

// Follows symbolic links; kMissing also when the path cannot be examined.
PathKind KindOfPath(const std::string& path);
// "a named pipe", "a directory", ... ("a regular file" for kRegular).
const char* PathKindName(PathKind kind);

struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};
// The identity of the file `path` names (links followed); none when it does
// not exist or cannot be examined.
std::optional<FileIdentity> IdentityOf(const std::string& path);

// Creates `path` as a new empty file, failing when anything of that name
// exists already (also a dangling symbolic link).
bool CreateNewFile(const std::string& path);
// Makes the contents of the file reach the disk before it is renamed into
// place, so that a crash leaves the old file or the whole new one.
bool SyncFileToDisk(const std::string& path);

}  // namespace pagewright

#endif  // PAGEWRIGHT_PAGESTORE_FILE_ACCESS_H_

namespace pagewright {
// True when standard error is attached to a terminal.
bool StandardErrorIsTerminal();
}  // namespace pagewright
