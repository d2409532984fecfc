#include "pagestore/boot_page.h"

#include "pagestore/database_reader.h"
#include "pagestore/text_codec.h"

namespace pagewright {

std::string VersionText(int versionNumber) {
  switch (versionNumber) {
    case 782: return " SQL Server 2014";
    case 706: return " SQL Server 2012";
    case 684: return " SQL Server 2012 CTP1";
    case 660:
    case 661: return " SQL Server 2008 R2";
    case 655: return " SQL Server 2008";
    case 612: return " SQL Server 2005 SP2+ with VarDecimal enabled";
    case 611: return " SQL Server 2005";
    case 539: return " SQL Server 2000";
    case 515: return " SQL Server 7.0";
    case 408: return " SQL Server 6.5";
    default: return "Unknown SQL Version";
  }
}

std::string DecodeDatabaseName(ByteSpan page) {
  ByteSpan field = SubSpan(page, kBootNameOffset, 2 * kBootNameUnits);
  size_t units = 0;
  while (units < static_cast<size_t>(kBootNameUnits) && U16At(field, static_cast<int64_t>(2 * units)) != 0) ++units;
  while (units > 0) {
    uint16_t last = U16At(field, static_cast<int64_t>(2 * (units - 1)));
    if (last != 0x2020 && last != 0x0020) break;
    --units;
  }
  return Utf16LeToUtf8(field.first(2 * units));
}

CBootPage::CBootPage(std::vector<uint8_t> pageBytes, const CollationChoice& choice)
    : PrimaryRecordPage(std::move(pageBytes), nullptr) {
  slotTable.reset();  // the boot record is read at fixed offsets
  ByteSpan p = page();
  BootIdentity& id = identity;
  id.versionNumber = U16At(p, kBootVersionOffset);
  id.versionText = VersionText(id.versionNumber);
  id.databaseName = DecodeDatabaseName(p);

  static const CollationTable kNone;
  const CollationTable& table = choice.table != nullptr ? *choice.table : kNone;
  const CollationEntry* found = nullptr;
  if (choice.autoDetect) {
    id.collationId = I32At(p, kBootCollationOffset);
    auto it = table.find(id.collationId);
    if (it == table.end()) {
      id.collationId = U16At(p, kBootCollationOffset);
      it = table.find(id.collationId);
    }
    if (it != table.end()) found = &it->second;
  } else {
    id.collationId = choice.manualKey;
    auto it = table.find(id.collationId);
    if (it != table.end()) found = &it->second;
  }
  if (found != nullptr) {
    id.collation = DatabaseCollation{true, id.collationId, found->codePage};
    id.collationName = found->name;
  }
}

CBootPage::~CBootPage() = default;

std::optional<BootIdentity> ReadBootPage(DatabaseReader& reader, const ReadContext& context,
                                         const CollationChoice& choice) {
  const PageListEntry* first = nullptr;
  for (int32_t key : {7, 41}) {
    auto& list = reader.objectPageMap[key];
    if (!list.empty()) {
      first = &list.front();
      break;
    }
  }
  int64_t shift = 0;
  if (first != nullptr) {
    ReadContext old = context;
    old.source = PageSource::kOldFile;
    if (auto header = reader.ReadPageHeader(old, first->id())) shift = int64_t{header->thisPage.page} - first->page;
  }
  int64_t position = kBootPagePosition - shift;
  if (position <= 0 || position >= static_cast<int64_t>(reader.oldPageCount)) return std::nullopt;
  auto page = reader.ReadCatalogPage(PageId{1, static_cast<int32_t>(position)});
  if (!page) return std::nullopt;
  CBootPage boot(std::move(page->bytes), choice);
  return boot.identity;
}

}  // namespace pagewright
