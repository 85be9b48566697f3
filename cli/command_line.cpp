#include "cli/command_line.h"
#include "cli/messages.h"

#include <cstdlib>

#include "catalog/name_matching.h"
#include "engine/argument_vector.h"
#include "platform/ascii_case.h"
#include "platform/code_page.h"
#include "results/printable_text.h"

namespace shelvo {

namespace {

constexpr std::size_t shown_characters = 60;

std::string upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = ascii_upper(c);
  return out;
}

bool is_utf8_continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// What the engine does with an option letter; nullptr for a letter it ignores.
const char* option_meaning(char letter, bool more) {
  const OptionLetter* option = option_letter(letter);
  if (!option) return nullptr;
  return more && option->meaning_with_more ? option->meaning_with_more : option->meaning;
}

// The engine reads an option by its letter and ignores what follows, except
// after L (the catalog), N (no-display) and W (W5). These are the forms that
// carry extra letters on purpose.
bool is_usual_option_form(std::string_view element) {
  const std::string form = upper(element.substr(1));
  return form == "CD" || form == "JD" || form == "ND" || form == "SLE" || form == "W5";
}

void check_option(const std::string& arg, std::string_view element, std::vector<std::string>& warnings) {
  const std::string q = quoted_argument(arg);
  if (element.size() < 2) {
    warnings.push_back(q + " has no option letter: ignored");
    return;
  }
  const char letter = ascii_upper(element[1]);
  const bool more = element.size() > 2;
  const char* meaning = option_meaning(letter, more);
  const std::string as_option = std::string("option ") + element[0] + letter;
  if (letter != 'L' && element.find_first_of("/\\", 1) != std::string_view::npos) {
    warnings.push_back(q + " looks like a path, but is read as " +
                       (meaning ? as_option + " (" + meaning + "), the rest ignored"
                                : "an option the engine does not know, and ignored") +
                       "; to add a directory: --add DIR; to use one as the catalog: /l:DIR (see --help)");
    return;
  }
  if (!meaning) {
    warnings.push_back(q + " is read as " + as_option + ", which the engine does not know: ignored");
    return;
  }
  if (letter == 'L') {
    if (element.size() < 4)
      warnings.push_back(q + " names no catalog: the default C:\\VOLDEPOT is used");
    else if (element[2] != ':')
      warnings.push_back(q + " is read as the catalog " + quoted_argument(element.substr(3)) +
                         ": the character after the letter is skipped (write /l:DIR)");
    return;
  }
  if (letter == 'T') {
    warnings.push_back(q + " is accepted and changes nothing");
    return;
  }
  if (!more || is_usual_option_form(element)) return;
  if (letter == 'N')
    warnings.push_back(q + " is read as /nd (count only, show no hits); /N alone refuses a volume already in the "
                           "catalog");
  else
    warnings.push_back(q + " is read as " + as_option + " (" + meaning +
                       "); the characters after the letter are ignored");
}

void check_volume_mask(const std::string& arg, std::string_view element, std::vector<std::string>& warnings) {
  const std::string q = quoted_argument(arg);
  std::string_view mask = element.substr(1);
  bool trailing = false;
  if (const std::size_t close = mask.find(']'); close != std::string_view::npos) {
    trailing = close + 1 < mask.size();
    mask = mask.substr(0, close);
  }
  const std::string after = trailing ? "; the characters after ']' are ignored" : "";
  if (mask.empty())
    warnings.push_back(q + " is an empty volume mask: ignored");
  else if (mask.size() > MaskList::volume_mask_limit)
    warnings.push_back(q + " is cut to the 15 characters of a label: [" +
                       printable_utf8(mask.substr(0, MaskList::volume_mask_limit)) + "]" + after);
  else if (trailing)
    warnings.push_back(q + " is read as the volume mask [" + printable_utf8(mask) + "]" + after);
}

void check_search_mask(const std::string& arg, std::string_view element, std::vector<std::string>& warnings) {
  if (element.empty()) {
    warnings.push_back("an empty argument is ignored");
    return;
  }
  // Names hold neither '/' nor '\'; only a leading '\' means something (exclusion).
  if (element.find('/') != std::string_view::npos || element.find('\\', 1) != std::string_view::npos ||
      element == "\\")
    warnings.push_back(quoted_argument(arg) +
                       " holds a '/' or '\\': masks match single names, never paths, so it matches nothing");
}

// A drive element: the letter counts, the rest is ignored; the last one given wins.
void check_drive(const std::string& arg, std::string_view element, std::string& previous_drive,
                 std::vector<std::string>& warnings) {
  const std::string q = quoted_argument(arg);
  const char letter = ascii_upper(element[0]);
  if (letter < 'A' || letter > 'Z') {
    warnings.push_back(q + " is not a drive letter (A to Z): ignored");
    return;
  }
  const std::string_view rest = element.substr(2);
  if (!rest.empty() && rest != "\\" && rest != "/")
    warnings.push_back(q + " is read as drive " + letter + ": to add; the rest is ignored (a whole drive is added, " +
                       "and a search mask cannot have ':' as its second character)");
  if (!previous_drive.empty())
    warnings.push_back(quoted_argument(previous_drive) + " is replaced by the later drive " + q +
                       ": one drive is added per call");
  previous_drive = arg;
}

// The maintenance commands act on a catalog and a choice of its volumes, and
// change catalogs: an element they would ignore or read otherwise than written
// is refused, never guessed at. A drive would be added, a search mask would turn
// the listing that chooses the volumes into a search, a volume mask chooses
// nothing for a delete (the number does) or an import (it takes every volume),
// and "/l" without a path would act on the default catalog.
void check_maintenance_elements(CommandLine& cl) {
  const bool masks_choose = !cl.export_to.empty();
  const std::string command = cl.delete_number ? "--delete" : !cl.import_from.empty() ? "--import" : "--export";
  const std::string takes = command + " takes only /l:DIR" +
                            (masks_choose      ? ", volume masks ([MASK]), and --yes or --no"
                             : cl.delete_number ? ", --yes or --no, and --label"
                                                : " and --yes or --no");
  std::size_t catalogs = 0;
  for (std::size_t i = 1; i < cl.vector.size(); ++i) {
    const std::string& element = cl.vector[i];
    const ElementKind kind = cl.masks_from > 0 && i >= cl.masks_from ? ElementKind::search_mask
                                                                     : classify_element(element);
    if (kind == ElementKind::volume_mask && masks_choose) continue;
    if (kind == ElementKind::option && element.size() >= 2 && ascii_upper(element[1]) == 'L') {
      if (++catalogs > 1) {
        cl.error = command + " acts on one catalog, and " + quoted_argument(cp1252_to_utf8(element)) +
                   " names a second one: give one /l:";
        return;
      }
      continue;
    }
    const std::string why = kind != ElementKind::volume_mask ? ""
                            : cl.delete_number ? " (the volume is chosen by its number; --label checks its label)"
                                               : " (every volume of the other catalog is imported)";
    cl.error = takes + ", not " + quoted_argument(cp1252_to_utf8(element)) + why;
    return;
  }
  if (cl.paths || cl.numbers || cl.verbose || cl.drives || cl.no_index)
    cl.error = takes + ": the output and index flags are for searches";
  if (!cl.add_directory.empty()) cl.error = command + " and --add are separate commands: one at a time";
  if (cl.error.empty() && !cl.warnings.empty())
    cl.error = cl.warnings.front() + "; " + command + " refuses an element it would ignore or read otherwise than "
               "written";
}

// --index makes the index of one catalog current and does nothing else: a
// drive or a mask beside it would be taken for a request it does not serve.
void check_index_elements(CommandLine& cl) {
  for (std::size_t i = 1; i < cl.vector.size(); ++i) {
    const std::string& element = cl.vector[i];
    const bool catalog = !(cl.masks_from > 0 && i >= cl.masks_from) &&
                         classify_element(element) == ElementKind::option && element.size() >= 2 &&
                         ascii_upper(element[1]) == 'L';
    if (!catalog) {
      cl.error = "--index takes only /l:DIR, not " + quoted_argument(cp1252_to_utf8(element));
      return;
    }
  }
  if (cl.paths || cl.numbers || cl.drives || !cl.add_directory.empty() || cl.label)
    cl.error = "--index takes only /l:DIR (and --verbose)";
}

} // namespace

void add_drive_element(CommandLine& cl, char letter) {
  const std::size_t at = cl.masks_from > 0 ? cl.masks_from++ : cl.vector.size();
  cl.vector.insert(cl.vector.begin() + static_cast<std::ptrdiff_t>(at), std::string(1, letter) + ":");
}

std::string quoted_argument(std::string_view arg) {
  std::string shown;
  std::size_t characters = 0;
  for (const char c : arg) {
    if (!is_utf8_continuation(c)) ++characters;
    if (characters <= shown_characters) shown += c;
  }
  shown = terminal_safe(shown);
  if (characters <= shown_characters) return "'" + shown + "'";
  return "'" + shown + "...' (" + std::to_string(characters) + " characters)";
}

CommandLine parse_command_line(int argc, const char* const* argv) {
  CommandLine cl;
  cl.vector.emplace_back(argc > 0 ? argv[0] : "shelvo-cli");
  if (argc <= 1) {
    cl.no_arguments = true;
    return cl;
  }
  std::size_t search_masks = 0, volume_masks = 0;
  std::string previous_drive;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (cl.masks_from > 0) {
      // After "--" every argument is a search mask.
    } else if (arg == "--") {
      cl.masks_from = cl.vector.size();
      continue;
    } else if (arg == "-h") {
      cl.help = true;
      continue;
    } else if (arg == "-0") {
      cl.null = cl.paths = true;
      continue;
    } else if (arg == "--delete" || arg == "--import" || arg == "--export") {
      if (cl.maintenance()) {
        cl.error = "one of --delete, --import and --export at a time";
        return cl;
      }
      if (i + 1 >= argc || argv[i + 1][0] == '\0') {
        cl.error = arg + (arg == "--delete" ? " needs a volume number" : " needs a directory");
        return cl;
      }
      const std::string value = argv[++i];
      if (arg == "--delete") {
        char* end = nullptr;
        const long number = std::strtol(value.c_str(), &end, 10);
        if (*end != '\0' || number < 0 || number > 99999999) {
          cl.error = "--delete needs a volume number, not " + quoted_argument(value);
          return cl;
        }
        cl.delete_number = number;
      } else {
        (arg == "--import" ? cl.import_from : cl.export_to) = value;
      }
      continue;
    } else if (arg == "--add") {
      if (!cl.add_directory.empty()) {
        cl.error = "--add adds one directory per call";
        return cl;
      }
      if (i + 1 >= argc || argv[i + 1][0] == '\0') {
        cl.error = "--add needs a directory";
        return cl;
      }
      cl.add_directory = argv[++i];
      continue;
    } else if (arg == "--label") {
      if (i + 1 >= argc) {
        cl.error = "--label needs the label of the volume";
        return cl;
      }
      if (cl.label) {
        cl.error = "--label names one label, and is given twice";
        return cl;
      }
      cl.label = argv[++i];
      continue;
    } else if (arg.rfind("--", 0) == 0) {
      if (arg == "--help") cl.help = true;
      else if (arg == "--yes" || arg == "--no") {
        const int answer = arg == "--yes" ? 1 : -1;
        if (cl.answer_all == -answer) {
          cl.error = "--yes and --no contradict each other: give one of them";
          return cl;
        }
        cl.answer_all = answer;
      }
      else if (arg == "--version") cl.version = true;
      else if (arg == "--drives") cl.drives = true;
      else if (arg == "--verbose") cl.verbose = true;
      else if (arg == "--numbers") cl.numbers = true;
      else if (arg == "--paths") cl.paths = true;
      else if (arg == "--null") cl.null = cl.paths = true;
      else if (arg == "--host") cl.host = cl.paths = true;
      else if (arg == "--index") cl.index = true;
      else if (arg == "--no-index") cl.no_index = true;
      else {
        cl.error = "unknown option " + quoted_argument(arg) + " (see --help)";
        return cl;
      }
      continue;
    }
    std::string element = arg;
    const ElementKind kind = cl.masks_from > 0 ? ElementKind::search_mask : classify_element(element);
    if (kind == ElementKind::search_mask || kind == ElementKind::volume_mask) element = utf8_to_cp1252(element);
    if (element.size() > element_limit) {
      cl.error = "element " + quoted_argument(arg) + " is longer than 63 characters";
      return cl;
    }
    switch (kind) {
    case ElementKind::option: check_option(arg, element, cl.warnings); break;
    case ElementKind::volume_mask:
      if (++volume_masks > MaskList::max_masks) {
        cl.error = "more than 31 volume masks";
        return cl;
      }
      check_volume_mask(arg, element, cl.warnings);
      break;
    case ElementKind::drive: check_drive(arg, element, previous_drive, cl.warnings); break;
    case ElementKind::search_mask:
      if (!element.empty() && ++search_masks > MaskList::max_masks) {
        cl.error = "more than 31 search masks";
        return cl;
      }
      check_search_mask(arg, element, cl.warnings);
      break;
    }
    cl.vector.push_back(std::move(element));
  }
  if (cl.label && !cl.delete_number && cl.add_directory.empty()) {
    cl.error = "--label names the label of a volume: the one that --delete N must have, or the one that --add DIR "
               "gives";
    return cl;
  }
  if (!cl.add_directory.empty() && !previous_drive.empty()) {
    cl.error = "--add adds one directory, and " + quoted_argument(previous_drive) +
               " would add a drive instead: give one of them";
    return cl;
  }
  if (cl.host && cl.null && cl.numbers) {
    cl.error = "--host with -0 writes bare paths for xargs -0: --numbers has no field to go in";
    return cl;
  }
  if (cl.answer_all != 0 && !cl.maintenance()) {
    cl.error = "--yes and --no answer the questions of --delete, --import and --export (an add that meets its "
               "volume in the catalog takes /Y, /N or /S)";
    return cl;
  }
  if (cl.maintenance() && cl.index) cl.error = "--index and the maintenance commands are separate: one at a time";
  else if (cl.maintenance()) check_maintenance_elements(cl);
  else if (cl.index) check_index_elements(cl);
  if (cl.index && cl.no_index) cl.error = "--index makes the index that --no-index leaves unused: give one of them";
  return cl;
}

std::string usage_text() {
  return "usage: shelvo-cli [--paths [--host] [--null]] [--numbers] [--verbose]\n"
         "                  ELEMENT... [-- MASK...]\n"
         "       shelvo-cli [/l:DIR] --add DIR [--label LABEL] [/Y | /N | /S]\n"
         "       shelvo-cli [/l:DIR] [--yes | --no] --delete N [--label LABEL]\n"
         "       shelvo-cli [/l:DIR] [--yes | --no] --import DIR | --export DIR [[VOLMASK]...]\n"
         "       shelvo-cli [/l:DIR] --index\n"
         "       shelvo-cli --drives | --help | --version\n"
         "\n"
         "Records whole disks in a catalog, then finds their files by name, even when\n"
         "the disks are gone. Each ELEMENT is one of:\n"
         "  /l:DIR      the catalog, a directory (default C:\\VOLDEPOT; 60 characters\n"
         "              at most)\n"
         "  X:          add the disk of drive letter X to the catalog; when it is\n"
         "              there already: /Y overwrite it, /N refuse, /S add it again\n"
         "  MASK        find names matching MASK: '?' any one character, '*' any\n"
         "              run; '\\MASK' leaves out what MASK matches. Quote masks in\n"
         "              the shell: '*.txt' '\\*.bak'\n"
         "  [VOLMASK]   only volumes whose label matches (case-sensitive, the whole\n"
         "              15-character label: end it with '*', as in '[PHOTOS*]')\n"
         "  /a          search inside archives too\n"
         "  /d          report matching directories too\n"
         "  /cd         show what matching directories hold; /jd only directories\n"
         "  /nd         count only\n"
         "  /W          list the volumes (/W5 without versions)\n"
         "\n"
         "Drive letters: a catalog names disks by drive letter, so each letter stands\n"
         "for a directory of this machine:\n"
         "  - SHELVO_DRIVES, when set, is the whole table, e.g.\n"
         "    SHELVO_DRIVES='C:=/home/ann/catalogs;E:=/media/ann/PHOTOS|Photos 2019'\n"
         "    (after '|' the label the volume gets; without it, the disk's own\n"
         "    label, or else the directory's last name);\n"
         "  - otherwise $XDG_CONFIG_HOME/shelvo/drives (usually\n"
         "    ~/.config/shelvo/drives), one X:=DIRECTORY or X:=DIRECTORY|LABEL a line;\n"
         "    '~' there is your home directory;\n"
         "  - otherwise C: is ~/.local/share/shelvo/drive_c, D: your home directory,\n"
         "    and E: onward the mounted disks and shares.\n"
         "  C: holds the catalogs and is created when missing. A catalog is never put\n"
         "  on the drive being added; adding a directory that holds the catalog (your\n"
         "  home holds C:) records it without Shelvo's own folders (the catalog, the\n"
         "  log's folder, the index cache). --drives shows the table.\n"
         "\n"
         "Options of this tool:\n"
         "  --add DIR   add the directory DIR as a volume, as X: adds a drive: with\n"
         "              the letter the table gives DIR, else with one for this call\n"
         "  --label L   with --add: the label the volume gets (the |LABEL of a table\n"
         "              entry); with --delete: only when volume N is labelled L (a\n"
         "              script working from an older listing never deletes a\n"
         "              neighbour)\n"
         "  --paths     one hit per line instead of the tree:\n"
         "              LABEL:\\DIR\\NAME <tab> SIZE <tab> YYYY-MM-DD HH:MM\n"
         "              (a directory hit ends in '\\', its size and date empty)\n"
         "  --host      as --paths, with the path of each hit on this machine instead,\n"
         "              for hits on volumes mounted now (their label is that of a\n"
         "              drive of the table); the others are left out and counted\n"
         "  --null, -0  as --paths, each line ended by a NUL byte (for xargs -0);\n"
         "              with --host, the bare path only:\n"
         "              shelvo-cli '*.pdf' --host -0 | xargs -0 ls -l\n"
         "  --numbers   add each node's number (size, volume number) after a tab;\n"
         "              with --paths, the volume number as a last field\n"
         "  --verbose   the status line even when standard error is no terminal,\n"
         "              and each archive read and entry left out while adding\n"
         "  --drives    show the drive table and each drive's label\n"
         "  --no-index  search without the catalog's search index: read every volume\n"
         "              whole, and write nothing to the cache\n"
         "  --          the end of the options: every argument after it is a search\n"
         "              mask, even one that starts with '-', '/' or '['\n"
         "\n"
         "Maintenance of the catalog that /l: names (one at a time):\n"
         "  --delete N  delete volume N (see /W --numbers); the volumes after it\n"
         "              move down by one\n"
         "  --import DIR  copy every volume of the catalog DIR into this one,\n"
         "              asking before one replaces a volume of the same label\n"
         "  --export DIR  copy the volumes a listing shows (volume masks choose\n"
         "              them) into DIR, numbered from 0 in the listing's order;\n"
         "              DIR is created when missing, and a DIR that holds volume\n"
         "              files is written only after a question\n"
         "  --index     make the catalog's search index current: a large catalog\n"
         "              gets one on its first search, and adds keep it current; it\n"
         "              lives in ~/.cache/shelvo/index and may be deleted at any time\n"
         "  --yes, --no answer every question of these; without, they are asked\n"
         "              on the terminal, and refused when there is none. They work\n"
         "              on catalogs that exist, and never create one\n"
         "  --help, -h  this text\n"
         "  --version   the version\n"
         "\n"
         "The status line is shown when standard error is a terminal (with /nd, the\n"
         "count, always); everything else shelvo-cli says starts with 'shelvo-cli:'.\n"
         "\n"
         "Exit status: 0 done; 1 failed or refused, or a search found nothing (with\n"
         "--host: nothing on this machine); 2 volume file not written; 3 volume\n"
         "already in the catalog (/N); 4 volume added with entries left out\n"
         "(unreadable, not a file, path too long: said on stderr); 64 usage error, or\n"
         "nothing to do; 128+N stopped by signal N (130 for Ctrl-C).\n";
}

} // namespace shelvo
