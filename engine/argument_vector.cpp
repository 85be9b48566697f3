#include "engine/argument_vector.h"

#include "catalog/catalog_store.h"
#include "catalog/name_matching.h"
#include "platform/ascii_case.h"

#include <algorithm>
#include <array>

namespace shelvo {

namespace {

// "/l:" followed by a directory: D:\CAT and D:\CAT\ name the same catalog.
void set_catalog_location(std::string_view element, RunSettings& settings) {
  if (element.size() < 4) return; // nothing after the separator: the default stays
  const std::string_view dir = element.substr(3);
  settings.volume_cursor = volume_file_path(dir, 0);
  settings.catalog_directory = std::string(dir.back() == '\\' ? dir.substr(0, dir.size() - 1) : dir);
}

const std::array<OptionLetter, 11> option_letters = {{
    {'A', "search inside archives too", nullptr, [](std::string_view, RunSettings& s) { s.option_a = true; }},
    {'C', "list the content of matching directories", nullptr,
     [](std::string_view, RunSettings& s) { s.option_c = true; }},
    {'D', "report directories too", nullptr, [](std::string_view, RunSettings& s) { s.option_d = true; }},
    {'I', "only test whether the volume is in the catalog", nullptr,
     [](std::string_view, RunSettings& s) { s.option_i = true; }},
    {'J', "only directories", nullptr,
     [](std::string_view, RunSettings& s) {
       s.option_j = true;
       s.option_d = true;
     }},
    {'L', "the catalog", nullptr, set_catalog_location},
    {'N', "refuse a volume already in the catalog", "count only, show no hits",
     [](std::string_view element, RunSettings& s) {
       if (element.size() == 2) s.no_overwrite = true;
       else s.no_display = true;
     }},
    {'S', "add the volume again", nullptr, [](std::string_view, RunSettings& s) { s.option_s = true; }},
    {'T', "changes nothing", nullptr, [](std::string_view, RunSettings& s) { s.option_t = true; }},
    {'W', "list the volumes", nullptr,
     [](std::string_view element, RunSettings& s) {
       s.option_w = true;
       if (element.size() > 2 && element[2] == '5') s.option_w5 = true;
     }},
    {'Y', "overwrite the volume", nullptr, [](std::string_view, RunSettings& s) { s.option_y = true; }},
}};

void apply_option(std::string_view element, RunSettings& settings) {
  if (element.size() < 2) return;
  if (const OptionLetter* option = option_letter(ascii_upper(element[1]))) option->apply(element, settings);
}

void add_volume_mask(std::string_view element, RunSettings& settings) {
  std::string_view mask = element.substr(1);
  if (const std::size_t close = mask.find(']'); close != std::string_view::npos) mask = mask.substr(0, close);
  settings.volume_masks.add(mask.substr(0, MaskList::volume_mask_limit));
}

void add_search_mask(std::string_view element, RunSettings& settings) {
  std::string mask(element.substr(0, MaskList::search_mask_limit));
  fold_name(mask);
  settings.search_masks.add(mask);
}

} // namespace

const OptionLetter* option_letter(char letter) {
  for (const OptionLetter& option : option_letters)
    if (option.letter == letter) return &option;
  return nullptr;
}

ElementKind classify_element(std::string_view element) {
  if (!element.empty() && (element[0] == '-' || element[0] == '/')) return ElementKind::option;
  if (!element.empty() && element[0] == '[') return ElementKind::volume_mask;
  if (element.size() >= 2 && element[1] == ':') return ElementKind::drive;
  return ElementKind::search_mask;
}

void classify_elements(int& count, const ArgumentVector& vector, RunSettings& settings, std::size_t masks_from) {
  settings = RunSettings{};
  const int last = std::min<int>(count, static_cast<int>(vector.size()));
  for (int i = 1; i < last; ++i) {
    const std::string_view element = std::string_view(vector[static_cast<std::size_t>(i)]).substr(0, element_limit);
    const bool only_a_mask = masks_from > 0 && static_cast<std::size_t>(i) >= masks_from;
    switch (only_a_mask ? ElementKind::search_mask : classify_element(element)) {
    case ElementKind::option:
      apply_option(element, settings);
      if (i == 1 && count <= 2 && element.size() >= 2 && ascii_upper(element[1]) == 'L') count = 1;
      break;
    case ElementKind::volume_mask: add_volume_mask(element, settings); break;
    case ElementKind::drive: {
      const char letter = ascii_upper(element[0]);
      if (letter >= 'A' && letter <= 'Z') { // anything else names no drive: ignored
        settings.drive_index = letter - 'A';
        settings.drive_given = true;
      }
      break;
    }
    case ElementKind::search_mask:
      if (!element.empty()) add_search_mask(element, settings);
      break;
    }
  }
}

} // namespace shelvo
