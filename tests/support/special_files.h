// Files that are not regular files, for the tests that check nothing waits
// on them: named pipes, and a bound on how long an operation may take.
#ifndef PAGEWRIGHT_TESTS_SUPPORT_SPECIAL_FILES_H_
#define PAGEWRIGHT_TESTS_SUPPORT_SPECIAL_FILES_H_

#include <chrono>
#include <filesystem>
#include <functional>

namespace pagewright::testing {

// Makes a named pipe (FIFO) at `path`; false when the system refuses.
bool MakeNamedPipe(const std::filesystem::path& path);

// Runs `operation` on the calling thread and tells whether it returned
// within `limit`. Should it still run then, it is taken to be blocked on the
// named pipe `pipe`: a watchdog thread opens the pipe for writing and closes
// it again until the operation returns, so that the test fails instead of
// hanging.
bool FinishesWithin(std::chrono::milliseconds limit, const std::function<void()>& operation,
                    const std::filesystem::path& pipe);

}  // namespace pagewright::testing

#endif  // PAGEWRIGHT_TESTS_SUPPORT_SPECIAL_FILES_H_
