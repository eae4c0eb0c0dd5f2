#pragma once
// Message boxes behind an interface, so commands can run against a scripted
// implementation in tests and against real dialogs in the program.

#include <string>
#include <string_view>

namespace corvessa {

enum class PromptAnswer { Ok, Yes, No, Cancel };

class Prompts {
 public:
  virtual ~Prompts() = default;
  // OK button only, no icon. An empty caption shows the application name.
  virtual void Message(std::string_view text, std::string_view caption) = 0;
  // The same box with a second text below the first (its informative text),
  // for a reason that must stay readable whatever else changes meanwhile.
  // Boxes that have no room for it show the first text alone.
  virtual void MessageWithDetail(std::string_view text, std::string_view caption,
                                 std::string_view detail) {
    (void)detail;
    Message(text, caption);
  }
  // Yes, No and Cancel (the save question).
  virtual PromptAnswer AskYesNoCancel(std::string_view text, std::string_view caption) = 0;
};

}  // namespace corvessa
