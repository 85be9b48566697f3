#include "engine/argument_vector.h"

#include "catalog/catalog_store.h"
#include "catalog/name_matching.h"

#include <algorithm>

namespace shelvo {

namespace {

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// "/l:" followed by a directory: D:\CAT and D:\CAT\ name the same catalog.
void set_catalog_location(std::string_view element, RunSettings& settings) {
  if (element.size() < 4) return; // nothing after the separator: the default stays
  const std::string_view dir = element.substr(3);
  settings.volume_cursor = volume_file_path(dir, 0);
  settings.catalog_directory = std::string(dir.back() == '\\' ? dir.substr(0, dir.size() - 1) : dir);
}

void apply_option(std::string_view element, RunSettings& settings) {
  if (element.size() < 2) return;
  switch (upper(element[1])) {
  case 'A': settings.option_a = true; break;
  case 'C': settings.option_c = true; break;
  case 'D': settings.option_d = true; break;
  case 'I': settings.option_i = true; break;
  case 'J':
    settings.option_j = true;
    settings.option_d = true;
    break;
  case 'L': set_catalog_location(element, settings); break;
  case 'N':
    if (element.size() == 2) settings.no_overwrite = true;
    else settings.no_display = true;
    break;
  case 'S': settings.option_s = true; break;
  case 'T': settings.option_t = true; break;
  case 'W':
    settings.option_w = true;
    if (element.size() > 2 && element[2] == '5') settings.option_w5 = true;
    break;
  case 'Y': settings.option_y = true; break;
  default: break; // other letters are ignored without a message
  }
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
      if (i == 1 && count <= 2 && element.size() >= 2 && upper(element[1]) == 'L') count = 1;
      break;
    case ElementKind::volume_mask: add_volume_mask(element, settings); break;
    case ElementKind::drive: {
      const char letter = upper(element[0]);
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
