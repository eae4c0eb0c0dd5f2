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
  // Yes, No and Cancel (the save question).
  virtual PromptAnswer AskYesNoCancel(std::string_view text, std::string_view caption) = 0;
};

}  // namespace corvessa
