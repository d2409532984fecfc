// Page compression: the compression information record of a page-compressed
// page, and the rebuild of compressed records into the fixed-data form the
// row decoder reads column by column.
//
// Compression information (pages whose type flag bits have 0x80 set),
// page offsets:
//   96      u8   header: 0x02 an anchor record follows, 0x04 a dictionary
//   97-98        not read
//   99      u16  dictionary offset d, from page offset 96
//   101     u16  anchor length a
//   103 / 101    the anchor record (compressed layout, one value per
//                column: the prefix the column's values share), at 103
//                when a dictionary is present, otherwise at 101
//   96+d    u16  dictionary entry count c, then c u16 end offsets (from
//                the dictionary start), then the entries back to back
//
// With an anchor, every value of a column whose anchor value is not NULL
// starts with a byte p: the length of the prefix it shares with the anchor
// value; the bytes after it are the rest of the value. Integer columns are
// stored big-endian in as few bytes as they need, with the sign bit
// flipped. nchar/nvarchar values of odd length are SCSU-compressed. char
// and nchar values are stored without their trailing spaces, binary values
// without their trailing zeros. Descriptor code 1 (empty) stands for the
// type's empty value (0, an empty string, a bit 0); code 11 for a bit 1.
#ifndef PAGEWRIGHT_RECORDS_COMPRESSION_H_
#define PAGEWRIGHT_RECORDS_COMPRESSION_H_

#include "records/record.h"

namespace pagewright {

constexpr int kCompressionInfoOffset = 96;
// The rebuilt fixed data of one record never grows past this size; columns
// that would not fit are left out.
constexpr int kMaxRebuiltFixedData = 1 << 20;

// Reads the compression information of a page-compressed page into
// `page.compression` (anchor values need the current decode context).
void ReadCompressionInformation(PrimaryRecordPage& page, const ReadContext& context);

// Lays the column values of a compressed record of kind 0, 3 or 6 out as fixed
// data (stored columns of the current decode context in order; fixed-length
// columns take their type's width, variable-length ones their value's
// length; each column entry records where its value lies), expanding anchor
// prefixes, dictionary symbols, compressed integers and SCSU text. Without a
// decode context the record is left with empty fixed data.
void ReconstructCompressedRecord(CPrimaryRecord& record, const PrimaryRecordPage& page, const ReadContext& context);

// The big-endian integer of a compressed column (sign bit flipped), as
// `width` little-endian bytes.
void DecodeCompressedInteger(ByteSpan stored, uint8_t* out, int width);

}  // namespace pagewright

#endif  // PAGEWRIGHT_RECORDS_COMPRESSION_H_
