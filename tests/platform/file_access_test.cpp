#include "platform/file_access.h"

#include "platform/code_page.h"
#include "platform/dos_time.h"
#include "platform/drive_table.h"
#include "platform/fault_injection.h"
#include "support/test_support.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>

#include <array>
#include <cerrno>
#include <ctime>
#include <random>

namespace shelvo {
namespace {

TEST(DosPaths, ResolveThroughTheDriveTable) {
  testing::TempDir dir;
  testing::make_directories(dir / "c/voldepot");
  testing::DriveMapping map({{'C', dir / "c"}});
  // Exact first, then without regard to case; a missing component keeps its spelling.
#ifdef _WIN32
  // The file system itself ignores case there: the spelling given names the file.
  EXPECT_EQ(*resolve_dos_path("C:\\VOLDEPOT"), dir / "c/VOLDEPOT");
  EXPECT_EQ(*resolve_dos_path("C:\\VOLDEPOT\\00000000.KTL"), dir / "c/VOLDEPOT/00000000.KTL");
#else
  EXPECT_EQ(*resolve_dos_path("C:\\VOLDEPOT"), dir / "c/voldepot");
  EXPECT_EQ(*resolve_dos_path("c:\\voldepot\\"), dir / "c/voldepot");
  EXPECT_EQ(*resolve_dos_path("C:\\VOLDEPOT\\00000000.KTL"), dir / "c/voldepot/00000000.KTL");
#endif
  EXPECT_EQ(*resolve_dos_path("C:\\NEW\\SUB"), dir / "c/NEW/SUB");
  EXPECT_EQ(*resolve_dos_path("C:"), dir / "c");
  EXPECT_EQ(*resolve_dos_path("C:\\..\\..\\etc"), dir / "c/etc"); // never above the root
  EXPECT_EQ(*resolve_dos_path("C:\\VOLDEPOT\\..\\X"), dir / "c/X");
  set_current_drive(2);
#ifdef _WIN32
  EXPECT_EQ(*resolve_dos_path("\\VOLDEPOT"), dir / "c/VOLDEPOT");
#else
  EXPECT_EQ(*resolve_dos_path("\\VOLDEPOT"), dir / "c/voldepot");
#endif
  EXPECT_FALSE(resolve_dos_path("Q:\\X").has_value());
  EXPECT_EQ(*resolve_dos_path("/tmp\\a"), "/tmp/a"); // native, with '\' read as '/'
}

TEST(Files, ModesCreateDeleteRenameExist) {
  testing::TempDir dir;
  testing::DriveMapping map({{'C', dir.path()}});
  EXPECT_TRUE(create_directory("C:\\CAT"));
  EXPECT_FALSE(create_directory("C:\\CAT")); // exists: not created
  EXPECT_FALSE(create_directory("C:\\NO\\SUCH\\PARENT")); // only the last level
  {
    File f = File::open("C:\\CAT\\A.BIN", "wb");
    ASSERT_TRUE(f);
    EXPECT_TRUE(f.write("hello"));
    EXPECT_TRUE(f.close());
  }
  EXPECT_TRUE(file_exists("c:\\cat\\a.bin"));
  {
    File log = File::open("C:\\CAT\\A.BIN", "at");
    ASSERT_TRUE(log);
    EXPECT_TRUE(log.write(" world"));
  }
  EXPECT_EQ(testing::read_file(dir / "CAT/A.BIN"), "hello world");
  {
    File rw = File::open("C:\\CAT\\A.BIN", "w+b");
    ASSERT_TRUE(rw.write("xxxxyyyy"));
    ASSERT_TRUE(rw.seek(-4, SEEK_CUR));
    ASSERT_TRUE(rw.write("ZZZZ"));
    ASSERT_TRUE(rw.seek(0, SEEK_SET));
    std::array<char, 8> back{};
    EXPECT_EQ(rw.read(back), 8u);
    EXPECT_EQ(std::string(back.data(), 8), "xxxxZZZZ");
  }
  EXPECT_TRUE(rename_file("C:\\CAT\\A.BIN", "C:\\CAT\\B.BIN"));
  EXPECT_FALSE(file_exists("C:\\CAT\\A.BIN"));
  EXPECT_TRUE(delete_file("C:\\CAT\\B.BIN"));
  EXPECT_FALSE(File::open("C:\\CAT\\B.BIN", "rb"));
  EXPECT_FALSE(File::open("C:\\CAT", "rb")); // a directory is not a file
}

TEST(Files, AFullDiskIsAFailureNotASuccess) {
  File full = File::open_host("/dev/full", "wb");
  if (!full) GTEST_SKIP() << "no /dev/full here";
  full.write(std::string(1 << 17, 'x'));
  EXPECT_FALSE(full.close());
  EXPECT_TRUE(full.failed());
}

// Volume files are bytes: no host may turn "\n" into "\r\n" on the way out or
// back on the way in, in any mode a file is opened with.
TEST(Files, EveryModeWritesAndReadsTheBytesThemselves) {
  testing::TempDir dir;
  const std::string bytes("a\nb\r\n\x1A\0c\n", 9);
  for (const char* mode : {"wb", "w+b", "at"}) {
    const std::string path = dir / ("f" + std::string(mode).substr(0, 1) + std::to_string(std::string_view(mode).size()));
    File file = File::open_host(path, mode);
    ASSERT_TRUE(file) << mode;
    ASSERT_TRUE(file.write(bytes) && file.close()) << mode;
    EXPECT_EQ(testing::read_file(path), bytes) << mode;
    File again = File::open_host(path, "rb");
    std::string read(64, '\0');
    read.resize(again.read(read));
    EXPECT_EQ(read, bytes) << mode;
  }
  File made = File::create_new_host(dir / "new");
  ASSERT_TRUE(made.write(bytes) && made.seek(0, SEEK_SET));
  std::string read(64, '\0');
  read.resize(made.read(read));
  EXPECT_EQ(read, bytes);
  ASSERT_TRUE(made.close());
  EXPECT_EQ(testing::read_file(dir / "new"), bytes);
  WindowedFile windowed = WindowedFile::open_host(dir / "new");
  EXPECT_EQ(windowed.size(), bytes.size());
}

// Reads at any position give the file's bytes (fewer only past its end), and a
// walk forward in small steps through a large file costs a system call only
// every window, not every step.
TEST(Files, OnlyARegularFileIsOpenedAndNeverReadPastItsSizeAtTheOpen) {
  // A FIFO would block the open for ever, a device would never end: the alarm
  // fails the test rather than letting it hang.
  testing::TempDir dir;
#ifndef _WIN32 // no FIFOs there; its pipes and devices are refused by their type (GetFileType)
  const std::string fifo = dir / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  ::alarm(10);
  for (const std::string& path : {fifo, std::string("/dev/zero")}) {
    for (const char* mode : {"rb", "r+b", "at"}) {
      File file = File::open_host(path, mode);
      EXPECT_FALSE(file) << path << " " << mode;
      // A FIFO opened to write without a reader fails at once: ENXIO.
      const bool no_reader = path == fifo && std::string_view(mode) != "rb" && file.error() == ENXIO;
      EXPECT_TRUE(file.error() == not_a_regular_file || no_reader) << path << " " << mode << " " << file.error();
    }
    EXPECT_EQ(WindowedFile::open_host(path).error(), not_a_regular_file) << path;
  }
  ::alarm(0);
#endif
  EXPECT_NE(error_text(not_a_regular_file).find("Not a regular file"), std::string::npos);
  // A file that grows after it was opened is read as it was.
  const std::string growing = dir / "growing";
  testing::write_file(growing, "12345");
  File file = File::open_host(growing, "rb");
  testing::write_file(growing, "1234567890");
  std::array<char, 16> bytes{};
  EXPECT_EQ(file.read(bytes), 5u);
  EXPECT_TRUE(file.seek(0, SEEK_END));
  EXPECT_EQ(file.tell(), 5);
}

TEST(WindowedFiles, ReadAtAnyPositionAndFewSystemCallsGoingForward) {
  testing::TempDir dir;
  std::string bytes(1 << 20, ' ');
  std::mt19937 random(8);
  for (char& c : bytes) c = static_cast<char>(random());
  testing::write_file(dir / "f", bytes);
  WindowedFile file = WindowedFile::open_host(dir / "f");
  ASSERT_TRUE(file.is_open());
  EXPECT_EQ(file.size(), bytes.size());
  std::vector<char> out(200000);
  for (int k = 0; k < 3000; ++k) {
    const std::size_t at = random() % (bytes.size() + 100);
    const std::size_t length = k % 10 == 0 ? random() % out.size() : random() % 300;
    const std::size_t got = file.read_at(at, std::span<char>(out.data(), length));
    const std::size_t expected = at >= bytes.size() ? 0 : std::min(length, bytes.size() - at);
    ASSERT_EQ(got, expected) << "at " << at << " length " << length;
    ASSERT_EQ(std::string_view(out.data(), got), std::string_view(bytes).substr(std::min(at, bytes.size()), got));
  }
  clear_faults();
  WindowedFile forward = WindowedFile::open_host(dir / "f");
  for (std::size_t at = 0; at < bytes.size(); at += 46) forward.read_at(at, std::span<char>(out.data(), 30));
  EXPECT_LE(operations_seen(FileOperation::read), 24); // 1 MiB in windows of up to 64 KiB
  EXPECT_FALSE(forward.failed());
}

TEST(WindowedFiles, AFailedReadIsAFailureNotTheEnd) {
  testing::TempDir dir;
  testing::write_file(dir / "f", std::string(100000, 'x'));
  WindowedFile file = WindowedFile::open_host(dir / "f");
  inject_fault(FileOperation::read, 1, EIO);
  std::array<char, 10> out{};
  EXPECT_EQ(file.read_at(5, out), 0u);
  clear_faults();
  EXPECT_TRUE(file.failed());
  EXPECT_EQ(file.error(), EIO);
  EXPECT_FALSE(WindowedFile::open_host(dir.path()).is_open()); // a directory is no file to read
}

TEST(CodePage, RoundTripAndUnmappable) {
  EXPECT_EQ(utf8_to_cp1252("\xC3\xA9t\xC3\xA9"), "\xE9t\xE9");
  EXPECT_EQ(utf8_to_cp1252("\xE2\x82\xAC"), "\x80");        // the euro sign
  EXPECT_EQ(utf8_to_cp1252("\xE6\x97\xA5"), "\x8F");        // no Windows-1252 form: never the wildcard '?'
  EXPECT_EQ(utf8_to_cp1252("\xF0\x9F\x98\x80"), "\x8F");    // nor outside the BMP
  EXPECT_EQ(utf8_to_cp1252("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E*"), "\x8F\x8F\x8F*"); // a mask converts alike
  EXPECT_EQ(utf8_to_cp1252("caf\xE9"), "caf\xE9");          // not UTF-8: kept as bytes
  EXPECT_EQ(utf8_to_cp1252("\xC3"), "\xC3");                // cut sequence
  EXPECT_EQ(cp1252_to_utf8("\xE9\x80\x81"), "\xC3\xA9\xE2\x82\xAC\xC2\x81");
  std::string all;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  EXPECT_EQ(utf8_to_cp1252(cp1252_to_utf8(all)), all);
}

TEST(DosTime, LocalTimeAndClamping) {
  std::tm tm{};
  tm.tm_year = 100;
  tm.tm_mon = 0;
  tm.tm_mday = 2;
  tm.tm_hour = 3;
  tm.tm_min = 4;
  tm.tm_sec = 6;
  tm.tm_isdst = -1;
  const DosDateTime t = dos_date_time_from_unix(std::mktime(&tm));
  EXPECT_EQ(t.date, 0x2822);
  EXPECT_EQ(t.time, 0x1883);
  const DosDateTime early = dos_date_time_from_unix(0); // 1970
  EXPECT_EQ(early.date, (1 << 5) | 1);
  EXPECT_EQ(early.time, 0);
  const DosDateTime late = dos_date_time_from_unix(static_cast<std::time_t>(5000000000LL)); // 2128
  EXPECT_EQ(late.date >> 9, 127);
}

} // namespace
} // namespace shelvo
