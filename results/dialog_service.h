// What the core needs of a front end to ask the user something: a modal message
// box with a text, a caption, buttons and an icon, and the button pressed. The
// window shows a real box; shelvo-cli asks on the terminal; tests answer with a
// fake. Texts are UTF-8.
#pragma once

#include <string_view>

namespace shelvo {

// A question that destroys something defaults to No: Enter alone never confirms it.
enum class DialogButtons { ok, yes_no, yes_no_default_no };
enum class DialogIcon { none, information, warning, question, error };
enum class DialogAnswer { ok, yes, no };

class DialogService {
public:
  virtual ~DialogService() = default;
  // Shows the box and waits for the answer. A box with only OK answers ok; a
  // Yes/No box closed without a choice answers no.
  virtual DialogAnswer show_message(std::string_view text, std::string_view caption, DialogButtons buttons,
                                    DialogIcon icon) = 0;
};

} // namespace shelvo
