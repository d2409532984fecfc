#include "app/output_guard.h"

#include <cerrno>
#include <cstdio>
#include <random>
#include <system_error>

#include "pagestore/file_access.h"

namespace pagewright {

namespace fs = std::filesystem;

std::optional<std::string> OutputRefusal(const fs::path& output, const std::vector<fs::path>& inputs) {
  const std::string out = output.string();
  PathKind kind = KindOfPath(out);
  if (kind == PathKind::kMissing) return std::nullopt;  // a new file is no input
  if (auto id = IdentityOf(out)) {
    for (const auto& input : inputs) {
      if (input.empty()) continue;
      if (IdentityOf(input.string()) == id)
        return "Refusing to write " + out + ": it is the same file as " + input.string() +
               ", which this recovery reads.";
    }
  }
  if (kind != PathKind::kRegular)
    return "Refusing to write " + out + ": it is " + PathKindName(kind) + ", not a regular file.";
  return std::nullopt;
}

std::optional<std::string> ReplaceRefusal(const fs::path& output, const std::function<bool(const fs::path&)>& isOwnKind,
                                          const std::string& kindName, bool force) {
  if (force || KindOfPath(output.string()) != PathKind::kRegular) return std::nullopt;
  if (isOwnKind && isOwnKind(output)) return std::nullopt;
  return "Refusing to replace " + output.string() + ": it is not a " + kindName + ".";
}

namespace {

std::string Reason(const std::error_code& ec) { return ec ? ec.message() : std::string("unknown error"); }

// A new, empty, hidden file beside `target`; empty when none could be made.
fs::path NewTemporaryBeside(const fs::path& target, std::string& reason) {
  std::random_device seed;
  std::mt19937 rng(seed());
  for (int attempt = 0; attempt < 16; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(rng()));
    fs::path candidate =
        target.parent_path() / ("." + target.filename().string() + kTemporaryInfix + suffix + ".tmp");
    errno = 0;
    if (CreateNewFile(candidate.string())) return candidate;
    if (errno != EEXIST) break;
  }
  reason = errno != 0 ? std::generic_category().message(errno) : "no temporary name was free";
  return {};
}

}  // namespace

std::optional<std::string> WriteReplacing(const fs::path& output,
                                          const std::function<bool(const fs::path& temporary)>& write) {
  std::error_code ec;
  // Follow a symbolic link so the rename replaces the file it names.
  fs::path target = fs::weakly_canonical(fs::absolute(output, ec), ec);
  if (ec || target.empty()) target = output;
  const std::string shown = output.string();
  std::string reason;
  fs::path temporary = NewTemporaryBeside(target, reason);
  if (temporary.empty()) return "Cannot write " + shown + ": " + reason + ".";

  auto discard = [&](const std::string& why) -> std::optional<std::string> {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return "Cannot write " + shown + ": " + why + ".";
  };
  // A replaced file keeps its permissions.
  auto old = fs::status(target, ec);
  if (!ec && fs::is_regular_file(old)) fs::permissions(temporary, old.permissions(), ec);
  if (!write(temporary)) return discard("the data could not be written");
  if (!SyncFileToDisk(temporary.string())) return discard("the data did not reach the disk");
  fs::rename(temporary, target, ec);
  if (ec) return discard(Reason(ec));
  return std::nullopt;
}

}  // namespace pagewright
