#include "app/activity_log.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <system_error>

#include "app/output_guard.h"

#include "pagestore/text_codec.h"

namespace pagewright {

std::string LogFileName(const std::optional<std::tm>& t) {
  char buf[128];
  if (t) {
    std::snprintf(buf, sizeof buf, "%s%d-%d-%d-%d-%d-%d.txt", kLogFilePrefix, t->tm_mday, t->tm_mon + 1,
                  t->tm_year + 1900, t->tm_hour, t->tm_min, t->tm_sec);
  } else {
    std::snprintf(buf, sizeof buf, "%s%d-%d-%d-%d-%d-%d.txt", kLogFilePrefix, 0, 0, 0, -1, -1, -1);
  }
  return buf;
}

namespace {
std::optional<std::tm> LocalNow() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
#if defined(_WIN32)
  if (localtime_s(&local, &now) != 0) return std::nullopt;
#else
  if (localtime_r(&now, &local) == nullptr) return std::nullopt;
#endif
  return local;
}
}  // namespace

bool ActivityLog::Open(const std::filesystem::path& folder, const std::vector<std::filesystem::path>& inputs) {
  return Open(folder, LocalNow(), inputs);
}

bool ActivityLog::Open(const std::filesystem::path& folder, const std::optional<std::tm>& localTime,
                       const std::vector<std::filesystem::path>& inputs) {
  Close();
  error_.clear();
  path_ = folder / LogFileName(localTime);
  if (auto refusal = OutputRefusal(path_, inputs)) {
    error_ = *refusal;
    return false;
  }
  std::error_code ec;
  bool exists = std::filesystem::exists(path_, ec);
  errno = 0;
  out_.open(path_, std::ios::binary | std::ios::app);
  if (!out_) {
    Fail(errno != 0 ? std::generic_category().message(errno) : "it cannot be created");
    return false;
  }
  if (!exists) out_.write("\xFF\xFE", 2);
  return WriteUtf16(u"\r\n" + std::u16string(80, u'*') + u"\r\n");
}

void ActivityLog::Fail(const std::string& reason) {
  if (out_.is_open()) out_.close();
  if (error_.empty()) error_ = "Cannot write the activity log " + path_.string() + ": " + reason + ".";
}

void ActivityLog::Close() {
  if (out_.is_open()) out_.close();
}

void ActivityLog::Line(const std::string& text) {
  if (!out_.is_open()) return;
  WriteUtf16(Utf8ToUtf16(text) + u"\r\n");
}

bool ActivityLog::WriteUtf16(const std::u16string& text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t u : text) {
    bytes.push_back(static_cast<char>(u & 0xFF));
    bytes.push_back(static_cast<char>(u >> 8));
  }
  errno = 0;
  out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out_.flush();
  if (out_) return true;
  Fail(errno != 0 ? std::generic_category().message(errno) : "a write failed");
  return false;
}

}  // namespace pagewright
