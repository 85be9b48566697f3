#include "platform/directory_handle.h"

#include "platform/drive_table.h"
#include "platform/file_access.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <chrono>

namespace shelvo {
namespace {

using std::chrono::milliseconds;

// A catalog is known whatever its spelling, and two catalogs are never taken
// for one: a host whose C library gives every directory inode 0 would refuse
// every import and export.
TEST(DirectoryIdentity, OneDirectoryUnderTwoSpellingsIsOneAndTwoDirectoriesAreTwo) {
  testing::TempDir dir;
  testing::make_directories(dir / "c/CAT");
  testing::make_directories(dir / "c/OTHER");
  testing::write_file(dir / "c/CAT/00000000.KTL", "");
  testing::write_file(dir / "c/CAT/00000001.KTL", "x");
  testing::DriveMapping map({{'C', dir / "c"}, {'D', dir / "c"}});
  EXPECT_TRUE(same_directory("C:\\CAT\\", "c:\\cat"));
  EXPECT_TRUE(same_directory("C:\\CAT\\", "D:\\CAT"));
  EXPECT_FALSE(same_directory("C:\\CAT\\", "C:\\OTHER\\"));
  EXPECT_FALSE(same_directory("C:\\CAT\\00000000.KTL", "C:\\CAT\\00000000.KTL")); // a file is no directory

  DirectoryHandle cat, other;
  ASSERT_TRUE(cat.open("C:\\CAT"));
  ASSERT_TRUE(other.open("C:\\OTHER"));
  ASSERT_TRUE(cat.own_identity() && other.own_identity());
  EXPECT_NE(*cat.own_identity(), *other.own_identity());
  EXPECT_NE(cat.identity("00000000.KTL"), cat.identity("00000001.KTL"));
  EXPECT_EQ(host_identity(dir / "c/CAT"), cat.own_identity());
}

// Writers take the directory's lock exclusively, readers shared; the lock adds
// no file to the directory, which holds volume files only.
TEST(DirectoryLock, SharedLocksGoTogetherAndAnExclusiveOneGoesAlone) {
  testing::TempDir dir;
  testing::make_directories(dir / "c/CAT");
  testing::DriveMapping map({{'C', dir / "c"}});
  DirectoryHandle writer, reader, second_reader;
  ASSERT_TRUE(writer.open("C:\\CAT"));
  ASSERT_TRUE(reader.open("c:\\cat\\"));
  ASSERT_TRUE(second_reader.open("C:\\CAT"));
  using Lock = DirectoryHandle::Lock;
  using Outcome = DirectoryHandle::LockOutcome;
  ASSERT_EQ(writer.lock(Lock::exclusive, milliseconds(0)), Outcome::locked);
  EXPECT_EQ(reader.lock(Lock::shared, milliseconds(50)), Outcome::busy);
  // The writer's own work in the directory goes on under its lock.
  File f = writer.create_new(".shelvo-new-1-0");
  ASSERT_TRUE(f);
  ASSERT_TRUE(f.write("volume") && f.close());
  ASSERT_TRUE(writer.rename(".shelvo-new-1-0", "00000001.KTL", false));
  writer.unlock();
  ASSERT_EQ(reader.lock(Lock::shared, milliseconds(0)), Outcome::locked);
  ASSERT_EQ(second_reader.lock(Lock::shared, milliseconds(0)), Outcome::locked);
  EXPECT_EQ(writer.lock(Lock::exclusive, milliseconds(50)), Outcome::busy);
  reader.close();
  second_reader.unlock();
  EXPECT_EQ(writer.lock(Lock::exclusive, milliseconds(0)), Outcome::locked);
  EXPECT_EQ(testing::list_directory(dir / "c/CAT"), std::vector<std::string>{"00000001.KTL"});
}

} // namespace
} // namespace shelvo
