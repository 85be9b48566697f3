// Each archive reader on arbitrary bytes, through scan_archive: whatever it is
// given, the volume file holds its header untouched and either nothing more or
// one consistent archive block (length and count match its records, no size with
// bit 31, no name a record cannot hold).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "catalog/catalog_store.h"
#include "fuzz/fuzz_support.h"
#include "platform/file_access.h"
#include "results/run_state.h"
#include "scanner/archive_scan.h"

namespace {

using namespace shelvo;

std::uint32_t le32(std::string_view b, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

void check_block(std::string_view block) {
  FUZZ_CHECK(block.size() >= archive_block_header && block[0] == '\x01');
  const std::uint32_t length = le32(block, 1);
  const std::uint32_t count = le32(block, 5);
  FUZZ_CHECK(block.size() == archive_block_header + length);
  std::size_t at = archive_block_header;
  for (std::uint32_t k = 0; k < count; ++k) {
    const std::size_t nul = block.find('\0', at);
    FUZZ_CHECK(nul != std::string_view::npos && nul > at);
    const std::string_view name = block.substr(at, nul - at);
    FUZZ_CHECK(name[0] != '\x01' && name.find_first_of("/\\:*?\"<>|") == std::string_view::npos);
    FUZZ_CHECK(nul + file_record_overhead - 1 <= block.size());
    FUZZ_CHECK((static_cast<unsigned char>(block[nul + 1]) & 0x80) == 0); // size below 2 GiB
    FUZZ_CHECK(block[nul + file_record_overhead - 1] == '\0');
    at = nul + file_record_overhead;
  }
  FUZZ_CHECK(at == block.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& dir = fuzzing::scratch();
  const std::string archive = dir + "/ARCHIVE";
  const std::string volume = dir + "/VOLUME";
  if (!fuzzing::write_bytes(archive, fuzzing::text_of(data, size))) return 0;
  reset_counters();
  std::string header;
  {
    File file = File::open_host(volume, "w+b");
    write_volume_header(file, "FUZZ");
    const int result = scan_archive(file, archive, "\\ARCHIVE");
    FUZZ_CHECK(result == 1 || result == -1);
    FUZZ_CHECK(file.close());
    const std::string bytes = fuzzing::read_bytes(volume);
    FUZZ_CHECK(bytes.substr(0, header_length) == std::string("FUZZ           \x05"));
    if (result == 1) check_block(std::string_view(bytes).substr(header_length));
    else FUZZ_CHECK(bytes.size() == header_length);
  }
  return 0;
}
