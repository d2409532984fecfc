// A page whose large values are too big to be read ahead of the writer: its
// rows are read again one at a time and written a part of a value at a
// time. What comes out must be every value whole, the damage of the page
// counted once, whichever the number of decoding threads.
#include <gtest/gtest.h>

#include <cstdio>

#include "csv_reading.h"
#include "support/builder/catalog_builder.h"
#include "support/builder/database_builder.h"
#include "support/builder/lob_builder.h"
#include "support/cli_runner.h"

namespace pagewright {
namespace {

using namespace build;

Bytes FromBase64(const std::string& text) {
  auto value = [](char c) -> int {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    return c == '+' ? 62 : c == '/' ? 63 : -1;
  };
  Bytes out;
  uint32_t bits = 0;
  int held = 0;
  for (char c : text) {
    const int v = value(c);
    if (v < 0) break;  // padding ends the value
    bits = (bits << 6) | static_cast<uint32_t>(v);
    held += 6;
    if (held >= 8) {
      held -= 8;
      out.push_back(static_cast<uint8_t>(bits >> held));
    }
  }
  return out;
}

class LargeValuesExport : public ::testing::TestWithParam<unsigned> {
 protected:
  static constexpr int kBig = 4;

  void SetUp() override {
    LobStore lob;
    // A pointer to a slot its text page does not have: one skipped value,
    // read before the big ones on the same page.
    const LobLocation empty = lob.Place(SmallRootStructure({}));
    const Bytes broken = TextPointer(LobLocation{empty.page, 9});
    CatalogBuilder b;
    TableDef t;
    t.name = "Big";
    t.columns = {IntColumn("Id", false), TypedColumn("Notes", kSqlText, 16), TypedColumn("Picture", kSqlImage, 16)};
    t.rows.push_back({IntValue(0), Null(), ComplexValue(broken)});
    for (int i = 1; i <= kBig; ++i) {
      // Over a megabyte of text with quotes and commas where the writer's
      // parts meet, and pictures whose lengths are no multiple of three.
      std::string text(1200000 + static_cast<size_t>(i), 'a');
      for (size_t k = 0; k < text.size(); k += 997) text[k] = static_cast<char>('b' + (k / 997 + i) % 20);
      for (size_t at : {size_t{786431}, size_t{786432}, size_t{786433}, text.size() - 1}) text[at] = '"';
      text[1000] = ',';
      Bytes picture(1500000 + static_cast<size_t>(i));
      for (size_t k = 0; k < picture.size(); ++k)
        picture[k] = static_cast<uint8_t>((k * 7 + static_cast<size_t>(i)) >> 2);
      texts_.push_back(text);
      pictures_.push_back(picture);
      t.rows.push_back({IntValue(i), ComplexValue(lob.TextPointerTo(Bytes(text.begin(), text.end()))),
                        ComplexValue(lob.TextPointerTo(picture))});
    }
    b.AddTable(t);
    DatabaseBuilder db = b.Build();
    lob.WriteInto(db);
    file_ = std::make_unique<TempFile>(db.Build(), "Big.mdf");
  }

  ExportResult Export(ExportFormat format, const std::filesystem::path& output) {
    OpenedDatabase db = OpenForExport(ReadContext(), LoadCollationTable(testing::BinaryDir()), true, 0, file_->str(),
                                      file_->str(), nullptr);
    EXPECT_TRUE(db.reader && db.catalog);
    if (!db.reader || !db.catalog) return {};
    ExportSettings settings;
    settings.format = format;
    settings.output = output.string();
    settings.threads = GetParam();
    return RunExport(db, {&db.tables.at(0)}, settings, {}, {});
  }

  static void ExpectOneSkippedValue(const ExportResult& result) {
    ASSERT_TRUE(result.finished) << result.error;
    ASSERT_EQ(result.tables.size(), 1u);
    const TableSummary& s = result.tables[0];
    EXPECT_FALSE(s.failed) << s.error;
    EXPECT_EQ(s.rows, kBig + 1);
    EXPECT_EQ(s.counts.unreadableValues, 1);
    EXPECT_EQ(s.counts.reported[static_cast<size_t>(DamageReason::kLargeValueSkipped)], 1u);
    EXPECT_EQ(s.counts.ReportedTotal(), 1u);
    EXPECT_EQ(result.ExitCode(), 2);
  }

  std::unique_ptr<TempFile> file_;
  std::vector<std::string> texts_;
  std::vector<Bytes> pictures_;
};

TEST_P(LargeValuesExport, CsvHoldsEveryValueWholeAndTheDamageOnce) {
  const auto folder = file_->folder() / "csv";
  const ExportResult result = Export(ExportFormat::kCsv, folder);
  ExpectOneSkippedValue(result);
  std::string expected = "Id,Notes,Picture\r\n0,,\r\n";
  for (int i = 1; i <= kBig; ++i) {
    std::string quoted;
    for (char c : texts_[static_cast<size_t>(i - 1)]) {
      if (c == '"') quoted.push_back('"');
      quoted.push_back(c);
    }
    const std::string hex = testing::UpperHex(pictures_[static_cast<size_t>(i - 1)]);
    expected += std::to_string(i) + ",\"" + quoted + "\",0x" + hex + "\r\n";
  }
  const std::string text = testing::ReadWholeFile(folder / "dbo.Big.csv");
  EXPECT_EQ(text.size(), expected.size());
  size_t at = 0;
  while (at < text.size() && at < expected.size() && text[at] == expected[at]) ++at;
  EXPECT_TRUE(text == expected) << "the CSV differs from the values written at byte " << at << ": "
                                << text.substr(at > 20 ? at - 20 : 0, 60);
}

TEST_P(LargeValuesExport, JsonLinesHoldEveryValueWhole) {
  const auto folder = file_->folder() / "jsonl";
  ExpectOneSkippedValue(Export(ExportFormat::kJsonl, folder));
  const auto lines = testing::SplitLines(testing::ReadWholeFile(folder / "dbo.Big.jsonl"));
  ASSERT_EQ(lines.size(), static_cast<size_t>(kBig + 1));
  EXPECT_EQ(lines[0], "{\"Id\":0,\"Notes\":null,\"Picture\":null}");
  for (int i = 1; i <= kBig; ++i) {
    const std::string& line = lines[static_cast<size_t>(i)];
    std::string escaped;
    for (char c : texts_[static_cast<size_t>(i - 1)]) {
      if (c == '"') escaped.push_back('\\');
      escaped.push_back(c);
    }
    const std::string head = "{\"Id\":" + std::to_string(i) + ",\"Notes\":\"" + escaped + "\",\"Picture\":\"";
    ASSERT_EQ(line.compare(0, head.size(), head), 0) << "row " << i;
    ASSERT_EQ(line.substr(line.size() - 2), "\"}");
    const std::string base64 = line.substr(head.size(), line.size() - head.size() - 2);
    EXPECT_EQ(base64.size() % 4, 0u);
    EXPECT_EQ(base64.find('='), base64.find_first_of("=", base64.size() - 2)) << "padding inside the value";
    EXPECT_TRUE(FromBase64(base64) == pictures_[static_cast<size_t>(i - 1)]) << "row " << i;
  }
}

TEST_P(LargeValuesExport, SqliteHoldsEveryValueWhole) {
  if (std::system("sqlite3 -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "the sqlite3 shell is not installed";
  const auto path = file_->folder() / "big.sqlite";
  ExpectOneSkippedValue(Export(ExportFormat::kSqlite, path));
  const auto out = file_->folder() / "query.txt";
  const std::string command = "sqlite3 '" + path.string() +
                              "' \"select Id, length(Notes), hex(Picture) from [dbo.Big] order by rowid\" > '" +
                              out.string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const auto lines = testing::SplitLines(testing::ReadWholeFile(out));
  ASSERT_EQ(lines.size(), static_cast<size_t>(kBig + 1));
  EXPECT_EQ(lines[0], "0||");
  for (int i = 1; i <= kBig; ++i)
    EXPECT_TRUE(lines[static_cast<size_t>(i)] == std::to_string(i) + "|" +
                                                     std::to_string(texts_[static_cast<size_t>(i - 1)].size()) + "|" +
                                                     testing::UpperHex(pictures_[static_cast<size_t>(i - 1)]))
        << "row " << i;
}

INSTANTIATE_TEST_SUITE_P(Threads, LargeValuesExport, ::testing::Values(1u, 2u),
                         [](const ::testing::TestParamInfo<unsigned>& param) {
                           return std::to_string(param.param) + "Threads";
                         });

}  // namespace
}  // namespace pagewright
