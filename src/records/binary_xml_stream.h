// The token stream of SQL Server's binary XML (the stored form of `xml`
// values) and its primitive fields.
//
// A value is a header followed by tokens, each one byte, most of them
// followed by fields:
//
//   header     DF FF          signature
//              vv             version: 01 (SQL Server 2005) or 02 (2008 and
//                             later, which adds the date/time tokens 7A..7F)
//              B0 04          encoding: code page 1200 (UTF-16LE) as a uint16;
//                             no other encoding is defined
//
// Integers of the stream are little-endian. Counts and lengths are
// multi-byte integers: 7 bits a byte, least significant group first, the
// high bit set on every byte but the last.
//   mb32  at most 5 bytes, value at most 0x7FFFFFFF
//   mb64  at most 10 bytes, value at most 0x7FFFFFFFFFFFFFFF
// Text ("textdata") is an mb32 count of UTF-16 code units followed by the
// code units; it has no terminator.
//
// Structure tokens (fields after the token byte):
//   F0 NAMEDEF        textdata            defines name n (1, 2, ... in order)
//   EF QNAMEDEF       mb32 ns, mb32 prefix, mb32 local
//                                         defines qualified name n (1, 2, ...)
//                                         from three names; name 0 is ""
//   E9 FLUSH          -                   forgets every name and qualified name
//   EA EXTENSION      mb32 length, bytes  writer's private data (SQL Server puts
//                                         type annotations of typed XML here);
//                                         carries no XML
//   F8 ELEMENT        mb32 qname          start tag
//   F6 ATTRIBUTE      mb32 qname          attribute; its value is the atomic
//                                         values that follow
//   F5 ENDATTRIBUTES  -                   end of the attribute list
//   F7 ENDELEMENT     -                   end tag
//   F4 PI             mb32 name, textdata processing instruction
//   F3 COMMENT        textdata
//   F2 CDATA          textdata            one CDATA section; a run of them is
//   F1 CDATAEND       -                   closed by CDATAEND
//   FE XMLDECL        textdata version, [FD ENCODING textdata], byte
//                                         standalone (0 absent, 1 yes, 2 no)
//   FC DOCTYPEDECL    textdata name, then any of FB SYSTEM, FA PUBLIC,
//                                         F9 SUBSET, each with textdata
//   EC NEST           -                   an embedded binary XML value with its
//   EB ENDNEST        -                   own name tables (an optional header
//                                         may open it)
// Metadata tokens (NAMEDEF, QNAMEDEF, FLUSH, EXTENSION) may stand between any
// two other tokens, including inside an attribute's value list.
// Every other token byte is an atomic value (binary_xml_values.h).
#ifndef PAGEWRIGHT_RECORDS_BINARY_XML_STREAM_H_
#define PAGEWRIGHT_RECORDS_BINARY_XML_STREAM_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "pagestore/bytes.h"

namespace pagewright::binxml {

inline constexpr uint8_t kSignature0 = 0xDF;
inline constexpr uint8_t kSignature1 = 0xFF;
inline constexpr uint8_t kVersion1 = 0x01;
inline constexpr uint8_t kVersion2 = 0x02;
inline constexpr uint16_t kEncodingUtf16 = 0x04B0;  // 1200, stored B0 04
inline constexpr size_t kHeaderSize = 2 + 1 + 2;     // signature, version, encoding

enum Token : uint8_t {
  kXmlDecl = 0xFE,
  kEncoding = 0xFD,
  kDocTypeDecl = 0xFC,
  kSystem = 0xFB,
  kPublic = 0xFA,
  kSubset = 0xF9,
  kElement = 0xF8,
  kEndElement = 0xF7,
  kAttribute = 0xF6,
  kEndAttributes = 0xF5,
  kPi = 0xF4,
  kComment = 0xF3,
  kCData = 0xF2,
  kCDataEnd = 0xF1,
  kNameDef = 0xF0,
  kQNameDef = 0xEF,
  kNest = 0xEC,
  kEndNest = 0xEB,
  kExtension = 0xEA,
  kFlush = 0xE9,
};

// True for the tokens that define or drop names or carry private data.
constexpr bool IsMetadataToken(uint8_t t) {
  return t == kNameDef || t == kQNameDef || t == kFlush || t == kExtension;
}

// Sequential reader of the stream's fields. Every read checks the bounds; a
// failed read returns nothing and moves nothing.
class StreamReader {
 public:
  explicit StreamReader(ByteSpan bytes) : reader_(bytes) {}

  bool AtEnd() const { return reader_.remaining() == 0; }
  size_t position() const { return reader_.position(); }
  size_t remaining() const { return reader_.remaining(); }

  std::optional<uint8_t> PeekByte() const;
  std::optional<uint8_t> ReadByte() { return reader_.Read<uint8_t>(); }
  template <typename T>
  std::optional<T> Read() {
    return reader_.Read<T>();
  }
  std::optional<ByteSpan> ReadBytes(uint64_t length);
  bool Skip(uint64_t length);

  std::optional<uint32_t> ReadMb32();
  std::optional<uint64_t> ReadMb64();

  // textdata: an mb32 count of UTF-16 code units, then the units, as UTF-8.
  std::optional<std::string> ReadText();
  // The same with an mb64 count (the string atomic values).
  std::optional<std::string> ReadText64();

  // Reads a header at the current position: true when it is DF FF, a known
  // version and the UTF-16 encoding.
  bool ReadHeader();
  // True when the next two bytes are the signature.
  bool AtSignature() const;

 private:
  std::optional<std::string> ReadUtf16(uint64_t codeUnits);

  ByteReader reader_;
};

}  // namespace pagewright::binxml

#endif  // PAGEWRIGHT_RECORDS_BINARY_XML_STREAM_H_
