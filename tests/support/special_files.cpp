#include "support/special_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace pagewright::testing {

bool MakeNamedPipe(const std::filesystem::path& path) { return ::mkfifo(path.c_str(), 0600) == 0; }

bool FinishesWithin(std::chrono::milliseconds limit, const std::function<void()>& operation,
                    const std::filesystem::path& pipe) {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  bool late = false;
  std::thread watchdog([&] {
    std::unique_lock lock(mutex);
    if (finished.wait_for(lock, limit, [&] { return done; })) return;
    late = true;
    // Opening for reading and writing never blocks on Linux and releases a
    // reader blocked in open(); closing it again ends the reader's read.
    while (!finished.wait_for(lock, std::chrono::milliseconds(50), [&] { return done; })) {
      lock.unlock();
      int fd = ::open(pipe.c_str(), O_RDWR | O_NONBLOCK);
      if (fd >= 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ::close(fd);
      }
      lock.lock();
    }
  });
  operation();
  {
    std::lock_guard lock(mutex);
    done = true;
  }
  finished.notify_all();
  watchdog.join();
  return !late;
}

}  // namespace pagewright::testing
