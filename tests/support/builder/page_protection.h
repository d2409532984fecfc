// What SQL Server writes into every page and beside them, for files the
// builder made: a PFS page at position 1 that marks the pages in use as
// allocated, and page checksums or torn-page bits.
#ifndef PAGEWRIGHT_TESTS_SUPPORT_BUILDER_PAGE_PROTECTION_H_
#define PAGEWRIGHT_TESTS_SUPPORT_BUILDER_PAGE_PROTECTION_H_

#include <cstdint>

#include "support/builder/database_builder.h"

namespace pagewright::build {

// Writes the PFS page at position 1: every page whose type byte is not 0
// (the PFS page included) is allocated, the others are free.
void WritePfsPage(DatabaseBuilder& db);

// Gives every page of the file a checksum (flag bit 0x0200).
void StampChecksums(DatabaseBuilder& db);

// Gives one page torn-page bits with the pattern 1 or 2 (flag bit 0x0100):
// the two low bits of the last byte of sectors 1 to 15 move into the header
// and the pattern takes their place.
void StampTornBits(std::vector<uint8_t>& page, uint32_t pattern);

}  // namespace pagewright::build

#endif  // PAGEWRIGHT_TESTS_SUPPORT_BUILDER_PAGE_PROTECTION_H_
