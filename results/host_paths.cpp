#include "results/host_paths.h"

#include "catalog/name_matching.h"
#include "platform/file_access.h"

#include <cerrno>

namespace shelvo {

HostPathFinder::Level HostPathFinder::make_level(std::string host) {
  Level level;
  level.host = std::move(host);
  return level;
}

bool HostPathFinder::read(Level& level) {
  if (level.read) return level.error == 0;
  level.read = true;
  return host_directory_names(level.host, level.names, level.error);
}

const std::string* HostPathFinder::entry(Level& level, std::string_view stored_name, Outcome& outcome) {
  if (!read(level)) {
    outcome = level.error == ENOTDIR ? Outcome::through_file : Outcome::missing;
    return nullptr;
  }
  folded_.assign(stored_name);
  fold_name(folded_);
  const std::size_t count = level.names.size();
  // Names asked for in the directory's order cost one comparison each; past a
  // few rounds of the directory, an index takes over.
  if (!level.indexed && level.compared > 4 * count + 64) {
    for (std::size_t i = 0; i < count; ++i) level.index.try_emplace(stored_name_of_host_name(level.names[i]), i);
    level.indexed = true;
  }
  if (level.indexed) {
    const auto it = level.index.find(folded_);
    if (it != level.index.end()) return &level.names[it->second];
  } else {
    for (std::size_t k = 0; k < count; ++k) {
      const std::size_t i = (level.next + k) % count;
      ++level.compared;
      if (host_name_stores_as(level.names[i], folded_)) {
        level.next = i + 1;
        return &level.names[i];
      }
    }
  }
  outcome = Outcome::missing;
  return nullptr;
}

HostPathFinder::Outcome HostPathFinder::find(const std::string& root, std::string_view directory,
                                             std::string_view name, std::string& host_path) {
  if (levels_.empty() || root != root_) {
    root_ = root;
    levels_.clear();
    levels_.push_back(make_level(root));
    have_last_ = false;
  }
  if (!have_last_ || directory != last_directory_) {
    last_directory_ = directory;
    have_last_ = true;
    last_outcome_ = Outcome::found;
    std::size_t depth = 0;
    for (std::size_t start = 0; start <= directory.size() && last_outcome_ == Outcome::found;) {
      std::size_t end = directory.find('\\', start);
      if (end == std::string_view::npos) end = directory.size();
      const std::string_view component = directory.substr(start, end - start);
      start = end + 1;
      if (component.empty()) continue;
      // A level that the previous path went through is kept with what it read.
      folded_.assign(component);
      fold_name(folded_);
      if (levels_.size() > depth + 1 && levels_[depth + 1].stored == folded_) {
        ++depth;
        continue;
      }
      const std::string* host_name = entry(levels_[depth], component, last_outcome_);
      if (!host_name) break;
      const std::string& parent = levels_[depth].host;
      Level child = make_level((parent == "/" ? std::string() : parent) + "/" + *host_name);
      child.stored = folded_;
      ++depth;
      levels_.resize(depth);
      levels_.push_back(std::move(child));
    }
    last_depth_ = depth;
  }
  if (last_outcome_ != Outcome::found) return last_outcome_;
  Level& level = levels_[last_depth_];
  if (name.empty()) {
    host_path = level.host;
    return Outcome::found;
  }
  Outcome outcome = Outcome::found;
  const std::string* host_name = entry(level, name, outcome);
  if (!host_name) return outcome;
  host_path = level.host == "/" ? std::string() : level.host;
  host_path += '/';
  host_path += *host_name;
  return Outcome::found;
}

} // namespace shelvo
