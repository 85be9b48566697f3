#include "common/catalog_generator.h"

#include <array>
#include <cstdio>
#include <random>
#include <string_view>
#include <vector>

#include "catalog/catalog_store.h"
#include "platform/file_access.h"

namespace shelvo::bench {

namespace {

constexpr std::array<const char*, 9> common_extensions = {".JPG", ".TXT", ".DOC", ".MP3", ".C",
                                                          ".H",   ".HTM", ".DAT", ".XLS"};

// Words of names and directories; none holds a Q or a Z (the rare words do).
constexpr auto vocabulary = std::to_array<const char*>({
    "REPORT",  "INVOICE", "HOLIDAY",  "PHOTO",   "IMG",      "SCAN",    "LETTER",  "BUDGET",   "NOTES",
    "DRAFT",   "FINAL",   "BACKUP",   "MUSIC",   "TRACK",    "ALBUM",   "VIDEO",   "CLIP",     "PROJECT",
    "SOURCE",  "MAIN",    "README",   "SETUP",   "DATA",     "TABLE",   "SUMMARY", "MEETING",  "MINUTES",
    "PLAN",    "CONTRACT", "RECEIPT", "FAMILY",  "BEACH",    "MOUNTAIN", "GARDEN", "HOUSE",    "CAR",
    "TRIP",    "PARIS",   "LONDON",   "BERLIN",  "ROME",     "MADRID",  "VIENNA",  "OSLO",     "CHAPTER",
    "BOOK",    "THESIS",  "PAPER",    "SLIDES",  "POSTER",   "LOGO",    "ICON",    "LEVEL",    "SAVE",
    "CONFIG",  "INDEX",   "STYLE",    "SCRIPT",  "TEST",     "DEBUG",   "RELEASE", "VERSION",  "UPDATE",
    "PATCH",   "ARCHIVE", "OLD",      "NEW",     "COPY",     "TEMP",    "CACHE",   "LOG",      "EXPORT",
    "IMPORT",  "CLIENT",  "SERVER",   "ORDER",   "PRICE",    "OFFER",   "STOCK",   "SALES",    "TAX",
    "BANK",    "LOAN",    "HEALTH",   "DOCTOR",  "SCHOOL",   "CLASS",   "HOMEWORK", "EXAM",    "GRADES",
    "SPRING",  "SUMMER",  "AUTUMN",   "WINTER",  "MONDAY",   "FRIDAY",  "MORNING", "EVENING",  "PARTY",
    "WEDDING", "BIRTHDAY", "CONCERT", "GUITAR",  "PIANO",    "DRUMS",   "VOICE",   "SONG",     "MIX",
    "DEMO",    "LIVE",    "STUDIO",   "CAMERA",  "PHONE",    "PRINTER", "MANUAL",  "GUIDE",    "NEWS",
    "MAIL",    "DRIVER",  "GAME",     "MAP"});

constexpr std::string_view vowels = "AEIOU";
constexpr std::string_view separators = "__ _ -"; // '_' half the time, ' ' and '-' less often

class VolumeWriter {
public:
  VolumeWriter(std::mt19937& random, GeneratedCatalog& totals) : random_(random), totals_(totals) {}

  std::string volume(int number, long records) {
    std::string out = "BENCH" + std::to_string(number);
    out.resize(label_length, ' ');
    out += static_cast<char>(volume_format_byte);
    std::vector<std::string> path{""}; // components below the root
    directory(out, path);
    long written = 0;
    while (written < records) {
      const auto pick = random_() % 100;
      if (pick < 4) { // into a new subdirectory, or back up to a parent with more files
        if (path.size() < 6 && pick < 3) path.push_back(pick_word() + std::to_string(random_() % 100));
        else if (path.size() > 1) path.pop_back();
        directory(out, path);
        continue;
      }
      if (pick < 6) {
        const long members = 5 + static_cast<long>(random_() % 16);
        file(out, pick_word() + "_" + std::to_string(random_() % 100000) + ".ZIP", false);
        std::string block;
        for (long m = 0; m < members; ++m) file(block, name(), true);
        out += '\x01';
        encode_archive_block_counts(out, static_cast<std::uint32_t>(block.size()), static_cast<std::uint32_t>(members));
        out += block;
        ++totals_.archives;
        written += members + 1;
        continue;
      }
      file(out, name(), false);
      ++written;
    }
    return out;
  }

private:
  std::string pick_word() { return vocabulary[random_() % vocabulary.size()]; }

  // A word of a name: rarely one that holds 'Q' and 'Z', else from the vocabulary.
  std::string word() {
    const auto roll = random_() % 10000;
    if (roll < 22) { // rare_word alone, before a word or after one
      const auto form = random_() % 3;
      return form == 0 ? std::string(rare_word) : form == 1 ? rare_word + pick_word() : pick_word() + rare_word;
    }
    if (roll < 40) return std::string("Q") + vowels[random_() % vowels.size()] + "Z" + pick_word();
    if (roll < 52) return random_() % 2 ? "ZQ" + pick_word() : pick_word() + "ZQ";
    if (roll < 64) return random_() % 2 ? "ZZ" + pick_word() : pick_word() + "ZZ";
    if (roll < 76) return random_() % 2 ? "QQ" + pick_word() : pick_word() + "QQ";
    if (roll < 88) return random_() % 2 ? "QW" + pick_word() : pick_word() + "QW";
    return pick_word();
  }

  std::string name() {
    const auto shape = random_() % 10;
    const int words = shape < 1 ? 1 : shape < 4 ? 2 : shape < 7 ? 3 : 4;
    std::string n = word();
    for (int w = 1; w < words; ++w) {
      n += separators[random_() % separators.size()];
      n += word();
    }
    const auto number = random_() % 20;
    if (number < 7) n += separators[random_() % separators.size()] + std::to_string(1990 + random_() % 35);
    else if (number < 13) n += separators[random_() % separators.size()] + std::to_string(1000 + random_() % 9000);
    const bool rare = random_() % 100 == 0;
    return n + (rare ? rare_extension : common_extensions[random_() % common_extensions.size()]);
  }

  void file(std::string& out, const std::string& n, bool member) {
    std::string record;
    do { // tails without the byte of absent_word's first letter, which names hold rarely
      record.clear();
      const auto date =
          static_cast<std::uint16_t>((random_() % 40) << 9 | (1 + random_() % 12) << 5 | (1 + random_() % 28));
      const auto time = static_cast<std::uint16_t>((random_() % 24) << 11 | (random_() % 60) << 5 | random_() % 30);
      encode_file_record(record, n, static_cast<std::uint32_t>(random_() % 100000000), date, time);
    } while (record.find(absent_word[0], n.size()) != std::string::npos);
    out += record;
    const bool rare = n.ends_with(rare_extension);
    if (member) ++totals_.member_records;
    else ++totals_.file_records;
    if (rare) ++totals_.rare_names;
    if (rare && !member) ++totals_.rare_file_names;
  }

  void directory(std::string& out, const std::vector<std::string>& path) {
    std::string text;
    for (std::size_t k = 1; k < path.size(); ++k) text += "\\" + path[k];
    encode_directory_record(out, text.empty() ? "\\" : text);
    ++totals_.directory_records;
  }

  std::mt19937& random_;
  GeneratedCatalog& totals_;
};

bool write_host_file(const std::string& path, std::string_view bytes) {
  File file = File::open_host(path, "wb");
  return file && file.write(bytes) && file.close();
}

} // namespace

GeneratedCatalog generate_catalog(const std::string& host_dir, int volumes, long records, std::uint32_t seed) {
  GeneratedCatalog totals;
  std::mt19937 random(seed);
  VolumeWriter writer(random, totals);
  if (!write_host_file(host_dir + "/" + volume_file_name(0), "")) return totals;
  for (int v = 1; v <= volumes; ++v) {
    const long share = records / volumes + (v <= records % volumes ? 1 : 0);
    const std::string bytes = writer.volume(v, share);
    if (!write_host_file(host_dir + "/" + volume_file_name(v), bytes)) return totals;
    totals.bytes += bytes.size();
    ++totals.volumes;
  }
  totals.ok = true;
  return totals;
}

} // namespace shelvo::bench
