// CSV (RFC 4180): a header line of column names, then one line per row,
// CRLF line ends, UTF-8. A field is quoted when it holds a comma, a quote
// or a line break, and the empty string is "" so that it stays apart from
// NULL, which is an empty field without quotes. Binary values are 0x and
// upper-case hex; bits 1 and 0.
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "export/export_writer.h"

namespace pagewright {

namespace {

// Whether `text` holds a byte that makes a field quoted: ',', '"', CR or
// LF. Most fields hold none and the long text values dominate the scan, so
// it looks at sixteen bytes at a time where the processor allows, else
// eight.
bool NeedsQuotes(const char* p, size_t n) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i comma = _mm_set1_epi8(','), quote = _mm_set1_epi8('"'), cr = _mm_set1_epi8('\r'),
                lf = _mm_set1_epi8('\n');
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, comma), _mm_cmpeq_epi8(v, quote)),
                                     _mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
    if (_mm_movemask_epi8(hit) != 0) return true;
  }
#endif
  constexpr uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
  auto zeroByte = [](uint64_t x) { return (x - kOnes) & ~x & kHighs; };  // nonzero when a byte of x is zero
  for (; i + 8 <= n; i += 8) {
    uint64_t word;
    std::memcpy(&word, p + i, 8);
    if ((zeroByte(word ^ (kOnes * ',')) | zeroByte(word ^ (kOnes * '"')) | zeroByte(word ^ (kOnes * '\r')) |
         zeroByte(word ^ (kOnes * '\n'))) != 0)
      return true;
  }
  for (; i < n; ++i)
    if (p[i] == ',' || p[i] == '"' || p[i] == '\r' || p[i] == '\n') return true;
  return false;
}

// `file`: flushed between the parts of a long value.
void AppendField(const std::string& text, std::string& out, OutputFile* file = nullptr) {
  const std::string_view all(text);
  if (!text.empty() && !NeedsQuotes(text.data(), text.size())) {
    InParts(all.size(), file, [&](size_t at, size_t count) { out.append(all.substr(at, count)); });
    return;
  }
  out.push_back('"');
  InParts(all.size(), file, [&](size_t at, size_t count) {
    const std::string_view part = all.substr(at, count);
    size_t from = 0;
    for (size_t quote = part.find('"'); quote != std::string_view::npos; quote = part.find('"', quote + 1)) {
      out.append(part.substr(from, quote + 1 - from));  // the quote, then its double
      out.push_back('"');
      from = quote + 1;
    }
    out.append(part.substr(from));
  });
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
    if (!file_.Open(output_ / TableFileName(table.entry, "csv", &taken_), toStdout_, error_)) return false;
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
      AppendCell(*cells[i], out, &file_);
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
  static void AppendCell(const CellValue& v, std::string& out, OutputFile* file = nullptr) {
    switch (v.kind) {
      case CellKind::kNull:
      case CellKind::kMissing:
      case CellKind::kPlaceholder:
      case CellKind::kNotStored: break;
      case CellKind::kText: AppendField(v.text, out, file); break;
      case CellKind::kBytes: AppendHexLiteral(v.bytes, out, file); break;
      case CellKind::kDateTime: AppendField(v.text, out); break;
      default: AppendNumber(v, out); break;
    }
  }

  std::filesystem::path output_;
  bool toStdout_;
  bool withDeleted_ = false;
  std::set<std::string> taken_;  // file names given so far
  int tables_ = 0;
  OutputFile file_;
};

}  // namespace

std::unique_ptr<ExportWriter> MakeCsvWriter(const std::filesystem::path& output, bool toStdout) {
  return std::make_unique<CsvWriter>(output, toStdout);
}

}  // namespace pagewright
