// Fakes of the front-end services for tests: message boxes answered from a
// script, and a launcher that only records what it was asked to open.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/launcher.h"
#include "results/dialog_service.h"

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

} // namespace shelvo::testing
