#include <cerrno>
#include <charconv>
#include <cstring>
#include <random>

#include "export/export_writer.h"
#include "records/value_format.h"

namespace pagewright {

OutputFile::~OutputFile() {
  std::string ignored;
  if (file_ != nullptr) Close(false, ignored);
}

bool OutputFile::Open(const std::filesystem::path& path, bool toStdout, std::string& error) {
  toStdout_ = toStdout;
  failed_ = false;
  buffer_.clear();
  buffer_.reserve(kFlushAt + (64 << 10));
  if (toStdout) {
    file_ = stdout;
    return true;
  }
  path_ = path;
  std::random_device random;
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".%08x.partial", random());
  temporary_ = path;
  temporary_ += suffix;
  file_ = std::fopen(temporary_.string().c_str(), "wb");
  if (file_ == nullptr) {
    error = path.string() + ": cannot create the file (" + std::strerror(errno) + ")";
    return false;
  }
  // Everything reaches the file in large pieces (the buffer below, or a
  // page's text): a stream buffer would only split them into more writes.
  std::setvbuf(file_, nullptr, _IONBF, 0);
  return true;
}

bool OutputFile::Flush() {
  if (file_ == nullptr) return false;
  if (!buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) failed_ = true;
  buffer_.clear();
  return !failed_;
}

bool OutputFile::WriteThrough(const std::string& text) {
  if (file_ == nullptr) return false;
  if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) failed_ = true;
  return !failed_;
}

bool OutputFile::Close(bool complete, std::string& error) {
  if (file_ == nullptr) return false;
  Flush();
  if (toStdout_) {
    if (std::fflush(file_) != 0) failed_ = true;
    file_ = nullptr;
    if (failed_) error = "standard output: write failed";
    return !failed_;
  }
  const int saved = errno;
  if (std::fclose(file_) != 0) failed_ = true;
  file_ = nullptr;
  std::error_code ec;
  if (failed_) {
    error = path_.string() + ": write failed (" + std::strerror(errno ? errno : saved) + ")";
    std::filesystem::remove(temporary_, ec);
    return false;
  }
  if (!complete) {
    std::filesystem::remove(temporary_, ec);
    return true;
  }
  std::filesystem::rename(temporary_, path_, ec);
  if (ec) {
    error = path_.string() + ": cannot put the file in place (" + ec.message() + ")";
    std::filesystem::remove(temporary_, ec);
    return false;
  }
  return true;
}

size_t ExportWriter::Rows(const std::vector<TypedRow>& rows, const std::vector<size_t>& stored) {
  return RowsOneByOne(rows, 0, stored);
}

size_t ExportWriter::RowsOneByOne(const std::vector<TypedRow>& rows, size_t from, const std::vector<size_t>& stored) {
  std::vector<const CellValue*> cells(stored.size());
  size_t written = 0;
  for (size_t r = from; r < rows.size(); ++r) {
    for (size_t k = 0; k < cells.size(); ++k) cells[k] = &rows[r].cells[stored[k]];
    if (!Row(cells, rows[r].deleted)) break;
    ++written;
  }
  return written;
}

std::string TableFileName(const TableEntry& table, const std::string& extension, std::set<std::string>* taken) {
  std::string name = table.schema.empty() ? table.bareName : table.schema + "." + table.bareName;
  for (char& c : name)
    if (c == '/' || c == '\\' || c == '\0' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' ||
        c == '|' || static_cast<unsigned char>(c) < 0x20)
      c = '_';
  if (name.empty() || name == "." || name == "..") name = "_" + name;
  if (taken == nullptr) return name + "." + extension;
  return UniqueName(name, *taken, "." + extension);
}

std::string UniqueName(const std::string& name, std::set<std::string>& taken, const std::string& ending) {
  std::string unique = name + ending;
  for (int n = 2; taken.count(AsciiLower(unique)) != 0; ++n) unique = name + " (" + std::to_string(n) + ")" + ending;
  taken.insert(AsciiLower(unique));
  return unique;
}

void AppendHex(ByteSpan bytes, std::string& out) {
  static const char kDigits[] = "0123456789ABCDEF";
  const size_t at = out.size();
  out.resize(at + 2 * bytes.size());
  char* p = out.data() + at;
  for (uint8_t b : bytes) {
    *p++ = kDigits[b >> 4];
    *p++ = kDigits[b & 15];
  }
}

void AppendHexLiteral(ByteSpan bytes, std::string& out, OutputFile* file) {
  out += "0x";
  InParts(bytes.size(), file, [&](size_t at, size_t count) { AppendHex(bytes.subspan(at, count), out); });
}

void AppendNumber(const CellValue& v, std::string& out) {
  switch (v.kind) {
    case CellKind::kInteger: {
      char buf[24];
      auto r = std::to_chars(buf, buf + sizeof buf, v.integer);
      out.append(buf, r.ptr);
      break;
    }
    case CellKind::kBool: out.push_back(v.integer ? '1' : '0'); break;
    case CellKind::kFloat: out += v.single ? FormatReal(static_cast<float>(v.real)) : FormatFloat(v.real); break;
    default: out += v.text; break;
  }
}

}  // namespace pagewright
