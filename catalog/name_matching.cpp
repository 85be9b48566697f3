#include "catalog/name_matching.h"

#include <algorithm>
#include <array>
#include <bitset>

#include "platform/ascii_case.h"
#include "platform/code_page.h"

namespace shelvo {

namespace {

// The accented letters and their plain forms, in lookup order.
constexpr std::string_view accented = "\xE2\xE0\xE4\xE7\xE9\xEA\xE8\xEB\xEE\xEF\xF4\xF6\xF9\xFB\xFC\xFF";
constexpr std::string_view plain = "aaaceeeeiioouuuy";

constexpr std::array<char, 256> make_fold_table() {
  std::array<char, 256> table{};
  for (int c = 0; c < 256; ++c) {
    char out = static_cast<char>(c);
    for (std::size_t k = 0; k < accented.size(); ++k) {
      if (static_cast<unsigned char>(accented[k]) == c) {
        out = plain[k];
        break;
      }
    }
    table[static_cast<std::size_t>(c)] = out;
  }
  return table;
}

constexpr std::array<char, 256> fold_table = make_fold_table();

constexpr std::array<char, 256> make_fold_upper_table() {
  std::array<char, 256> table{};
  for (std::size_t c = 0; c < 256; ++c) table[c] = ascii_upper(fold_table[c]);
  return table;
}

constexpr std::array<char, 256> fold_upper_table = make_fold_upper_table();

} // namespace

char fold_char(char c) { return fold_table[static_cast<unsigned char>(c)]; }

void fold_name(std::string& name) {
  for (char& c : name) c = fold_upper_table[static_cast<unsigned char>(c)];
}

// The matcher is the backtracking rule "literal first, then '*' with a one
// character look-ahead" run as a set of pattern positions over the name, so a
// hostile mask such as "*A*A*A*A*B" costs linear time instead of exponential.
bool match_mask(std::string_view pattern, std::string_view name) {
  constexpr std::size_t max_pattern = 256;
  if (pattern.size() >= max_pattern) return false;
  const std::size_t n = pattern.size();
  auto at = [&](std::size_t i) -> char { return i < n ? pattern[i] : '\0'; };

  std::bitset<max_pattern + 2> states, next;
  states.set(0);
  for (char c : name) {
    next.reset();
    bool any = false;
    for (std::size_t i = 0; i <= n; ++i) {
      if (!states.test(i)) continue;
      if (i == n) continue; // pattern ended while the name goes on
      const char p = pattern[i];
      if (p == c || p == '?') {
        next.set(i + 1);
        any = true;
      } else if (p == '*') {
        next.set(i);
        any = true;
        const char ahead = at(i + 1);
        if (i + 1 < n && (ahead == c || ahead == '?')) next.set(i + 2);
      }
    }
    if (!any) return false;
    states = next;
  }
  for (std::size_t i = 0; i <= n; ++i) {
    if (!states.test(i)) continue;
    std::size_t k = i;
    while (k < n && pattern[k] == '*') ++k;
    if (k == n) return true;
  }
  return false;
}

std::string host_name_in_code_page(std::string_view host_name) {
  std::string out = utf8_to_cp1252(host_name);
  for (char& c : out)
    if (c == '\\' || c == '*' || (c >= 0x01 && c <= 0x1F)) c = unstorable_char;
  return out;
}

std::string stored_name_of_host_name(std::string_view host_name) {
  std::string out = host_name_in_code_page(host_name);
  fold_name(out);
  return out;
}

bool host_name_stores_as(std::string_view host_name, std::string_view stored_name) {
  const auto one_for_one = [](char c) { return c >= 0x20 && c < 0x7F && c != '\\' && c != '*'; };
  if (host_name.size() == stored_name.size()) {
    std::size_t i = 0;
    for (; i < host_name.size() && one_for_one(host_name[i]); ++i)
      if (ascii_upper(host_name[i]) != stored_name[i]) return false;
    if (i == host_name.size()) return true;
  } else if (std::all_of(host_name.begin(), host_name.end(), one_for_one)) {
    return false; // plain characters are stored one for one
  }
  return stored_name_of_host_name(host_name) == stored_name;
}

bool MaskList::add(std::string_view mask) {
  if (mask.empty()) return true;
  if (masks_.size() >= max_masks || mask.size() > length_limit_) return false;
  masks_.emplace_back(mask);
  return true;
}

bool match_mask_list(const MaskList& masks, std::string_view name) {
  bool positive = false;
  for (const std::string& m : masks.masks()) {
    if (m[0] != '\\' && match_mask(m, name)) {
      positive = true;
      break;
    }
  }
  if (!positive) return false;
  for (const std::string& m : masks.masks()) {
    if (m[0] == '\\' && match_mask(std::string_view(m).substr(1), name)) return false;
  }
  return true;
}

std::size_t leaf_of(std::string_view path) {
  // A plain loop from the end: find_last_of with two characters calls memchr
  // once per byte, and every directory record of a search comes through here.
  for (std::size_t k = path.size(); k > 0; --k)
    if (path[k - 1] == '\\' || path[k - 1] == '/') return k;
  return 0;
}

std::string parent_leaf_of(std::string_view path) {
  const std::size_t last = path.find_last_of("\\/");
  if (last == std::string_view::npos || last == 0) return {};
  const std::string_view head = path.substr(0, last);
  return std::string(head.substr(leaf_of(head)));
}

} // namespace shelvo
