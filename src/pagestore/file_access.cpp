#include "pagestore/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace pagewright {

std::unique_ptr<ReadOnlyFile> ReadOnlyFile::Open(const std::string& path) {
  // O_NONBLOCK keeps open() from waiting on a named pipe or a device; only
  // a regular file is kept, and its reads then block as usual.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return std::unique_ptr<ReadOnlyFile>(new ReadOnlyFile(fd, static_cast<uint64_t>(st.st_size), path,
                                                       static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)));
}

ReadOnlyFile::~ReadOnlyFile() { ::close(handle_); }

size_t ReadOnlyFile::ReadAt(uint64_t offset, std::span<uint8_t> out) const {
  size_t done = 0;
  while (done < out.size()) {
    ssize_t n = ::pread(handle_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

void ReadOnlyFile::AdviseSequential() const {
#ifdef POSIX_FADV_SEQUENTIAL
  ::posix_fadvise(handle_, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
}

}  // namespace pagewright

// ExecutableFolder is declared with the collation table, which is the file
// found beside the executable.
#include <climits>
#include <filesystem>

namespace pagewright {
std::filesystem::path ExecutableFolder() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  return exe.parent_path();
}
}  // namespace pagewright

namespace pagewright {
bool StandardErrorIsTerminal() { return ::isatty(2) != 0; }
}  // namespace pagewright

namespace pagewright {

PathKind KindOfPath(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return PathKind::kMissing;
  if (S_ISREG(st.st_mode)) return PathKind::kRegular;
  if (S_ISDIR(st.st_mode)) return PathKind::kDirectory;
  if (S_ISFIFO(st.st_mode)) return PathKind::kNamedPipe;
  if (S_ISCHR(st.st_mode)) return PathKind::kCharacterDevice;
  if (S_ISBLK(st.st_mode)) return PathKind::kBlockDevice;
  if (S_ISSOCK(st.st_mode)) return PathKind::kSocket;
  return PathKind::kOther;
}

const char* PathKindName(PathKind kind) {
  switch (kind) {
    case PathKind::kMissing: return "missing";
    case PathKind::kRegular: return "a regular file";
    case PathKind::kDirectory: return "a directory";
    case PathKind::kNamedPipe: return "a named pipe";
    case PathKind::kCharacterDevice: return "a character device";
    case PathKind::kBlockDevice: return "a block device";
    case PathKind::kSocket: return "a socket";
    case PathKind::kOther: break;
  }
  return "not a regular file";
}

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

bool CreateNewFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd < 0) return false;
  return ::close(fd) == 0;
}

bool SyncFileToDisk(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  bool ok = ::fsync(fd) == 0;
  return (::close(fd) == 0) && ok;
}

}  // namespace pagewright
