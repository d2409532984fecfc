#include "support/corpus.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace pagewright::testing {

std::filesystem::path CorpusDir() {
  const char* env = std::getenv("PAGEWRIGHT_CORPUS");
  std::filesystem::path dir = env && *env ? env : PAGEWRIGHT_CORPUS_DIR;
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) return {};
  return std::filesystem::canonical(dir, ec);
}

const std::vector<CorpusFile>& CorpusFiles() {
  static const std::vector<CorpusFile> files = [] {
    std::vector<CorpusFile> out;
    auto dir = CorpusDir();
    if (dir.empty()) return out;
    std::ifstream in(dir / "manifest.json", std::ios::binary);
    if (!in) return out;
    std::stringstream text;
    text << in.rdbuf();
    JsonValue manifest = ParseJson(text.str());
    for (const auto& e : manifest.array) {
      CorpusFile f;
      f.file = e["file"].string;
      f.path = dir / f.file;
      f.version = static_cast<int>(e["version"].AsInt());
      f.versionText = e["versionText"].string;
      f.databaseName = e["databaseName"].string;
      f.collationId = e["collationId"].AsInt();
      for (const auto& [name, rows] : e["tables"].object) f.tables[name] = rows.AsInt();
      for (const auto& [type, names] : e["modules"].object)
        for (const auto& n : names.array) f.modules[type].push_back(n.string);
      f.raw = e;
      out.push_back(std::move(f));
    }
    return out;
  }();
  return files;
}

std::filesystem::path BinaryDir() { return std::filesystem::path(PAGEWRIGHT_BINARY_DIR) / "bin"; }

}  // namespace pagewright::testing
