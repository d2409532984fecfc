#include "support/creation_script.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "pagestore/text_codec.h"

namespace pagewright::testing {

const ScriptTable* CreationScript::Table(const std::string& qualifiedName) const {
  for (const auto& t : tables)
    if (t.name == qualifiedName) return &t;
  return nullptr;
}

std::vector<const ScriptInsert*> CreationScript::InsertsInto(const std::string& qualifiedName) const {
  std::vector<const ScriptInsert*> out;
  for (const auto& i : inserts)
    if (i.table == qualifiedName) out.push_back(&i);
  return out;
}

std::string ReadScriptText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  const std::string raw = bytes.str();
  auto byte = [&](size_t i) { return i < raw.size() ? static_cast<uint8_t>(raw[i]) : 0; };
  if (byte(0) == 0xFF && byte(1) == 0xFE)
    return Utf16LeToUtf8(ByteSpan(reinterpret_cast<const uint8_t*>(raw.data()) + 2, raw.size() - 2));
  if (byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) return raw.substr(3);
  return raw;
}

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

std::string CatalogTypeText(const std::string& typeName, const std::vector<std::string>& arguments) {
  static const std::map<std::string, int> kFixed = {
      {"bigint", 8},   {"int", 4},           {"smallint", 2},  {"tinyint", 1},       {"bit", 1},
      {"money", 8},    {"smallmoney", 4},    {"datetime", 8},  {"smalldatetime", 4}, {"real", 4},
      {"float", 8},    {"uniqueidentifier", 16}, {"text", 16}, {"ntext", 16},        {"image", 16},
      {"timestamp", 8}, {"date", 3},         {"xml", -1},      {"sql_variant", 8016}};
  const std::string type = Lower(typeName);
  const std::string first = arguments.empty() ? "" : Lower(arguments[0]);
  int length = 0;
  if (type == "float" && !first.empty() && std::atoi(first.c_str()) <= 24) return "real(4)";
  if (type == "decimal" || type == "numeric") {
    const int precision = first.empty() ? 18 : std::atoi(first.c_str());
    length = precision <= 9 ? 5 : precision <= 19 ? 9 : precision <= 28 ? 13 : 17;
  } else if (auto it = kFixed.find(type); it != kFixed.end()) {
    length = it->second;
  } else {
    const bool wide = type == "nchar" || type == "nvarchar";
    const int declared = first.empty() ? 1 : first == "max" ? -1 : std::atoi(first.c_str());
    length = declared < 0 ? -1 : wide ? 2 * declared : declared;
  }
  return type + "(" + std::to_string(length) + ")";
}

namespace {

struct Token {
  enum Kind { kWord, kName, kString, kNumber, kBinary, kSymbol, kBatchEnd } kind;
  std::string text;  // words as written; names and strings unquoted
  size_t begin = 0, end = 0;
};

bool IsWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '@' || c == '#' || c == '$' ||
         static_cast<unsigned char>(c) >= 0x80;
}

// Whether only blanks lie between `from` and the line end (or start).
bool BlankTo(const std::string& s, size_t from, int step) {
  for (size_t i = from; i < s.size(); i += static_cast<size_t>(step)) {
    if (s[i] == '\n') return true;
    if (s[i] != ' ' && s[i] != '\t' && s[i] != '\r') return false;
    if (step < 0 && i == 0) return true;
  }
  return true;
}

// Splits the text into tokens, dropping comments; a line holding only GO
// ends a batch (and so does the end of the text).
std::vector<Token> Tokenize(const std::string& s) {
  std::vector<Token> out;
  size_t i = 0;
  auto quoted = [&](char close, Token::Kind kind, size_t begin, size_t from) {
    std::string text;
    size_t p = from;
    for (; p < s.size(); ++p) {
      if (s[p] == close && p + 1 < s.size() && s[p + 1] == close) {
        text += close;
        ++p;
      } else if (s[p] == close) {
        break;
      } else {
        text += s[p];
      }
    }
    i = std::min(p + 1, s.size());
    out.push_back({kind, text, begin, i});
  };
  while (i < s.size()) {
    const char c = s[i];
    const char next = i + 1 < s.size() ? s[i + 1] : '\0';
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (c == '-' && next == '-') {
      while (i < s.size() && s[i] != '\n') ++i;
    } else if (c == '/' && next == '*') {
      int depth = 0;
      do {
        if (s.compare(i, 2, "/*") == 0) ++depth, i += 2;
        else if (s.compare(i, 2, "*/") == 0) --depth, i += 2;
        else ++i;
      } while (depth > 0 && i < s.size());
    } else if (c == '\'' || ((c == 'N' || c == 'n') && next == '\'')) {
      quoted('\'', Token::kString, i, i + (c == '\'' ? 1 : 2));
    } else if (c == '[') {
      quoted(']', Token::kName, i, i + 1);
    } else if (c == '"') {
      quoted('"', Token::kName, i, i + 1);
    } else if (std::isdigit(static_cast<unsigned char>(c)) || (c == '.' && std::isdigit(static_cast<unsigned char>(next)))) {
      // A number, or binary 0x...: digits, letters and dots (no signed exponents).
      size_t e = i;
      while (e < s.size() && (std::isalnum(static_cast<unsigned char>(s[e])) || s[e] == '.')) ++e;
      const bool binary = c == '0' && (next == 'x' || next == 'X');
      out.push_back({binary ? Token::kBinary : Token::kNumber, s.substr(i, e - i), i, e});
      i = e;
    } else if (IsWordChar(c)) {
      size_t e = i;
      while (e < s.size() && IsWordChar(s[e])) ++e;
      std::string word = s.substr(i, e - i);
      const bool separator = Lower(word) == "go" && (i == 0 || BlankTo(s, i - 1, -1)) && BlankTo(s, e, 1);
      out.push_back({separator ? Token::kBatchEnd : Token::kWord, word, i, e});
      i = e;
    } else {
      out.push_back({Token::kSymbol, std::string(1, c), i, i + 1});
      ++i;
    }
  }
  out.push_back({Token::kBatchEnd, "", s.size(), s.size()});
  return out;
}

class Parser {
 public:
  Parser(const std::string& text, CreationScript& script) : s_(text), t_(Tokenize(text)), script_(script) {}

  void Run() {
    while (p_ < t_.size()) {
      if (At(Token::kBatchEnd)) {
        batchStart_ = std::min(s_.find('\n', Peek().end), s_.size() - 1) + 1;  // the line after GO
        ++p_;
      } else if (IsWord("CREATE") || IsWord("ALTER")) {
        Definition();
      } else if (IsWord("INSERT")) {
        Insert();
      } else if (At(Token::kString)) {
        // Dynamic SQL: EXEC('CREATE VIEW ...'), or a variable set to such
        // a text and run with sp_executesql.
        Parser nested(Peek().text, script_);
        if (nested.StartsDefinition()) nested.Run();
        ++p_;
      } else {
        ++p_;
      }
    }
  }

 private:
  static constexpr const char* kKinds[][2] = {
      {"VIEW", "V "}, {"PROCEDURE", "P "}, {"PROC", "P "}, {"TRIGGER", "TR"}, {"FUNCTION", "FN"}};

  bool StartsDefinition() const {
    if (!IsWord("CREATE") && !IsWord("ALTER")) return false;
    for (const auto& kind : kKinds)
      if (IsWord(kind[0], 1)) return true;
    return IsWord("TABLE", 1);
  }

  const Token& Peek(size_t ahead = 0) const { return t_[std::min(p_ + ahead, t_.size() - 1)]; }
  bool At(Token::Kind k) const { return Peek().kind == k; }
  bool IsWord(const char* w, size_t ahead = 0) const {
    return Peek(ahead).kind == Token::kWord && Lower(Peek(ahead).text) == Lower(w);
  }
  bool Accept(const char* w) {
    if (!IsWord(w) && !(Peek().kind == Token::kSymbol && Peek().text == w)) return false;
    ++p_;
    return true;
  }
  bool IsSymbol(const char* sym) const { return Peek().kind == Token::kSymbol && Peek().text == sym; }
  bool AtElementEnd() const { return At(Token::kBatchEnd) || IsSymbol(",") || IsSymbol(")"); }
  bool IsIdentifier() const { return At(Token::kWord) || At(Token::kName); }

  // "a", "s.a" or "d.s.a", as "s.a" with dbo for a missing schema.
  std::string QualifiedName() {
    std::vector<std::string> parts;
    while (IsIdentifier()) {
      parts.push_back(Peek().text);
      ++p_;
      if (!IsSymbol(".")) break;
      ++p_;
    }
    if (parts.empty()) return {};
    const std::string schema = parts.size() >= 2 ? parts[parts.size() - 2] : "dbo";
    return schema + "." + parts.back();
  }

  // A parenthesised list of names (ASC/DESC dropped).
  std::vector<std::string> NameList() {
    std::vector<std::string> names;
    if (!Accept("(")) return names;
    while (!At(Token::kBatchEnd) && !Accept(")")) {
      if (IsIdentifier() && !IsWord("ASC") && !IsWord("DESC")) names.push_back(Peek().text);
      ++p_;
    }
    return names;
  }

  // Steps over one token, or a whole parenthesised group.
  void SkipBalanced() {
    int depth = 0;
    do {
      if (IsSymbol("(")) ++depth;
      if (IsSymbol(")")) --depth;
      ++p_;
    } while (depth > 0 && !At(Token::kBatchEnd));
  }

  // The whole batch (from the line after the previous GO) up to the start
  // of the line that ends it; steps to its end.
  std::string Batch() {
    const size_t from = std::min(batchStart_, Peek().begin);
    while (!At(Token::kBatchEnd)) ++p_;
    size_t to = Peek().begin;
    if (to < s_.size()) {
      while (to > from && s_[to - 1] != '\n') --to;
    }
    return s_.substr(from, to - from);
  }

  void Definition() {
    if (IsWord("TABLE", 1)) {
      const bool create = IsWord("CREATE");
      p_ += 2;
      create ? CreateTable() : AlterTable();
      return;
    }
    for (const auto& kind : kKinds) {
      if (!IsWord(kind[0], 1)) continue;
      const size_t start = p_;
      p_ += 2;
      ScriptModule m{QualifiedName(), kind[1], ""};
      if (m.typeCode == "FN") {
        while (!At(Token::kBatchEnd) && !IsWord("RETURNS")) ++p_;
        if (IsWord("TABLE", 1)) m.typeCode = "IF";
        else if (Peek(1).text.rfind('@', 0) == 0) m.typeCode = "TF";
      }
      p_ = start;
      m.definition = Batch();
      auto same = [&](const ScriptModule& o) { return o.name == m.name; };
      script_.modules.erase(std::remove_if(script_.modules.begin(), script_.modules.end(), same), script_.modules.end());
      script_.modules.push_back(std::move(m));
      return;
    }
    ++p_;
  }

  // One table constraint, or a column's PRIMARY KEY / REFERENCES, after an
  // optional CONSTRAINT name. Returns false when none starts here.
  bool Constraint(ScriptTable& table, const std::string& column) {
    std::string name;
    const size_t start = p_;
    if (Accept("CONSTRAINT")) {
      name = Peek().text;
      ++p_;
    }
    if (Accept("PRIMARY")) {
      Accept("KEY");
      if (!Accept("CLUSTERED")) Accept("NONCLUSTERED");
      table.primaryKeyName = name;
      table.primaryKey = IsSymbol("(") ? NameList() : std::vector<std::string>{column};
      return true;
    }
    if (IsWord("FOREIGN") || IsWord("REFERENCES")) {
      ScriptForeignKey fk{name, {column}, "", {}};
      if (Accept("FOREIGN")) {
        Accept("KEY");
        if (IsSymbol("(")) fk.columns = NameList();
      }
      Accept("REFERENCES");
      fk.referencedTable = QualifiedName();
      fk.referencedColumns = NameList();
      table.foreignKeys.push_back(std::move(fk));
      return true;
    }
    if (Accept("UNIQUE") || Accept("CHECK") || Accept("DEFAULT")) {
      // The expression of a DEFAULT or CHECK: a group or a single value.
      if (IsSymbol("-")) ++p_;
      if (!AtElementEnd()) SkipBalanced();
      return true;
    }
    p_ = start;
    return false;
  }

  // The texts between the commas of a parenthesised list: "(10, 2)" gives
  // "10" and "2", "(-1, 1)" gives "-1" and "1".
  std::vector<std::string> Arguments() {
    std::vector<std::string> out;
    if (!Accept("(")) return out;
    for (out.emplace_back(); !At(Token::kBatchEnd) && !Accept(")");) {
      if (Accept(",")) out.emplace_back();
      else out.back() += t_[p_++].text;
    }
    return out;
  }

  void Column(ScriptTable& table) {
    ScriptColumn col;
    col.name = t_[p_++].text;
    const std::string type = t_[p_++].text;
    col.typeText = CatalogTypeText(type, Arguments());
    col.typeName = col.typeText.substr(0, col.typeText.find('('));
    while (!AtElementEnd()) {
      if (Accept("IDENTITY")) {
        const auto seed = Arguments();
        col.identity = seed.size() == 2 ? "identity(" + seed[0] + "," + seed[1] + ")" : "identity(1,1)";
        col.nullable = false;  // identity columns never hold NULL
      } else if (Accept("NOT")) {
        Accept("NULL");
        col.nullable = false;
      } else if (Accept("NULL")) {
        col.nullable = col.identity.empty();
      } else if (!Constraint(table, col.name)) {
        SkipBalanced();
      }
    }
    table.columns.push_back(std::move(col));
  }

  void CreateTable() {
    ScriptTable table;
    table.name = QualifiedName();
    if (!Accept("(")) return;
    while (!At(Token::kBatchEnd) && !Accept(")")) {
      if (Accept(",")) continue;
      if (!Constraint(table, "")) Column(table);
      while (!AtElementEnd()) SkipBalanced();
    }
    if (table.name.find('#') != std::string::npos) return;  // a temporary table
    Finish(table);
    script_.tables.push_back(std::move(table));
  }

  // ALTER TABLE t [WITH CHECK|NOCHECK] ADD constraint[, constraint...]
  void AlterTable() {
    const std::string name = QualifiedName();
    if (Accept("WITH")) ++p_;
    if (!Accept("ADD")) return;
    for (auto& table : script_.tables) {
      if (table.name != name) continue;
      do {
        if (!Constraint(table, "")) return;
      } while (Accept(","));
      Finish(table);
    }
  }

  // Key columns cannot hold NULL.
  static void Finish(ScriptTable& table) {
    for (auto& c : table.columns)
      if (std::find(table.primaryKey.begin(), table.primaryKey.end(), c.name) != table.primaryKey.end()) c.nullable = false;
  }

  ScriptLiteral Value() {
    const size_t start = p_;
    if (At(Token::kString) && (Peek(1).text == "," || Peek(1).text == ")")) {
      return {LiteralKind::kString, t_[p_++].text};
    }
    if (IsWord("NULL") && (Peek(1).text == "," || Peek(1).text == ")")) {
      ++p_;
      return {LiteralKind::kNull, "NULL"};
    }
    while (!AtElementEnd()) SkipBalanced();
    const std::string text = s_.substr(t_[start].begin, Peek().begin - t_[start].begin);
    std::string trimmed = text.substr(0, text.find_last_not_of(" \t\r\n") + 1);
    const Token::Kind first = t_[start].kind;
    const bool signedNumber = (t_[start].text == "-" || t_[start].text == "+") && p_ == start + 2 &&
                              t_[start + 1].kind == Token::kNumber;
    if ((first == Token::kNumber && p_ == start + 1) || signedNumber) return {LiteralKind::kNumber, trimmed};
    if (first == Token::kBinary && p_ == start + 1) return {LiteralKind::kBinary, trimmed};
    return {LiteralKind::kExpression, trimmed};
  }

  // INSERT [INTO] t [(columns)] VALUES (values)[, (values)...]
  void Insert() {
    ++p_;
    Accept("INTO");
    const std::string table = QualifiedName();
    std::vector<std::string> columns = IsSymbol("(") ? NameList() : std::vector<std::string>{};
    if (!Accept("VALUES")) return;
    do {
      if (!Accept("(")) return;
      ScriptInsert row{table, columns, {}};
      while (!At(Token::kBatchEnd) && !Accept(")")) {
        row.values.push_back(Value());
        Accept(",");
      }
      script_.inserts.push_back(std::move(row));
    } while (Accept(","));
  }

  const std::string& s_;
  std::vector<Token> t_;
  size_t p_ = 0;
  size_t batchStart_ = 0;
  CreationScript& script_;
};

}  // namespace

CreationScript ParseCreationScript(const std::string& text) {
  CreationScript script;
  Parser(text, script).Run();
  return script;
}

}  // namespace pagewright::testing
