// The rows the Northwind creation scripts inserted, cell for cell, read back
// from the CSV export: text, ntext and image values whole (Employees.Notes
// and Photo, Categories.Description and Picture), NULL as an empty field
// without quotes, bits 1/0, binary 0x and upper-case hex.
#include <gtest/gtest.h>

#include <charconv>
#include <map>

#include "csv_reading.h"
#include "pagestore/text_codec.h"
#include "records/column_descriptor.h"
#include "support/builder/database_builder.h"
#include "support/creation_script.h"

namespace pagewright {
namespace {

using testing::LiteralKind;
using testing::ScriptColumn;
using testing::ScriptLiteral;

// Days from 1900-01-01 of a civil date, and the reverse as text.
int64_t DaysFrom1900(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400, yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468 + 25567;
}

std::string DateTimeText(int64_t days, int64_t ticks) {
  const int64_t z = days - 25567 + 719468, era = (z >= 0 ? z : z - 146096) / 146097, doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365, doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153, day = doy - (153 * mp + 2) / 5 + 1, month = mp < 10 ? mp + 3 : mp - 9;
  const int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0), ms = (ticks * 10 + 1) / 3;
  char buf[160];
  std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld.%03lld", (long long)year, (long long)month,
                (long long)day, (long long)(ms / 3600000), (long long)(ms / 60000 % 60), (long long)(ms / 1000 % 60),
                (long long)(ms % 1000));
  return buf;
}

// The script's literal as the CSV export writes it; nullopt for NULL.
std::optional<std::string> CsvText(const ScriptColumn& column, const ScriptLiteral& v) {
  if (v.kind == LiteralKind::kNull) return std::nullopt;
  const std::string& type = column.typeName;
  if (type == "datetime") {
    if (v.kind == LiteralKind::kString) {
      int m = 0, d = 0, y = 0;
      if (std::sscanf(v.text.c_str(), "%d/%d/%d", &m, &d, &y) != 3) return "unparsed " + v.text;
      return DateTimeText(DaysFrom1900(y, m, d), 0);
    }
    const size_t hex = v.text.find("0x");
    if (hex == std::string::npos) return "unparsed " + v.text;
    return DateTimeText(static_cast<int32_t>(std::stoul(v.text.substr(hex + 2, 8), nullptr, 16)),
                        static_cast<int32_t>(std::stoul(v.text.substr(hex + 10, 8), nullptr, 16)));
  }
  if (type == "money") {
    const size_t dot = v.text.find('.');
    const std::string fraction = dot == std::string::npos ? "" : v.text.substr(dot + 1);
    return v.text.substr(0, dot) + "." + fraction + std::string(4 - std::min<size_t>(4, fraction.size()), '0');
  }
  if (type == "real") {
    float value = 0;
    std::from_chars(v.text.data(), v.text.data() + v.text.size(), value);
    char buf[32];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, value).ptr);
  }
  if (type == "bit") return v.text == "0" ? "0" : "1";
  if (v.kind == LiteralKind::kBinary) {
    std::string hex = v.text.substr(2);
    for (char& c : hex) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return "0x" + hex;
  }
  if (type == "nchar") {
    const size_t characters = static_cast<size_t>(DeclaredLengthOf(column.typeText)) / 2;
    const size_t have = Utf8ToUtf16(v.text).size();
    return v.text + std::string(characters > have ? characters - have : 0, ' ');
  }
  return v.text;
}

struct NorthwindFile {
  const char* file;
  const char* script;
};

class ScriptCellsExport : public ::testing::TestWithParam<NorthwindFile> {};

TEST_P(ScriptCellsExport, EveryCellOfTheCsvExportIsTheScriptsValue) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  const auto dir = testing::CorpusDir();
  const NorthwindFile f = GetParam();
  if (!std::filesystem::exists(dir / f.file) || !std::filesystem::exists(dir / f.script)) GTEST_SKIP();
  const auto script = testing::ParseCreationScript(testing::ReadScriptText(dir / f.script));
  build::TempFile out("unused");
  const auto folder = out.folder() / "csv";
  ExportResult result = testing::ExportFile(dir / f.file, ExportFormat::kCsv, folder);
  ASSERT_TRUE(result.finished) << result.error;
  EXPECT_EQ(result.ExitCode(), 0);

  size_t largeCells = 0;
  for (const auto& table : script.tables) {
    SCOPED_TRACE(table.name);
    const auto records = testing::ParseCsv(testing::ReadWholeFile(folder / (table.name + ".csv")));
    ASSERT_FALSE(records.empty());
    ASSERT_EQ(records[0].size(), table.columns.size());
    for (size_t c = 0; c < table.columns.size(); ++c) EXPECT_EQ(records[0][c].text, table.columns[c].name);
    std::vector<size_t> key;
    for (const auto& name : table.primaryKey)
      for (size_t c = 0; c < table.columns.size(); ++c)
        if (table.columns[c].name == name) key.push_back(c);
    auto keyOf = [&](auto cell) {
      std::string k;
      for (size_t c : key) k += cell(c) + " | ";
      return k;
    };
    std::map<std::string, const testing::CsvRecord*> got;
    for (size_t i = 1; i < records.size(); ++i)
      got[keyOf([&](size_t c) { return records[i][c].text; })] = &records[i];
    const auto inserts = script.InsertsInto(table.name);
    EXPECT_EQ(records.size() - 1, inserts.size());
    int mismatches = 0;
    for (const auto* insert : inserts) {
      std::vector<std::optional<std::string>> want(table.columns.size());
      for (size_t i = 0; i < insert->values.size(); ++i) {
        const std::string name = insert->columns.empty() ? table.columns.at(i).name : insert->columns.at(i);
        for (size_t c = 0; c < table.columns.size(); ++c)
          if (table.columns[c].name == name) want[c] = CsvText(table.columns[c], insert->values[i]);
      }
      const std::string k = keyOf([&](size_t c) { return want[c].value_or(""); });
      auto it = got.find(k);
      if (it == got.end()) {
        ADD_FAILURE() << "no row with key " << k;
        continue;
      }
      for (size_t c = 0; c < want.size(); ++c) {
        const testing::CsvField& cell = (*it->second)[c];
        const bool same = want[c] ? (!cell.IsNull() && cell.text == *want[c]) : cell.IsNull();
        if (!same && ++mismatches <= 10)
          ADD_FAILURE() << k << table.columns[c].name << ": got " << (cell.IsNull() ? "NULL" : cell.text.substr(0, 60))
                        << " want " << (want[c] ? want[c]->substr(0, 60) : "NULL");
        const std::string& type = table.columns[c].typeName;
        if (same && want[c] && (type == "text" || type == "ntext" || type == "image")) ++largeCells;
      }
    }
    EXPECT_EQ(mismatches, 0);
  }
  EXPECT_GT(largeCells, 20u) << "text, ntext and image cells compared whole";
}

INSTANTIATE_TEST_SUITE_P(Corpus, ScriptCellsExport,
                         ::testing::Values(NorthwindFile{"539_Rishab061_NORTHWND.MDF", "539_Rishab061_NORTHWND.sql"},
                                           NorthwindFile{"655_sampledbs_northwnd.mdf", "655_sampledbs_northwnd.sql"}),
                         [](const auto& p) { return std::string(p.param.file).substr(0, 3) == "539" ? "Sql2000" : "Sql2008"; });

}  // namespace
}  // namespace pagewright
