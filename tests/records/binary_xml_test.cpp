#include "records/binary_xml.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <bit>
#include <functional>
#include <iostream>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "pagestore/bytes.h"
#include "pagestore/text_codec.h"
#include "support/corpus.h"

namespace pagewright {
namespace {

using Bytes = std::vector<uint8_t>;

// Test-only writer of the binary XML format, token by token, so that cases
// read as the XML they encode. Names and qualified names are defined on first
// use, as SQL Server does.
class BinXml {
 public:
  explicit BinXml(uint8_t version = 1) : bytes_{0xDF, 0xFF, version, 0xB0, 0x04} {}

  BinXml& Byte(uint8_t b) {
    bytes_.push_back(b);
    return *this;
  }
  BinXml& Raw(const Bytes& b) {
    bytes_.insert(bytes_.end(), b.begin(), b.end());
    return *this;
  }
  template <typename T>
  BinXml& Le(T v) {
    uint8_t buf[sizeof(T)];
    StoreLittleEndian(buf, v);
    bytes_.insert(bytes_.end(), buf, buf + sizeof(T));
    return *this;
  }
  // Multi-byte integer: 7 bits a byte, low group first, high bit = more.
  BinXml& Mb(uint64_t v) {
    do {
      uint8_t b = v & 0x7F;
      v >>= 7;
      bytes_.push_back(v ? (b | 0x80) : b);
    } while (v);
    return *this;
  }
  // Count of UTF-16 units, then the units.
  BinXml& Text(std::string_view utf8) {
    std::u16string units = Utf8ToUtf16(utf8);
    Mb(units.size());
    for (char16_t u : units) Le<uint16_t>(u);
    return *this;
  }

  uint32_t Name(std::string_view name) {
    if (name.empty()) return 0;
    auto it = names_.find(std::string(name));
    if (it != names_.end()) return it->second;
    Byte(0xF0).Text(name);
    uint32_t index = static_cast<uint32_t>(names_.size() + 1);
    names_[std::string(name)] = index;
    return index;
  }
  uint32_t QName(std::string_view prefix, std::string_view local, std::string_view ns = "") {
    uint32_t n = Name(ns), p = Name(prefix), l = Name(local);
    auto key = std::make_tuple(n, p, l);
    auto it = qnames_.find(key);
    if (it != qnames_.end()) return it->second;
    Byte(0xEF).Mb(n).Mb(p).Mb(l);
    uint32_t index = static_cast<uint32_t>(qnames_.size() + 1);
    qnames_[key] = index;
    return index;
  }
  void ForgetNames() {
    names_.clear();
    qnames_.clear();
  }

  BinXml& Element(std::string_view local, std::string_view prefix = "", std::string_view ns = "") {
    uint32_t q = QName(prefix, local, ns);
    return Byte(0xF8).Mb(q);
  }
  BinXml& Attribute(std::string_view local, std::string_view prefix = "") {
    uint32_t q = QName(prefix, local);
    return Byte(0xF6).Mb(q);
  }
  // SQL Server's form of a namespace declaration: the whole "xmlns:p" in the
  // prefix place, no local name.
  BinXml& NamespaceDeclaration(std::string_view prefix, std::string_view uri) {
    std::string name = prefix.empty() ? "xmlns" : "xmlns:" + std::string(prefix);
    uint32_t q = QName(name, "");
    return Byte(0xF6).Mb(q).NVarChar(uri);
  }
  BinXml& EndAttributes() { return Byte(0xF5); }
  BinXml& EndElement() { return Byte(0xF7); }
  BinXml& NVarChar(std::string_view s) { return Byte(0x11).Text(s); }
  BinXml& Comment(std::string_view s) { return Byte(0xF3).Text(s); }
  BinXml& Pi(std::string_view target, std::string_view data) {
    uint32_t n = Name(target);
    return Byte(0xF4).Mb(n).Text(data);
  }
  BinXml& CData(std::string_view s) { return Byte(0xF2).Text(s); }
  BinXml& CDataEnd() { return Byte(0xF1); }
  BinXml& Extension(const Bytes& data) { return Byte(0xEA).Mb(data.size()).Raw(data); }
  // Decimal value: length, precision, scale, sign (1 = positive), magnitude.
  BinXml& Decimal(uint8_t token, uint8_t precision, uint8_t scale, bool negative, const std::vector<uint32_t>& words) {
    Byte(token).Mb(3 + 4 * words.size()).Byte(precision).Byte(scale).Byte(negative ? 0 : 1);
    for (uint32_t w : words) Le(w);
    return *this;
  }

  const Bytes& bytes() const { return bytes_; }

 private:
  Bytes bytes_;
  std::map<std::string, uint32_t> names_;
  std::map<std::tuple<uint32_t, uint32_t, uint32_t>, uint32_t> qnames_;
};

std::string Convert(const Bytes& b) { return ConvertBinaryXml(b); }
std::string Convert(const BinXml& x) { return ConvertBinaryXml(x.bytes()); }

// Text of one typed value, the content of an element <v>.
std::string ValueText(const std::function<void(BinXml&)>& writeValue, uint8_t version = 1) {
  BinXml x(version);
  x.Element("v");
  writeValue(x);
  x.EndElement();
  std::string xml = Convert(x);
  if (xml.size() < 7 || xml.rfind("<v>", 0) != 0) return "(failed: " + xml + ")";
  return xml.substr(3, xml.size() - 7);
}

// True when start and end tags pair up in order. A plain scan: enough for
// text this converter writes, where '<' and '>' never stand inside
// attribute values or character data.
bool TagsBalance(std::string_view xml) {
  std::vector<std::string_view> open;
  size_t i = 0;
  auto skipTo = [&](size_t from, std::string_view end) {
    size_t e = xml.find(end, from);
    return e == std::string_view::npos ? e : e + end.size();
  };
  while ((i = xml.find('<', i)) != std::string_view::npos) {
    std::string_view rest = xml.substr(i);
    if (rest.rfind("<!--", 0) == 0) {
      i = skipTo(i + 4, "-->");
    } else if (rest.rfind("<![CDATA[", 0) == 0) {
      i = skipTo(i + 9, "]]>");
    } else if (rest.rfind("<?", 0) == 0) {
      i = skipTo(i + 2, "?>");
    } else if (rest.rfind("<!DOCTYPE", 0) == 0) {
      size_t gt = xml.find('>', i), bracket = xml.find('[', i);
      i = bracket < gt ? skipTo(bracket, "]>") : skipTo(i, ">");
    } else {
      size_t gt = xml.find('>', i);
      if (gt == std::string_view::npos) return false;
      std::string_view tag = xml.substr(i + 1, gt - i - 1);
      if (!tag.empty() && tag.front() == '/') {
        if (open.empty() || open.back() != tag.substr(1)) return false;
        open.pop_back();
      } else if (tag.empty() || tag.back() != '/') {
        open.push_back(tag.substr(0, tag.find(' ')));
      }
      i = gt + 1;
    }
    if (i == std::string_view::npos) return false;
  }
  return open.empty();
}

// ---------------------------------------------------------------- structure

TEST(BinaryXmlStructure, EmptyRootIsAnEmptyElementTag) {
  BinXml x;
  x.Element("root").EndElement();
  EXPECT_EQ(Convert(x), "<root/>");
}

TEST(BinaryXmlStructure, AttributesAndTextInOrder) {
  BinXml x;
  x.Element("a").Attribute("x").Byte(0x02).Le<int32_t>(1).Attribute("y").NVarChar("two").EndAttributes();
  x.NVarChar("hello").EndElement();
  EXPECT_EQ(Convert(x), "<a x=\"1\" y=\"two\">hello</a>");
}

TEST(BinaryXmlStructure, ElementWithAttributesOnlyIsAnEmptyElementTag) {
  BinXml withEnd;
  withEnd.Element("a").Attribute("x").NVarChar("1").EndAttributes().EndElement();
  EXPECT_EQ(Convert(withEnd), "<a x=\"1\"/>");
  BinXml withoutEnd;
  withoutEnd.Element("a").Attribute("x").NVarChar("1").EndElement();
  EXPECT_EQ(Convert(withoutEnd), "<a x=\"1\"/>");
}

TEST(BinaryXmlStructure, EmptyStringContentKeepsBothTags) {
  BinXml x;
  x.Element("a").NVarChar("").EndElement();
  EXPECT_EQ(Convert(x), "<a></a>");
}

TEST(BinaryXmlStructure, NestedElementsCloseInOrder) {
  BinXml x;
  x.Element("a").Element("b").Element("c").EndElement().EndElement();
  x.Element("d").NVarChar("t").EndElement().EndElement();
  EXPECT_EQ(Convert(x), "<a><b><c/></b><d>t</d></a>");
}

TEST(BinaryXmlStructure, PrefixesAndNamespaceDeclarationsAsStored) {
  BinXml x;
  x.Element("root", "p", "urn:x").NamespaceDeclaration("p", "urn:x").EndAttributes();
  x.Element("child", "", "urn:y").NamespaceDeclaration("", "urn:y").EndAttributes();
  x.Element("leaf", "p", "urn:x").Attribute("id", "p").NVarChar("7").EndElement();
  x.EndElement().EndElement();
  EXPECT_EQ(Convert(x),
            "<p:root xmlns:p=\"urn:x\"><child xmlns=\"urn:y\"><p:leaf p:id=\"7\"/></child></p:root>");
}

TEST(BinaryXmlStructure, EscapesTextAndAttributeValues) {
  BinXml x;
  x.Element("a").Attribute("q").NVarChar("say \"hi\" <&>\t\n\r").EndAttributes();
  x.NVarChar("a<b & c>d\r\n\te").EndElement();
  EXPECT_EQ(Convert(x), "<a q=\"say &quot;hi&quot; &lt;&amp;&gt;&#x9;&#xA;&#xD;\">a&lt;b &amp; c&gt;d&#xD;\n\te</a>");
}

TEST(BinaryXmlStructure, ControlCharactersBecomeReferences) {
  BinXml x;
  x.Element("a").NVarChar(std::string("x\x01y\x1F", 4)).EndElement();
  EXPECT_EQ(Convert(x), "<a>x&#x1;y&#x1F;</a>");
}

TEST(BinaryXmlStructure, CommentsInstructionsAndCData) {
  BinXml x;
  x.Element("a").Comment(" note ").Pi("target", "some data").Pi("bare", "");
  x.CData("x < y & z").CDataEnd().EndElement();
  EXPECT_EQ(Convert(x), "<a><!-- note --><?target some data?><?bare?><![CDATA[x < y & z]]></a>");
}

TEST(BinaryXmlStructure, CDataHoldingItsTerminatorIsSplit) {
  BinXml x;
  x.Element("a").CData("1]]>2").CDataEnd().EndElement();
  EXPECT_EQ(Convert(x), "<a><![CDATA[1]]]]><![CDATA[>2]]></a>");
}

TEST(BinaryXmlStructure, DamagedCommentAndInstructionTextCannotEndThemEarly) {
  BinXml x;
  x.Element("a").Comment("a--b-").Pi("t", "x?>y").EndElement();
  EXPECT_EQ(Convert(x), "<a><!--a- -b- --><?t x? >y?></a>");
}

TEST(BinaryXmlStructure, XmlDeclarationOnlyWhenStored) {
  BinXml withDeclaration;
  withDeclaration.Byte(0xFE).Text("1.0").Byte(0xFD).Text("utf-8").Byte(1);
  withDeclaration.Element("a").EndElement();
  EXPECT_EQ(Convert(withDeclaration), "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?><a/>");

  BinXml noEncoding;
  noEncoding.Byte(0xFE).Text("1.0").Byte(2).Element("a").EndElement();
  EXPECT_EQ(Convert(noEncoding), "<?xml version=\"1.0\" standalone=\"no\"?><a/>");

  BinXml without;
  without.Element("a").EndElement();
  EXPECT_EQ(Convert(without), "<a/>");
}

TEST(BinaryXmlStructure, DocumentTypeDeclaration) {
  BinXml x;
  x.Byte(0xFC).Text("a").Byte(0xFB).Text("a.dtd").Byte(0xF9).Text("<!ELEMENT a EMPTY>");
  x.Element("a").EndElement();
  EXPECT_EQ(Convert(x), "<!DOCTYPE a SYSTEM \"a.dtd\" [<!ELEMENT a EMPTY>]><a/>");

  BinXml withPublic;
  withPublic.Byte(0xFC).Text("html").Byte(0xFA).Text("-//W3C//DTD XHTML 1.0//EN").Byte(0xFB).Text("x.dtd");
  withPublic.Element("html").EndElement();
  EXPECT_EQ(Convert(withPublic), "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0//EN\" \"x.dtd\"><html/>");
}

TEST(BinaryXmlStructure, ExtensionsBetweenAnyTokensAreSkipped) {
  BinXml x;
  x.Extension({0x00, 0x0B, 0x00, 0x01, 0x00});
  x.Element("a").Extension({});
  x.Attribute("n").Extension({1, 2, 3}).Byte(0x02).Le<int32_t>(5).EndAttributes();
  x.Extension({0x00, 0x0F, 0x00, 0x00, 0x0F}).NVarChar("t").EndElement().Extension({9});
  EXPECT_EQ(Convert(x), "<a n=\"5\">t</a>");
}

TEST(BinaryXmlStructure, FlushForgetsEveryName) {
  BinXml x;
  x.Element("a");
  x.QName("", "b");
  x.Byte(0xE9);
  x.ForgetNames();
  x.Element("c").EndElement().EndElement();
  EXPECT_EQ(Convert(x), "<a><c/></a>");

  BinXml stale;
  stale.Element("a");
  uint32_t b = stale.QName("", "b");
  stale.Byte(0xE9).Byte(0xF8).Mb(b).EndElement().EndElement();
  EXPECT_EQ(Convert(stale), "");
}

TEST(BinaryXmlStructure, NestedValueHasItsOwnNameTables) {
  BinXml x;
  x.Element("outer");
  x.Byte(0xEC).Raw({0xDF, 0xFF, 0x01, 0xB0, 0x04});
  // Inside, name 1 and qualified name 1 are defined afresh.
  x.Byte(0xF0).Text("inner").Byte(0xEF).Mb(0).Mb(0).Mb(1).Byte(0xF8).Mb(1).EndElement();
  x.Byte(0xEB);
  x.Byte(0xF8).Mb(1).EndElement();  // qualified name 1 of the outer tables again
  x.EndElement();
  EXPECT_EQ(Convert(x), "<outer><inner/><outer/></outer>");
}

TEST(BinaryXmlStructure, FragmentWithSeveralTopLevelNodes) {
  BinXml x;
  x.NVarChar("lead ").Element("a").EndElement().Comment("c").Element("b").EndElement().NVarChar(" tail");
  EXPECT_EQ(Convert(x), "lead <a/><!--c--><b/> tail");
}

TEST(BinaryXmlStructure, LongTextAndNonBmpCharacters) {
  std::string longText(300, 'x');
  std::string emoji = "\xF0\x9F\x98\x80";  // U+1F600, a surrogate pair in UTF-16
  BinXml x;
  x.Element("\xC3\xA9t\xC3\xA9").NVarChar(longText + emoji).EndElement();
  EXPECT_EQ(Convert(x), "<\xC3\xA9t\xC3\xA9>" + longText + emoji + "</\xC3\xA9t\xC3\xA9>");
}

TEST(BinaryXmlStructure, VersionTwoStreamsConvertLikeVersionOne) {
  BinXml x(2);
  x.Element("a").EndElement();
  EXPECT_EQ(Convert(x), "<a/>");
}

// ------------------------------------------------------------- typed values

TEST(BinaryXmlTypedValues, Integers) {
  EXPECT_EQ(ValueText([](BinXml& x) { x.Byte(0x01).Le<int16_t>(-2); }), "-2");
  EXPECT_EQ(ValueText([](BinXml& x) { x.Byte(0x02).Le<int32_t>(-42); }), "-42");
  EXPECT_EQ(ValueText([](BinXml& x) { x.Byte(0x08).Le(std::numeric_limits<int64_t>::min()); }),
            "-9223372036854775808");
  EXPECT_EQ(ValueText([](BinXml& x) { x.Byte(0x07).Byte(255); }), "255");
  EXPECT_EQ(ValueText([](BinXml& x) { x.Byte(0x88).Byte(0xFB); }), "-5");
  EXPECT_EQ(ValueText([](BinXml& x) { x.Byte(0x89).Le<uint16_t>(65535); }), "65535");
  EXPECT_EQ(ValueText([](BinXml& x) { x.Byte(0x8A).Le<uint32_t>(4294967295u); }), "4294967295");
  EXPECT_EQ(ValueText([](BinXml& x) { x.Byte(0x8B).Le(std::numeric_limits<uint64_t>::max()); }),
            "18446744073709551615");
}

TEST(BinaryXmlTypedValues, DecimalsInCanonicalForm) {
  EXPECT_EQ(ValueText([](BinXml& x) { x.Decimal(0x0A, 10, 2, false, {12345}); }), "123.45");
  EXPECT_EQ(ValueText([](BinXml& x) { x.Decimal(0x0B, 10, 2, true, {12345}); }), "-123.45");
  EXPECT_EQ(ValueText([](BinXml& x) { x.Decimal(0x0A, 9, 4, false, {15000}); }), "1.5");
  EXPECT_EQ(ValueText([](BinXml& x) { x.Decimal(0x0A, 9, 4, false, {5}); }), "0.0005");
  EXPECT_EQ(ValueText([](BinXml& x) { x.Decimal(0x0A, 5, 0, true, {0}); }), "0");
  // The corpus's xs:integer ProductPhotoID: 87 at scale 10 in 16 bytes.
  EXPECT_EQ(ValueText([](BinXml& x) { x.Decimal(0x87, 38, 10, false, {0x900A7C00, 0xCA, 0, 0}); }), "87");
  // 10^38 - 1, the largest 38-digit value.
  EXPECT_EQ(ValueText([](BinXml& x) {
              x.Decimal(0x0A, 38, 0, false, {0xFFFFFFFF, 0x098A223F, 0x5A86C47A, 0x4B3B4CA8});
            }),
            "99999999999999999999999999999999999999");
  EXPECT_EQ(ValueText([](BinXml& x) { x.Decimal(0x0A, 38, 38, false, {1, 0, 0, 0}); }),
            "0.00000000000000000000000000000000000001");
  EXPECT_EQ(ValueText([](BinXml& x) { x.Decimal(0x0A, 19, 0, false, {0, 1}); }), "4294967296");
}

TEST(BinaryXmlTypedValues, Money) {
  EXPECT_EQ(ValueText([](BinXml& x) { x.Byte(0x05).Le<int64_t>(123400); }), "12.34");
  EXPECT_EQ(ValueText([](BinXml& x) { x.Byte(0x05).Le<int64_t>(10000); }), "1");
  EXPECT_EQ(ValueText([](BinXml& x) { x.Byte(0x05).Le(std::numeric_limits<int64_t>::min()); }),
            "-922337203685477.5808");
  EXPECT_EQ(ValueText([](BinXml& x) { x.Byte(0x14).Le<int32_t>(-1); }), "-0.0001");
}

TEST(BinaryXmlTypedValues, FloatingPointInCanonicalForm) {
  auto dbl = [](double d) { return ValueText([d](BinXml& x) { x.Byte(0x04).Le(std::bit_cast<uint64_t>(d)); }); };
  auto flt = [](float f) { return ValueText([f](BinXml& x) { x.Byte(0x03).Le(std::bit_cast<uint32_t>(f)); }); };
  EXPECT_EQ(dbl(1.5), "1.5E0");
  EXPECT_EQ(dbl(100.0), "1.0E2");
  EXPECT_EQ(dbl(0.001), "1.0E-3");
  EXPECT_EQ(dbl(-2.5e300), "-2.5E300");
  EXPECT_EQ(dbl(0.0), "0.0E0");
  EXPECT_EQ(dbl(-0.0), "-0.0E0");
  EXPECT_EQ(dbl(std::numeric_limits<double>::infinity()), "INF");
  EXPECT_EQ(dbl(-std::numeric_limits<double>::infinity()), "-INF");
  EXPECT_EQ(dbl(std::numeric_limits<double>::quiet_NaN()), "NaN");
  EXPECT_EQ(flt(0.1f), "1.0E-1");
  EXPECT_EQ(flt(3.4028235e38f), "3.4028235E38");
}

TEST(BinaryXmlTypedValues, Booleans) {
  EXPECT_EQ(ValueText([](BinXml& x) { x.Byte(0x86).Byte(1); }), "true");
  EXPECT_EQ(ValueText([](BinXml& x) { x.Byte(0x86).Byte(0); }), "false");
  EXPECT_EQ(ValueText([](BinXml& x) { x.Byte(0x06).Byte(1); }), "1");
  EXPECT_EQ(ValueText([](BinXml& x) { x.Byte(0x06).Byte(0); }), "0");
}

TEST(BinaryXmlTypedValues, SqlDateTimes) {
  auto dt = [](int32_t days, uint32_t ticks) {
    return ValueText([=](BinXml& x) { x.Byte(0x12).Le(days).Le(ticks); });
  };
  EXPECT_EQ(dt(0, 0), "1900-01-01T00:00:00");
  EXPECT_EQ(dt(0, 1080000), "1900-01-01T01:00:00");  // 3600 s * 300
  EXPECT_EQ(dt(0, 1), "1900-01-01T00:00:00.003");
  EXPECT_EQ(dt(0, 2), "1900-01-01T00:00:00.007");
  EXPECT_EQ(dt(-53690, 0), "1753-01-01T00:00:00");
  EXPECT_EQ(dt(39162, 300 * 45), "2007-03-23T00:00:45");
  EXPECT_EQ(dt(2958463, 25919999), "9999-12-31T23:59:59.997");
  EXPECT_EQ(ValueText([](BinXml& x) { x.Byte(0x13).Le<uint16_t>(39162).Le<uint16_t>(61); }),
            "2007-03-23T01:01:00");
}

TEST(BinaryXmlTypedValues, XsdDateTimesAreUtc) {
  constexpr int64_t kDay = 864'000'000'000;      // 100 ns ticks a day
  constexpr int64_t k2000 = 730119;              // days from 0001-01-01 to 2000-01-01
  int64_t ticks = k2000 * kDay + (12 * 3600 + 30 * 60 + 45) * 10'000'000LL + 5'000'000;
  EXPECT_EQ(ValueText([=](BinXml& x) { x.Byte(0x82).Le(ticks); }), "2000-01-01T12:30:45.5Z");
  EXPECT_EQ(ValueText([=](BinXml& x) { x.Byte(0x83).Le(ticks); }), "2000-01-01Z");
  EXPECT_EQ(ValueText([=](BinXml& x) { x.Byte(0x81).Le(ticks); }), "12:30:45.5Z");
}

TEST(BinaryXmlTypedValues, DateTimesOfVersionTwo) {
  auto v2 = [](const std::function<void(BinXml&)>& f) { return ValueText(f, 2); };
  Bytes day2000 = {0x07, 0x24, 0x0B};  // 730119 days, 3 bytes
  EXPECT_EQ(v2([&](BinXml& x) { x.Byte(0x7F).Raw(day2000); }), "2000-01-01");
  // Scale 3: milliseconds in 4 bytes. 12:30:45.123 = 45045123 ms.
  EXPECT_EQ(v2([&](BinXml& x) { x.Byte(0x7E).Byte(3).Le<uint32_t>(45045123).Raw(day2000); }),
            "2000-01-01T12:30:45.123");
  EXPECT_EQ(v2([&](BinXml& x) { x.Byte(0x7D).Byte(3).Le<uint32_t>(45045123).Raw(day2000); }), "12:30:45.123");
  // Scale 7, 5 bytes: UTC 10:30:45.1234567, shown at +02:00.
  uint64_t utc = (10 * 3600 + 30 * 60 + 45) * 10'000'000ULL + 1234567;
  auto time5 = [](uint64_t v) { return Bytes{uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24), uint8_t(v >> 32)}; };
  EXPECT_EQ(v2([&](BinXml& x) { x.Byte(0x7B).Byte(7).Raw(time5(utc)).Raw(day2000).Le<int16_t>(120); }),
            "2000-01-01T12:30:45.1234567+02:00");
  EXPECT_EQ(v2([&](BinXml& x) { x.Byte(0x7A).Byte(7).Raw(time5(utc)).Raw(day2000).Le<int16_t>(120); }),
            "12:30:45.1234567+02:00");
  EXPECT_EQ(v2([&](BinXml& x) { x.Byte(0x7C).Byte(7).Raw(time5(utc)).Raw(day2000).Le<int16_t>(120); }),
            "2000-01-01+02:00");
  // UTC 02:00 at -05:00 is the evening before; a zero zone is "Z".
  uint64_t two = 2 * 3600 * 10'000'000ULL;
  EXPECT_EQ(v2([&](BinXml& x) { x.Byte(0x7B).Byte(7).Raw(time5(two)).Raw(day2000).Le<int16_t>(-300); }),
            "1999-12-31T21:00:00-05:00");
  EXPECT_EQ(v2([&](BinXml& x) { x.Byte(0x7B).Byte(0).Raw({0x10, 0x0E, 0x00}).Raw(day2000).Le<int16_t>(0); }),
            "2000-01-01T01:00:00Z");
}

TEST(BinaryXmlTypedValues, BinaryAsBase64AndHex) {
  auto b64 = [](uint8_t token, const Bytes& b) {
    return ValueText([&](BinXml& x) { x.Byte(token).Mb(b.size()).Raw(b); });
  };
  EXPECT_EQ(b64(0x0F, {'M', 'a', 'n'}), "TWFu");
  EXPECT_EQ(b64(0x0C, {'M', 'a'}), "TWE=");
  EXPECT_EQ(b64(0x17, {'M'}), "TQ==");
  EXPECT_EQ(b64(0x85, {0xFB, 0xFF}), "+/8=");
  EXPECT_EQ(b64(0x1B, {}), "");
  EXPECT_EQ(b64(0x84, {0x0F, 0xA0, 0x5C}), "0FA05C");
}

TEST(BinaryXmlTypedValues, UniqueIdentifier) {
  Bytes guid = {0xFF, 0x19, 0x96, 0x6F, 0x86, 0x8B, 0x11, 0xD0, 0xB4, 0x2D, 0x00, 0xC0, 0x4F, 0xC9, 0x64, 0xFF};
  EXPECT_EQ(ValueText([&](BinXml& x) { x.Byte(0x09).Raw(guid); }), "6F9619FF-8B86-D011-B42D-00C04FC964FF");
}

TEST(BinaryXmlTypedValues, StringsOfEveryEncoding) {
  // Code page text: the length counts the 4-byte code page.
  EXPECT_EQ(ValueText([](BinXml& x) { x.Byte(0x10).Mb(6).Le<uint32_t>(1252).Raw({'c', 0xE9}); }), "c\xC3\xA9");
  EXPECT_EQ(ValueText([](BinXml& x) { x.Byte(0x0D).Mb(5).Le<uint32_t>(1251).Raw({0xC0}); }), "\xD0\x90");
  EXPECT_EQ(ValueText([](BinXml& x) { x.Byte(0x16).Mb(4).Le<uint32_t>(1252); }), "");
  EXPECT_EQ(ValueText([](BinXml& x) { x.Byte(0x0E).Text("nchar"); }), "nchar");
  EXPECT_EQ(ValueText([](BinXml& x) { x.Byte(0x18).Text("ntext"); }), "ntext");
}

TEST(BinaryXmlTypedValues, QualifiedNameValue) {
  BinXml x;
  uint32_t q = x.QName("xs", "integer", "http://www.w3.org/2001/XMLSchema");
  x.Element("t").Byte(0x8C).Mb(q).EndElement();
  EXPECT_EQ(Convert(x), "<t>xs:integer</t>");
}

TEST(BinaryXmlTypedValues, TypedListItemsAreSpaceSeparatedStringsJoined) {
  BinXml x;
  x.Element("l").Attribute("a").Byte(0x02).Le<int32_t>(1).Byte(0x86).Byte(1).EndAttributes();
  x.Byte(0x02).Le<int32_t>(1).Byte(0x02).Le<int32_t>(2).Byte(0x02).Le<int32_t>(3);
  x.NVarChar("x").NVarChar("y").EndElement();
  EXPECT_EQ(Convert(x), "<l a=\"1 true\">1 2 3xy</l>");
}

TEST(BinaryXmlTypedValues, TypedValuesAreEscaped) {
  BinXml x;
  x.Element("t").Byte(0x10).Mb(7).Le<uint32_t>(1252).Raw({'<', '&', '>'}).EndElement();
  EXPECT_EQ(Convert(x), "<t>&lt;&amp;&gt;</t>");
}

// ----------------------------------------------------------- damaged input

BinXml RichDocument() {
  BinXml x(2);
  x.Element("root", "p", "urn:p").NamespaceDeclaration("p", "urn:p").Attribute("id").Byte(0x02).Le<int32_t>(7);
  x.EndAttributes().Comment("c").Pi("pi", "d").Extension({1, 2});
  x.Element("d").Decimal(0x0A, 10, 2, true, {12345}).EndElement();
  x.Element("f").Byte(0x04).Le(std::bit_cast<uint64_t>(2.5)).EndElement();
  x.Element("t").Byte(0x12).Le<int32_t>(39162).Le<uint32_t>(7).EndElement();
  x.Element("z").Byte(0x7B).Byte(3).Le<uint32_t>(1000).Raw({0x07, 0x24, 0x0B}).Le<int16_t>(60).EndElement();
  x.Element("b").Byte(0x0F).Mb(3).Raw({1, 2, 3}).Byte(0x84).Mb(1).Raw({0xAB}).EndElement();
  x.Element("s").NVarChar("text & more").CData("cd").CDataEnd().Byte(0x10).Mb(5).Le<uint32_t>(1252).Raw({'v'});
  x.EndElement().Byte(0xE9);
  x.ForgetNames();
  x.Element("after").Byte(0x86).Byte(1).EndElement();
  x.EndElement();
  return x;
}

TEST(BinaryXmlDamage, RichDocumentConverts) {
  EXPECT_EQ(Convert(RichDocument()),
            "<p:root xmlns:p=\"urn:p\" id=\"7\"><!--c--><?pi d?><d>-123.45</d><f>2.5E0</f>"
            "<t>2007-03-23T00:00:00.023</t><z>2000-01-01T01:00:01+01:00</z><b>AQID AB</b>"
            "<s>text &amp; more<![CDATA[cd]]>v</s><after>true</after></p:root>");
}

TEST(BinaryXmlDamage, EveryTruncationGivesEmptyText) {
  const Bytes full = RichDocument().bytes();
  ASSERT_FALSE(Convert(full).empty());
  for (size_t n = 0; n < full.size(); ++n) {
    Bytes prefix(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_EQ(Convert(prefix), "") << "cut at " << n;
  }
}

TEST(BinaryXmlDamage, BadHeadersGiveEmptyText) {
  EXPECT_EQ(Convert(Bytes{}), "");
  EXPECT_EQ(Convert(Bytes{0xDF, 0xFF, 0x01, 0xB0, 0x04}), "");  // nothing stored
  Bytes good = BinXml().Element("a").EndElement().bytes();
  ASSERT_EQ(Convert(good), "<a/>");
  for (size_t i : {0, 1, 2, 3, 4}) {
    Bytes bad = good;
    bad[i] ^= 0x40;
    EXPECT_EQ(Convert(bad), "") << "header byte " << i;
  }
  Bytes version3 = good;
  version3[2] = 3;
  EXPECT_EQ(Convert(version3), "");
}

TEST(BinaryXmlDamage, AbsurdLengthsGiveEmptyText) {
  // A name said to hold 2^31 - 1 code units.
  EXPECT_EQ(Convert(BinXml().Byte(0xF0).Raw({0xFF, 0xFF, 0xFF, 0xFF, 0x07, 'a', 0})), "");
  // A multi-byte integer past 32 bits, and one that never ends.
  EXPECT_EQ(Convert(BinXml().Byte(0xF0).Raw({0xFF, 0xFF, 0xFF, 0xFF, 0x0F})), "");
  EXPECT_EQ(Convert(BinXml().Byte(0xEA).Raw(Bytes(12, 0x80))), "");
  // A string value of 2^62 units, an extension past the end, a binary value
  // of 2^63 - 1 bytes.
  BinXml hugeString;
  hugeString.Element("a").Byte(0x11).Mb(uint64_t{1} << 62).Raw({'x', 0});
  EXPECT_EQ(Convert(hugeString), "");
  EXPECT_EQ(Convert(BinXml().Byte(0xEA).Mb(1000).Raw({1, 2, 3})), "");
  BinXml hugeBinary;
  hugeBinary.Element("a").Byte(0x0F).Mb(0x7FFFFFFFFFFFFFFFull).Raw({1, 2});
  EXPECT_EQ(Convert(hugeBinary), "");
  // Decimal lengths other than 7, 11, 15 and 19.
  EXPECT_EQ(ValueText([](BinXml& x) { x.Byte(0x0A).Mb(8).Raw({5, 0, 1, 1, 0, 0, 0, 0}); }).substr(0, 7), "(failed");
}

TEST(BinaryXmlDamage, ValuesOutOfRangeGiveEmptyText) {
  auto fails = [](const std::function<void(BinXml&)>& f, uint8_t version = 1) {
    return ValueText(f, version).rfind("(failed", 0) == 0;
  };
  EXPECT_TRUE(fails([](BinXml& x) { x.Byte(0x12).Le<int32_t>(0).Le<uint32_t>(300 * 86400); }));
  EXPECT_TRUE(fails([](BinXml& x) { x.Byte(0x12).Le<int32_t>(std::numeric_limits<int32_t>::max()).Le<uint32_t>(0); }));
  EXPECT_TRUE(fails([](BinXml& x) { x.Byte(0x12).Le<int32_t>(-700000).Le<uint32_t>(0); }));
  EXPECT_TRUE(fails([](BinXml& x) { x.Byte(0x13).Le<uint16_t>(0).Le<uint16_t>(1440); }));
  EXPECT_TRUE(fails([](BinXml& x) { x.Byte(0x82).Le<int64_t>(-1); }));
  EXPECT_TRUE(fails([](BinXml& x) { x.Byte(0x7E).Byte(8).Raw({0, 0, 0, 0, 0, 0, 0, 0, 0}); }, 2));
  EXPECT_TRUE(fails([](BinXml& x) { x.Byte(0x7F).Raw({0xFF, 0xFF, 0xFF}); }, 2));
  EXPECT_TRUE(fails([](BinXml& x) { x.Byte(0x7B).Byte(0).Raw({0, 0, 0, 0, 0, 0}).Le<int16_t>(841); }, 2));
  EXPECT_TRUE(fails([](BinXml& x) { x.Decimal(0x0A, 4, 5, false, {1}); }));   // scale past precision
  EXPECT_TRUE(fails([](BinXml& x) { x.Decimal(0x0A, 39, 0, false, {1}); }));  // precision past 38
  EXPECT_TRUE(fails([](BinXml& x) { x.Byte(0x10).Mb(3).Raw({1, 2, 3}); }));   // no room for a code page
}

TEST(BinaryXmlDamage, StructureErrorsGiveEmptyText) {
  EXPECT_EQ(Convert(BinXml().EndElement()), "");
  EXPECT_EQ(Convert(BinXml().Element("a")), "");
  EXPECT_EQ(Convert(BinXml().Element("a").NVarChar("t").Attribute("x").NVarChar("1").EndElement()), "");
  EXPECT_EQ(Convert(BinXml().Element("a").EndAttributes().EndAttributes().EndElement()), "");
  EXPECT_EQ(Convert(BinXml().Attribute("x").NVarChar("1")), "");
  EXPECT_EQ(Convert(BinXml().Byte(0xEB)), "");
  EXPECT_EQ(Convert(BinXml().Byte(0xEC)), "");
  EXPECT_EQ(Convert(BinXml().Element("a").Byte(0xEC).Element("b").Byte(0xEB).EndElement().EndElement()), "");
  EXPECT_EQ(Convert(BinXml().Element("a").Byte(0xFC).Text("a").EndElement()), "");
  EXPECT_EQ(Convert(BinXml().Element("a").EndElement().Byte(0xFE).Text("1.0").Byte(0)), "");
  EXPECT_EQ(Convert(BinXml().Byte(0xFE).Text("1.0").Byte(3).Element("a").EndElement()), "");
  for (uint8_t unknown : {0x00, 0x15, 0x19, 0x1A, 0x1C, 0x40, 0x79, 0x80, 0x8D, 0xED, 0xEE, 0xFF}) {
    EXPECT_EQ(Convert(BinXml().Element("a").Byte(unknown).EndElement()), "") << int{unknown};
  }
}

TEST(BinaryXmlDamage, UndefinedReferencesGiveEmptyText) {
  EXPECT_EQ(Convert(BinXml().Byte(0xF8).Mb(1).EndElement()), "");  // no qualified name 1
  EXPECT_EQ(Convert(BinXml().Byte(0xF8).Mb(0).EndElement()), "");  // 0 names none
  EXPECT_EQ(Convert(BinXml().Byte(0xEF).Mb(0).Mb(0).Mb(1)), "");   // no name 1
  EXPECT_EQ(Convert(BinXml().Byte(0xF4).Mb(3).Text("x")), "");     // instruction target
  BinXml qnameValue;
  qnameValue.Element("a").Byte(0x8C).Mb(9).EndElement();
  EXPECT_EQ(Convert(qnameValue), "");
}

TEST(BinaryXmlDamage, NamesThatWouldBreakMarkupGiveEmptyText) {
  for (const std::string& bad : std::vector<std::string>{"a b", "a>", "<a", "a\"", "a=b", "a/", std::string("a\0", 2)}) {
    BinXml x;
    x.Element(bad).EndElement();
    EXPECT_EQ(Convert(x), "") << bad;
  }
  BinXml noName;
  noName.Byte(0xEF).Mb(0).Mb(0).Mb(0).Byte(0xF8).Mb(1).EndElement();
  EXPECT_EQ(Convert(noName), "");
}

TEST(BinaryXmlDamage, NestingDepthIsCapped) {
  auto nested = [](size_t depth) {
    BinXml x;
    uint32_t q = x.QName("", "e");
    for (size_t i = 0; i < depth; ++i) x.Byte(0xF8).Mb(q);
    for (size_t i = 0; i < depth; ++i) x.EndElement();
    return x;
  };
  std::string atCap = Convert(nested(kMaxBinaryXmlDepth));
  EXPECT_FALSE(atCap.empty());
  EXPECT_TRUE(TagsBalance(atCap));
  EXPECT_EQ(Convert(nested(kMaxBinaryXmlDepth + 1)), "");
  EXPECT_EQ(Convert(nested(100000)), "");

  BinXml nests;
  for (int i = 0; i < 1000; ++i) nests.Byte(0xEC);
  EXPECT_EQ(Convert(nests), "");
}

TEST(BinaryXmlDamage, OutputIsCappedAgainstAmplification) {
  // A 30000-character name referenced 2500 times would write 75 MB.
  BinXml x;
  uint32_t q = x.QName("", std::string(30000, 'n'));
  x.Element("root");
  for (int i = 0; i < 2500; ++i) x.Byte(0xF8).Mb(q).EndElement();
  x.EndElement();
  EXPECT_LT(x.bytes().size(), 70000u);
  EXPECT_EQ(Convert(x), "");
}

TEST(BinaryXmlDamage, RandomBytesGiveEmptyOrBalancedText) {
  std::mt19937 rng(20240905);
  std::uniform_int_distribution<int> byte(0, 255);
  size_t converted = 0;
  for (int round = 0; round < 20000; ++round) {
    Bytes b;
    if (round % 2 == 0) b = {0xDF, 0xFF, static_cast<uint8_t>(1 + round % 4 / 2), 0xB0, 0x04};
    size_t n = static_cast<size_t>(rng() % 200);
    for (size_t i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(byte(rng)));
    std::string xml = Convert(b);
    if (!xml.empty()) {
      ++converted;
      EXPECT_TRUE(TagsBalance(xml)) << xml;
    }
  }
  // Flipped bytes of a real document: whatever converts stays balanced.
  const Bytes rich = RichDocument().bytes();
  for (int round = 0; round < 20000; ++round) {
    Bytes b = rich;
    for (int flips = 1 + static_cast<int>(rng() % 3); flips > 0; --flips) {
      b[5 + rng() % (b.size() - 5)] = static_cast<uint8_t>(byte(rng));
    }
    std::string xml = Convert(b);
    if (!xml.empty()) {
      ++converted;
      EXPECT_TRUE(TagsBalance(xml)) << xml;
    }
  }
  EXPECT_GT(converted, 0u);
}

// ------------------------------------------------------------- real data

// Classic data records, parsed just far enough to reach variable-length
// values: status byte 0 (0x10 = null bitmap, 0x20 = variable columns), int16
// at 2 = end of the fixed part F, int16 at F = column count C, the null
// bitmap, int16 variable column count V, V uint16 end offsets (bit 15 marks a
// complex column), the values back to back.
std::vector<ByteSpan> VariableValues(ByteSpan page, size_t recordOffset) {
  std::vector<ByteSpan> values;
  ByteSpan record = page.subspan(recordOffset);
  uint8_t status = U8At(record, 0);
  if ((status & 0x20) == 0) return values;
  int64_t fixedEnd = I16At(record, 2);
  if (fixedEnd < 4) return values;
  int64_t columns = I16At(record, fixedEnd, -1);
  if (columns < 0) return values;
  int64_t pos = fixedEnd + 2 + ((status & 0x10) ? (columns + 7) / 8 : 0);
  int64_t variableCount = I16At(record, pos, -1);
  if (variableCount < 0 || variableCount > columns) return values;
  pos += 2;
  int64_t start = pos + 2 * variableCount;
  for (int64_t i = 0; i < variableCount; ++i) {
    auto end = ReadLittleEndian<uint16_t>(record, pos + 2 * i);
    if (!end) break;
    int64_t stop = *end & 0x7FFF;
    if (stop < start) break;
    values.push_back(SubSpan(record, start, stop - start));
    start = stop;
  }
  return values;
}

TEST(BinaryXmlCorpus, CatalogDescriptionsOfAdventureWorksLtConvert) {
  std::filesystem::path dir = testing::CorpusDir();
  std::filesystem::path file = dir / "661_EugeneSu0515_t4CodeTemplate_AdventureWorksLT2008_Data.mdf";
  if (dir.empty() || !std::filesystem::exists(file)) {
    GTEST_SKIP() << "AdventureWorksLT data file of the corpus not found (set PAGEWRIGHT_CORPUS)";
  }
  std::ifstream in(file, std::ios::binary);
  Bytes data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(data.size(), 8192u);

  constexpr size_t kPageSize = 8192;
  size_t found = 0;
  bool sawMountainBike = false;
  for (size_t p = 0; p + kPageSize <= data.size(); p += kPageSize) {
    ByteSpan page(data.data() + p, kPageSize);
    if (U8At(page, 1) != 1) continue;  // data pages only
    int16_t slots = I16At(page, 22);
    for (int j = 0; j < slots; ++j) {
      uint16_t offset = U16At(page, static_cast<int64_t>(kPageSize) - 2 - 2 * j);
      if (offset < 96 || offset >= kPageSize) continue;
      for (ByteSpan value : VariableValues(page, offset)) {
        if (value.size() < 2 || value[0] != 0xDF || value[1] != 0xFF) continue;
        ++found;
        std::string xml = ConvertBinaryXml(value);
        EXPECT_FALSE(xml.empty()) << "page " << p / kPageSize << " slot " << j;
        EXPECT_TRUE(TagsBalance(xml)) << xml;
        if (xml.find("Our top-of-the-line competition mountain bike") != std::string::npos) sawMountainBike = true;
      }
    }
  }
  EXPECT_GT(found, 0u);
  EXPECT_TRUE(sawMountainBike);
  std::cout << "[ corpus   ] " << found << " binary XML values converted\n";
}

}  // namespace
}  // namespace pagewright
