// Large values of the real files, read in full (not as placeholders) and
// compared with the values their creation scripts inserted where a script
// exists: ntext notes, image photos and pictures of Northwind, values over
// 8000 bytes, off-row nvarchar(max), text and varbinary(max).
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "catalog/object_details.h"
#include "pagestore/collation_table.h"
#include "pagestore/text_codec.h"
#include "support/corpus.h"
#include "support/read_fixture.h"
#include "tabledata/record_paging.h"

namespace pagewright {
namespace {

// ---------------------------------------------------------------------------
// The INSERT statements of a creation script.

using ScriptRow = std::map<std::string, std::string>;  // column -> value text

// One literal from `p` on, which is left after it: a string without its
// quotes, a binary literal as "0x" and upper-case hex, anything else
// (numbers, NULL, CAST(...)) as written.
std::string Literal(const std::string& s, size_t& p) {
  while (p < s.size() && std::isspace(static_cast<unsigned char>(s[p]))) ++p;
  if (s.compare(p, 2, "N'") == 0) ++p;
  std::string out;
  if (p < s.size() && s[p] == '\'') {
    for (++p; p < s.size(); ++p) {
      if (s[p] == '\'' && (p + 1 >= s.size() || s[p + 1] != '\'')) break;
      if (s[p] == '\'') ++p;  // a doubled quote stands for one
      out += s[p];
    }
    ++p;
    return out;
  }
  int depth = 0;
  for (; p < s.size() && !((s[p] == ',' || s[p] == ')') && depth == 0); ++p) {
    depth += s[p] == '(' ? 1 : s[p] == ')' ? -1 : 0;
    out += s[p];
  }
  if (out.rfind("0x", 0) == 0) {
    for (size_t i = 2; i < out.size(); ++i) out[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(out[i])));
  }
  return out;
}

// The rows the INSERT statements of a creation script put into `table`
// (written "Table"(...) or [dbo].[Table] (...)).
std::vector<ScriptRow> ScriptInserts(const std::string& s, const std::string& table) {
  std::vector<ScriptRow> rows;
  const std::string forms[] = {"INSERT \"" + table + "\"(", "INSERT [dbo].[" + table + "] ("};
  for (const std::string& form : forms) {
    for (size_t at = s.find(form); at != std::string::npos; at = s.find(form, at + 1)) {
      size_t p = at + form.size();
      const size_t close = s.find(')', p);
      std::vector<std::string> columns;
      for (size_t q = s.find_first_of("\"[", p); q < close; q = s.find_first_of("\"[", q)) {
        const size_t e = s.find_first_of("\"]", q + 1);
        columns.push_back(s.substr(q + 1, e - q - 1));
        q = e + 1;
      }
      p = s.find('(', s.find("VALUES", close)) + 1;
      ScriptRow row;
      for (const std::string& column : columns) {
        row[column] = Literal(s, p);
        p = s.find_first_of(",)", p) + 1;
      }
      rows.push_back(std::move(row));
    }
  }
  return rows;
}

// A creation script beside the corpus files (UTF-16 with a byte-order mark,
// or 8-bit).
std::string ReadScript(const std::string& name) {
  std::ifstream in(testing::CorpusDir() / name, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  const std::string raw = bytes.str();
  if (raw.size() >= 2 && static_cast<uint8_t>(raw[0]) == 0xFF && static_cast<uint8_t>(raw[1]) == 0xFE) {
    return Utf16LeToUtf8(ByteSpan(reinterpret_cast<const uint8_t*>(raw.data()) + 2, raw.size() - 2));
  }
  return raw;
}

// ---------------------------------------------------------------------------
// The rows of a table, every large value read.

struct OpenFile {
  AppState state;
  std::unique_ptr<DatabaseReader> reader;
  std::unique_ptr<DatabaseCatalog> catalog;

  explicit OpenFile(const std::string& file) {
    state.collations = LoadCollationTable(testing::BinaryDir());
    const std::string path = (testing::CorpusDir() / file).string();
    reader = OpenForTest(state, path, path, nullptr);
    catalog = BuildCatalog(state, *reader);
    state.pageSource = 2;  // table pages from the damaged file, as after a scan
  }

  // Every row as column name -> value text, read without placeholders.
  std::vector<ScriptRow> Rows(const std::string& table) {
    auto columns = SelectDetails(*catalog, table, "U ", {});
    RecordPaging paging = PagingFor(state, *reader, *catalog);
    paging.ShowTable(columns, false, {});  // finds the table's pages
    RowDecodeContext context{columns};
    const DecodeMode mode{!state.legacyCatalogMode && !Selected(*catalog).tableRowsetColumns.empty(), false};
    std::vector<ScriptRow> out;
    for (PageId page : paging.pageList()) {
      for (const DecodedRow& row : ReadPageRows(*reader, RowsCtx(state), page, context, mode)) {
        ScriptRow named;
        for (size_t i = 0; i < row.size() && i < columns.size(); ++i) named[columns[i].name] = row[i];
        out.push_back(std::move(named));
      }
    }
    return out;
  }
};

bool HasCorpusFile(const std::string& file) { return std::filesystem::exists(testing::CorpusDir() / file); }

// Number of UTF-16 code units of a UTF-8 text.
size_t Utf16Length(const std::string& text) { return Utf8ToUtf16(text).size(); }

// ---------------------------------------------------------------------------

struct NorthwindCase {
  const char* file;
  const char* script;
};

// Every script row of `table` must come back with the same value in each
// of `columns`, found by the key column.
void ExpectScriptValues(OpenFile& db, const std::vector<ScriptRow>& script, const std::string& table,
                        const std::string& key, const std::vector<std::string>& columns) {
  std::map<std::string, ScriptRow> rows;
  for (auto& r : db.Rows(table)) rows[r[key]] = r;
  ASSERT_FALSE(script.empty()) << table << ": no INSERT statements found";
  for (const ScriptRow& expected : script) {
    SCOPED_TRACE(table + " " + key + " " + expected.at(key));
    auto found = rows.find(expected.at(key));
    ASSERT_NE(found, rows.end());
    for (const std::string& column : columns) {
      const std::string& want = expected.at(column);
      const std::string& got = found->second[column];
      EXPECT_EQ(got.size(), want.size()) << column;
      EXPECT_TRUE(got == want) << column << " differs from the script's value";
    }
  }
}

class NorthwindLargeValues : public ::testing::TestWithParam<NorthwindCase> {};

TEST_P(NorthwindLargeValues, NotesPhotosAndPicturesAreTheScriptsValues) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  const NorthwindCase c = GetParam();
  if (!HasCorpusFile(c.file) || !HasCorpusFile(c.script)) GTEST_SKIP() << c.file << " or " << c.script << " missing";
  const std::string script = ReadScript(c.script);
  OpenFile db(c.file);
  ExpectScriptValues(db, ScriptInserts(script, "Employees"), "dbo.Employees", "EmployeeID", {"Notes", "Photo"});
  ExpectScriptValues(db, ScriptInserts(script, "Categories"), "dbo.Categories", "CategoryID", {"Description", "Picture"});
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, NorthwindLargeValues,
    ::testing::Values(NorthwindCase{"539_Rishab061_NORTHWND.MDF", "539_Rishab061_NORTHWND.sql"},
                      NorthwindCase{"611_rentHouse_NORTHWND.mdf", "539_Rishab061_NORTHWND.sql"},
                      NorthwindCase{"655_sampledbs_northwnd.mdf", "655_sampledbs_northwnd.sql"},
                      NorthwindCase{"655_SessionShoppingCart_NORTHWND.mdf", "539_Rishab061_NORTHWND.sql"},
                      NorthwindCase{"661_BI_NORTHWND.mdf", "539_Rishab061_NORTHWND.sql"}),
    [](const auto& p) {
      std::string name = std::string(p.param.file).substr(0, std::string(p.param.file).find('.'));
      for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return name;
    });

// The one value of Oxite stored off-row: an nvarchar(max) page body whose
// in-row root names two fragments, 8040 and 1774 bytes (9814 bytes, 4907
// UTF-16 code units).
TEST(CorpusLargeValues, OxiteOffRowNvarcharMaxComesOutWhole) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  const std::string file = "611_ljvblfz_MicrosoftOxite_Oxite.Database.mdf";
  if (!HasCorpusFile(file)) GTEST_SKIP() << file << " missing";
  OpenFile db(file);
  auto rows = db.Rows("dbo.oxite_CMS_ContentItem");
  ASSERT_EQ(rows.size(), 1u);
  const std::string& body = rows[0]["Body"];
  EXPECT_EQ(Utf16Length(body), 4907u);
  EXPECT_EQ(body.rfind("<p>Welcome to the Oxite Sample!", 0), 0u);
  EXPECT_EQ(body.substr(body.size() - 4), "</p>");
  EXPECT_EQ(body.find("\xEF\xBF\xBD"), std::string::npos) << "no replacement characters";
}

// The first grid page after a tree click shows placeholders for the same
// values; the full read above is what later grid pages show.
TEST(CorpusLargeValues, FirstGridPageShowsPlaceholdersForRealValues) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  struct Case {
    std::string file, table, column, placeholder;
  };
  const std::vector<Case> cases = {
      {"611_ljvblfz_MicrosoftOxite_Oxite.Database.mdf", "dbo.oxite_CMS_ContentItem", "Body", "<BIG BINARY DATA>"},
      {"539_Rishab061_NORTHWND.MDF", "dbo.Employees", "Photo", "<BINARY DATA>"},
      {"655_sampledbs_northwnd.mdf", "dbo.Categories", "Picture", "<BINARY DATA>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    if (!HasCorpusFile(c.file)) continue;
    OpenFile db(c.file);
    auto columns = SelectDetails(*db.catalog, c.table, "U ", {});
    RecordPaging paging = PagingFor(db.state, *db.reader, *db.catalog);
    auto shown = paging.ShowTable(columns, false, {});
    ASSERT_FALSE(shown.empty());
    size_t k = 0;
    while (k < columns.size() && columns[k].name != c.column) ++k;
    ASSERT_LT(k, columns.size());
    for (const DecodedRow& row : shown) EXPECT_EQ(row.at(k), c.placeholder);
  }
}

TEST(CorpusLargeValues, MusicStoreMaxTypesInRow) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  const std::string file = "706_mvc-music-store_MvcMusicStore.mdf";
  if (!HasCorpusFile(file)) GTEST_SKIP() << file << " missing";
  OpenFile db(file);
  // The model is a gzip stream of 2559 bytes (inflated, its CRC checks out).
  auto history = db.Rows("dbo.__MigrationHistory");
  ASSERT_EQ(history.size(), 1u);
  const std::string& model = history[0]["Model"];
  EXPECT_EQ(model.rfind("0x1F8B0800", 0), 0u);
  EXPECT_EQ(model.size(), 2 + 2 * 2559u);
  EXPECT_EQ(history[0]["MigrationId"], "201210230059462_InitialCreate");
  auto orders = db.Rows("dbo.Orders");
  ASSERT_EQ(orders.size(), 2u);
  EXPECT_EQ(orders[0]["Email"], "admin@test.com");
  EXPECT_EQ(orders[0]["Username"], "Administrator");
  std::vector<std::string> genres;
  for (auto& g : db.Rows("dbo.Genres")) genres.push_back(g["Name"]);
  ASSERT_GE(genres.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(genres.begin(), genres.begin() + 3), (std::vector<std::string>{"Pop", "Rock", "Jazz"}));
}

// Text values in small roots (one with a trailing space), NULL text
// values; the diagram table's varbinary(max) column has no rows.
TEST(CorpusLargeValues, CoffeebreakTextValues) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  const std::string file = "655_Coffeebreak_Database_Current.mdf";
  if (!HasCorpusFile(file)) GTEST_SKIP() << file << " missing";
  OpenFile db(file);
  std::vector<std::string> descriptions;
  for (auto& r : db.Rows("dbo.user_levels")) descriptions.push_back(r["user_level_description"]);
  EXPECT_EQ(descriptions, (std::vector<std::string>{"Main administrator", "Designer", "Developer",
                                                    "Support team. Can be, sales, Dev, Designer and even Admin!",
                                                    "SELL! SELL! SELL!", "BUY! BUY! BUY! ", "Edit me!"}));
  auto messages = db.Rows("dbo.internal_messages");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0]["internal_message_body"], "Test body message");
  std::vector<std::string> teams;
  for (auto& r : db.Rows("dbo.user_team")) teams.push_back(r["user_team_description"]);
  std::vector<std::string> expected(6, "NULL");
  expected.push_back("This is for testing, so edit me!");
  EXPECT_EQ(teams, expected);
  EXPECT_TRUE(db.Rows("dbo.sysdiagrams").empty());
}

}  // namespace
}  // namespace pagewright
