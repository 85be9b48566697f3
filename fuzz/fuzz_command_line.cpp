// The command line, the argument vector and the drive table on arbitrary text:
// arguments are the input's zero-separated pieces; the same text is a drive list,
// a drives file, and DOS paths to resolve through what it describes.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "engine/argument_vector.h"
#include "fuzz/fuzz_support.h"
#include "platform/drive_table.h"
#include "platform/file_access.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace shelvo;
  const std::string text(fuzzing::text_of(data, size));
  std::vector<std::string> pieces{"shelvo-cli"};
  for (std::size_t start = 0; start <= text.size();) {
    std::size_t end = text.find('\0', start);
    if (end == std::string::npos) end = text.size();
    pieces.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  std::vector<const char*> argv;
  for (const std::string& p : pieces) argv.push_back(p.c_str());
  const CommandLine cl = parse_command_line(static_cast<int>(argv.size()), argv.data());
  if (cl.error.empty()) {
    for (const std::string& element : cl.vector) FUZZ_CHECK(element.size() <= element_limit || &element == &cl.vector[0]);
    int count = static_cast<int>(cl.vector.size());
    RunSettings settings;
    FUZZ_CHECK(cl.masks_from <= cl.vector.size());
    classify_elements(count, cl.vector, settings, cl.masks_from);
    FUZZ_CHECK(settings.search_masks.size() <= MaskList::max_masks);
  }

  DriveTable table;
  std::string error;
  const bool listed = parse_drive_list(text, table, error);
  FUZZ_CHECK(listed || !error.empty());
  DriveTable from_file;
  const bool filed = parse_drives_file(text, from_file, error);
  FUZZ_CHECK(filed || !error.empty());
  if (listed) {
    const DriveTable saved = drive_table();
    set_drive_table(table);
    for (const std::string& p : pieces) {
      const auto host = resolve_dos_path(p);
      // '..' never climbs above a drive's root.
      if (host && p.size() >= 2 && p[1] == ':')
        if (const Drive* d = table.find(p[0])) FUZZ_CHECK(host->rfind(d->directory == "/" ? "" : d->directory, 0) == 0);
    }
    set_drive_table(saved);
  }
  return 0;
}
