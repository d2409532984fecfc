#include "harness/record_seeds.h"

#include "harness/record_harness.h"
#include "pagestore/pages.h"
#include "records/value_format.h"
#include "support/builder/page_builder.h"
#include "support/builder/row_encoder.h"

namespace pagewright::fuzz {

namespace {

using namespace build;

// Context column choice: value-type index and declared length choice (see
// record_harness.h).
struct ContextColumn {
  int32_t typeIndex;
  uint8_t shape;
};

Bytes Prefix(uint8_t flags, int16_t declaredLength, uint8_t precision, uint8_t scale, uint8_t collation,
             const std::vector<ContextColumn>& context, uint8_t fixedOffset) {
  Bytes p(kRecordChoiceBytes, 0);
  p[0] = flags;
  p[1] = static_cast<uint8_t>(declaredLength & 0xFF);
  p[2] = static_cast<uint8_t>(static_cast<uint16_t>(declaredLength) >> 8);
  p[3] = precision;
  p[4] = scale;
  p[5] = collation;
  p[6] = static_cast<uint8_t>(context.empty() ? 0 : context.size() - 1);
  for (size_t k = 0; k < context.size() && k < 8; ++k) {
    p[7 + 2 * k] = static_cast<uint8_t>(context[k].typeIndex);
    p[8 + 2 * k] = context[k].shape;
  }
  p[23] = fixedOffset;
  return p;
}

SeedInput Seed(const std::string& name, const Bytes& prefix, const PageBuilder& page) {
  Bytes bytes = prefix;
  Bytes pageBytes = page.Bytes();
  bytes.insert(bytes.end(), pageBytes.begin(), pageBytes.end());
  return {name, bytes};
}

ColumnSpec Spec(const std::string& name, uint8_t type, int16_t length, uint8_t precision = 0, uint8_t scale = 0) {
  ColumnSpec c;
  c.name = name;
  c.type = type;
  c.maxLength = length;
  c.precision = precision;
  c.scale = scale;
  return c;
}

// A page of classic records of many types: three rows, a ghost row in a
// slot, a ghost row no slot points to, a forwarding stub and a row with a
// sparse vector.
SeedInput ClassicTypes() {
  const std::vector<ColumnSpec> columns = {
      IntColumn("i"),
      BigintColumn("b"),
      Spec("s", kSqlSmallint, 2),
      Spec("t", kSqlTinyint, 1),
      BitColumn("f1"),
      BitColumn("f2"),
      CharColumn("c", 6),
      NcharColumn("n", 3),
      DecimalColumn("d", 12, 3),
      MoneyColumn("m"),
      Spec("sm", kSqlSmallmoney, 4),
      DatetimeColumn("dt"),
      Spec("sdt", kSqlSmalldatetime, 4),
      DateColumn("day"),
      Spec("tm", kSqlTime, 5, 16, 7),
      Spec("dt2", kSqlDatetime2, 8, 27, 7),
      Spec("dto", kSqlDatetimeoffset, 10, 34, 7),
      FloatColumn("fl"),
      Spec("r", kSqlReal, 4),
      GuidColumn("g"),
      Spec("bin", kSqlBinary, 4),
      VarcharColumn("vc", 40),
      NvarcharColumn("nv", 40),
      VarbinaryColumn("vb", 16),
      Spec("var", kSqlSqlVariant, 8016),
      Spec("x", kSqlXml, -1),
  };
  // Binary XML: element a holding the text x.
  const Bytes xml = Concat({Bytes{0xDF, 0xFF, 0x01, 0xB0, 0x04, 0xF0, 0x01}, Utf16(u"a"), Bytes{0xEF, 0x00, 0x00, 0x01},
                            Bytes{0xF8, 0x01, 0xF5, 0x11, 0x01}, Utf16(u"x"), Bytes{0xF7}});
  auto row = [&](int i, const std::string& text, const std::u16string& wide) {
    Bytes guid(16);
    for (int k = 0; k < 16; ++k) guid[static_cast<size_t>(k)] = static_cast<uint8_t>(i * 16 + k);
    // sql_variant: base type int (56), version 1, the value.
    Bytes variant = Concat({Bytes{56, 1}, LE<int32_t>(i * 1000)});
    return std::vector<Value>{IntValue(i),
                              BigintValue(5000000000LL + i),
                              SmallintValue(static_cast<int16_t>(-i)),
                              RawValue({static_cast<uint8_t>(i)}),
                              BitValue(i % 2 == 0),
                              BitValue(true),
                              TextValue("abc" + std::to_string(i) + "  "),
                              UnicodeValue(u"xy" + std::u16string(1, static_cast<char16_t>(u'0' + i))),
                              DecimalValue(i % 2 == 1, 1234567ull * static_cast<uint64_t>(i + 1), 12),
                              MoneyValue(12345678 * (i + 1)),
                              RawValue(LE<int32_t>(-4200 * i)),
                              DatetimeValue(40000 + i, 300 * 3600 * 10 + i),
                              RawValue(Concat({LE<uint16_t>(static_cast<uint16_t>(41000 + i)), LE<uint16_t>(600)})),
                              DateValue(737000 + i),
                              RawValue({0x10, 0x20, 0x30, 0x40, 0x05}),
                              RawValue({0x10, 0x20, 0x30, 0x40, 0x05, 0x8B, 0x3A, 0x0B}),
                              RawValue({0x10, 0x20, 0x30, 0x40, 0x05, 0x8B, 0x3A, 0x0B, 0x3C, 0x00}),
                              FloatValue(3.25 * i),
                              RawValue(LE<uint32_t>(0x40490FDB)),
                              GuidValue(guid),
                              RawValue({0xDE, 0xAD, static_cast<uint8_t>(i), 0x00}),
                              TextValue(text),
                              UnicodeValue(wide),
                              i == 2 ? Null() : RawValue({0x01, 0x02, static_cast<uint8_t>(i)}),
                              RawValue(variant),
                              RawValue(xml)};
  };
  PageBuilder page(1, 20);
  page.ObjectId(1977058078);
  page.AddRecord(EncodeRow(columns, row(0, "plain text", u"Unicode ✓")));
  page.AddRecord(EncodeRow(columns, row(1, "caf\xE9 cr\xE8me", u"Москва 東京")));
  page.AddRecord(EncodeRow(columns, row(2, "", u"")));
  page.AddRecord(EncodeRow(columns, row(3, "deleted", u"удалено"), kGhostDataRecord));
  page.GhostCount(1);
  page.AddUnslottedRecord(EncodeRow(columns, row(4, "no slot", u"без слота"), kGhostDataRecord));
  page.AddRecord(ForwardingStub(PageId{1, 21}, 0));
  page.AddRecord(RecordBuilder()
                     .FixedLE<int32_t>(7)
                     .Variable(SparseVector({{5, LE<int32_t>(70)}, {6, Ascii("sparse")}, {9, Utf16(u"wide")}}), true)
                     .Build());
  const Bytes prefix = Prefix(0x00, 8, 18, 4, 0, {{kTypeInt, 2}, {kTypeNvarchar, 5}, {kTypeBit, 0}}, 4);
  return Seed("classic_types", prefix, page);
}

// The leaf level of an index: index records (kind 3) of an int key.
SeedInput IndexLeaf() {
  PageBuilder page(2, 30);
  page.ObjectId(1977058079).IndexId(2);
  for (int i = 0; i < 5; ++i) {
    page.AddRecord(RecordBuilder(kIndexRecord).FixedLE<int32_t>(i * 10).FixedLE<int32_t>(20).FixedLE<int16_t>(1).Build());
  }
  return Seed("index_leaf", Prefix(0x00, 4, 10, 0, 3, {{kTypeInt, 2}}, 0), page);
}

// Row-compressed records: int, nvarchar (SCSU, odd length), varchar,
// bit, money, char(8) without its trailing spaces, and a long value.
SeedInput RowCompressed() {
  PageBuilder page(1, 40);
  page.ObjectId(1977058080);
  const std::vector<ContextColumn> context = {{kTypeInt, 2},  {kTypeNvarchar, 5}, {kTypeVarchar, 5},
                                              {kTypeBit, 0},  {kTypeMoney, 3},    {kTypeChar, 3},
                                              {kTypeVarchar, 6}};
  for (int i = 0; i < 4; ++i) {
    CompressedRecordBuilder r(i == 3 ? kGhostDataRecord : kPrimaryRecord);
    r.Short({static_cast<uint8_t>(0x80 | i)});  // int i, sign bit flipped
    r.Short(Ascii("Ab" + std::to_string(i)));   // odd length: SCSU
    if (i == 1) {
      r.Null();
    } else {
      r.Short(Ascii("v" + std::to_string(i)));
    }
    if (i % 2 == 0) {
      r.Code(11);  // bit 1
    } else {
      r.Empty();  // bit 0
    }
    r.Short({0x80, 0x30, 0x39});  // money 12345 ten-thousandths
    r.Short(Ascii("ch"));
    r.Long(Ascii(std::string(20 + i, static_cast<char>('a' + i))));
    page.AddRecord(r.Build());
  }
  page.GhostCount(1);
  return Seed("row_compressed", Prefix(0x00, 8, 19, 4, 0, context, 0), page);
}

// Page compression information with an anchor record (no dictionary): the
// anchor at offset 101, its values the prefixes the records share.
SeedInput PageCompressedAnchor() {
  PageBuilder page(1, 50);
  page.ObjectId(1977058081).TypeFlags(0x80);
  const Bytes anchor = CompressedRecordBuilder().Long(Ascii("Customer ")).Null().Short({0x80, 0x64}).Build();
  page.AddUnslottedRecord(Concat({Bytes{0x02, 0, 0, 0, 0}, anchor}));
  for (int i = 0; i < 3; ++i) {
    page.AddRecord(CompressedRecordBuilder()
                       .Short(Concat({Bytes{9}, Ascii("00" + std::to_string(i))}))
                       .Short(Ascii("x" + std::to_string(i)))
                       .Short({2, static_cast<uint8_t>(i)})
                       .Build());
  }
  const std::vector<ContextColumn> context = {{kTypeVarchar, 5}, {kTypeVarchar, 5}, {kTypeInt, 2}};
  return Seed("page_compressed_anchor", Prefix(0x01, 8, 10, 0, 0, context, 0), page);
}

// Page compression information with an anchor record and a dictionary:
// records name dictionary entries by symbol.
SeedInput PageCompressedDictionary() {
  PageBuilder page(1, 60);
  page.ObjectId(1977058082).TypeFlags(0x80);
  const Bytes anchor = CompressedRecordBuilder().Short(Ascii("Shop")).Null().Build();
  const std::vector<Bytes> entries = {Ascii("Berlin"), Ascii("Madrid"), Utf16(u"Kyiv")};
  Bytes dictionary = LE<uint16_t>(static_cast<uint16_t>(entries.size()));
  uint16_t end = static_cast<uint16_t>(2 + 2 * entries.size());
  for (const auto& e : entries) {
    end = static_cast<uint16_t>(end + e.size());
    Bytes b = LE<uint16_t>(end);
    dictionary.insert(dictionary.end(), b.begin(), b.end());
  }
  for (const auto& e : entries) dictionary.insert(dictionary.end(), e.begin(), e.end());
  const uint16_t d = static_cast<uint16_t>(7 + anchor.size());
  const uint16_t a = static_cast<uint16_t>(d + dictionary.size());
  page.AddUnslottedRecord(Concat({Bytes{0x06, 0, 0}, LE<uint16_t>(d), LE<uint16_t>(a), anchor, dictionary}));
  for (int i = 0; i < 3; ++i) {
    page.AddRecord(CompressedRecordBuilder()
                       .Short(Concat({Bytes{4}, Ascii(" " + std::to_string(i))}))
                       .Symbol(static_cast<uint8_t>(i))
                       .Build());
  }
  const std::vector<ContextColumn> context = {{kTypeVarchar, 5}, {kTypeNvarchar, 5}};
  return Seed("page_compressed_dictionary", Prefix(0x01, 8, 10, 0, 5, context, 0), page);
}

}  // namespace

std::vector<SeedInput> RecordSeeds() {
  return {ClassicTypes(), IndexLeaf(), RowCompressed(), PageCompressedAnchor(), PageCompressedDictionary()};
}

}  // namespace pagewright::fuzz
