// Fakes of the front end for tests: message boxes answered from a script, a
// launcher that only records what it was asked to open, a status view that
// keeps what was drawn on it, and a result sink that records every tree call.
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/launcher.h"
#include "results/dialog_service.h"
#include "results/result_sink.h"
#include "results/run_state.h"
#include "results/status_view.h"

namespace shelvo::testing {

class ScriptedDialogs final : public DialogService {
public:
  // Each box as "CAPTION: TEXT". A Yes/No box takes the next scripted answer,
  // then `otherwise`.
  DialogAnswer show_message(std::string_view text, std::string_view caption, DialogButtons buttons,
                            DialogIcon) override {
    shown.push_back(std::string(caption) + ": " + std::string(text));
    if (buttons == DialogButtons::ok) return DialogAnswer::ok;
    if (answers.empty()) return otherwise;
    const DialogAnswer next = answers.front();
    answers.pop_front();
    return next;
  }
  // The boxes of one caption.
  std::vector<std::string> captioned(std::string_view caption) const {
    std::vector<std::string> out;
    for (const std::string& box : shown)
      if (box.rfind(std::string(caption) + ": ", 0) == 0) out.push_back(box);
    return out;
  }
  std::vector<std::string> shown;
  std::deque<DialogAnswer> answers;
  DialogAnswer otherwise = DialogAnswer::no;
};

class RecordingLauncher final : public Launcher {
public:
  bool open_text_file(const std::string& path) override {
    opened.push_back("text " + path);
    return true;
  }
  bool open_with_desktop(const std::string& path) override {
    opened.push_back(path);
    return true;
  }
  std::vector<std::string> opened;
};

// Keeps every caption, progress position and maximum drawn, and counts the
// chances given to handle input, which is where a user's Stop arrives:
// stop_at_event sets the stop flag at that chance (0: never). A notice goes to
// on_notice when it is set, else to the caption as on any view.
class RecordingStatus final : public StatusView {
public:
  void set_status_caption(std::string_view text) override { captions.emplace_back(text); }
  void set_progress_position(int position) override { positions.push_back(position); }
  void set_progress_maximum(int maximum) override { maximums.push_back(maximum); }
  void process_pending_events() override {
    if (++events == stop_at_event) stop_flag = 1;
  }
  void show_notice(std::string_view text) override {
    if (on_notice) on_notice(text);
    else StatusView::show_notice(text);
  }
  std::string last_caption() const { return captions.empty() ? std::string() : captions.back(); }

  std::vector<std::string> captions;
  std::vector<int> positions;
  std::vector<int> maximums;
  int events = 0;
  int stop_at_event = 0;
  std::function<void(std::string_view)> on_notice;
};

// Records every tree call as one line of text, in order: two runs gave the
// same answers exactly when their calls are equal.
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
