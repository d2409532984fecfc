// Whether the records of a data page parse: every slot of a data page must
// hold a record whose parts (fixed part, column count, null bitmap, variable
// values; or the column descriptors and data regions of the compressed
// layout; or the 9 bytes of a forwarding stub) end inside the page's used
// space, below its free data offset.
#ifndef PAGEWRIGHT_RECORDS_RECORD_CHECK_H_
#define PAGEWRIGHT_RECORDS_RECORD_CHECK_H_

#include <vector>

#include "pagestore/bytes.h"

namespace pagewright {

// The slots of the data page `page` (raw bytes; torn bits are put back
// first) whose record does not parse. Pages of other types give none.
std::vector<int> UnparsableRecordSlots(ByteSpan page);

}  // namespace pagewright

#endif  // PAGEWRIGHT_RECORDS_RECORD_CHECK_H_
