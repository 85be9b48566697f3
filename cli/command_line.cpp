#include "cli/command_line.h"

#include "catalog/name_matching.h"
#include "platform/code_page.h"

namespace shelvo {

CommandLine parse_command_line(int argc, const char* const* argv) {
  CommandLine cl;
  cl.vector.emplace_back(argc > 0 ? argv[0] : "shelvo-cli");
  std::size_t search_masks = 0, volume_masks = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--", 0) == 0) {
      if (arg == "--help") cl.help = true;
      else if (arg == "--version") cl.version = true;
      else if (arg == "--drives") cl.drives = true;
      else if (arg == "--verbose") cl.verbose = true;
      else if (arg == "--numbers") cl.numbers = true;
      else {
        cl.error = "unknown option '" + arg + "'";
        return cl;
      }
      continue;
    }
    std::string element = arg;
    const ElementKind kind = classify_element(element);
    if (kind == ElementKind::search_mask || kind == ElementKind::volume_mask) element = utf8_to_cp1252(element);
    if (element.size() > element_limit) {
      cl.error = "element '" + arg + "' is longer than 63 characters";
      return cl;
    }
    if (kind == ElementKind::search_mask && !element.empty() && ++search_masks > MaskList::max_masks) {
      cl.error = "more than 31 search masks";
      return cl;
    }
    if (kind == ElementKind::volume_mask && ++volume_masks > MaskList::max_masks) {
      cl.error = "more than 31 volume masks";
      return cl;
    }
    cl.vector.push_back(std::move(element));
  }
  return cl;
}

std::string usage_text() {
  return "usage: shelvo-cli [--verbose] [--numbers] ELEMENT...\n"
         "       shelvo-cli --drives | --help | --version\n"
         "\n"
         "Each ELEMENT is one element of the engine's argument vector:\n"
         "  /l:DIR        the catalog directory (default C:\\VOLDEPOT)\n"
         "  X:            add drive X to the catalog (/Y overwrite, /N refuse, /S add again)\n"
         "  MASK          search for names matching MASK ('?' one, '*' many, '\\X' without X)\n"
         "  [VOLMASK]     only volumes whose label matches (case sensitive)\n"
         "  /a /d /cd /jd search archives, directories, list content, only directories\n"
         "  /nd           count only; /W list volumes; /W5 compact listing\n"
         "\n"
         "  --drives      print the drive table and exit\n"
         "  --verbose     announce each archive read while adding\n"
         "  --numbers     append each node's number (size, volume number) after a tab\n"
         "\n"
         "Exit status: 0 done, 1 failed or refused, 2 volume file not written,\n"
         "3 volume already in the catalog, 64 usage error.\n";
}

} // namespace shelvo
