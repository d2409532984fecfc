// Forwarded records and their back pointers.
//
// When a heap row grows out of its page, SQL Server moves it to another page
// as a forwarded record (kind 1) and leaves a forwarding stub (kind 2) in its
// old slot. The stub names the forwarded record; the forwarded record names
// the stub through a back pointer, an extra complex variable-length value
// after the table's own columns (the last value of the record, in the classic
// and the compressed layout alike):
//
//   off width field
//     0 u16   1024, the complex value kind of a back pointer
//     2 i32   page number of the stub
//     6 u16   file id of the stub
//     8 i16   slot of the stub
//
// A table scan meets the row twice: through the stub and as a slot of the
// page the forwarded record lives on. The row is taken through the stub
// whenever the stub still points at the forwarded record; the forwarded
// record itself is taken only when its stub is gone.
#ifndef PAGEWRIGHT_RECORDS_FORWARDING_H_
#define PAGEWRIGHT_RECORDS_FORWARDING_H_

#include <optional>

#include "pagestore/database_reader.h"
#include "records/record.h"

namespace pagewright {

constexpr uint16_t kBackPointerKind = 1024;
constexpr int kBackPointerLength = 10;
constexpr int kForwardingStubLength = 9;

// The stub a forwarded record names, or none when the record carries no
// back pointer.
std::optional<RowLocator> ReadBackPointer(const CPrimaryRecord& record);

// The record a forwarding stub's bytes name, or none when they are not a
// stub.
std::optional<RowLocator> ReadStubTarget(ByteSpan stub);

// True when slot `stub.slot` of page `stub.page` is a forwarding stub that
// names `forwarded`. An unreadable page, a missing slot or a slot holding
// anything else gives false.
bool StubNamesRecord(const DatabaseReader& reader, const ReadContext& context, RowLocator stub, RowLocator forwarded);

// Marks the forwarded records of a page whose stub still names them
// (`returnedThroughStub`), so that readers of rows skip them.
void MarkRecordsReturnedThroughStubs(PrimaryRecordPage& page, const ReadContext& context);

}  // namespace pagewright

#endif  // PAGEWRIGHT_RECORDS_FORWARDING_H_
