// The rules every file this program writes follows (snapshots, exports, the
// activity log): a recovery never writes to a file it reads, never waits on
// a pipe or a device, never replaces a file of another kind unasked, and
// never leaves a half-written file where a complete one was.
#ifndef PAGEWRIGHT_APP_OUTPUT_GUARD_H_
#define PAGEWRIGHT_APP_OUTPUT_GUARD_H_

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pagewright {

// Why `output` must not be written while the files in `inputs` are read, or
// none when it may. Refused: the same file as one of the inputs (compared by
// device and inode, so a hard link, a symbolic link or another spelling of
// the path is caught), and an existing path that is not a regular file.
std::optional<std::string> OutputRefusal(const std::filesystem::path& output,
                                         const std::vector<std::filesystem::path>& inputs);

// Why the existing file `output` must not be replaced, or none when it may:
// a regular file is replaced only when `isOwnKind` recognises it as a file of
// the kind being written (`kindName`, e.g. "snapshot file"), or with `force`.
// A path that does not exist may always be written.
std::optional<std::string> ReplaceRefusal(const std::filesystem::path& output,
                                          const std::function<bool(const std::filesystem::path&)>& isOwnKind,
                                          const std::string& kindName, bool force);

// Writes `output` through a new temporary file beside it: `write` fills the
// temporary file (it gets its path and returns false on failure); only when
// it succeeded and the bytes reached the disk is the temporary file renamed
// over `output`, at once. Otherwise the temporary file is removed and
// `output` stays as it was. A symbolic link as `output` is followed, so the
// file it points to is replaced, not the link. Returns the reason of a
// failure, or none.
std::optional<std::string> WriteReplacing(const std::filesystem::path& output,
                                          const std::function<bool(const std::filesystem::path& temporary)>& write);

// The temporary files WriteReplacing makes are hidden files of this form in
// the output's folder: "." + output file name + kTemporaryInfix + 8 hex
// digits + ".tmp". One is left behind only when the process is killed while
// writing.
constexpr const char* kTemporaryInfix = ".pagewright-";

}  // namespace pagewright

#endif  // PAGEWRIGHT_APP_OUTPUT_GUARD_H_
