#include "catalog/record_reader.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "catalog/catalog_store.h"
#include "support/test_support.h"

namespace shelvo {
namespace {

using testing::bytes_from_hex;
using testing::hex_of;

// Writes every record the reader reports as one line of text.
class RecordLog final : public RecordHandler {
public:
  void directory_record(std::string_view path) override { lines.push_back("D " + std::string(path)); }
  void file_record(std::string_view name, RecordTail tail, std::string_view directory, bool member) override {
    lines.push_back(std::string(member ? "M " : "F ") + std::string(directory) + " | " + std::string(name) + " | " +
                    hex_of(std::string_view(reinterpret_cast<const char*>(tail.data()), tail.size())));
  }
  std::vector<std::string> lines;
};

enum class Feeding { bulk, bytewise };

// Feeds a copy of the bytes that ends where they end, so that the sanitizers
// see any read past a chunk, which the rest of the stream would hide.
void feed_alone(RecordReader& reader, std::span<const char> bytes) {
  const std::vector<char> copy(bytes.begin(), bytes.end());
  reader.feed(copy);
}

// Reads with a name filter on the handler, as the search pass does.
std::vector<std::string> read_filtered(const std::string& stream, const CompiledMaskList& filter) {
  RecordLog log;
  log.name_filter = &filter;
  RecordReader reader(log, true);
  reader.start_volume(5);
  for (std::size_t at = 0; at < stream.size(); at += 97)
    feed_alone(reader, std::span<const char>(stream.data() + at, std::min<std::size_t>(97, stream.size() - at)));
  return log.lines;
}

// Reads one record stream in chunks of the given size (0: all at once), taking
// pending skips by calling skipped() as the search pass does after a seek.
std::vector<std::string> read_stream(const std::string& stream, bool archives, unsigned char format = 5,
                                     std::size_t chunk = 0, Feeding feeding = Feeding::bulk) {
  RecordLog log;
  RecordReader reader(log, archives);
  reader.start_volume(format);
  if (chunk == 0) chunk = stream.size() + 1;
  std::size_t at = 0;
  while (at < stream.size()) {
    const std::size_t n = std::min(chunk, stream.size() - at);
    const std::span<const char> part(stream.data() + at, n);
    if (feeding == Feeding::bulk) feed_alone(reader, part);
    else reader.feed_bytewise(part);
    at += n;
    if (const auto skip = reader.pending_skip(); skip > 0) {
      reader.skipped(skip);
      at = skip > stream.size() - at ? stream.size() : at + static_cast<std::size_t>(skip);
    }
  }
  return log.lines;
}

// 10 bytes, 2 January 2000 at 03:04:06, as in the format's worked example.
void add_file(std::string& out, std::string_view name, std::uint32_t size = 10) {
  encode_file_record(out, name, size, 0x2822, 0x1883);
}

void add_archive(std::string& out, const std::vector<std::string>& members, std::uint32_t count_override = 0) {
  std::string body;
  for (const auto& m : members) add_file(body, m);
  out += '\x01';
  encode_archive_block_counts(out, static_cast<std::uint32_t>(body.size()),
                              count_override ? count_override : static_cast<std::uint32_t>(members.size()));
  out += body;
}

const std::string example_tail = "00 00 00 0A 28 22 18 83 00";

TEST(RecordReader, ReadsTheWorkedExampleOfTheFormat) {
  const std::string file = bytes_from_hex("54 45 53 54 20 20 20 20 20 20 20 20 20 20 20 05"
                                          "00 00 00 00 00 00 00 00 5C 00"
                                          "41 2E 54 58 54 00 00 00 00 0A 28 22 18 83 00");
  const auto lines = read_stream(file.substr(16), false);
  EXPECT_EQ(lines, (std::vector<std::string>{"D \\", "F \\ | A.TXT | " + example_tail}));
}

TEST(RecordReader, OlderFormatNeedsOnlySevenZerosForTheRootRecord) {
  // Byte 15 of an older file is the first zero of the root record.
  std::string stream(7, '\0');
  stream += "\\";
  stream += '\0';
  add_file(stream, "A.TXT");
  EXPECT_EQ(read_stream(stream, false, 0), (std::vector<std::string>{"D \\", "F \\ | A.TXT | " + example_tail}));
  // The same bytes in the current format never reach a directory marker.
  EXPECT_EQ(read_stream(stream, false, 5).front().substr(0, 2), "F ");
}

TEST(RecordReader, EmptyPathRecordAndRepeatedDirectoriesAreEachReported) {
  std::string stream;
  encode_directory_record(stream, "");
  add_file(stream, "A.TXT");
  encode_directory_record(stream, "\\SUB");
  add_file(stream, "C.TXT");
  encode_directory_record(stream, "");
  add_file(stream, "B.TXT");
  EXPECT_EQ(read_stream(stream, false), (std::vector<std::string>{"D ", "F  | A.TXT | " + example_tail, "D \\SUB",
                                                                  "F \\SUB | C.TXT | " + example_tail, "D ",
                                                                  "F  | B.TXT | " + example_tail}));
}

TEST(RecordReader, ArchiveMembersAreReadWithOptionAAndSkippedWithout) {
  std::string stream;
  encode_directory_record(stream, "\\ARC");
  add_file(stream, "BACKUP.ZIP");
  add_archive(stream, {"DOC.TXT", "README"});
  add_file(stream, "AFTER.TXT");
  add_file(stream, "EMPTY.ZIP");
  add_archive(stream, {});
  add_file(stream, "LAST.TXT");

  const std::vector<std::string> with_a = {
      "D \\ARC", "F \\ARC | BACKUP.ZIP | " + example_tail, "M \\ARC\\BACKUP.ZIP | DOC.TXT | " + example_tail,
      "M \\ARC\\BACKUP.ZIP | README | " + example_tail, "F \\ARC | AFTER.TXT | " + example_tail,
      "F \\ARC | EMPTY.ZIP | " + example_tail, "F \\ARC | LAST.TXT | " + example_tail};
  const std::vector<std::string> without_a = {
      "D \\ARC", "F \\ARC | BACKUP.ZIP | " + example_tail, "F \\ARC | AFTER.TXT | " + example_tail,
      "F \\ARC | EMPTY.ZIP | " + example_tail, "F \\ARC | LAST.TXT | " + example_tail};

  // Every chunk size, so that the marker, the 8 header bytes and the skipped
  // block fall on every possible chunk boundary.
  for (std::size_t chunk = 0; chunk <= stream.size(); ++chunk) {
    SCOPED_TRACE("chunk " + std::to_string(chunk));
    EXPECT_EQ(read_stream(stream, true, 5, chunk), with_a);
    EXPECT_EQ(read_stream(stream, false, 5, chunk), without_a);
    EXPECT_EQ(read_stream(stream, true, 5, chunk, Feeding::bytewise), with_a);
    EXPECT_EQ(read_stream(stream, false, 5, chunk, Feeding::bytewise), without_a);
  }
}

TEST(RecordReader, ArchivePathOfARootArchiveHasOneSeparator) {
  for (const char* root : {"", "\\"}) {
    std::string stream;
    encode_directory_record(stream, root);
    add_file(stream, "X.ZIP");
    add_archive(stream, {"A.TXT"});
    EXPECT_EQ(read_stream(stream, true).back(), "M \\X.ZIP | A.TXT | " + example_tail);
  }
}

TEST(RecordReader, RecordsCutShortByTheEndOfTheFileAreDropped) {
  std::string stream;
  encode_directory_record(stream, "\\D");
  add_file(stream, "WHOLE.TXT");
  const std::size_t whole = stream.size();
  add_file(stream, "CUT.TXT");
  stream += '\x01';
  stream += "\x05\x00\x00"; // an archive header cut inside its 8 bytes
  for (std::size_t size = whole; size <= stream.size(); ++size) {
    const auto lines = read_stream(stream.substr(0, size), true, 5, 7);
    const std::size_t complete = size >= whole + 17 ? 3 : 2;
    EXPECT_EQ(lines.size(), complete) << "size " << size;
  }
  // A block length that runs past the end simply ends the volume.
  std::string skipping;
  encode_directory_record(skipping, "\\D");
  add_file(skipping, "X.ZIP");
  skipping += bytes_from_hex("01 FF FF FF 7F 00 00 00 00");
  add_file(skipping, "NEVER.TXT");
  EXPECT_EQ(read_stream(skipping, false, 5, 4).size(), 2u);
}

TEST(RecordReader, OverlongPathsAndNamesAreCutAndTheRecordsAfterThemStillFound) {
  std::string stream;
  const std::string long_path = "\\" + std::string(400, 'P');
  const std::string long_name = std::string(500, 'N') + ".ZIP";
  encode_directory_record(stream, long_path);
  add_file(stream, long_name);
  add_archive(stream, {"IN.TXT"});
  encode_directory_record(stream, "\\OK");
  add_file(stream, "OK.TXT");

  for (std::size_t chunk : {0, 1, 13, 256}) {
    const auto lines = read_stream(stream, true, 5, chunk);
    ASSERT_EQ(lines.size(), 5u);
    const std::string cut_path = long_path.substr(0, max_directory_path);
    EXPECT_EQ(lines[0], "D " + cut_path);
    EXPECT_EQ(lines[1], "F " + cut_path + " | " + long_name.substr(0, max_record_name) + " | " + example_tail);
    const std::string archive_path = (cut_path + "\\" + long_name).substr(0, max_archive_path);
    EXPECT_EQ(lines[2], "M " + archive_path + " | IN.TXT | " + example_tail);
    EXPECT_EQ(lines[3], "D \\OK");
    EXPECT_EQ(lines[4], "F \\OK | OK.TXT | " + example_tail);
  }
}

TEST(RecordReader, AnArchiveCountLargerThanItsMembersNeverSwallowsTheFilesAfterThem) {
  std::string stream;
  encode_directory_record(stream, "\\D");
  add_file(stream, "X.ZIP");
  add_archive(stream, {"IN.TXT"}, 1000); // the length holds one member
  add_file(stream, "NEXT.TXT");
  // A length as large as the count: the next directory record ends the block.
  add_file(stream, "Y.ZIP");
  stream += bytes_from_hex("01 00 00 00 10 00 00 00 10");
  add_file(stream, "IN2.TXT");
  encode_directory_record(stream, "\\E");
  add_file(stream, "E.TXT");
  const auto lines = read_stream(stream, true);
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[2], "M \\D\\X.ZIP | IN.TXT | " + example_tail);
  EXPECT_EQ(lines[3], "F \\D | NEXT.TXT | " + example_tail);
  EXPECT_EQ(lines[5], "M \\D\\Y.ZIP | IN2.TXT | " + example_tail);
  EXPECT_EQ(lines[7], "F \\E | E.TXT | " + example_tail);
}

// Bulk scanning must give what the byte-at-a-time reader gives, on any bytes.
void expect_bulk_equals_bytewise(const std::string& stream, std::mt19937& random, const std::string& what) {
  for (bool archives : {false, true}) {
    for (const unsigned char format : {std::uint8_t{0}, std::uint8_t{5}}) {
      const auto reference = read_stream(stream, archives, format, 1, Feeding::bytewise);
      std::uniform_int_distribution<std::size_t> chunk(1, 600);
      for (std::size_t size : {std::size_t{0}, std::size_t{1}, chunk(random), chunk(random), std::size_t{49152}}) {
        ASSERT_EQ(read_stream(stream, archives, format, size), reference)
            << what << " chunk " << size << " archives " << archives << " format " << int(format);
      }
    }
  }
}

std::string valid_stream(std::mt19937& random) {
  std::uniform_int_distribution<int> pick(0, 99);
  std::string stream;
  encode_directory_record(stream, "\\");
  for (int r = 0; r < 200; ++r) {
    const int kind = pick(random);
    const std::string name = "N" + std::to_string(pick(random)) + (kind % 3 ? ".TXT" : ".ZIP");
    if (kind < 10) encode_directory_record(stream, "\\DIR" + std::to_string(kind) + "\\" + name);
    else if (kind < 20) {
      add_file(stream, name);
      add_archive(stream, {"M1", "MEMBER.TXT", name});
    } else add_file(stream, name, static_cast<std::uint32_t>(pick(random)) << 20);
  }
  return stream;
}

TEST(RecordReader, BulkScanningEqualsTheBytewiseReaderOnRandomAndDamagedInput) {
  std::mt19937 random(20261207);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 60; ++round) {
    // Random bytes, then bytes biased towards the markers 0x00 and 0x01.
    std::string noise(static_cast<std::size_t>(byte(random)) * 8, '\0');
    for (char& c : noise) c = static_cast<char>(byte(random));
    expect_bulk_equals_bytewise(noise, random, "noise");
    for (char& c : noise) {
      const int b = byte(random);
      c = static_cast<char>(b < 100 ? 0 : b < 130 ? 1 : b);
    }
    expect_bulk_equals_bytewise(noise, random, "markers");
    // A well-formed stream with a few bytes changed, dropped or cut.
    std::string damaged = valid_stream(random);
    std::uniform_int_distribution<std::size_t> where(0, damaged.size() - 1);
    for (int k = 0; k < 4; ++k) damaged[where(random)] = static_cast<char>(byte(random));
    damaged.erase(where(random), 3);
    damaged.resize(damaged.size() - static_cast<std::size_t>(byte(random)) % 50);
    expect_bulk_equals_bytewise(damaged, random, "damaged");

    // Leaving out the names a filter rejects changes nothing else: members and
    // archive paths stay what they were.
    MaskList masks(MaskList::search_mask_limit);
    masks.add("*.ZIP");
    masks.add("M?");
    std::vector<std::string> expected;
    for (const std::string& line : read_stream(damaged, true)) {
      const std::size_t name_at = line.find(" | ") + 3;
      const std::string name = line.substr(name_at, line.rfind(" | ") - name_at);
      if (line[0] == 'D' || match_mask_list(masks, name)) expected.push_back(line);
    }
    ASSERT_EQ(read_filtered(damaged, CompiledMaskList(masks)), expected);
  }
}

// A volume of the given number of records, long enough for the reader to walk it
// in several lanes: names of 1 to max_name bytes (with bytes 0x01 and 0xE9 inside
// now and then), tails of every value, directories with empty and overlong
// paths, archive blocks whose count is sometimes wrong.
std::string long_stream(std::mt19937& random, int records, std::size_t max_name) {
  std::uniform_int_distribution<int> pick(0, 999);
  auto name = [&] {
    std::string n(1 + random() % max_name, 'A');
    for (std::size_t k = 0; k < n.size(); ++k) {
      const int b = pick(random);
      n[k] = k > 0 && b < 5 ? '\x01' : k > 0 && b < 10 ? '\xE9' : k > 0 && b < 14 ? '*' : "ABQZ.09"[b % 7];
    }
    return n;
  };
  auto file = [&](std::string& out, const std::string& n) {
    encode_file_record(out, n, static_cast<std::uint32_t>(random()) >> 1, static_cast<std::uint16_t>(random()),
                       static_cast<std::uint16_t>(random()));
  };
  std::string stream;
  encode_directory_record(stream, "\\");
  for (int r = 0; r < records; ++r) {
    const int kind = pick(random);
    if (kind < 30) {
      encode_directory_record(stream, kind < 2 ? "" : kind < 4 ? "\\" + std::string(300, 'P') : "\\D\\" + name());
    } else if (kind < 50) {
      const std::string archive = name();
      file(stream, archive);
      std::string block;
      const int members = pick(random) % 9;
      for (int m = 0; m < members; ++m) file(block, name());
      stream += '\x01';
      const int count = kind < 45 ? members : members + pick(random) % 3 - 1;
      encode_archive_block_counts(stream, static_cast<std::uint32_t>(block.size()), static_cast<std::uint32_t>(count));
      stream += block;
      r += members;
    } else {
      file(stream, name());
    }
  }
  return stream;
}

// The same stream read in bulk, in chunks of several sizes, and byte by byte.
void expect_long_stream_read_alike(const std::string& stream, std::mt19937& random, const std::string& what) {
  for (bool archives : {false, true}) {
    for (const unsigned char format : {std::uint8_t{0}, std::uint8_t{5}}) {
      const auto reference = read_stream(stream, archives, format, 0, Feeding::bytewise);
      std::uniform_int_distribution<std::size_t> chunk(1000, 30000);
      for (std::size_t size : {std::size_t{0}, std::size_t{65536}, std::size_t{4099}, chunk(random)}) {
        ASSERT_EQ(read_stream(stream, archives, format, size), reference)
            << what << " chunk " << size << " archives " << archives << " format " << int(format);
      }
    }
  }
}

// Runs the narrower vector code, as on an older processor, while it lives.
struct NarrowVectors {
  explicit NarrowVectors(VectorWidth widest) { limit_vector_width(widest); }
  ~NarrowVectors() { limit_vector_width(VectorWidth::avx512); }
};

// Long volumes are walked in lanes from guessed record starts; whatever the
// names, the damage, the chunks or the vector code, the records are those read
// byte by byte.
TEST(RecordReader, LongVolumesReadInBulkEqualTheBytewiseReader) {
  std::mt19937 random(4242);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 8; ++round) {
    const NarrowVectors width(static_cast<VectorWidth>(round % 4));
    const std::size_t max_name = round % 3 == 0 ? 3 : round % 3 == 1 ? 30 : 80;
    const std::string clean = long_stream(random, 2500, max_name);
    expect_long_stream_read_alike(clean, random, "clean " + std::to_string(max_name));
    std::string damaged = clean;
    std::uniform_int_distribution<std::size_t> where(0, damaged.size() - 1);
    for (int k = 0; k < 30; ++k) {
      const int b = byte(random);
      damaged[where(random)] = static_cast<char>(b < 60 ? 0 : b < 90 ? 1 : b);
    }
    for (int k = 0; k < 10; ++k) damaged.insert(where(random), std::string(1 + random() % 7, '\0')); // stray zeros
    damaged.erase(where(random), 40);
    expect_long_stream_read_alike(damaged, random, "damaged " + std::to_string(max_name));
  }
}

// Lists one line per record it is told of; switches its filter off after a
// directory whose path holds a 'Q' and back on after any other, as the search
// does for list content.
class SwitchingLog final : public RecordHandler {
public:
  SwitchingLog(const CompiledMaskList& masks, bool filter_directories) : masks_(masks) {
    name_filter = &masks_;
    if (filter_directories) directory_filter = &masks_;
  }
  void directory_record(std::string_view path) override {
    lines.push_back("D " + std::string(path));
    name_filter = path.find('Q') != std::string_view::npos ? nullptr : &masks_;
  }
  void file_record(std::string_view name, RecordTail, std::string_view directory, bool member) override {
    lines.push_back(std::string(member ? "M " : "F ") + std::string(directory) + " | " + std::string(name));
  }
  std::vector<std::string> lines;

private:
  const CompiledMaskList& masks_;
};

std::vector<std::string> read_switching(const std::string& stream, const CompiledMaskList& masks,
                                        std::size_t chunk, Feeding feeding, bool filter_directories) {
  SwitchingLog log(masks, filter_directories);
  RecordReader reader(log, true);
  reader.start_volume(5);
  for (std::size_t at = 0; at < stream.size(); at += chunk) {
    const std::span<const char> part(stream.data() + at, std::min(chunk, stream.size() - at));
    if (feeding == Feeding::bulk) feed_alone(reader, part);
    else reader.feed_bytewise(part);
  }
  return log.lines;
}

// A filter with a probe skips the names without its bytes: the names reported,
// their directories and archive paths are those of the bytewise reader, also
// while the filter changes between records and for a list that accepts nothing.
TEST(RecordReader, NamesSkippedByAProbeLeaveEverythingElseAsItWas) {
  std::mt19937 random(99);
  const std::string stream = long_stream(random, 3000, 20);
  for (const std::vector<const char*>& masks :
       {std::vector<const char*>{"*QZ*"}, {"*Q?Z*", "\\*.0"}, {"*Z*Q*.*"}, {"A*QQ*", "*.ZA"}, {"\\*Q*"},
        {"*QZA*", "*Z?Q*", "*.09*", "*B9Q*", "A*ZZ"}, {"*QZ*", "*ZQ*", "*QQ*", "*ZZ*", "*Q9*", "*9Z*"}}) {
    MaskList list(MaskList::search_mask_limit);
    for (const char* m : masks) list.add(m);
    const CompiledMaskList compiled(list);
    ASSERT_NE(compiled.probe(), nullptr) << masks[0];
    // With the directories filtered too, those passed over still set the path
    // of the names after them.
    for (const bool filter_directories : {false, true}) {
      const auto reference = read_switching(stream, compiled, stream.size(), Feeding::bytewise, filter_directories);
      EXPECT_TRUE(filter_directories || reference.size() > 200u); // the directories, and with them names
      for (std::size_t chunk : {stream.size(), std::size_t{65536}, std::size_t{777}})
        ASSERT_EQ(read_switching(stream, compiled, chunk, Feeding::bulk, filter_directories), reference)
            << masks[0] << " chunk " << chunk << " directories filtered " << filter_directories;
    }
  }
}

// Counts what a reader reports; with a tally, the reader counts instead.
class Counts final : public RecordHandler {
public:
  void directory_record(std::string_view) override { ++reported.directories; }
  void file_record(std::string_view, RecordTail tail, std::string_view, bool member) override {
    const std::uint32_t size = static_cast<std::uint32_t>(tail[0] & 0x7F) << 24 | tail[1] << 16 | tail[2] << 8 | tail[3];
    (member ? reported.members : reported.files) += 1;
    (member ? reported.member_bytes : reported.file_bytes) += size;
  }
  RecordTally reported;
};

bool operator==(const RecordTally& a, const RecordTally& b) {
  return a.files == b.files && a.file_bytes == b.file_bytes && a.members == b.members &&
         a.member_bytes == b.member_bytes && a.directories == b.directories;
}

// Counting instead of reporting gives the numbers of what would be reported, by
// the probe (of pairs compared one by one, or looked up in two or three nibble
// tables), by the shortcut of "*" and "*.*" (names holding '*', and names too
// long for the lanes to settle, are left to the masks) and by the masks, for
// names and directories, damaged volumes included, on every vector width.
TEST(RecordReader, ATallyCountsWhatWouldBeReported) {
  std::mt19937 random(2024);
  std::string damaged = long_stream(random, 4000, 30);
  for (int k = 0; k < 20; ++k) damaged[random() % damaged.size()] = static_cast<char>(random() % 3);
  const std::string long_names = long_stream(random, 2000, 80); // names across 56 and 64 bytes
  for (const std::string& stream : {damaged, long_names}) {
    for (const std::vector<const char*>& masks :
         {std::vector<const char*>{"*"}, {"*.*"}, {"*Q*"}, {"*QZ*", "*Z?Q*", "*.0", "A*", "*B9*"},
          {"*QZ*", "*ZQ*", "*QQ*", "*ZZ*", "*Q9*"}, {"*A", "\\*.0"}}) {
      MaskList list(MaskList::search_mask_limit);
      for (const char* m : masks) list.add(m);
      const CompiledMaskList compiled(list);
      for (const bool archives : {false, true}) {
        Counts reference;
        reference.name_filter = reference.directory_filter = &compiled;
        RecordReader slow(reference, archives);
        slow.start_volume(5);
        slow.feed_bytewise(stream);
        EXPECT_GT(reference.reported.files + reference.reported.directories, 0u) << masks[0];
        for (int width = 0; width < 4; ++width) {
          const NarrowVectors narrow(static_cast<VectorWidth>(width));
          for (const std::size_t chunk : {std::size_t{65536}, std::size_t{4099}}) {
            Counts counted;
            counted.name_filter = counted.directory_filter = &compiled;
            RecordTally tally;
            counted.tally = &tally;
            RecordReader fast(counted, archives);
            fast.start_volume(5);
            for (std::size_t at = 0; at < stream.size(); at += chunk)
              feed_alone(fast, std::span<const char>(stream).subspan(at, std::min(chunk, stream.size() - at)));
            EXPECT_TRUE(tally == reference.reported)
                << masks[0] << " archives " << archives << " width " << width << " chunk " << chunk << ": "
                << tally.files << " " << tally.members << " " << tally.directories << " against "
                << reference.reported.files << " " << reference.reported.members << " "
                << reference.reported.directories;
            EXPECT_TRUE(counted.reported == RecordTally()); // nothing reported
          }
        }
      }
    }
  }
}

} // namespace
} // namespace shelvo
