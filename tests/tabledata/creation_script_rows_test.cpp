// Every row of every table of the Northwind files whose creation scripts
// inserted their data: the row count and every cell, the script's literal
// turned into the text the grid shows (datetime "1996-07-04 00:00:00.000",
// money with four decimals, real in its shortest form, bit True/False,
// binary 0x and upper-case hex, nchar padded to its length, NULL).
#include <gtest/gtest.h>

#include <charconv>
#include <map>

#include "catalog/object_details.h"
#include "pagestore/collation_table.h"
#include "pagestore/text_codec.h"
#include "support/corpus.h"
#include "support/creation_script.h"
#include "support/read_fixture.h"
#include "tabledata/record_paging.h"

namespace pagewright {
namespace {

using testing::LiteralKind;
using testing::ScriptColumn;
using testing::ScriptLiteral;
using testing::ScriptTable;

// ---------------------------------------------------------------------------
// Script literals as display text.

// "1996-07-04 00:00:00.000" for a day count from 1900-01-01 and 1/300 s ticks.
std::string DateTimeText(int64_t days, int64_t ticks) {
  // Civil date from days since 1970-01-01 (proleptic Gregorian).
  int64_t z = days - 25567 + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  const int64_t ms = (ticks * 10 + 1) / 3;  // 1/300 s ticks to milliseconds
  char buf[128];
  std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld.%03lld", static_cast<long long>(year),
                static_cast<long long>(month), static_cast<long long>(day), static_cast<long long>(ms / 3600000),
                static_cast<long long>(ms / 60000 % 60), static_cast<long long>(ms / 1000 % 60),
                static_cast<long long>(ms % 1000));
  return buf;
}

int64_t DaysFrom1900(int year, int month, int day) {
  // Days from 1970-01-01, then shifted to 1900-01-01.
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yoe = year - era * 400;
  const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 + 25567;
}

// A datetime literal: 'm/d/yyyy' (the 2000 script sets DATEFORMAT mdy) or
// CAST(0x<days><ticks> AS DateTime), both halves big-endian hex.
std::string DateTimeLiteral(const ScriptLiteral& v) {
  if (v.kind == LiteralKind::kString) {
    int month = 0, day = 0, year = 0;
    if (std::sscanf(v.text.c_str(), "%d/%d/%d", &month, &day, &year) != 3) return "unparsed date " + v.text;
    return DateTimeText(DaysFrom1900(year, month, day), 0);
  }
  const size_t hex = v.text.find("0x");
  if (hex == std::string::npos || v.text.size() < hex + 18) return "unparsed date " + v.text;
  const int64_t days = static_cast<int32_t>(std::stoul(v.text.substr(hex + 2, 8), nullptr, 16));
  const int64_t ticks = static_cast<int32_t>(std::stoul(v.text.substr(hex + 10, 8), nullptr, 16));
  return DateTimeText(days, ticks);
}

// "32.38" -> "32.3800"; "18" -> "18.0000".
std::string MoneyLiteral(const std::string& text) {
  const size_t dot = text.find('.');
  std::string whole = text.substr(0, dot), fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
  if (fraction.size() > 4) return "more than four decimals: " + text;
  return whole + "." + fraction + std::string(4 - fraction.size(), '0');
}

// The shortest text that reads back as the same real (float) value.
std::string RealLiteral(const std::string& text) {
  float value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  char buf[32];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, value).ptr);
}

std::string DisplayText(const ScriptColumn& column, const ScriptLiteral& v) {
  if (v.kind == LiteralKind::kNull) return kNullText;
  const std::string& type = column.typeName;
  if (type == "datetime") return DateTimeLiteral(v);
  if (type == "money") return MoneyLiteral(v.text);
  if (type == "real") return RealLiteral(v.text);
  if (type == "bit") return v.text == "0" ? "False" : "True";
  if (v.kind == LiteralKind::kBinary) {
    std::string hex = v.text.substr(2);
    for (char& c : hex) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return "0x" + hex;
  }
  if (type == "nchar") {
    // Fixed length: padded with spaces to the declared characters.
    const size_t characters = static_cast<size_t>(DeclaredLengthOf(column.typeText)) / 2;
    const size_t have = Utf8ToUtf16(v.text).size();
    return v.text + std::string(characters > have ? characters - have : 0, ' ');
  }
  return v.text;
}

// ---------------------------------------------------------------------------

using Row = std::vector<std::string>;

// Rows keyed by their primary key values.
std::map<std::string, Row> ByKey(const std::vector<Row>& rows, const std::vector<size_t>& keyColumns) {
  std::map<std::string, Row> out;
  for (const Row& row : rows) {
    std::string key;
    for (size_t k : keyColumns) key += (k < row.size() ? row[k] : "?") + " | ";
    EXPECT_TRUE(out.emplace(key, row).second) << "two rows with key " << key;
  }
  return out;
}

// The script's rows of a table, each value in the table's column order.
std::vector<Row> ScriptRows(const testing::CreationScript& script, const ScriptTable& table) {
  std::vector<Row> rows;
  for (const auto* insert : script.InsertsInto(table.name)) {
    Row row(table.columns.size(), kNullText);
    for (size_t i = 0; i < insert->values.size(); ++i) {
      const std::string name = insert->columns.empty() ? table.columns.at(i).name : insert->columns.at(i);
      for (size_t c = 0; c < table.columns.size(); ++c)
        if (table.columns[c].name == name) row[c] = DisplayText(table.columns[c], insert->values[i]);
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

// Where two long texts first differ, for a readable failure.
std::string FirstDifference(const std::string& got, const std::string& want) {
  size_t i = 0;
  while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
  return "lengths " + std::to_string(got.size()) + " / " + std::to_string(want.size()) + ", first difference at " +
         std::to_string(i) + ": got \"" + got.substr(i, 40) + "\" want \"" + want.substr(i, 40) + "\"";
}

struct NorthwindFile {
  const char* file;
  const char* script;
};

void PrintTo(const NorthwindFile& f, std::ostream* os) { *os << f.file; }

class CreationScriptRows : public ::testing::TestWithParam<NorthwindFile> {};

TEST_P(CreationScriptRows, EveryRowHoldsTheValuesTheScriptInserted) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  const NorthwindFile f = GetParam();
  const auto dir = testing::CorpusDir();
  if (!std::filesystem::exists(dir / f.file) || !std::filesystem::exists(dir / f.script))
    GTEST_SKIP() << f.file << " or its script is missing";
  const auto script = testing::ParseCreationScript(testing::ReadScriptText(dir / f.script));
  ASSERT_FALSE(script.inserts.empty()) << f.script << ": no INSERT statements found";

  AppState state;
  state.collations = LoadCollationTable(testing::BinaryDir());
  const std::string path = (dir / f.file).string();
  auto reader = OpenForTest(state, path, path, nullptr);
  ASSERT_TRUE(reader->openSucceeded());
  auto catalog = BuildCatalog(state, *reader);
  state.pageSource = 2;  // table pages from the damaged file, as after a scan

  for (const ScriptTable& table : script.tables) {
    SCOPED_TRACE(table.name);
    auto columns = SelectDetails(*catalog, table.name, "U ", {});
    ASSERT_EQ(columns.size(), table.columns.size());
    std::vector<size_t> key;
    for (const std::string& name : table.primaryKey)
      for (size_t c = 0; c < table.columns.size(); ++c)
        if (table.columns[c].name == name) key.push_back(c);
    ASSERT_EQ(key.size(), table.primaryKey.size());
    const std::vector<Row> expected = ScriptRows(script, table);

    // The grid's pages: as many rows as the script inserted.
    RecordPaging paging = PagingFor(state, *reader, *catalog);
    size_t shown = paging.ShowTable(columns, false, {}).size();
    while (paging.HasNext()) {
      auto next = paging.NextPage({});
      if (next.empty()) break;
      shown += next.size();
    }
    EXPECT_EQ(shown, expected.size()) << "rows the grid pages show";

    // Every value, large ones read in full rather than as placeholders.
    RowDecodeContext context{columns};
    const DecodeMode mode{!state.legacyCatalogMode && !Selected(*catalog).tableRowsetColumns.empty(), false};
    std::vector<Row> rows;
    for (PageId page : paging.pageList())
      for (DecodedRow& row : ReadPageRows(*reader, RowsCtx(state), page, context, mode))
        rows.push_back(std::move(row));

    const auto got = ByKey(rows, key);
    const auto want = ByKey(expected, key);
    ASSERT_EQ(got.size(), want.size()) << "rows read from the table's pages";
    int mismatches = 0;
    for (const auto& [k, wantRow] : want) {
      auto it = got.find(k);
      if (it == got.end()) {
        ADD_FAILURE() << "no row with key " << k;
        continue;
      }
      for (size_t c = 0; c < wantRow.size(); ++c) {
        if (c < it->second.size() && it->second[c] == wantRow[c]) continue;
        if (++mismatches > 20) continue;  // the first twenty are enough to see a pattern
        ADD_FAILURE() << "row " << k << "column " << table.columns[c].name << " (" << table.columns[c].typeText
                      << "): " << FirstDifference(c < it->second.size() ? it->second[c] : "", wantRow[c]);
      }
    }
    EXPECT_EQ(mismatches, 0) << "cells that differ from the script";
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, CreationScriptRows,
                         ::testing::Values(NorthwindFile{"539_Rishab061_NORTHWND.MDF", "539_Rishab061_NORTHWND.sql"},
                                           NorthwindFile{"655_sampledbs_northwnd.mdf", "655_sampledbs_northwnd.sql"}),
                         [](const auto& p) { return std::string(p.param.file).substr(0, 3) == "539" ? "Sql2000" : "Sql2008"; });

}  // namespace
}  // namespace pagewright
