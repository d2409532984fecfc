// The activity log: one UTF-16LE text file per run.
//
//   file name   "KorvaneVellumdb_log_" + day-month-year-hour-minute-second of
//               the local time, without leading zeros, + ".txt"
//   bytes       FF FE (only when the file is created), then per run a header
//               of CR LF, 80 asterisks, CR LF, then each line's text and CR LF
//
// A file of the same name (two runs in one second) is appended to, each run
// with its own header and no second byte-order mark.
#ifndef PAGEWRIGHT_APP_ACTIVITY_LOG_H_
#define PAGEWRIGHT_APP_ACTIVITY_LOG_H_

#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace pagewright {

constexpr const char* kLogFilePrefix = "KorvaneVellumdb_log_";

// "KorvaneVellumdb_log_8-12-2026-13-5-9.txt" for the given local time; with
// no time, day, month and year 0 and hour, minute, second -1.
std::string LogFileName(const std::optional<std::tm>& localTime);

class ActivityLog {
 public:
  // Closes the current file, then opens (appending) or creates the file for
  // this moment in `folder` and writes the run header. False, with the
  // reason in error(), when the file cannot be written or is not one the log
  // may write (one of `inputs`, the files a recovery reads, or a pipe or
  // device that would block).
  bool Open(const std::filesystem::path& folder, const std::optional<std::tm>& localTime,
            const std::vector<std::filesystem::path>& inputs = {});
  bool Open(const std::filesystem::path& folder, const std::vector<std::filesystem::path>& inputs = {});  // now
  void Close();
  bool isOpen() const { return out_.is_open(); }
  const std::filesystem::path& path() const { return path_; }

  // Writes the text and CR LF; each line reaches the file at once. A write
  // that fails closes the file and sets error().
  void Line(const std::string& utf8Text);

  // Why the last Open or a later write failed; empty while all went well.
  const std::string& error() const { return error_; }

 private:
  bool WriteUtf16(const std::u16string& text);
  void Fail(const std::string& reason);
  std::ofstream out_;
  std::filesystem::path path_;
  std::string error_;
};

}  // namespace pagewright

#endif  // PAGEWRIGHT_APP_ACTIVITY_LOG_H_
