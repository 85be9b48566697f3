// The recent-search table: the last 24 searches, newest first, each with its six
// masks, four volume masks and six option flags, and how it is kept in the
// settings (lsts000..lsts239 for the texts, lsto000..lsto143 for the flags).
//
// Masks are remembered whole: a mask cut to a fixed slot, once recalled, would
// run another search than the one the user made.
#pragma once

#include <QString>
#include <array>
#include <cstdint>

#include "window/settings_table.h"

namespace shelvo {

// The flags, in the order the table keeps them.
enum RecentSearchFlag { flag_archive, flag_directory, flag_onlydirectory, flag_containsdir, flag_onlytotal, flag_addstar };

struct RecentSearch {
  std::array<QString, 6> masks;
  std::array<QString, 4> volume_masks;
  std::array<std::uint8_t, 6> flags{}; // 1 or 0 as written; any non-zero checks its box
};

constexpr int recent_search_count = 24;
using RecentSearchTable = std::array<RecentSearch, recent_search_count>;

// Moves every entry one back (the oldest is lost) and puts search at the front.
void push_recent_search(RecentSearchTable& table, const RecentSearch& search);

// "lsts007", "lsto143".
QString recent_text_name(int index);
QString recent_flag_name(int index);

// The settings rows of the table, lsts000..lsts239 then lsto000..lsto143, each
// bound to its slot of table (a flag keeps the low 8 bits of what is stored).
void add_recent_search_settings(SettingsTable& settings, RecentSearchTable& table);

} // namespace shelvo
