#include "results/host_paths.h"

#include "catalog/name_matching.h"
#include "platform/file_access.h"

#include <cerrno>

namespace shelvo {

bool HostPathFinder::read(Level& level) {
  if (level.read) return level.error == 0;
  level.read = true;
  std::vector<std::string> names;
  if (!host_directory_names(level.host, names, level.error)) return false;
  level.names.reserve(names.size());
  // The first entry that the walk would store under a name keeps it.
  for (std::string& name : names) level.names.try_emplace(stored_name_of_host_name(name), std::move(name));
  return true;
}

const std::string* HostPathFinder::entry(Level& level, std::string_view stored_name, Outcome& outcome) {
  if (!read(level)) {
    outcome = level.error == ENOTDIR ? Outcome::through_file : Outcome::missing;
    return nullptr;
  }
  folded_.assign(stored_name);
  fold_name(folded_);
  const auto it = level.names.find(folded_);
  if (it == level.names.end()) {
    outcome = Outcome::missing;
    return nullptr;
  }
  return &it->second;
}

HostPathFinder::Outcome HostPathFinder::find(const std::string& root, std::string_view directory,
                                             std::string_view name, std::string& host_path) {
  if (levels_.empty() || root != root_) {
    root_ = root;
    levels_.assign(1, Level{root, false, 0, {}});
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
      const std::string* host_name = entry(levels_[depth], component, last_outcome_);
      if (!host_name) break;
      const std::string& parent = levels_[depth].host;
      std::string child = (parent == "/" ? std::string() : parent) + "/" + *host_name;
      ++depth;
      // A level that the previous path went through is kept with what it read.
      if (levels_.size() > depth && levels_[depth].host == child) continue;
      levels_.resize(depth);
      levels_.push_back(Level{std::move(child), false, 0, {}});
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
