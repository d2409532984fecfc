// Mapping scan throughput against a plain sequential read of the same file.
//
//   bench_mapping_scan [SIZE_MIB] [FOLDER] [keep]
//
// Writes a generated database file of SIZE_MIB (default 1024) into FOLDER
// (default: the system temporary folder; removed at the end unless "keep"
// is given, for timing `pagewright info` on it), then alternates plain reads and
// full open sequences (corruption check, mapping scan of the old file, IAM
// scan of the new file, both on this file) three times and prints the MB/s
// of each. The mapping figure counts the bytes of one pass over the file:
// the mapping scan alone, timed through its notifications.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "pagestore/database_reader.h"
#include "support/builder/database_builder.h"
#include "support/read_fixture.h"

using namespace pagewright;
using Clock = std::chrono::steady_clock;

namespace {

// Times the old-file mapping scan between its first and last status texts.
class TimingSink : public NotificationSink {
 public:
  void Notify(const Notification& n) override {
    if (n.id != NotificationId::kStatusText) return;
    if (n.text == open_text::kMapping && !mappingStarted) {
      mappingStarted = true;
      start = Clock::now();
    } else if (n.text == open_text::kMappingDone && mappingStarted && !mappingDone) {
      mappingDone = true;
      end = Clock::now();
    }
  }
  bool mappingStarted = false, mappingDone = false;
  Clock::time_point start, end;
};

void WriteDatabase(const std::filesystem::path& path, uint64_t pages) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  build::PageBuilder boot(13, 9);
  for (uint64_t p = 0; p < pages; ++p) {
    uint8_t type = p % 97 == 0 ? 10 : (p % 13 == 0 ? 3 : 1);
    int32_t object = p % 211 == 0 ? 34 : static_cast<int32_t>(1000 + p % 500);
    build::PageBuilder page(type, static_cast<int32_t>(p));
    page.ObjectId(object);
    std::vector<uint8_t> record(60, static_cast<uint8_t>(p));
    record[0] = 0x30;
    page.AddRecord(record);
    auto bytes = p == 9 ? build::BootPageBytes({}) : page.Bytes();
    out.write(reinterpret_cast<const char*>(bytes.data()), kPageSize);
  }
}

double PlainRead(const std::filesystem::path& path, uint64_t& checksum) {
  auto file = ReadOnlyFile::Open(path.string());
  std::vector<uint8_t> block(1 << 20);
  auto t0 = Clock::now();
  uint64_t offset = 0;
  for (;;) {
    size_t n = file->ReadAt(offset, block);
    if (n == 0) break;
    for (size_t i = 24; i < n; i += kPageSize) checksum += block[i];
    offset += n;
  }
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
  uint64_t mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1024;
  std::filesystem::path folder = argc > 2 ? argv[2] : std::filesystem::temp_directory_path();
  std::filesystem::path path = folder / "pagewright_bench_mapping.mdf";
  uint64_t pages = mib * 1024 * 1024 / kPageSize;
  std::printf("writing %llu MiB (%llu pages) to %s\n", static_cast<unsigned long long>(mib),
              static_cast<unsigned long long>(pages), path.string().c_str());
  WriteDatabase(path, pages);
  double megabytes = static_cast<double>(pages * kPageSize) / 1e6;
  uint64_t checksum = 0;
  PlainRead(path, checksum);  // warm the page cache so both runs read from it
  for (int round = 1; round <= 3; ++round) {
    double plain = PlainRead(path, checksum);
    AppState state;
    TimingSink sink;
    auto t0 = Clock::now();
    auto reader = OpenForTest(state, path.string(), path.string(), &sink);
    double open = std::chrono::duration<double>(Clock::now() - t0).count();
    double mapping = std::chrono::duration<double>(sink.end - sink.start).count();
    std::printf("round %d: plain read %.0f MB/s | mapping scan %.0f MB/s (%.0f%% of plain) | whole open "
                "sequence %.2f s | %zu object ids with data pages\n",
                round, megabytes / plain, megabytes / mapping, 100.0 * plain / mapping, open,
                reader->dataPageMap.size());
  }
  if (argc > 3 && std::string(argv[3]) == "keep") {
    std::printf("kept %s\n", path.string().c_str());
  } else {
    std::filesystem::remove(path);
  }
  std::printf("checksum %llu\n", static_cast<unsigned long long>(checksum));
  return 0;
}
