// The index segment of a volume: built from the record stream, read back through
// its checks. Built and read together, since each is the other's reference.
#include "index/index_segment.h"
#include "index/volume_index_builder.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "catalog/catalog_store.h"
#include "catalog/record_reader.h"
#include "index/trigram_keys.h"
#include "support/random_volume.h"
#include "support/test_support.h"

namespace shelvo {
namespace {

using testing::random_volume;
using testing::TempDir;

// Every record the reader reports, with the kind and the directory it is in.
class CollectingHandler final : public RecordHandler {
public:
  void directory_record(std::string_view path) override { records.push_back("D " + std::string(path)); }
  void file_record(std::string_view name, RecordTail, std::string_view directory, bool member) override {
    records.push_back((member ? "M " : "F ") + std::string(directory) + "|" + std::string(name));
  }
  std::vector<std::string> records;
};

std::string label_of(std::string_view label) {
  std::string out(label);
  out.resize(label_length, ' ');
  return out;
}

struct Built {
  std::string volume_path;
  FileStatus status;
  std::string segment;
};

// The segment of a volume file written before, its stream fed in pieces.
Built build_from(const std::string& volume_path, std::size_t piece, std::uint32_t block_bytes) {
  Built built;
  built.volume_path = volume_path;
  const std::string volume = testing::read_file(volume_path);
  File file = File::open_host(volume_path, "rb");
  const std::optional<VolumeIdentity> identity = volume_identity_of(file);
  EXPECT_TRUE(identity.has_value());
  built.status = identity->file;
  VolumeIndexBuilder builder(block_bytes);
  const std::string_view stream = std::string_view(volume).substr(std::min(volume.size(), header_length));
  builder.start(volume.size() > label_length ? static_cast<unsigned char>(volume[label_length]) : 0);
  for (std::size_t at = 0; at < stream.size(); at += piece) builder.feed(stream.substr(at, piece));
  built.segment = builder.finish(*identity);
  return built;
}

Built build(const TempDir& dir, const std::string& volume, std::size_t piece, std::uint32_t block_bytes) {
  testing::write_file(dir / "00000001.KTL", volume);
  return build_from(dir / "00000001.KTL", piece, block_bytes);
}

IndexSegment opened(const TempDir& dir, const Built& built, const std::string& segment) {
  testing::write_file(dir / "segment.idx", segment);
  IndexSegment opened;
  EXPECT_TRUE(opened.open(dir / "segment.idx", built.status));
  return opened;
}

std::vector<std::uint32_t> keys_of(std::string_view name, KeySpace space) {
  std::vector<std::uint32_t> keys;
  for (std::size_t i = 0; i + 2 < name.size(); ++i)
    keys.push_back(index_key(space, trigram_code(static_cast<unsigned char>(name[i]),
                                                 static_cast<unsigned char>(name[i + 1]),
                                                 static_cast<unsigned char>(name[i + 2]))));
  return keys;
}

TEST(VolumeIndex, TheSegmentIsTheSameWhateverPiecesTheStreamComesIn) {
  TempDir dir;
  const std::string volume = random_volume(7, 3000);
  const Built whole = build(dir, volume, volume.size(), 512);
  for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{4096}})
    EXPECT_TRUE(build_from(whole.volume_path, piece, 512).segment == whole.segment) << piece;
}

// Read block by block from where the segment says they start, with the
// directory it gives, the reader reports the records of the whole volume, and
// every name's keys lead to the block that holds it; keys no name holds lead
// nowhere.
TEST(VolumeIndex, BlocksResumeTheReaderExactlyAndHoldTheirNamesKeys) {
  TempDir dir;
  for (const std::uint32_t seed : {1u, 2u, 3u}) {
    const std::string volume = random_volume(seed, 4000);
    const Built built = build(dir, volume, 65536, 300);
    IndexSegment segment = opened(dir, built, built.segment);
    ASSERT_FALSE(segment.linear_only());
    ASSERT_GT(segment.block_count(), 20u);

    CollectingHandler whole;
    RecordReader whole_reader(whole, true);
    whole_reader.start_volume(volume_format_byte);
    whole_reader.feed(std::string_view(volume).substr(header_length));

    std::vector<BlockRun> blocks;
    const BlockSet all(segment.block_count(), true);
    ASSERT_TRUE(segment.runs_of(all, blocks));
    ASSERT_EQ(blocks.size(), 1u); // one run of every block
    std::vector<std::string> pieced;
    for (std::uint32_t b = 0; b < segment.block_count(); ++b) {
      BlockSet one(segment.block_count());
      one.insert(b);
      std::vector<BlockRun> runs;
      ASSERT_TRUE(segment.runs_of(one, runs));
      ASSERT_EQ(runs.size(), 1u);
      CollectingHandler handler;
      RecordReader reader(handler, true);
      if (runs[0].at_volume_start) reader.start_volume(volume_format_byte);
      else reader.resume_at_record(runs[0].directory, runs[0].begin - header_length);
      reader.feed(std::string_view(volume).substr(runs[0].begin, runs[0].end - runs[0].begin));
      for (const std::string& record : handler.records) {
        pieced.push_back(record);
        const KeySpace space = record[0] == 'D' ? KeySpace::directories
                               : record[0] == 'M' ? KeySpace::members
                                                  : KeySpace::files;
        const std::string name = record[0] == 'D' ? record.substr(2 + leaf_of(record.substr(2)))
                                                  : record.substr(record.find('|') + 1);
        for (const std::uint32_t key : keys_of(name, space)) {
          BlockSet holding;
          ASSERT_TRUE(segment.blocks_of_key(key, holding));
          EXPECT_TRUE(holding.contains(b)) << record;
        }
      }
    }
    EXPECT_EQ(pieced, whole.records);
    BlockSet none;
    ASSERT_TRUE(segment.blocks_of_key(index_key(KeySpace::files, trigram_code('Q', 'Q', 'Q')), none));
    EXPECT_TRUE(none.empty());
    ASSERT_TRUE(segment.blocks_of_key(index_key(KeySpace::directories, trigram_code('.', 'Z', 'I')), none));
    EXPECT_TRUE(none.empty());
  }
}

// A stream that leaves the writers' rules gets a segment that says to read the
// volume whole: the reader's state at a block would not be what the segment
// records.
TEST(VolumeIndex, StreamsOutsideTheWritersRulesAreReadWhole) {
  const std::string label = label_of("BAD") + static_cast<char>(volume_format_byte);
  std::string root;
  encode_directory_record(root, "\\");
  std::string file;
  encode_file_record(file, "A.TXT", 10, 0x2822, 0x1883);
  std::string member = file;
  std::string counts;
  encode_archive_block_counts(counts, static_cast<std::uint32_t>(member.size()), 1);
  std::string counts_two;
  encode_archive_block_counts(counts_two, static_cast<std::uint32_t>(member.size()), 2);
  std::string counts_long;
  encode_archive_block_counts(counts_long, static_cast<std::uint32_t>(member.size() + 1), 1);
  const std::string block = "\x01" + counts + member;
  const struct {
    const char* what;
    std::string volume;
  } cases[] = {
      {"a directory marker of seven zeros", label + root + file + root.substr(1) + file},
      {"an archive block after a directory record", label + root + block},
      {"an archive block after a member", label + root + file + block + block},
      {"a count the members do not reach", label + root + file + "\x01" + counts_two + member},
      {"a length the members do not fill", label + root + file + "\x01" + counts_long + member},
      {"a directory record among the members", label + root + file + "\x01" + counts_two + member + root},
      {"a record cut short by the end", label + root + file + file.substr(0, 7)},
      {"an archive block cut short", label + root + file + "\x01" + counts},
      {"a name without an end", label + root + std::string(70000, 'A')},
      {"the older format without its root first", label_of("OLD") + file + root},
  };
  TempDir dir;
  for (const auto& c : cases) {
    const Built built = build(dir, c.volume, 5, 64);
    IndexSegment segment = opened(dir, built, built.segment);
    EXPECT_TRUE(segment.linear_only()) << c.what;
  }
  // The older format itself is fine: its root's first zero is where the format byte is.
  std::string files;
  for (int k = 0; k < 2000; ++k) encode_file_record(files, "F" + std::to_string(k), 1, 0x2822, 0x1883);
  const Built older = build(dir, label_of("OLD") + root + files, 5, 64);
  EXPECT_FALSE(opened(dir, older, older.segment).linear_only());
}

// Whatever byte of a segment is damaged, it is either found out (the open or a
// lookup fails) or it changes nothing that is read.
TEST(VolumeIndex, ADamagedByteIsFoundOutOrChangesNothingRead) {
  TempDir dir;
  const std::string volume = random_volume(11, 1500);
  const Built built = build(dir, volume, 65536, 256);
  std::vector<std::uint32_t> keys;
  for (const char* three : {"ZLI", "PDF", "AB.", "TES", "QQQ"})
    for (const KeySpace space : {KeySpace::files, KeySpace::members, KeySpace::directories})
      keys.push_back(index_key(space, trigram_code(three[0], three[1], three[2])));
  auto answers = [&](IndexSegment& segment, std::vector<std::string>& out) {
    out.clear();
    for (const std::uint32_t key : keys) {
      BlockSet blocks;
      std::vector<BlockRun> runs;
      if (!segment.blocks_of_key(key, blocks) || !segment.runs_of(blocks, runs)) return false;
      std::string text;
      for (const BlockRun& run : runs)
        text += std::to_string(run.begin) + "-" + std::to_string(run.end) + run.directory + ";";
      out.push_back(text);
    }
    return true;
  };
  IndexSegment whole = opened(dir, built, built.segment);
  std::vector<std::string> expected, got;
  ASSERT_TRUE(answers(whole, expected));
  std::mt19937 random(5);
  for (std::size_t at = 0; at < built.segment.size(); at += 1 + random() % 97) {
    std::string damaged = built.segment;
    damaged[at] = static_cast<char>(damaged[at] ^ (1 + random() % 255));
    testing::write_file(dir / "damaged.idx", damaged);
    IndexSegment segment;
    if (!segment.open(dir / "damaged.idx", built.status)) continue;
    if (answers(segment, got)) {
      EXPECT_EQ(got, expected) << "byte " << at;
    }
  }
}

TEST(VolumeIndex, ASegmentOpensOnlyWholeAndForItsOwnVolumeFile) {
  TempDir dir;
  const Built built = build(dir, random_volume(3, 500), 65536, 256);
  testing::write_file(dir / "segment.idx", built.segment);
  IndexSegment segment;
  FileStatus other = built.status;
  other.modified_ns += 1;
  EXPECT_FALSE(segment.open(dir / "segment.idx", other));
  other = built.status;
  other.inode += 1;
  EXPECT_FALSE(segment.open(dir / "segment.idx", other));
  testing::write_file(dir / "segment.idx", built.segment.substr(0, built.segment.size() - 1));
  EXPECT_FALSE(segment.open(dir / "segment.idx", built.status));
  testing::write_file(dir / "segment.idx", built.segment + '\0');
  EXPECT_FALSE(segment.open(dir / "segment.idx", built.status));
  EXPECT_FALSE(segment.open(dir / "missing.idx", built.status));
}

// Names that share nothing (random bytes) would need postings larger than the
// volume allows: neighbouring blocks are taken together until they fit.
TEST(VolumeIndex, ASegmentStaysUnderItsShareOfTheVolume) {
  TempDir dir;
  std::mt19937 random(9);
  std::string volume = label_of("NOISE") + static_cast<char>(volume_format_byte);
  encode_directory_record(volume, "\\");
  for (int r = 0; r < 20000; ++r) {
    std::string name;
    for (int k = 0; k < 12; ++k) name += static_cast<char>(2 + random() % 250);
    encode_file_record(volume, name, 1, 0x2822, 0x1883);
  }
  const Built built = build(dir, volume, 65536, 64);
  EXPECT_LE(static_cast<double>(built.segment.size()),
            VolumeIndexBuilder::max_share * static_cast<double>(volume.size()));
  IndexSegment segment = opened(dir, built, built.segment);
  if (!segment.linear_only()) {
    EXPECT_GT(segment.header().block_bytes, 64u);
  }
}

} // namespace
} // namespace shelvo
