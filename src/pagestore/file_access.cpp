#include "pagestore/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace pagewright {

std::unique_ptr<ReadOnlyFile> ReadOnlyFile::Open(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<ReadOnlyFile>(new ReadOnlyFile(fd, static_cast<uint64_t>(st.st_size), path));
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
