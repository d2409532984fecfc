// The collation table shipped beside the executable as "collation.txt".
//
// One collation per line, three fields separated by tabs: name, collation id
// (decimal), Windows code page (decimal). A line ends at LF; a CR before it
// is dropped. Lines without the two tabs are skipped; numbers are read like
// strtol (leading blanks and a sign allowed, anything else reads as 0); the
// id is taken as a 32-bit value and sign-extended. A later line with the same
// id replaces an earlier one.
#ifndef PAGEWRIGHT_PAGESTORE_COLLATION_TABLE_H_
#define PAGEWRIGHT_PAGESTORE_COLLATION_TABLE_H_

#include <filesystem>
#include <string_view>

#include "state/collation.h"

namespace pagewright {

constexpr const char* kCollationFileName = "collation.txt";

// Adds the rows of `text` (the file's content) to `table`.
void ParseCollationTable(std::string_view text, CollationTable& table);

// The rows of "collation.txt" in `folder`; empty when the file is missing
// or unreadable.
CollationTable LoadCollationTable(const std::filesystem::path& folder);

// Folder of the running executable (empty when it cannot be found).
std::filesystem::path ExecutableFolder();

}  // namespace pagewright

#endif  // PAGEWRIGHT_PAGESTORE_COLLATION_TABLE_H_
