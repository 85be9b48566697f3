// Finding catalogued paths again on the host, the way a search reports its hits:
// directory by directory, going down and coming back up.
#include "results/host_paths.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

namespace shelvo {
namespace {

using Outcome = HostPathFinder::Outcome;

TEST(HostPaths, StoredNamesAreFoundInTheOrderOfASearch) {
  SKIP_ON_WINDOWS("names with '\\', control characters, or differing only in letter case cannot exist there");
  testing::TempDir dir;
  const std::string root = dir / "vol";
  testing::make_directories(root + "/Docs/\xC3\xA9t\xC3\xA9");         // été, stored ETE
  testing::make_directories(root + "/Docs/Old");
  testing::make_directories(root + "/back\\slash");                      // '\' stored as 0x8F
  testing::write_file(root + "/Docs/\xC3\xA9t\xC3\xA9/Notes.txt", "n");
  testing::write_file(root + "/Docs/Old/a.txt", "a");
  testing::write_file(root + "/Docs/readme", "r");
  testing::write_file(root + "/back\\slash/x", "x");
  testing::write_file(root + "/pack.zip", "PK");

  HostPathFinder finder;
  std::string host;
  EXPECT_EQ(finder.find(root, "\\DOCS\\ETE", "NOTES.TXT", host), Outcome::found);
  EXPECT_EQ(host, root + "/Docs/\xC3\xA9t\xC3\xA9/Notes.txt");
  EXPECT_EQ(finder.find(root, "\\DOCS\\OLD", "A.TXT", host), Outcome::found); // a sibling
  EXPECT_EQ(host, root + "/Docs/Old/a.txt");
  EXPECT_EQ(finder.find(root, "\\DOCS", "README", host), Outcome::found);      // back up
  EXPECT_EQ(host, root + "/Docs/readme");
  EXPECT_EQ(finder.find(root, "\\DOCS\\OLD", "", host), Outcome::found);       // the directory itself
  EXPECT_EQ(host, root + "/Docs/Old");
  EXPECT_EQ(finder.find(root, "\\BACK\x8FSLASH", "X", host), Outcome::found);
  EXPECT_EQ(host, root + "/back\\slash/x");
  EXPECT_EQ(finder.find(root, "\\", "", host), Outcome::found);
  EXPECT_EQ(host, root);

  EXPECT_EQ(finder.find(root, "\\DOCS", "GONE.TXT", host), Outcome::missing);
  EXPECT_EQ(finder.find(root, "\\GONE", "A.TXT", host), Outcome::missing);
  EXPECT_EQ(finder.find(root, "\\PACK.ZIP", "MEMBER.TXT", host), Outcome::through_file);
}

TEST(HostPaths, NamesTheCatalogCannotTellApartAreFoundAsTheTwoTheyWere) {
  SKIP_ON_WINDOWS("names with '\\', control characters, or differing only in letter case cannot exist there");
  testing::TempDir dir;
  const std::string root = dir / "vol";
  testing::make_directories(root);
  for (int i = 0; i < 100; ++i) testing::write_file(root + "/f" + std::to_string(i), "");
  testing::write_file(root + "/a.txt", "1");
  testing::write_file(root + "/A.TXT", "2");
  HostPathFinder finder;
  std::string first, second;
  EXPECT_EQ(finder.find(root, "\\", "A.TXT", first), Outcome::found);
  EXPECT_EQ(finder.find(root, "\\", "A.TXT", second), Outcome::found);
  EXPECT_NE(first, second);
  // Asked for in any order, every name is still found.
  for (int i = 99; i >= 0; --i) {
    std::string host;
    ASSERT_EQ(finder.find(root, "\\", "F" + std::to_string(i), host), Outcome::found) << i;
    EXPECT_EQ(host, root + "/f" + std::to_string(i));
  }
}

} // namespace
} // namespace shelvo
