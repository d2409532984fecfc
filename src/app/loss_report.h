// Losses a scan or a table view would otherwise pass over in silence, as
// the lines the shell logs (and the command line prints on standard error).
#ifndef PAGEWRIGHT_APP_LOSS_REPORT_H_
#define PAGEWRIGHT_APP_LOSS_REPORT_H_

#include <optional>
#include <string>
#include <vector>

#include "catalog/database_catalog.h"
#include "pagestore/database_reader.h"

namespace pagewright {

// After the catalog build: secondary files that sysfiles1 names but that
// were not found, and files shorter than their allocation maps say (the
// pages allocated past the end of the file).
std::vector<std::string> OpenLosses(const DatabaseReader& reader, const DatabaseCatalog& catalog);

// A table whose pages gave no rows in standard mode while allocated data
// pages carrying its allocation unit hold records: the advanced mode reads
// those. `pageKey` is the object id its pages' headers carry and
// `indexId`, when set, the index id beside it (the upper 16 bits of the
// allocation unit id from SQL Server 2005 on). Empty when there is nothing
// to say.
std::string NoRowsInStandardMode(const DatabaseReader& reader, const std::string& table, int32_t pageKey,
                                 std::optional<uint16_t> indexId);

// Pages allocated past the end of a file of `pageCount` pages, by the PFS
// pages that remain.
std::vector<uint32_t> PagesPastTheEnd(const DatabaseReader& reader, int16_t fileId, uint64_t pageCount);

}  // namespace pagewright

#endif  // PAGEWRIGHT_APP_LOSS_REPORT_H_
