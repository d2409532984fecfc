#include "pagestore/pages.h"

namespace pagewright {

CRecord::~CRecord() = default;
CPage::~CPage() = default;

RecordPage::RecordPage(std::vector<uint8_t> pageBytes, DatabaseReader* source)
    : reader(source), bytes(std::move(pageBytes)) {
  if (bytes.size() < static_cast<size_t>(kPageSize)) bytes.resize(kPageSize, 0);
  header = DecodeAndRepairHeader(std::span<uint8_t>(bytes.data(), kPageSize));
  slotTable = ReadSlotTable(page(), header.slotCount);
}

RecordPage::~RecordPage() = default;
PrimaryRecordPage::~PrimaryRecordPage() = default;
CDataPage::~CDataPage() = default;
TextMixPage::~TextMixPage() = default;

}  // namespace pagewright
