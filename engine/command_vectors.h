// The run builders of the window: each turns what the window's controls hold into
// an argument vector, empties the result tree, runs engine_main and finishes the
// display (the final status line; after an add, the duplicate-drive message and
// the offer to show the broken-archive log). Toolkit-free: the window hands in a
// plain struct of its controls and the services that show things.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "engine/argument_vector.h"
#include "platform/launcher.h"
#include "results/dialog_service.h"
#include "results/result_sink.h"
#include "results/run_state.h"

namespace shelvo {

// The controls' texts are UTF-8, as the toolkit gives them. Masks go into the
// vector in Windows-1252, as catalogs store names; the catalog path stays the
// host's own bytes.
struct AddControls {
  std::string catalog_path; // Ed_pathbase
  std::string drive_text;   // "E:", from DriveComboBox1
  bool add_again = false;   // "/SLE"
  bool overwrite = true;    // "/Y" (Che_overwriteolddisk unchecked), else "/N"
  bool advanced_mode = false;
};

struct ListControls {
  std::string catalog_path;
  std::array<std::string, 4> volume_masks; // Ed_volumemask1..4
  bool only_total = false;                 // Che_onlytotal: count the volumes, show none
};

struct SearchControls {
  std::string catalog_path;
  std::array<std::string, 6> masks; // Ed_search1..6, after Add Stars
  std::string option;               // Ed_option
  bool archive = false;             // Che_archive: "/a"
  bool directory = false;           // Che_directory: "/d"
  bool contains_dir = false;        // Che_containsdir: "/cd"
  bool only_directory = false;      // Che_onlydirectory: "/jd"
  bool only_total = false;          // Che_onlytotal: "/nd"
  std::array<std::string, 4> volume_masks;
};

// A vector, or why it cannot be built (a box whose text does not fit its element,
// named for the user); nothing is ever cut, since a cut catalog path or mask would
// open another catalog or run another search.
struct BuiltVector {
  ArgumentVector vector; // element 0 is the empty string
  std::string refusal;   // empty when the vector is good
};

BuiltVector add_vector(const AddControls& controls);
BuiltVector list_vector(const ListControls& controls);
BuiltVector search_vector(const SearchControls& controls);

// What a run needs of the front end.
struct RunServices {
  ResultSink* results = nullptr; // emptied before the run; the passes fill it
  DialogService* dialogs = nullptr;
  Launcher* launcher = nullptr;
};

// Returned when the vector was refused: the engine did not run.
constexpr int run_refused = -1000;

// The three runs. Each returns engine_main's code, or run_refused after telling
// the user why. The search run ends with finish_search_display; showing the tree
// again and expanding it are the window's.
int build_add_vector(const AddControls& controls, const RunServices& services);
int build_list_vector(const ListControls& controls, const RunServices& services);
int build_search_vector(const SearchControls& controls, const RunServices& services);

// The texts the add run shows.
constexpr std::string_view duplicate_drive_status = "This drive is already in the base...";
constexpr std::string_view duplicate_drive_message =
    "This drive is already in the base...\n\nIf you want to refresh it,\nchange to Advanced Mode "
    "(Preferences/Advanced Mode) \nand uncheck \"Don't overwrite disk if already in the base\"";
// After the final scan line of an add the user stopped: no volume file was written.
constexpr std::string_view nothing_added_note = "   Nothing was added.";
// "The volume was added, but 2 entries were left out of it (2 unreadable); the
// first: ...": what an add could not record, shown in words.
std::string skipped_entries_message(const SkippedEntries& skipped);
// Why a search with every mask box empty is not run.
constexpr std::string_view no_search_mask_message =
    "There is no file mask to look for: type one in the first box (for example *.txt, or * for every file).";
// Said once after an add of a drive that holds Shelvo's own folders (the home
// directory holds drive C:): which of them the volume was recorded without.
std::string own_folders_message(const std::vector<std::string>& left_out);
// Said after a search whose volume masks let no volume through: the search ran
// on nothing, which its zero counts alone do not tell.
std::string unmatched_volume_masks_message(const std::array<std::string, 4>& volume_masks);
// "%10ld file(s) in archive seems to be broken.\n\nDo you want to see last error(s) logging file ?"
std::string broken_archives_question(long broken);

// Add Stars: "abc" becomes "*abc*". An exclusion keeps its backslash in front,
// so "\TMP" becomes "\*TMP*" and still excludes (wrapped whole, it would be a
// positive mask that matches nothing). Empty stays empty; "*" stays "*".
std::string add_stars(std::string_view text);

} // namespace shelvo
