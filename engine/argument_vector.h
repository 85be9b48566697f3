// The engine's argument vector: element 0 is the program and never read; every
// other element is an option, a volume mask, a drive or a search mask, told apart
// by its first two characters.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/run_settings.h"

namespace shelvo {

using ArgumentVector = std::vector<std::string>;

// An element holds at most 63 characters, as the fixed 64-byte slots of the
// vector do; the engine reads no further.
constexpr std::size_t element_limit = 63;

enum class ElementKind { option, volume_mask, drive, search_mask };

// An option letter the engine knows. The engine reads an option by its letter
// (either case) and ignores what follows, except after L (the catalog), N (more
// than the letter: no display) and W (W5).
struct OptionLetter {
  char letter; // upper case
  // What it does, as a command line tells a user; meaning_with_more when
  // characters follow the letter and that changes it (N), else nullptr.
  const char* meaning;
  const char* meaning_with_more;
  void (*apply)(std::string_view element, RunSettings& settings);
};

// The option letter an upper-case letter names; nullptr for one the engine
// ignores without a message.
const OptionLetter* option_letter(char letter);

// The kind of an element by its first two characters, in this order: '-' or '/'
// an option, '[' a volume mask, ':' second a drive, anything else a search mask.
ElementKind classify_element(std::string_view element);

// Reads elements 1 .. count-1 into settings, after resetting it. Masks beyond the
// 31 a table holds are dropped. count may be lowered to 1 when the only element is
// a catalog location, so that the call ends once the catalog is opened. Elements
// from masks_from on (when it is above 0) are search masks whatever their first
// characters: a command line's words after "--", such as a mask starting with '-'.
void classify_elements(int& count, const ArgumentVector& vector, RunSettings& settings, std::size_t masks_from = 0);

} // namespace shelvo
