// A result sink for tests that records every tree call as one line of text, in
// order: two searches gave the same answers exactly when their calls are equal.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "results/result_sink.h"

namespace shelvo::testing {

class RecordingSink final : public ResultSink {
public:
  NodeId add_volume_node(std::string_view label, std::int32_t number, VolumeNodeMode mode) override {
    calls.push_back("V [" + std::string(label) + "] " + std::to_string(number) +
                    (mode == VolumeNodeMode::search ? " search" : " listing"));
    if (on_volume) on_volume(number);
    return 1;
  }
  void append_volume_version(char marker, int number) override {
    calls.push_back(std::string("v2") + marker + std::to_string(number));
  }
  NodeId add_directory_path(std::string_view path) override {
    calls.push_back("P " + std::string(path));
    return 2;
  }
  NodeId add_file_line(std::string_view directory, std::string_view name, std::int32_t size, unsigned day,
                       unsigned month, unsigned year, unsigned hour, unsigned minute) override {
    char when[32];
    std::snprintf(when, sizeof when, "%02u/%02u/%02u %02u:%02u", day, month, year, hour, minute);
    calls.push_back("F " + std::string(directory) + " | " + std::string(name) + " " + std::to_string(size) + " " +
                    when);
    return 3;
  }
  void clear_result_tree() override { calls.push_back("clear"); }

  std::vector<std::string> calls;
  std::function<void(std::int32_t)> on_volume;
};

} // namespace shelvo::testing
