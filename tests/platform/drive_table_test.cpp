#include "platform/drive_table.h"
#include "platform/drive_discovery.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace shelvo {
namespace {

TEST(DriveEntries, GoodEntriesWithAndWithoutLabel) {
  DriveTable table;
  std::string error;
  ASSERT_TRUE(parse_drive_list("C:=/home/ann/c;d:=/media/ann/PHOTOS|Photos 2019;", table, error)) << error;
  ASSERT_NE(table.find('C'), nullptr);
  EXPECT_EQ(table.find('c')->directory, "/home/ann/c");
  EXPECT_FALSE(table.find('C')->label.has_value());
  EXPECT_EQ(*table.find('D')->label, "Photos 2019");
  EXPECT_EQ(table.find('E'), nullptr); // letters not listed do not exist
  EXPECT_EQ(table.drives().size(), 2u);
}

TEST(DriveEntries, EveryBadEntryIsAnErrorNamingIt) {
  for (const char* bad : {"C=/x", "C:/x", "1:=/x", "C:=", "C:=relative/dir", "C:=|label", "CC:=/x"}) {
    DriveTable table;
    std::string error;
    EXPECT_FALSE(parse_drive_list(std::string("D:=/ok;") + bad, table, error)) << bad;
    EXPECT_NE(error.find(bad), std::string::npos) << error;
  }
  DriveTable table;
  std::string error;
  EXPECT_FALSE(parse_drive_list("C:=/a;C:=/b", table, error));
  EXPECT_NE(error.find("twice"), std::string::npos);
}

TEST(DriveEntries, DrivesFileHasCommentsAndBlankLines) {
  DriveTable table;
  std::string error;
  ASSERT_TRUE(parse_drives_file("# my drives\n\nC:=/c   # the catalog\nE:=/mnt/usb|USB\n", table, error)) << error;
  EXPECT_EQ(table.find('C')->directory, "/c");
  EXPECT_EQ(*table.find('E')->label, "USB");
  DriveTable other;
  EXPECT_FALSE(parse_drives_file("C:=/c\nnonsense\n", other, error));
  EXPECT_NE(error.find("nonsense"), std::string::npos);
}

TEST(DriveEntries, DrivesFileNamesEveryBadLineAndKnowsTheHomeDirectory) {
  DriveTable table;
  std::string error;
  EXPECT_FALSE(parse_drives_file("C:=~/c\nnonsense\nE:=~\n# fine\nF:=relative\n", table, error, "/home/ann"));
  EXPECT_EQ(error.rfind("line 2: bad drive entry 'nonsense'", 0), 0u) << error;
  EXPECT_NE(error.find("\nline 5: bad drive entry 'F:=relative'"), std::string::npos) << error;
  EXPECT_EQ(table.find('C')->directory, "/home/ann/c");
  EXPECT_EQ(table.find('E')->directory, "/home/ann");
  DriveTable homeless;
  EXPECT_FALSE(parse_drive_list("C:=~/c", homeless, error));
  EXPECT_NE(error.find("HOME is not set"), std::string::npos) << error;
}

TEST(AutomaticTable, KeepsRealVolumesAndDropsPseudoFileSystems) {
#ifdef _WIN32
  SKIP_ON_WINDOWS("the drives are the system's own letters, not a mount table");
#else
  testing::TempDir dir;
  testing::write_file(dir / "mounts",
                      "proc /proc proc rw 0 0\n"
                      "/dev/vda / ext4 rw 0 0\n"
                      "tmpfs /run tmpfs rw 0 0\n"
                      "overlay /var/lib/docker/x overlay rw 0 0\n"
                      "/dev/loop3 /snap/core/1 squashfs ro 0 0\n"
                      "/dev/sdb1 /media/ann/USB\\040STICK vfat rw 0 0\n"
                      "server:/share /mnt/share nfs4 rw 0 0\n"
                      "/dev/sdc1 /run/media/ann/DISK ext4 rw 0 0\n"
                      "tmpfs /media/ann/ram tmpfs rw 0 0\n");
  const std::string home = dir / "home";
  testing::make_directories(home);
  const DriveTable table = build_automatic_table(dir / "mounts", home, dir / "data");  // data/ is missing
  ASSERT_NE(table.find('C'), nullptr);
  EXPECT_EQ(table.find('C')->directory, dir / "data/shelvo/drive_c");
  EXPECT_EQ(build_automatic_table(dir / "mounts", home, dir / "new/account/.local/share").find('C')->directory,
            dir / "new/account/.local/share/shelvo/drive_c");
  EXPECT_TRUE(std::filesystem::is_directory(dir / "new/account/.local/share/shelvo/drive_c"));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "data/shelvo/drive_c")); // created on first use
  EXPECT_EQ(table.find('D')->directory, home);
  ASSERT_NE(table.find('E'), nullptr);
  EXPECT_EQ(table.find('E')->directory, "/media/ann/USB STICK");
  EXPECT_EQ(table.find('F')->directory, "/mnt/share");
  EXPECT_EQ(table.find('G')->directory, "/run/media/ann/DISK");
  EXPECT_EQ(table.find('H'), nullptr);
  EXPECT_TRUE(is_pseudo_file_system("sysfs"));
  EXPECT_FALSE(is_pseudo_file_system("ntfs3"));
#endif
}

TEST(VolumeLabel, FromTheTableOrTheDirectoryNameOrUnreadable) {
  testing::TempDir dir;
  testing::make_directories(dir / "d");
  testing::make_directories(dir / "1234-ABCD");
  testing::make_directories(dir / "h");
  testing::DriveMapping map({{'D', dir / "d"}, {'E', dir / "1234-ABCD"}, {'F', dir / "missing"}, {'H', dir / "h"}},
                            {{'D', "Caf\xC3\xA9"}, {'H', ""}});
  std::string label;
  ASSERT_TRUE(read_drive_label(3, label));
  EXPECT_EQ(label, "Caf\xE9"); // Windows-1252, as catalogs store it
  ASSERT_TRUE(read_drive_label(4, label));
  EXPECT_EQ(label, "1234-ABCD"); // unlabelled: the directory's name, so two such disks differ
  ASSERT_TRUE(read_drive_label(7, label));
  EXPECT_EQ(label, ""); // an empty label given in the table is kept
  EXPECT_FALSE(read_drive_label(5, label)); // directory missing
  EXPECT_FALSE(read_drive_label(6, label)); // no such drive
}

TEST(CatalogPaths, ADirectoryBecomesTheShortestPathTheEngineUnderstands) {
  testing::DriveMapping map({{'C', "/home/ann/.local/share/shelvo/drive_c"}, {'D', "/home/ann"}, {'E', "/media/x"}});
  std::string path, why;
  ASSERT_TRUE(catalog_path_for_directory("/home/ann/cats/CAT", path, why));
  EXPECT_EQ(path, "D:\\cats\\CAT\\");
  ASSERT_TRUE(catalog_path_for_directory("/home/ann/.local/share/shelvo/drive_c/VOLDEPOT/", path, why));
  EXPECT_EQ(path, "C:\\VOLDEPOT\\"); // the deepest drive that holds it
  ASSERT_TRUE(catalog_path_for_directory("/media/x", path, why));
  EXPECT_EQ(path, "E:\\");
  ASSERT_TRUE(catalog_path_for_directory("/media/xy/cat", path, why));
  EXPECT_EQ(path, "/media/xy/cat/"); // no drive holds it: the host path
  EXPECT_FALSE(catalog_path_for_directory("/home/ann/a\\b", path, why));
  EXPECT_NE(why.find("'\\'"), std::string::npos);
}

TEST(DriveLetters, ADirectoryGetsItsTableLetterOrTheLastFreeOneForThisProcess) {
  testing::TempDir dir;
  for (const char* sub : {"c", "d/cats", "e", "d2"}) testing::make_directories(dir / sub);
  testing::DriveMapping map({{'C', dir / "c"}, {'D', dir / "d"}});
  EXPECT_EQ(map_directory_for_this_process(dir / "d/cats/..", std::nullopt), 'D'); // the same directory
  EXPECT_FALSE(drive_table().find('D')->label.has_value());
  EXPECT_EQ(map_directory_for_this_process(dir / "d", "Photos"), 'D');
  EXPECT_EQ(*drive_table().find('D')->label, "Photos");
  EXPECT_EQ(map_directory_for_this_process(dir / "e", std::nullopt), 'Z');
  EXPECT_EQ(map_directory_for_this_process(dir / "d2", std::nullopt), 'Y');
  EXPECT_EQ(drive_table().find('Y')->directory, dir / "d2");
  // What a walk of D: would reach, a catalog not made yet included.
  EXPECT_TRUE(lies_in_drive_volume(dir / "d/cats/CAT/new", 'D'));
  EXPECT_TRUE(lies_in_drive_volume(dir / "d", 'D'));
  EXPECT_FALSE(lies_in_drive_volume(dir / "d2/CAT", 'D')); // a name that merely starts alike
  EXPECT_FALSE(lies_in_drive_volume(dir / "c/VOLDEPOT", 'D'));
}

} // namespace
} // namespace shelvo
