// Writes seeds for fuzz_archive_readers that no archiver here makes: RAR archives
// (no free archiver writes them), and ARJ archives whose headers are at the
// largest a basic header may be and just past it (a reader that trusted the
// size would overflow its buffer at once), built with the same byte builders as
// the tests.
//   archive_seeds DIR
#include <cstdio>
#include <fstream>
#include <string>

#include "scanner/archive_builders.h"

namespace {

using namespace shelvo::testing;

bool write(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  return static_cast<bool>(out);
}

// An ARJ header as the tests build it, with a comment of the given length.
std::string arj_header(std::uint8_t file_type, const std::string& name, const std::string& data,
                       std::size_t comment_length) {
  std::string basic;
  basic += '\x2E'; // first-header size 46
  basic += "\x0B\x01";
  basic += '\0'; // MS-DOS
  basic += std::string("\x00\x00", 2);
  basic += static_cast<char>(file_type);
  basic += '\0';
  basic += le32(may_2001) + le32(static_cast<std::uint32_t>(data.size())) +
           le32(static_cast<std::uint32_t>(data.size())) + le32(0) + le16(0) + le16(0x20) + le16(0);
  basic.resize(46, '\0');
  basic += name + '\0' + std::string(comment_length, 'c') + '\0';
  return std::string("\x60\xEA", 2) + le16(static_cast<std::uint32_t>(basic.size())) + basic + le32(0) + le16(0);
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: archive_seeds DIR\n", stderr);
    return 64;
  }
  const std::string dir = argv[1];
  const std::string rar = rar_archive(rar_file("docs\\readme.txt", "hello", 5) +
                                      rar_file("big.iso", "iso", 3, 0x8100, {}, 29, '0', 0, 1) +
                                      rar_block(0x7A, 7, "comment", true) + rar_file("last.txt", "l", 1));
  // A file header of exactly the largest basic size (46 + "near.txt", its
  // terminator, a comment of 2,544 and its terminator: 2,600), with data enough
  // behind it that a size raised by one byte still reads whole.
  const std::string data(2700, 'd');
  const std::string end("\x60\xEA\x00\x00", 4);
  const std::string arj = arj_header(2, "SEED.ARJ", "", 0) + arj_header(0, "near.txt", data, 2544) + data +
                          arj_header(0, "next.txt", "more", 10) + "more" + end;
  // The same for the main header (46 + "SEED.ARJ" and a comment of 2,544).
  const std::string arj_main = arj_header(2, "SEED.ARJ", "", 2544) + data + arj_header(0, "a.txt", "a", 0) + "a" + end;
  // One byte past the largest: data that starts like a header, for the reader.
  const std::string arj_over = arj_header(2, "SEED.ARJ", "", 0) + arj_header(0, "over.txt", data, 2545) + data +
                               arj_header(0, "next.txt", "more", 10) + "more" + end;
  const bool ok = write(dir + "/over-limit.arj", arj_over) && write(dir + "/hand.rar", rar) && write(dir + "/hand-old.rar", rar_archive(rar_file("a.txt", "a", 1, 0x8000, {}, 20))) &&
                  write(dir + "/near-limit.arj", arj) && write(dir + "/near-limit-main.arj", arj_main);
  return ok ? 0 : 1;
}
