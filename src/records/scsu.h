// SCSU: the Standard Compression Scheme for Unicode (Unicode Technical
// Standard #6). SQL Server stores nchar/nvarchar values of row- and
// page-compressed records in it. Each value is a stream of its own that
// starts in the initial state below.
//
// State: a mode (single-byte or Unicode), eight dynamic windows of 128 code
// points each, and the number of the active dynamic window. Eight static
// windows never move.
//
//   window  static offset  dynamic offset at start
//      0       U+0000        U+0080  Latin-1 Supplement
//      1       U+0080        U+00C0  Latin-1 letters
//      2       U+0100        U+0400  Cyrillic
//      3       U+0300        U+0600  Arabic
//      4       U+2000        U+0900  Devanagari
//      5       U+2080        U+3040  Hiragana
//      6       U+2100        U+30A0  Katakana
//      7       U+3000        U+FF00  Fullwidth forms
//
// The stream starts in single-byte mode with dynamic window 0 active.
//
// Single-byte mode, one byte at a time:
//   00 09 0A 0D, 20..7F  that character (U+0000..U+007F)
//   80..FF               active dynamic window offset + (byte - 0x80)
//   01..08 SQ0..SQ7 b    one character from window n: b < 0x80 takes static
//                        window n + b, b >= 0x80 dynamic window n + (b - 0x80);
//                        the active window does not change
//   0B     SDX  hi lo    define dynamic window (hi >> 5) as an extended window
//                        at 0x10000 + 0x80 * ((hi & 0x1F) << 8 | lo) and make
//                        it active
//   0C     reserved
//   0E     SQU  hi lo    one UTF-16 code unit, big-endian
//   0F     SCU           switch to Unicode mode
//   10..17 SC0..SC7      make dynamic window n active
//   18..1F SD0..SD7 x    set dynamic window n to offset table entry x and
//                        make it active
//
// Unicode mode, UTF-16 big-endian code units two bytes at a time, except
// when the first byte is a tag (characters whose high byte collides with a
// tag, U+E000..U+F2FF, are quoted with UQU):
//   E0..E7 UC0..UC7      make dynamic window n active, single-byte mode
//   E8..EF UD0..UD7 x    set window n to offset table entry x, make it
//                        active, single-byte mode
//   F0     UQU  hi lo    one UTF-16 code unit, big-endian
//   F1     UDX  hi lo    as SDX, then single-byte mode
//   F2     reserved
//
// Window offset table (the byte x after SDn / UDn):
//   00          reserved
//   01..67      x * 0x80                 (U+0080..U+3380: alphabets, symbols)
//   68..A7      x * 0x80 + 0xAC00        (U+E000..U+FF80: private use and up)
//   A8..F8      reserved
//   F9 U+00C0  FA U+0250  FB U+0370  FC U+0530   half-block windows for
//   FD U+3040  FE U+30A0  FF U+FF60              scripts that straddle a
//                                                128-character boundary
// No window covers U+3400..U+DFFF (CJK ideographs, Hangul, surrogates): such
// text is written in Unicode mode or quoted.
// Extended windows (SDX/UDX) reach U+10000..U+10FFFF; a byte taken from one
// is a whole supplementary character. Code units from SQU, UQU and Unicode
// mode form surrogate pairs across tags, as in UTF-16.
//
// Damaged input. The decoder reads every byte once, never past the span, and
// never stops before the end: what it cannot decode becomes U+FFFD.
//   - a reserved tag (0C, F2) is one U+FFFD; decoding goes on after it;
//   - a reserved offset (00, A8..F8) is one U+FFFD where it stands; its window
//     is still selected (and UDn still leaves Unicode mode) but unknown: every
//     character taken from it is U+FFFD until the window is defined again;
//   - a tag or code unit cut off by the end of the value is one U+FFFD;
//   - a surrogate code unit without its partner is U+FFFD.
// So the UTF-8 output is at most kScsuMaxUtf8BytesPerInputByte bytes per
// input byte.
#ifndef PAGEWRIGHT_RECORDS_SCSU_H_
#define PAGEWRIGHT_RECORDS_SCSU_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "pagestore/bytes.h"

namespace pagewright {

inline constexpr size_t kScsuMaxUtf8BytesPerInputByte = 4;

// One SCSU value decoded to UTF-8.
std::string DecodeScsu(ByteSpan bytes);

// The same into `out`: stops before the first character whose UTF-8 sequence
// does not fit whole, and returns the number of bytes written. The bytes
// written are always a prefix of DecodeScsu(bytes).
size_t DecodeScsuInto(ByteSpan bytes, std::span<uint8_t> out);

}  // namespace pagewright

#endif  // PAGEWRIGHT_RECORDS_SCSU_H_
