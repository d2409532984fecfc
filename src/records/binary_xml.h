// Values of `xml` columns: SQL Server stores them in its binary XML format, a
// header and a stream of one-byte tokens (layout in binary_xml_stream.h, the
// typed values in binary_xml_values.h). This converts such a value to XML
// text without a server.
//
// A stored value looks like this (the start of a real catalog description):
//   DF FF 02 B0 04                      header, version 2, UTF-16
//   F0 0E "xml-stylesheet"              name 1
//   F4 01 2D "href=..."                 <?xml-stylesheet href=...?>
//   EA 05 00 0B 00 01 00                extension (type annotation), skipped
//   F0 12 "ProductDescription"          name 2
//   F0 56 "http://schemas..."           name 3
//   F0 02 "p1"                          name 4
//   EF 03 04 02                         qualified name 1 = {3}p1:ProductDescription
//   F8 01                               <p1:ProductDescription
//   F0 08 "xmlns:p1"  EF 00 05 00       qualified name 2 = xmlns:p1
//   F6 02 11 56 "http://schemas..."     xmlns:p1="http://schemas..."
//   F5                                  end of attributes
//   ...                                 content
//   F7                                  </p1:ProductDescription>
//
// Output conventions:
//   - UTF-8 without a byte order mark; no XML declaration unless the stream
//     holds one (XMLDECL token).
//   - An element without any content token is written as an empty-element
//     tag, `<a/>` or `<a x="1"/>`; any content (even an empty string value)
//     gives `<a ...>...</a>`.
//   - Names and prefixes exactly as the stream gives them. Namespace
//     declarations are the stream's own `xmlns` / `xmlns:p` attributes,
//     written where they stand; none is added, moved or dropped. Attributes
//     keep their order.
//   - Attribute values in double quotes with & < > " escaped and tab, line
//     feed and carriage return written as character references (so that a
//     parser's normalisation does not change them). Text has & < > escaped and
//     carriage return as &#xD;. Other control characters, which XML cannot
//     hold, are written as character references.
//   - Comments, processing instructions and CDATA sections as stored. Text
//     that would end them early (impossible in what SQL Server stores, so a
//     sign of damage) is broken up: "--" in a comment becomes "- -", "?>" in
//     an instruction "? >", and a CDATA text holding "]]>" is split over two
//     sections.
//   - Typed values in canonical XSD form (binary_xml_values.h); adjacent typed
//     values (a list) are separated by one space, adjacent strings are joined.
//
// Damaged input. Any failure gives the empty string: a bad header, a token
// not defined, a field cut off by the end of the value, a length past the end,
// a reference to a name or qualified name not defined, an end tag without a
// start tag, a start tag still open at the end, a name that would break the
// markup. The converter reads every byte at most once and never past the span,
// keeps its own stack (no recursion) and stops with failure past these caps:
#ifndef PAGEWRIGHT_RECORDS_BINARY_XML_H_
#define PAGEWRIGHT_RECORDS_BINARY_XML_H_

#include <cstddef>
#include <string>

#include "pagestore/bytes.h"

namespace pagewright {

// Open elements at one time. SQL Server itself refuses XML nested deeper than
// 128 levels.
inline constexpr size_t kMaxBinaryXmlDepth = 256;
// Embedded (NEST) values inside one another.
inline constexpr size_t kMaxBinaryXmlNesting = 16;
// Names or qualified names defined in one table (between flushes).
inline constexpr size_t kMaxBinaryXmlNames = size_t{1} << 20;
// Size of the text produced. References let a small value name a long name
// many times, so the output is capped rather than the input.
inline constexpr size_t kMaxBinaryXmlTextBytes = size_t{64} << 20;

// The XML text of a binary XML value, or "" when the value is malformed.
std::string ConvertBinaryXml(ByteSpan bytes);

}  // namespace pagewright

#endif  // PAGEWRIGHT_RECORDS_BINARY_XML_H_
