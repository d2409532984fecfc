#include "app/activity_log.h"

#include <chrono>
#include <cstdio>

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

bool ActivityLog::Open(const std::filesystem::path& folder) { return Open(folder, LocalNow()); }

bool ActivityLog::Open(const std::filesystem::path& folder, const std::optional<std::tm>& localTime) {
  Close();
  path_ = folder / LogFileName(localTime);
  std::error_code ec;
  bool exists = std::filesystem::exists(path_, ec);
  out_.open(path_, std::ios::binary | std::ios::app);
  if (!out_) return false;
  if (!exists) out_.write("\xFF\xFE", 2);
  WriteUtf16(u"\r\n" + std::u16string(80, u'*') + u"\r\n");
  return static_cast<bool>(out_);
}

void ActivityLog::Close() {
  if (out_.is_open()) out_.close();
}

void ActivityLog::Line(const std::string& text) {
  if (!out_.is_open()) return;
  WriteUtf16(Utf8ToUtf16(text) + u"\r\n");
}

void ActivityLog::WriteUtf16(const std::u16string& text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t u : text) {
    bytes.push_back(static_cast<char>(u & 0xFF));
    bytes.push_back(static_cast<char>(u >> 8));
  }
  out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out_.flush();
}

}  // namespace pagewright
