#include "support/special_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <future>
#include <thread>

namespace pagewright::testing {

bool MakeNamedPipe(const std::filesystem::path& path) { return ::mkfifo(path.c_str(), 0600) == 0; }

bool FinishesWithin(std::chrono::milliseconds limit, const std::function<void()>& operation,
                    const std::filesystem::path& pipe) {
  auto done = std::async(std::launch::async, operation);
  if (done.wait_for(limit) == std::future_status::ready) {
    done.get();
    return true;
  }
  // Opening for reading and writing never blocks on Linux and releases a
  // reader blocked in open(); closing it again ends the reader's read.
  while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
    int fd = ::open(pipe.c_str(), O_RDWR | O_NONBLOCK);
    if (fd >= 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      ::close(fd);
    }
  }
  done.get();
  return false;
}

}  // namespace pagewright::testing
