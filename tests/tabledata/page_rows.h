// Every row of a table, decoded page by page from the catalog's page list as
// the table view decodes them (the tabledata tests' common reading).
#ifndef PAGEWRIGHT_TESTS_TABLEDATA_PAGE_ROWS_H_
#define PAGEWRIGHT_TESTS_TABLEDATA_PAGE_ROWS_H_

#include <string>
#include <vector>

#include "catalog/object_details.h"
#include "tabledata/row_decoder.h"

namespace pagewright {

inline std::vector<DecodedRow> RowsPageByPage(AppState& state, DatabaseReader& reader, DatabaseCatalog& catalog,
                                              const std::string& table) {
  auto columns = LoadObjectDetails(catalog, table, "U ", {});
  RowDecodeContext context{columns};
  state.currentDecodeContext = &context;
  DecodeMode mode{!state.legacyCatalogMode && !catalog.tableRowsetColumns.empty(), false};
  std::vector<DecodedRow> out;
  for (PageId page : catalog.tablePages) {
    auto rows = ReadPageRows(reader, page, context, mode);
    out.insert(out.end(), rows.begin(), rows.end());
  }
  state.currentDecodeContext = nullptr;
  return out;
}

}  // namespace pagewright

#endif  // PAGEWRIGHT_TESTS_TABLEDATA_PAGE_ROWS_H_
