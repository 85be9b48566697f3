#include "window/recent_searches.h"

#include <algorithm>

namespace shelvo {

namespace {

constexpr int masks_per_entry = 6;
constexpr int volume_masks_per_entry = 4;
constexpr int flags_per_entry = 6;
constexpr int mask_texts = recent_search_count * masks_per_entry;            // lsts000..lsts143
constexpr int all_texts = mask_texts + recent_search_count * volume_masks_per_entry; // ..lsts239
constexpr int all_flags = recent_search_count * flags_per_entry;             // lsto000..lsto143

QString& text_slot(RecentSearchTable& table, int i) {
  if (i < mask_texts) return table[static_cast<std::size_t>(i / masks_per_entry)].masks[static_cast<std::size_t>(i % masks_per_entry)];
  const int v = i - mask_texts;
  return table[static_cast<std::size_t>(v / volume_masks_per_entry)]
      .volume_masks[static_cast<std::size_t>(v % volume_masks_per_entry)];
}

} // namespace

void push_recent_search(RecentSearchTable& table, const RecentSearch& search) {
  std::move_backward(table.begin(), table.end() - 1, table.end());
  table.front() = search;
}

QString recent_text_name(int index) { return QStringLiteral("lsts%1").arg(index, 3, 10, QLatin1Char('0')); }
QString recent_flag_name(int index) { return QStringLiteral("lsto%1").arg(index, 3, 10, QLatin1Char('0')); }

void add_recent_search_settings(SettingsTable& settings, RecentSearchTable& table) {
  for (int i = 0; i < all_texts; ++i)
    settings.push_back({recent_text_name(i), TextSetting{&text_slot(table, i), QString()}});
  for (int i = 0; i < all_flags; ++i) {
    RecentSearch& entry = table[static_cast<std::size_t>(i / flags_per_entry)];
    settings.push_back({recent_flag_name(i), NumberSetting{&entry.flags[static_cast<std::size_t>(i % flags_per_entry)], 0}});
  }
}

} // namespace shelvo
