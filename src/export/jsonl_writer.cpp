// JSON Lines: one JSON object per row, keys the column names. Integers and
// floats are numbers; decimal and money values are strings so that no digit
// is rounded by a reader's doubles; text and dates are strings, binary is
// base64, bits are true/false, NULL is null.
#include <cmath>

#include "export/export_writer.h"
#include "pagestore/text_codec.h"

namespace pagewright {

namespace {

// Base64 of `bytes`, without quotes; only the last part of a value may be
// of a length that is not a multiple of three.
void AppendBase64(ByteSpan bytes, std::string& out) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    uint32_t v = (uint32_t{bytes[i]} << 16) | (uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
    out.push_back(kAlphabet[v >> 18]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(kAlphabet[(v >> 6) & 63]);
    out.push_back(kAlphabet[v & 63]);
  }
  if (i + 1 == bytes.size()) {
    uint32_t v = uint32_t{bytes[i]} << 16;
    out.push_back(kAlphabet[v >> 18]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out += "==";
  } else if (i + 2 == bytes.size()) {
    uint32_t v = (uint32_t{bytes[i]} << 16) | (uint32_t{bytes[i + 1]} << 8);
    out.push_back(kAlphabet[v >> 18]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(kAlphabet[(v >> 6) & 63]);
    out.push_back('=');
  }
}

class JsonlWriter : public ExportWriter {
 public:
  JsonlWriter(std::filesystem::path output, bool toStdout) : output_(std::move(output)), toStdout_(toStdout) {}

  bool BeginTable(const ExportTable& table) override {
    if (toStdout_ && tables_++ > 0) {
      error_ = "standard output takes one table";
      return false;
    }
    keys_.clear();
    for (const auto& c : table.columns) {
      std::string key;
      AppendJsonString(c.name, key);
      keys_.push_back(key + ":");
    }
    withDeleted_ = table.withDeleted;
    return file_.Open(output_ / TableFileName(table.entry, "jsonl", &taken_), toStdout_, error_);
  }

  bool Row(const std::vector<const CellValue*>& cells, bool deleted) override {
    std::string& out = file_.buffer();
    out.push_back('{');
    for (size_t i = 0; i < cells.size(); ++i) {
      if (i) out.push_back(',');
      out += keys_[i];
      AppendCell(*cells[i], out, &file_);
    }
    EndObject(deleted, cells.empty(), out);
    file_.MaybeFlush();
    return !file_.failed();
  }

  bool FormatsInParallel() const override { return true; }
  void FormatRows(const std::vector<TypedRow>& rows, const std::vector<size_t>& stored, std::string& out) const override {
    for (const TypedRow& row : rows) {
      out.push_back('{');
      for (size_t i = 0; i < stored.size(); ++i) {
        if (i) out.push_back(',');
        out += keys_[i];
        AppendCell(row.cells[stored[i]], out);
      }
      EndObject(row.deleted, stored.empty(), out);
    }
  }
  bool WriteFormatted(const std::string& text) override { return file_.WriteAfterBuffer(text); }

  bool EndTable(bool complete) override { return file_.Close(complete, error_); }

 private:
  void EndObject(bool deleted, bool noColumns, std::string& out) const {
    if (withDeleted_) {
      if (!noColumns) out.push_back(',');
      out += "\"";
      out += kDeletedColumn;
      out += deleted ? "\":true" : "\":false";
    }
    out += "}\n";
  }

  // `file`: flushed between the parts of a long value.
  static void AppendCell(const CellValue& v, std::string& out, OutputFile* file = nullptr) {
    switch (v.kind) {
      case CellKind::kInteger: AppendNumber(v, out); break;
      case CellKind::kFloat:
        if (std::isfinite(v.real)) {
          AppendNumber(v, out);
        } else {
          std::string text;
          AppendNumber(v, text);
          AppendJsonString(text, out);
        }
        break;
      case CellKind::kBool: out += v.integer ? "true" : "false"; break;
      case CellKind::kText: {
        const std::string_view all(v.text);
        out.push_back('"');
        InParts(all.size(), file, [&](size_t at, size_t count) { AppendJsonEscaped(all.substr(at, count), out); });
        out.push_back('"');
        break;
      }
      case CellKind::kDecimal:
      case CellKind::kDateTime: AppendJsonString(v.text, out); break;
      case CellKind::kBytes: {
        const ByteSpan all(v.bytes);
        out.push_back('"');
        InParts(all.size(), file, [&](size_t at, size_t count) { AppendBase64(all.subspan(at, count), out); });
        out.push_back('"');
        break;
      }
      default: out += "null"; break;
    }
  }

  std::filesystem::path output_;
  bool toStdout_;
  bool withDeleted_ = false;
  std::set<std::string> taken_;  // file names given so far
  int tables_ = 0;
  std::vector<std::string> keys_;
  OutputFile file_;
};

}  // namespace

std::unique_ptr<ExportWriter> MakeJsonlWriter(const std::filesystem::path& output, bool toStdout) {
  return std::make_unique<JsonlWriter>(output, toStdout);
}

}  // namespace pagewright
