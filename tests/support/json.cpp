#include "support/json.h"

#include <cstdlib>
#include <stdexcept>

#include "pagestore/text_codec.h"

namespace pagewright::testing {

namespace {
class Parser {
 public:
  explicit Parser(std::string_view t) : t_(t) {}
  JsonValue Parse() {
    JsonValue v = Value();
    Space();
    if (i_ != t_.size()) Fail("trailing characters");
    return v;
  }

 private:
  [[noreturn]] void Fail(const char* what) { throw std::runtime_error(std::string("json: ") + what); }
  void Space() {
    while (i_ < t_.size() && (t_[i_] == ' ' || t_[i_] == '\n' || t_[i_] == '\r' || t_[i_] == '\t')) ++i_;
  }
  char Peek() {
    Space();
    if (i_ >= t_.size()) Fail("unexpected end");
    return t_[i_];
  }
  void Expect(char c) {
    if (Peek() != c) Fail("unexpected character");
    ++i_;
  }
  JsonValue Value() {
    char c = Peek();
    JsonValue v;
    if (c == '{') {
      v.kind = JsonValue::Kind::kObject;
      ++i_;
      if (Peek() == '}') {
        ++i_;
        return v;
      }
      for (;;) {
        std::string key = String();
        Expect(':');
        v.object.emplace_back(std::move(key), Value());
        if (Peek() == ',') {
          ++i_;
          continue;
        }
        Expect('}');
        return v;
      }
    }
    if (c == '[') {
      v.kind = JsonValue::Kind::kArray;
      ++i_;
      if (Peek() == ']') {
        ++i_;
        return v;
      }
      for (;;) {
        v.array.push_back(Value());
        if (Peek() == ',') {
          ++i_;
          continue;
        }
        Expect(']');
        return v;
      }
    }
    if (c == '"') {
      v.kind = JsonValue::Kind::kString;
      v.string = String();
      return v;
    }
    if (t_.substr(i_, 4) == "true") {
      i_ += 4;
      v.kind = JsonValue::Kind::kBool;
      v.boolean = true;
      return v;
    }
    if (t_.substr(i_, 5) == "false") {
      i_ += 5;
      v.kind = JsonValue::Kind::kBool;
      return v;
    }
    if (t_.substr(i_, 4) == "null") {
      i_ += 4;
      return v;
    }
    size_t start = i_;
    while (i_ < t_.size() && (std::isdigit(static_cast<unsigned char>(t_[i_])) || t_[i_] == '-' || t_[i_] == '+' ||
                              t_[i_] == '.' || t_[i_] == 'e' || t_[i_] == 'E'))
      ++i_;
    if (start == i_) Fail("bad value");
    v.kind = JsonValue::Kind::kNumber;
    v.number = std::strtod(std::string(t_.substr(start, i_ - start)).c_str(), nullptr);
    return v;
  }
  uint32_t Hex4() {
    if (i_ + 4 > t_.size()) Fail("bad escape");
    uint32_t v = static_cast<uint32_t>(std::strtoul(std::string(t_.substr(i_, 4)).c_str(), nullptr, 16));
    i_ += 4;
    return v;
  }
  std::string String() {
    Expect('"');
    std::string out;
    while (i_ < t_.size() && t_[i_] != '"') {
      char c = t_[i_++];
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      if (i_ >= t_.size()) Fail("bad escape");
      char e = t_[i_++];
      switch (e) {
        case 'n': out.push_back('\n'); break;
        case 't': out.push_back('\t'); break;
        case 'r': out.push_back('\r'); break;
        case 'b': out.push_back('\b'); break;
        case 'f': out.push_back('\f'); break;
        case 'u': {
          uint32_t cp = Hex4();
          if (cp >= 0xD800 && cp <= 0xDBFF && t_.substr(i_, 2) == "\\u") {
            i_ += 2;
            uint32_t lo = Hex4();
            cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
          }
          AppendUtf8(out, cp);
          break;
        }
        default: out.push_back(e);
      }
    }
    Expect('"');
    return out;
  }
  std::string_view t_;
  size_t i_ = 0;
};
}  // namespace

const JsonValue* JsonValue::Find(std::string_view key) const {
  for (const auto& [k, v] : object)
    if (k == key) return &v;
  return nullptr;
}

const JsonValue& JsonValue::operator[](std::string_view key) const {
  static const JsonValue kNull;
  const JsonValue* v = Find(key);
  return v ? *v : kNull;
}

JsonValue ParseJson(std::string_view text) { return Parser(text).Parse(); }

}  // namespace pagewright::testing
