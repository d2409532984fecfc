// CSV (RFC 4180): a header line of column names, then one line per row,
// CRLF line ends, UTF-8. A field is quoted when it holds a comma, a quote
// or a line break, and the empty string is "" so that it stays apart from
// NULL, which is an empty field without quotes. Binary values are 0x and
// upper-case hex; bits 1 and 0.
#include "export/export_writer.h"

namespace pagewright {

namespace {

void AppendField(const std::string& text, std::string& out) {
  bool plain = !text.empty();
  for (char c : text) {
    if (c == ',' || c == '"' || c == '\r' || c == '\n') {
      plain = false;
      break;
    }
  }
  if (plain) {
    out += text;
    return;
  }
  out.push_back('"');
  for (char c : text) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
}

class CsvWriter : public ExportWriter {
 public:
  CsvWriter(std::filesystem::path output, bool toStdout) : output_(std::move(output)), toStdout_(toStdout) {}

  bool BeginTable(const ExportTable& table) override {
    if (toStdout_ && tables_++ > 0) {
      error_ = "standard output takes one table";
      return false;
    }
    if (!file_.Open(output_ / TableFileName(table.entry, "csv"), toStdout_, error_)) return false;
    std::string& out = file_.buffer();
    for (size_t i = 0; i < table.columns.size(); ++i) {
      if (i) out.push_back(',');
      AppendField(table.columns[i].name, out);
    }
    if (table.withDeleted) {
      if (!table.columns.empty()) out.push_back(',');
      out += kDeletedColumn;
    }
    out += "\r\n";
    withDeleted_ = table.withDeleted;
    return true;
  }

  bool Row(const std::vector<const CellValue*>& cells, bool deleted) override {
    std::string& out = file_.buffer();
    for (size_t i = 0; i < cells.size(); ++i) {
      if (i) out.push_back(',');
      AppendCell(*cells[i], out);
    }
    if (withDeleted_) {
      if (!cells.empty()) out.push_back(',');
      out.push_back(deleted ? '1' : '0');
    }
    out += "\r\n";
    file_.MaybeFlush();
    return !file_.failed();
  }

  bool FormatsInParallel() const override { return true; }
  void FormatRows(const std::vector<TypedRow>& rows, const std::vector<size_t>& stored, std::string& out) const override {
    for (const TypedRow& row : rows) {
      for (size_t i = 0; i < stored.size(); ++i) {
        if (i) out.push_back(',');
        AppendCell(row.cells[stored[i]], out);
      }
      if (withDeleted_) {
        if (!stored.empty()) out.push_back(',');
        out.push_back(row.deleted ? '1' : '0');
      }
      out += "\r\n";
    }
  }
  bool WriteFormatted(const std::string& text) override { return file_.WriteAfterBuffer(text); }

  bool EndTable(bool complete) override { return file_.Close(complete, error_); }

 private:
  static void AppendCell(const CellValue& v, std::string& out) {
      switch (v.kind) {
        case CellKind::kNull:
        case CellKind::kMissing:
        case CellKind::kPlaceholder:
        case CellKind::kNotStored: break;
        case CellKind::kText: AppendField(v.text, out); break;
        case CellKind::kBytes:
          out += "0x";
          AppendHex(v.bytes, out);
          break;
        case CellKind::kDateTime: AppendField(v.text, out); break;
        default: AppendNumber(v, out); break;
      }
  }

  std::filesystem::path output_;
  bool toStdout_;
  bool withDeleted_ = false;
  int tables_ = 0;
  OutputFile file_;
};

}  // namespace

std::unique_ptr<ExportWriter> MakeCsvWriter(const std::filesystem::path& output, bool toStdout) {
  return std::make_unique<CsvWriter>(output, toStdout);
}

}  // namespace pagewright
