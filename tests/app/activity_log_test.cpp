// The activity log file, byte by byte: UTF-16LE, one byte-order mark, a run
// header per run, CR LF after every line.
#include "app/activity_log.h"

#include <gtest/gtest.h>

#include "app/shell_harness.h"

namespace pagewright {
namespace {

std::vector<uint8_t> Utf16Le(const std::u16string& text) {
  std::vector<uint8_t> out;
  for (char16_t c : text) {
    out.push_back(static_cast<uint8_t>(c & 0xFF));
    out.push_back(static_cast<uint8_t>(c >> 8));
  }
  return out;
}
void Append(std::vector<uint8_t>& bytes, const std::u16string& text) {
  auto more = Utf16Le(text);
  bytes.insert(bytes.end(), more.begin(), more.end());
}
const std::u16string kRunHeader = u"\r\n" + std::u16string(80, u'*') + u"\r\n";

std::tm EighthOfDecember() {
  std::tm t{};
  t.tm_mday = 8;
  t.tm_mon = 11;
  t.tm_year = 2026 - 1900;
  t.tm_hour = 13;
  t.tm_min = 5;
  t.tm_sec = 9;
  return t;
}

TEST(ActivityLog, FileNameCarriesTheLocalTimeWithoutLeadingZeros) {
  EXPECT_EQ(LogFileName(EighthOfDecember()), "KorvaneVellumdb_log_8-12-2026-13-5-9.txt");
  EXPECT_EQ(LogFileName(std::nullopt), "KorvaneVellumdb_log_0-0-0--1--1--1.txt");
}

TEST(ActivityLog, TwoRunsInOneSecondShareTheFileWithOneByteOrderMark) {
  build::TempFile folder("unused");
  ActivityLog log;
  ASSERT_TRUE(log.Open(folder.folder(), EighthOfDecember()));
  log.Line("Browse File Path:\tC:\\Data\\Shop.mdf");
  log.Line("Größe");
  ASSERT_TRUE(log.Open(folder.folder(), EighthOfDecember()));
  log.Line("second run");
  log.Close();
  EXPECT_EQ(log.path(), folder.folder() / "KorvaneVellumdb_log_8-12-2026-13-5-9.txt");

  std::vector<uint8_t> expected = {0xFF, 0xFE};
  Append(expected, kRunHeader + u"Browse File Path:\tC:\\Data\\Shop.mdf\r\n" + u"Größe\r\n");
  Append(expected, kRunHeader + u"second run\r\n");
  EXPECT_EQ(build::ReadFileBytes(log.path()), expected);
}

TEST(ActivityLog, ScanWritesEveryLogLineOfTheRun) {
  build::TempFile mdf("Shop.mdf");
  testing::ShopDatabase().WriteTo(mdf.path());
  testing::ShellHarness shell;
  shell.Scan(mdf.str());
  ASSERT_TRUE(shell.frame.lastScanCompleted());

  std::vector<uint8_t> expected = {0xFF, 0xFE};
  Append(expected, kRunHeader);
  for (const auto& line : shell.ui.InsertedLines())
    Append(expected, std::u16string(line.begin(), line.end()) + u"\r\n");
  EXPECT_EQ(build::ReadFileBytes(shell.state.logFilePath), expected);
  EXPECT_EQ(std::filesystem::path(shell.state.logFilePath).parent_path(), shell.logs.folder());
  // The tab stays in the pane line as well.
  EXPECT_EQ(shell.ui.paneLines[1], "Browse File Path:\t" + mdf.str());
}

}  // namespace
}  // namespace pagewright
