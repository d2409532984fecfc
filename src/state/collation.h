// The collation table as the format layers see it: collation id to name
// and Windows code page.
#ifndef PAGEWRIGHT_STATE_COLLATION_H_
#define PAGEWRIGHT_STATE_COLLATION_H_

#include <cstdint>
#include <map>
#include <string>

namespace pagewright {

// One row of the collation table: collation name and its Windows code page.
struct CollationEntry {
  std::string name;
  int32_t codePage = 0;
};

using CollationTable = std::map<int64_t, CollationEntry>;

// The database's own collation, as the boot page (or the user) named it.
struct DatabaseCollation {
  bool found = false;    // the id is in the collation table
  int64_t key = 0;       // the collation id looked up
  int32_t codePage = 0;  // its code page when found
};

}  // namespace pagewright

#endif  // PAGEWRIGHT_STATE_COLLATION_H_
