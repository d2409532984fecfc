// Every row of a table, decoded page by page from the catalog's page list as
// the table view decodes them (the tabledata tests' common reading).
#ifndef PAGEWRIGHT_TESTS_TABLEDATA_PAGE_ROWS_H_
#define PAGEWRIGHT_TESTS_TABLEDATA_PAGE_ROWS_H_

#include <string>
#include <vector>

#include "catalog/object_details.h"
#include "tabledata/row_decoder.h"
#include "support/read_fixture.h"

namespace pagewright {

inline std::vector<DecodedRow> RowsPageByPage(AppState& state, DatabaseReader& reader, DatabaseCatalog& catalog,
                                              const std::string& table) {
  auto columns = SelectDetails(catalog, table, "U ", {});
  RowDecodeContext context{columns};
  DecodeMode mode{!state.legacyCatalogMode && !Selected(catalog).tableRowsetColumns.empty(), false};
  std::vector<DecodedRow> out;
  for (PageId page : Selected(catalog).tablePages) {
    auto rows = ReadPageRows(reader, RowsCtx(state), page, context, mode);
    out.insert(out.end(), rows.begin(), rows.end());
  }
  return out;
}

}  // namespace pagewright

#endif  // PAGEWRIGHT_TESTS_TABLEDATA_PAGE_ROWS_H_
