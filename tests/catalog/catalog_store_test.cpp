#include "catalog/catalog_store.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

namespace shelvo {
namespace {

using testing::bytes_from_hex;
using testing::hex_of;

TEST(VolumeFileNames, NumberingAndCarry) {
  EXPECT_EQ(volume_file_name(7), "00000007.KTL");
  EXPECT_EQ(volume_file_path("C:\\CAT", 3), "C:\\CAT\\00000003.KTL");
  EXPECT_EQ(volume_file_path("C:\\CAT\\", 3), "C:\\CAT\\00000003.KTL");

  std::string path = "C:\\VOLDEPOT\\00000009.KTL";
  next_volume_file(path);
  EXPECT_EQ(path, "C:\\VOLDEPOT\\00000010.KTL");
  path = "C:\\VOLDEPOT\\00000999.KTL";
  next_volume_file(path);
  EXPECT_EQ(path, "C:\\VOLDEPOT\\00001000.KTL");
  path = "D:\\A.B\\00000000.KTL"; // the last dot counts, not one in the directory
  next_volume_file(path);
  EXPECT_EQ(path, "D:\\A.B\\00000001.KTL");
  EXPECT_EQ(volume_number_of("C:\\X\\00001234.KTL"), 1234);
  EXPECT_EQ(volume_number_of("C:\\X\\ABC.KTL"), -1);
}

TEST(VolumeFile, TheTestVolumeWithATxtIsFortyOneBytes) {
  std::string bytes;
  bytes += "TEST";
  bytes.append(11, ' ');
  bytes += '\x05';
  encode_directory_record(bytes, "\\");
  encode_file_record(bytes, "A.TXT", 10, 0x2822, 0x1883);
  EXPECT_EQ(bytes.size(), 41u);
  EXPECT_EQ(hex_of(bytes), hex_of(bytes_from_hex("54 45 53 54 20 20 20 20 20 20 20 20 20 20 20 05"
                                                 "00 00 00 00 00 00 00 00 5C 00"
                                                 "41 2E 54 58 54 00 00 00 00 0A 28 22 18 83 00")));
}

TEST(VolumeFile, ArchiveBlockOfXZip) {
  std::string member;
  encode_file_record(member, "A.TXT", 10, 0x2822, 0x1883);
  std::string block;
  encode_archive_block_counts(block, static_cast<std::uint32_t>(member.size()), 1);
  EXPECT_EQ(hex_of(block), "0F 00 00 00 01 00 00 00");
  std::string opening;
  encode_archive_block_opening(opening);
  EXPECT_EQ(opening, "\x01xxxxyyyy");
}

TEST(VolumeFile, SizesOfTwoGibibytesAndMoreAreCappedNotWrapped) {
  // The field holds 31 bits. Keeping the low bits would show a 3 GB image as
  // 852,516,352 bytes; a capped size shows it as "2 GiB or more".
  for (const std::uint64_t size : {3000000000ull, 5368709120ull, 0x80000000ull, 0xFFFFFFFFull}) {
    std::string record;
    encode_file_record(record, "BIG", size, 0, 0);
    EXPECT_EQ(hex_of(record.substr(4, 4)), "7F FF FF FF") << size;
  }
  std::string record;
  encode_file_record(record, "MAX", 0x7FFFFFFF, 0, 0);
  EXPECT_EQ(hex_of(record.substr(4, 4)), "7F FF FF FF");
  record.clear();
  encode_file_record(record, "SMALL", 852516352, 0, 0);
  EXPECT_EQ(hex_of(record.substr(6, 4)), hex_of(bytes_from_hex("32 D0 5E 00")));
}

TEST(VolumeFile, HeaderRoundTripAndShortFiles) {
  testing::TempDir dir;
  {
    File f = File::open_host(dir / "v.ktl", "wb");
    ASSERT_TRUE(write_volume_header(f, "MYDISK"));
    ASSERT_TRUE(f.close());
  }
  EXPECT_EQ(testing::read_file(dir / "v.ktl"), std::string("MYDISK         \x05", 16));
  File f = File::open_host(dir / "v.ktl", "rb");
  const VolumeHeader h = read_volume_header(f);
  EXPECT_EQ(h.label, "MYDISK         ");
  EXPECT_EQ(h.format, 5);

  testing::write_file(dir / "empty.ktl", "");
  File e = File::open_host(dir / "empty.ktl", "rb");
  const VolumeHeader eh = read_volume_header(e);
  EXPECT_EQ(eh.label, "");
  EXPECT_EQ(eh.format, 0);

  testing::write_file(dir / "short.ktl", "ABC");
  File s = File::open_host(dir / "short.ktl", "rb");
  EXPECT_EQ(read_volume_header(s).label, "ABC");
}

TEST(VersionText, FormatBytes) {
  EXPECT_EQ(listing_version_text(5), "v2.2");
  EXPECT_EQ(listing_version_text(0), "v2~0");
  EXPECT_EQ(listing_version_text(2), "v2~0");
  EXPECT_EQ(listing_version_text(1), "v2.-2");
  EXPECT_EQ(listing_version_text(6), "v2~4");
}

} // namespace
} // namespace shelvo
