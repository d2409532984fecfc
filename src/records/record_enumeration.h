// Record enumeration: the records of a page by its slot table, and the
// deleted-record recovery that also finds records no slot points to.
#ifndef PAGEWRIGHT_RECORDS_RECORD_ENUMERATION_H_
#define PAGEWRIGHT_RECORDS_RECORD_ENUMERATION_H_

#include <memory>

#include "pagestore/database_reader.h"
#include "records/record.h"

namespace pagewright {

// Builds the records of a data or catalog page: its compression
// information, then (when both deleted-record options are on) the advanced
// deleted-record scan, then one record list entry per slot.
void BuildPrimaryRecordPage(PrimaryRecordPage& page, const ReadContext& context);
// The same for one slot only, without the advanced scan (used to follow a
// forwarding stub).
void BuildPrimaryRecordPageForSlot(PrimaryRecordPage& page, const ReadContext& context, int slot, int forwardHops);

// One record list entry per slot: the parsed record, or none for slots that
// cannot hold one (offset 0, below 96 or past the page; index pages above
// the leaf; every slot of a page whose ghost count covers all its slots,
// unless deleted records are shown).
void EnumerateRecords(PrimaryRecordPage& page, const ReadContext& context);
// Appends the entry of one slot, or nothing when the slot does not exist.
void EnumerateOneRecord(PrimaryRecordPage& page, const ReadContext& context, int slot, int forwardHops = 0);

// Walks the page bytes from offset 96 for records no slot points to and
// appends their offsets after the slots' own: the slot table is rebuilt so
// that the enumeration yields the slot records first, then the found ones.
void ScanForDeletedRecords(PrimaryRecordPage& page, const ReadContext& context);

// Header fields that must not be negative on a page whose records are
// enumerated.
bool HeaderAllowsEnumeration(const CPage_Header& header);

// A page's record `i` as a primary record, or null.
const CPrimaryRecord* RecordAt(const RecordPage& page, size_t i);
CPrimaryRecord* RecordAt(RecordPage& page, size_t i);

// Reads a data page (file id 1 as the context says) or a catalog page
// (always the old file) and builds its records; null when unreadable.
// A page that cannot be read is reported as damage.
std::unique_ptr<CDataPage> LoadDataPage(DatabaseReader& reader, const ReadContext& context, PageId id);
std::unique_ptr<CDataPage> LoadCatalogPage(DatabaseReader& reader, const ReadContext& context, PageId id);

}  // namespace pagewright

#endif  // PAGEWRIGHT_RECORDS_RECORD_ENUMERATION_H_
