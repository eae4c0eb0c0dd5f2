#pragma once
// Message boxes behind an interface, so commands can run against a scripted
// implementation in tests and against real dialogs in the program.

#include <string>
#include <string_view>

namespace corvessa {

enum class PromptAnswer { Ok, Yes, No, Cancel };
// The kinds of box: OK only, the save question, two buttons of their own.
enum class PromptKind { Message, YesNoCancel, Choice };

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
  // Two buttons with texts of their own, such as Restore and Discard; true
  // for the first. The first is the default and also the answer to Escape
  // and the close box, so it must be the choice that loses nothing. Without
  // buttons of their own, Yes and Cancel stand for the first, No for the second.
  virtual bool AskChoice(std::string_view text, std::string_view caption, std::string_view first,
                         std::string_view second) {
    (void)first;
    (void)second;
    return AskYesNoCancel(text, caption) != PromptAnswer::No;
  }
};

}  // namespace corvessa
