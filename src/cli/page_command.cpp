// pagewright page MDF FILE:PAGE [--hex]: one page as the format code sees
// it: the header fields by name with the page's protection and checks, the
// slot array, every record decoded (kind, fixed part, null bitmap, variable
// values) and, when the page belongs to a known table, its rows' values.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/database_check.h"
#include "catalog/object_details.h"
#include "app/app_state.h"
#include "cli/commands.h"
#include "pagestore/collation_table.h"
#include "pagestore/page_check.h"
#include "records/record_enumeration.h"
#include "records/value_format.h"
#include "tabledata/row_decoder.h"

namespace pagewright::cli {

namespace {

constexpr const char* kUsage = "usage: pagewright page MDF FILE:PAGE [--hex]\n";

const char* KindName(int32_t kind) {
  static const char* const names[] = {"primary",   "forwarded",   "forwarding stub", "index",
                                      "blob fragment", "ghost index", "ghost data",  "ghost version"};
  return kind >= 0 && kind < 8 ? names[kind] : "unknown";
}

bool ParsePageId(const std::string& text, PageId& out) {
  size_t colon = text.find(':');
  if (colon == std::string::npos) return false;
  char* end = nullptr;
  long file = std::strtol(text.c_str(), &end, 10);
  if (end != text.c_str() + colon) return false;
  long page = std::strtol(text.c_str() + colon + 1, &end, 10);
  if (*end != '\0' || file < 1 || file > 32767 || page < 0 || page > INT32_MAX) return false;
  out = PageId{static_cast<int16_t>(file), static_cast<int32_t>(page)};
  return true;
}

void PrintHeader(const CPage_Header& h) {
  std::printf("header version: %u\n", h.headerVersion);
  std::printf("page type: %u\n", h.pageType);
  std::printf("type flag bits: 0x%02x\n", h.typeFlagBits);
  std::printf("level: %u\n", h.level);
  std::printf("flag bits: 0x%04x\n", h.flagBits);
  std::printf("index id: %u\n", h.indexId);
  std::printf("previous page: %s\n", h.previousPage.ToString().c_str());
  std::printf("minimum record length: %u\n", h.minimumRecordLength);
  std::printf("next page: %s\n", h.nextPage.ToString().c_str());
  std::printf("slot count: %d\n", h.slotCount);
  std::printf("object id: %d\n", h.objectId);
  std::printf("free byte count: %d\n", h.freeByteCount);
  std::printf("free data offset: %u\n", h.freeDataOffset);
  std::printf("this page: %s\n", h.thisPage.ToString().c_str());
  std::printf("reserved count: %u\n", h.reservedCount);
  std::printf("log sequence number: %s\n", h.logSequenceNumber.c_str());
  std::printf("transaction reserved count: %u\n", h.transactionReservedCount);
  std::printf("transaction id: %s\n", h.transactionId.c_str());
  std::printf("ghost record count: %d\n", h.ghostRecordCount);
  std::printf("torn bits: 0x%08x\n", h.tornBits);
}

void PrintProtection(ByteSpan raw, PageId id) {
  switch (ProtectionOf(raw)) {
    case PageProtection::kChecksum: {
      uint32_t stored = U32At(raw, kChecksumOffset), computed = ComputePageChecksum(raw);
      std::printf("protection: checksum 0x%08x, computed 0x%08x (%s)\n", stored, computed,
                  stored == computed ? "verifies" : "mismatch");
      break;
    }
    case PageProtection::kTornBits:
      std::printf("protection: torn-page bits (%s)\n", TornBitsIntact(raw) ? "intact" : "torn");
      break;
    case PageProtection::kNone: std::printf("protection: none\n"); break;
  }
  auto findings = VerifyPage(raw, id);
  if (findings.empty()) std::printf("checks: header sound\n");
  for (const auto& f : findings) std::printf("checks: %s%s%s\n", PageFaultText(f.fault), f.detail.empty() ? "" : ": ", f.detail.c_str());
}

void PrintRecord(size_t slot, const CPrimaryRecord& r) {
  std::printf("record %zu: %s%s%s%s\n", slot, KindName(r.status.kind), r.status.compressed ? ", compressed" : "",
              r.invalid ? ", invalid" : "", r.returnedThroughStub ? ", returned through its stub" : "");
  std::printf("  columns: %d\n", r.columnCount);
  if (r.fixedLength == kUnreadableForward) std::printf("  forwarded record unreadable\n");
  std::printf("  fixed part (%d bytes): %s\n", static_cast<int>(r.FixedData().size()), FormatHex(r.FixedData()).c_str());
  ByteSpan bitmap = r.NullBitmap();
  if (!bitmap.empty()) {
    std::string bits;
    for (int k = 0; k < r.columnCount && k < static_cast<int>(bitmap.size() * 8); ++k) bits += r.NullBit(k) ? '1' : '0';
    std::printf("  null bitmap: %s\n", bits.c_str());
  }
  for (size_t k = 0; k < r.values.size(); ++k) {
    const ValueItem& v = r.values[k];
    std::printf("  variable %zu%s (%d bytes): %s\n", k, v.complex ? ", complex" : "",
                static_cast<int>(r.Bytes(v).size()), FormatHex(r.Bytes(v)).c_str());
  }
  for (const ValueItem& v : r.sparse)
    std::printf("  sparse column %d (%d bytes): %s\n", v.id, static_cast<int>(r.Bytes(v).size()), FormatHex(r.Bytes(v)).c_str());
}

void PrintHex(ByteSpan raw) {
  for (size_t at = 0; at < raw.size(); at += 16) {
    std::printf("%04zx:", at);
    for (size_t k = 0; k < 16 && at + k < raw.size(); ++k) std::printf(" %02x", raw[at + k]);
    std::printf("\n");
  }
}

}  // namespace

int RunPage(const std::vector<std::string>& args) {
  std::string file, pageText;
  bool hex = false;
  for (const auto& a : args) {
    if (a == "--hex") {
      hex = true;
    } else if (a == "--help") {
      std::printf("%s", kUsage);
      return 0;
    } else if (file.empty()) {
      file = a;
    } else if (pageText.empty()) {
      pageText = a;
    } else {
      std::fprintf(stderr, "%s", kUsage);
      return 1;
    }
  }
  PageId id;
  if (file.empty() || pageText.empty() || !ParsePageId(pageText, id)) {
    std::fprintf(stderr, "%s", kUsage);
    return 1;
  }
  InspectedDatabase db;
  if (!OpenForInspection("page", file, db)) return 1;
  AppState& state = db.state;
  const std::unique_ptr<DatabaseReader>& reader = db.reader;
  const std::unique_ptr<DatabaseCatalog>& catalog = db.catalog;
  auto raw = reader->ReadFilePage(ReadContext(), id);
  if (!raw || static_cast<uint64_t>(id.page) >= reader->PageCountOf(id.fileId)) {
    std::fprintf(stderr, "pagewright page: %s: page %d:%d is not in the file\n", file.c_str(), id.fileId, id.page);
    return 1;
  }
  const ByteSpan rawSpan(raw->data(), kPageSize);
  std::printf("page %d:%d\n", id.fileId, id.page);
  PrintProtection(rawSpan, id);

  state.showDeleted = true;  // ghost records are shown as what they are
  CDataPage page(*raw, reader.get());
  BuildPrimaryRecordPage(page, state.MakeReadContext());
  PrintHeader(page.header);
  const DamagedObject owner = ObjectOfPageHeader(catalog.get(), state.legacyCatalogMode, page.header.objectId,
                                                 page.header.indexId);
  std::printf("object: %s (%s)\n", owner.name.c_str(), owner.kind.c_str());
  if (page.slotTable) {
    for (size_t j = 0; j < page.slotTable->size(); ++j) std::printf("slot %zu: offset %u\n", j, (*page.slotTable)[j]);
  }
  for (size_t i = 0; i < page.records.size(); ++i) {
    const CPrimaryRecord* r = RecordAt(page, i);
    if (r == nullptr) {
      std::printf("record %zu: none\n", i);
      continue;
    }
    PrintRecord(i, *r);
  }
  if (catalog && owner.kind == "table" && page.header.pageType == kDataPage) {
    LoadedDetails loaded = LoadObjectDetails(*catalog, owner.name, "U ", {});
    const auto& columns = loaded.descriptors;
    RowDecodeContext context{columns};
    ReadContext read = state.MakeReadContext();
    read.columns = &context;
    CDataPage decoded(*raw, reader.get());
    BuildPrimaryRecordPage(decoded, read);
    DecodeMode mode{!state.legacyCatalogMode && !loaded.details.tableRowsetColumns.empty(), false};
    auto rows = DecodePage(decoded, context, *reader, read, mode);
    for (size_t r = 0; r < rows.size(); ++r) {
      std::printf("row %zu:", r);
      for (size_t c = 0; c < rows[r].size() && c < columns.size(); ++c)
        std::printf(" %s=%s", columns[c].name.c_str(), rows[r][c].c_str());
      std::printf("\n");
    }
  }
  if (hex) PrintHex(rawSpan);
  return 0;
}

}  // namespace pagewright::cli
