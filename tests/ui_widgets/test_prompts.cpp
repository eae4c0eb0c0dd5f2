// Message boxes: the real box's buttons, icon, caption and readable text, the
// answers it maps to, and the scripted prompts used by every other test.

#include <string>
#include <vector>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include "ui/widgets/qt_prompts.h"
#include "ui/scripted_prompts.h"

namespace corvessa {
namespace {

QLabel* TextLabel(QMessageBox& box, const QString& text) {
  for (QLabel* label : box.findChildren<QLabel*>()) {
    if (label->text() == text) return label;
  }
  return nullptr;
}

TEST(PromptBox, MessageHasOkOnlyAndNoIcon) {
  auto box = MakePromptBox("Please select a BOOTP/DHCP request.", "Limit Reached", PromptKind::Message);
  EXPECT_EQ(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
  EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
  EXPECT_EQ(box->windowTitle(), QStringLiteral("Limit Reached"));
  EXPECT_EQ(box->text(), QStringLiteral("Please select a BOOTP/DHCP request."));
}

// The reason of a failed command goes under the box's own text, as typed and
// readable by name, so that nothing written to the status line meanwhile can
// hide it.
TEST(PromptBox, DetailIsTheInformativeTextAsTyped) {
  const std::string detail = "Socket connect failed for <00:11:22:33:44:55>. (Connection refused)";
  auto box = MakePromptBox("Failed to complete the requested operation.", "Communication Error",
                           PromptKind::Message, nullptr, detail);
  EXPECT_EQ(box->informativeText(), QString::fromStdString(detail));
  QLabel* label = TextLabel(*box, QString::fromStdString(detail));
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->textFormat(), Qt::PlainText);
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(label);
  ASSERT_NE(accessible, nullptr);
  EXPECT_EQ(accessible->text(QAccessible::Name), QString::fromStdString(detail));
  EXPECT_EQ(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));

  // Without a detail there is no informative text.
  EXPECT_TRUE(MakePromptBox("Text", "", PromptKind::Message)->informativeText().isEmpty());
}

TEST(PromptBox, EmptyCaptionShowsTheApplicationName) {
  auto box = MakePromptBox("Windows sockets initialization failed.", "", PromptKind::Message);
  EXPECT_EQ(box->windowTitle(), QStringLiteral("corvessa"));
}

TEST(PromptBox, QuestionHasYesNoCancel) {
  auto box = MakePromptBox("Would you like to save your changes?", "", PromptKind::YesNoCancel);
  EXPECT_EQ(box->standardButtons(),
            QMessageBox::StandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel));
  EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
}

TEST(PromptBox, TextIsShownAsTypedAndReadableByName) {
  // Line breaks stay, markup is not interpreted.
  const std::string text = "File '<b>a.bpc</b>' is corrupt and cannot be opened.\nSecond line";
  auto box = MakePromptBox(text, "File Format Error", PromptKind::Message);
  EXPECT_EQ(box->textFormat(), Qt::PlainText);
  QLabel* label = TextLabel(*box, QString::fromStdString(text));
  ASSERT_NE(label, nullptr);
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(label);
  ASSERT_NE(accessible, nullptr);
  EXPECT_EQ(accessible->text(QAccessible::Name), QString::fromStdString(text));
}

// Presses `button` on the box once it is up.
void PressWhenShown(QMessageBox::StandardButton button) {
  QTimer::singleShot(0, [button] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    box->button(button)->click();
  });
}

TEST(QtPrompts, AnswersFollowTheButtonPressed) {
  struct Case {
    QMessageBox::StandardButton button;
    PromptAnswer answer;
  };
  const Case cases[] = {{QMessageBox::Yes, PromptAnswer::Yes},
                        {QMessageBox::No, PromptAnswer::No},
                        {QMessageBox::Cancel, PromptAnswer::Cancel}};
  QtPrompts prompts;
  for (const Case& c : cases) {
    PressWhenShown(c.button);
    EXPECT_EQ(prompts.AskYesNoCancel("Would you like to save your changes?", ""), c.answer);
  }
}

TEST(QtPrompts, EscapeOnTheQuestionIsCancel) {
  QTimer::singleShot(0, [] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    box->reject();
  });
  QtPrompts prompts;
  EXPECT_EQ(prompts.AskYesNoCancel("Would you like to save your changes?", ""), PromptAnswer::Cancel);
}

TEST(QtPrompts, MessageReturnsWhenOkIsPressed) {
  QString caption;
  QTimer::singleShot(0, [&caption] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    caption = box->windowTitle();
    box->button(QMessageBox::Ok)->click();
  });
  QtPrompts prompts;
  prompts.Message("Unable to load file or load aborted.", "");
  EXPECT_EQ(caption, QStringLiteral("corvessa"));
}

TEST(ScriptedPrompts, RecordsEveryBoxAndAnswersQuestionsFromTheQueue) {
  ScriptedPrompts prompts(PromptAnswer::No);
  prompts.QueueAnswer(PromptAnswer::Yes);
  prompts.QueueAnswer(PromptAnswer::Cancel);

  prompts.Message("first", "Caption");  // takes no answer from the queue
  prompts.MessageWithDetail("failed", "Communication Error", "the reason");
  EXPECT_EQ(prompts.AskYesNoCancel("q1", ""), PromptAnswer::Yes);
  EXPECT_EQ(prompts.AskYesNoCancel("q2", ""), PromptAnswer::Cancel);
  EXPECT_EQ(prompts.AskYesNoCancel("q3", ""), PromptAnswer::No);  // queue empty: default

  const std::vector<ShownPrompt> expected = {{"first", "Caption", PromptKind::Message},
                                             {"failed", "Communication Error", PromptKind::Message, "the reason"},
                                             {"q1", "", PromptKind::YesNoCancel},
                                             {"q2", "", PromptKind::YesNoCancel},
                                             {"q3", "", PromptKind::YesNoCancel}};
  EXPECT_EQ(prompts.Shown(), expected);
  EXPECT_EQ(prompts.ShownTexts(), (std::vector<std::string>{"first", "failed", "q1", "q2", "q3"}));
  prompts.ClearShown();
  EXPECT_TRUE(prompts.Shown().empty());
}

TEST(ScriptedPrompts, CallbackSeesEachBoxBeforeItIsAnswered) {
  ScriptedPrompts prompts;
  std::vector<std::string> seen;
  prompts.OnShown([&](const ShownPrompt& shown) {
    seen.push_back(shown.text);
    // A box shown from inside the callback is recorded too.
    if (shown.text == "outer") prompts.Message("inner", "");
  });
  prompts.Message("outer", "");
  EXPECT_EQ(seen, (std::vector<std::string>{"outer", "inner"}));
  EXPECT_EQ(prompts.ShownTexts(), (std::vector<std::string>{"outer", "inner"}));
}

}  // namespace
}  // namespace corvessa
