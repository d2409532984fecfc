#include "records/binary_xml.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "records/binary_xml_stream.h"
#include "records/binary_xml_values.h"

namespace pagewright {

namespace {

using namespace binxml;

void AppendCharReference(std::string& out, unsigned char c) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  out += "&#x";
  if (c >= 16) out.push_back(kDigits[c >> 4]);
  out.push_back(kDigits[c & 15]);
  out.push_back(';');
}

void AppendEscapedText(std::string& out, std::string_view text) {
  for (char ch : text) {
    auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '\t':
      case '\n': out.push_back(ch); break;
      default:
        if (c < 0x20) AppendCharReference(out, c);
        else out.push_back(ch);
    }
  }
}

void AppendEscapedAttribute(std::string& out, std::string_view text) {
  for (char ch : text) {
    auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default:
        if (c < 0x20) AppendCharReference(out, c);
        else out.push_back(ch);
    }
  }
}

// True when `name` can stand in markup without changing its structure. The
// stream is not trusted to hold valid XML names; this refuses what would
// close a tag, start an attribute or hide in white space.
bool IsMarkupSafeName(std::string_view name) {
  if (name.empty()) return false;
  for (char ch : name) {
    auto c = static_cast<unsigned char>(ch);
    if (c <= 0x20 || c == 0x7F) return false;
    switch (c) {
      case '<': case '>': case '&': case '"': case '\'': case '=': case '/': case '?': case '!':
        return false;
      default:
        break;
    }
  }
  return true;
}

struct QualifiedName {
  uint32_t namespaceUri;
  uint32_t prefix;
  uint32_t local;
};

// The names a stream (or an embedded stream) has defined so far. Name 0 is
// the empty string; defined names count from 1.
struct NameTables {
  std::vector<std::string> names;
  std::vector<QualifiedName> qualifiedNames;
};

class Converter {
 public:
  explicit Converter(ByteSpan bytes) : reader_(bytes) {}

  std::optional<std::string> Run() {
    if (!reader_.ReadHeader()) return std::nullopt;
    scopes_.emplace_back();
    while (!reader_.AtEnd()) {
      auto token = reader_.ReadByte();
      if (!token || !Step(*token)) return std::nullopt;
      if (out_.size() > kMaxBinaryXmlTextBytes) return std::nullopt;
    }
    if (!open_.empty() || scopes_.size() != 1) return std::nullopt;
    return std::move(out_);
  }

 private:
  struct OpenElement {
    size_t nameOffset;  // where the start tag's name stands in out_
    size_t nameLength;
  };

  NameTables& tables() { return scopes_.back(); }

  std::optional<std::string_view> Name(uint32_t index) {
    if (index == 0) return std::string_view();
    if (index > tables().names.size()) return std::nullopt;
    return std::string_view(tables().names[index - 1]);
  }

  // "prefix:local", "local", or the prefix alone when the local name is empty
  // (SQL Server stores a namespace declaration as the name "xmlns:p" in the
  // prefix place).
  std::optional<std::string> QualifiedNameText(uint32_t index) {
    if (index == 0 || index > tables().qualifiedNames.size()) return std::nullopt;
    const QualifiedName& q = tables().qualifiedNames[index - 1];
    auto prefix = Name(q.prefix);
    auto local = Name(q.local);
    if (!prefix || !local) return std::nullopt;
    std::string text(*prefix);
    if (!prefix->empty() && !local->empty()) text.push_back(':');
    text += *local;
    if (!IsMarkupSafeName(text)) return std::nullopt;
    return text;
  }

  bool ReadMetadata(uint8_t token) {
    switch (token) {
      case kNameDef: {
        auto text = reader_.ReadText();
        if (!text || tables().names.size() >= kMaxBinaryXmlNames) return false;
        tables().names.push_back(std::move(*text));
        return true;
      }
      case kQNameDef: {
        auto ns = reader_.ReadMb32();
        auto prefix = reader_.ReadMb32();
        auto local = reader_.ReadMb32();
        if (!ns || !prefix || !local) return false;
        size_t defined = tables().names.size();
        if (*ns > defined || *prefix > defined || *local > defined) return false;
        if (tables().qualifiedNames.size() >= kMaxBinaryXmlNames) return false;
        tables().qualifiedNames.push_back({*ns, *prefix, *local});
        return true;
      }
      case kFlush:
        tables().names.clear();
        tables().qualifiedNames.clear();
        return true;
      case kExtension: {
        auto length = reader_.ReadMb32();
        return length && reader_.Skip(*length);
      }
      default:
        return false;
    }
  }

  // Ends a start tag that is still open because content follows.
  void CloseStartTag() {
    if (!startTagOpen_) return;
    out_.push_back('>');
    startTagOpen_ = false;
  }

  bool ReadValueText(uint8_t token, std::string& text) {
    return AppendAtomicValue(token, reader_, [this](uint32_t i) { return QualifiedNameText(i); }, text);
  }

  bool StartElement() {
    auto index = reader_.ReadMb32();
    if (!index || open_.size() >= kMaxBinaryXmlDepth) return false;
    auto name = QualifiedNameText(*index);
    if (!name) return false;
    CloseStartTag();
    out_.push_back('<');
    open_.push_back({out_.size(), name->size()});
    out_ += *name;
    startTagOpen_ = true;
    attributesEnded_ = false;
    return true;
  }

  bool EndElement() {
    if (open_.size() <= nestBase()) return false;
    OpenElement e = open_.back();
    open_.pop_back();
    if (startTagOpen_) {
      out_ += "/>";
      startTagOpen_ = false;
    } else {
      std::string name = out_.substr(e.nameOffset, e.nameLength);
      out_ += "</";
      out_ += name;
      out_.push_back('>');
    }
    return true;
  }

  // ATTRIBUTE qname, then its value: every atomic value up to the next
  // structure token, metadata allowed in between.
  bool Attribute() {
    if (!startTagOpen_ || attributesEnded_) return false;
    auto index = reader_.ReadMb32();
    if (!index) return false;
    auto name = QualifiedNameText(*index);
    if (!name) return false;
    out_.push_back(' ');
    out_ += *name;
    out_ += "=\"";
    bool lastWasListItem = false;
    while (auto next = reader_.PeekByte()) {
      if (IsMetadataToken(*next)) {
        reader_.ReadByte();
        if (!ReadMetadata(*next)) return false;
        continue;
      }
      if (!IsAtomicValueToken(*next)) break;
      reader_.ReadByte();
      std::string text;
      if (!ReadValueText(*next, text)) return false;
      bool listItem = !IsTextValueToken(*next);
      if (listItem && lastWasListItem) out_.push_back(' ');
      lastWasListItem = listItem;
      AppendEscapedAttribute(out_, text);
      if (out_.size() > kMaxBinaryXmlTextBytes) return false;
    }
    out_.push_back('"');
    return true;
  }

  bool ContentValue(uint8_t token) {
    std::string text;
    if (!ReadValueText(token, text)) return false;
    CloseStartTag();
    bool listItem = !IsTextValueToken(token);
    if (listItem && lastWasListItem_) out_.push_back(' ');
    AppendEscapedText(out_, text);
    lastWasListItem_ = listItem;
    return true;
  }

  bool ProcessingInstruction() {
    auto index = reader_.ReadMb32();
    if (!index) return false;
    auto target = Name(*index);
    auto text = reader_.ReadText();
    if (!target || !text || !IsMarkupSafeName(*target)) return false;
    CloseStartTag();
    out_ += "<?";
    out_ += *target;
    if (!text->empty()) {
      out_.push_back(' ');
      // "?>" would end the instruction early; stored XML cannot hold it.
      char previous = 0;
      for (char c : *text) {
        if (c == '>' && previous == '?') out_.push_back(' ');
        out_.push_back(c);
        previous = c;
      }
    }
    out_ += "?>";
    return true;
  }

  // A comment may not hold "--" nor end with "-"; SQL Server never stores
  // one that does, so such text is damage and gets a space between the dashes.
  bool Comment() {
    auto text = reader_.ReadText();
    if (!text) return false;
    CloseStartTag();
    out_ += "<!--";
    char previous = 0;
    for (char c : *text) {
      if (c == '-' && previous == '-') out_.push_back(' ');
      out_.push_back(c);
      previous = c;
    }
    if (previous == '-') out_.push_back(' ');
    out_ += "-->";
    return true;
  }

  bool CData() {
    auto text = reader_.ReadText();
    if (!text) return false;
    CloseStartTag();
    out_ += "<![CDATA[";
    std::string_view rest = *text;
    for (size_t cut; (cut = rest.find("]]>")) != std::string_view::npos;) {
      out_ += rest.substr(0, cut + 2);  // "...]]" ends this section
      out_ += "]]><![CDATA[";
      rest.remove_prefix(cut + 2);  // the next one starts with ">"
    }
    out_ += rest;
    out_ += "]]>";
    return true;
  }

  // XMLDECL version [ENCODING name] standalone, only before anything else.
  bool XmlDeclaration() {
    if (!out_.empty() || scopes_.size() != 1) return false;
    auto version = reader_.ReadText();
    if (!version) return false;
    std::optional<std::string> encoding;
    if (reader_.PeekByte() == kEncoding) {
      reader_.ReadByte();
      encoding = reader_.ReadText();
      if (!encoding) return false;
    }
    auto standalone = reader_.ReadByte();
    if (!standalone || *standalone > 2) return false;
    out_ += "<?xml version=\"";
    AppendEscapedAttribute(out_, *version);
    out_.push_back('"');
    if (encoding) {
      out_ += " encoding=\"";
      AppendEscapedAttribute(out_, *encoding);
      out_.push_back('"');
    }
    if (*standalone != 0) out_ += *standalone == 1 ? " standalone=\"yes\"" : " standalone=\"no\"";
    out_ += "?>";
    return true;
  }

  static bool AppendLiteral(std::string& out, std::string_view text) {
    char quote = text.find('"') == std::string_view::npos ? '"' : '\'';
    if (quote == '\'' && text.find('\'') != std::string_view::npos) return false;
    out.push_back(' ');
    out.push_back(quote);
    out += text;
    out.push_back(quote);
    return true;
  }

  // DOCTYPEDECL name, then SYSTEM, PUBLIC and SUBSET, each at most once.
  bool DocumentType() {
    if (open_.size() != nestBase() || startTagOpen_) return false;
    auto name = reader_.ReadText();
    if (!name || !IsMarkupSafeName(*name)) return false;
    std::optional<std::string> system, publicId, subset;
    while (auto next = reader_.PeekByte()) {
      std::optional<std::string>* field = *next == kSystem ? &system
                                          : *next == kPublic ? &publicId
                                          : *next == kSubset ? &subset
                                                             : nullptr;
      if (!field) break;
      if (field->has_value()) return false;
      reader_.ReadByte();
      *field = reader_.ReadText();
      if (!field->has_value()) return false;
    }
    out_ += "<!DOCTYPE ";
    out_ += *name;
    if (publicId) {
      out_ += " PUBLIC";
      if (!AppendLiteral(out_, *publicId)) return false;
      if (system && !AppendLiteral(out_, *system)) return false;
    } else if (system) {
      out_ += " SYSTEM";
      if (!AppendLiteral(out_, *system)) return false;
    }
    if (subset) {
      out_ += " [";
      out_ += *subset;
      out_.push_back(']');
    }
    out_.push_back('>');
    return true;
  }

  // NEST starts an embedded value with name tables of its own (and possibly
  // its own header); ENDNEST returns to the enclosing tables. Elements opened
  // inside must close inside.
  bool Nest() {
    if (scopes_.size() > kMaxBinaryXmlNesting) return false;
    if (reader_.AtSignature() && !reader_.ReadHeader()) return false;
    scopes_.emplace_back();
    nestBases_.push_back(open_.size());
    return true;
  }

  bool EndNest() {
    if (scopes_.size() <= 1 || open_.size() != nestBase()) return false;
    scopes_.pop_back();
    nestBases_.pop_back();
    return true;
  }

  size_t nestBase() const { return nestBases_.empty() ? 0 : nestBases_.back(); }

  bool Step(uint8_t token) {
    if (IsMetadataToken(token)) return ReadMetadata(token);
    if (IsAtomicValueToken(token)) return ContentValue(token);
    lastWasListItem_ = false;
    switch (token) {
      case kElement: return StartElement();
      case kAttribute: return Attribute();
      case kEndAttributes:
        if (!startTagOpen_ || attributesEnded_) return false;
        attributesEnded_ = true;
        return true;
      case kEndElement: return EndElement();
      case kPi: return ProcessingInstruction();
      case kComment: return Comment();
      case kCData: return CData();
      case kCDataEnd: return true;  // closes a run of CDATA sections; nothing to write
      case kXmlDecl: return XmlDeclaration();
      case kDocTypeDecl: return DocumentType();
      case kNest: return Nest();
      case kEndNest: return EndNest();
      default: return false;
    }
  }

  StreamReader reader_;
  std::vector<NameTables> scopes_;
  std::vector<OpenElement> open_;
  std::vector<size_t> nestBases_;
  bool startTagOpen_ = false;
  bool attributesEnded_ = false;
  bool lastWasListItem_ = false;
  std::string out_;
};

}  // namespace

std::string ConvertBinaryXml(ByteSpan bytes) {
  Converter converter(bytes);
  auto text = converter.Run();
  return text ? std::move(*text) : std::string();
}

}  // namespace pagewright
