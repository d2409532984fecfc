// What a path names and which file it is, asked without opening it.
#include "pagestore/file_access.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/builder/database_builder.h"
#include "support/special_files.h"

namespace pagewright {
namespace {

namespace fs = std::filesystem;

TEST(FileAccess, KindOfEveryPathWithoutOpeningIt) {
  build::TempFile file(std::vector<uint8_t>(10, 1), "a.mdf");
  const fs::path pipe = file.folder() / "pipe.mdf";
  ASSERT_TRUE(testing::MakeNamedPipe(pipe));
  EXPECT_EQ(KindOfPath(file.str()), PathKind::kRegular);
  EXPECT_EQ(KindOfPath(file.folder().string()), PathKind::kDirectory);
  EXPECT_EQ(KindOfPath(pipe.string()), PathKind::kNamedPipe);
  EXPECT_EQ(KindOfPath("/dev/null"), PathKind::kCharacterDevice);
  EXPECT_EQ(KindOfPath((file.folder() / "none").string()), PathKind::kMissing);
  EXPECT_EQ(KindOfPath(""), PathKind::kMissing);
  EXPECT_STREQ(PathKindName(PathKind::kNamedPipe), "a named pipe");
  EXPECT_STREQ(PathKindName(PathKind::kDirectory), "a directory");
  EXPECT_STREQ(PathKindName(PathKind::kCharacterDevice), "a character device");
}

TEST(FileAccess, IdentityIsTheFileNotTheSpelling) {
  build::TempFile file(std::vector<uint8_t>(10, 1), "a.mdf");
  const fs::path folder = file.folder();
  fs::create_hard_link(file.path(), folder / "hard.mdf");
  fs::create_symlink(file.path(), folder / "soft.mdf");
  fs::create_directory(folder / "sub");
  build::WriteFileBytes(folder / "copy.mdf", std::vector<uint8_t>(10, 1));
  auto id = IdentityOf(file.str());
  ASSERT_TRUE(id);
  for (const fs::path& same : {folder / "hard.mdf", folder / "soft.mdf", folder / "." / "a.mdf",
                               folder / "sub" / ".." / "a.mdf"}) {
    EXPECT_EQ(IdentityOf(same.string()), id) << same;
  }
  EXPECT_NE(IdentityOf((folder / "copy.mdf").string()), id) << "equal bytes are another file";
  EXPECT_FALSE(IdentityOf((folder / "none.mdf").string()));
}

TEST(FileAccess, NewFileIsNeverOneThatExists) {
  build::TempFile file(std::vector<uint8_t>(10, 1), "a.mdf");
  const fs::path fresh = file.folder() / "new.tmp";
  EXPECT_TRUE(CreateNewFile(fresh.string()));
  EXPECT_EQ(fs::file_size(fresh), 0u);
  EXPECT_FALSE(CreateNewFile(fresh.string()));
  EXPECT_FALSE(CreateNewFile(file.str()));
  EXPECT_EQ(fs::file_size(file.path()), 10u) << "the existing file is untouched";
  fs::create_symlink(file.folder() / "nowhere", file.folder() / "dangling");
  EXPECT_FALSE(CreateNewFile((file.folder() / "dangling").string())) << "a link is not followed";
  EXPECT_FALSE(fs::exists(file.folder() / "nowhere"));
  EXPECT_TRUE(SyncFileToDisk(fresh.string()));
  EXPECT_FALSE(SyncFileToDisk((file.folder() / "none").string()));
}

}  // namespace
}  // namespace pagewright
