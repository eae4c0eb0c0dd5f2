// Help Topics and F1: which help page is found from where the executable
// stands (a build tree, an installation), and what the user is told when no
// program on the desktop can show it.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <QProcess>
#include <QTest>
#include <QUrl>

#include "app/command_ids.h"
#include "app/help_path.h"
#include "app/help_viewer.h"
#include "tests/app/window_fixture.h"
#include "ui/widgets/qt_text.h"
#include "ui/widgets/table.h"

namespace corvessa::app_test {
namespace {

namespace fs = std::filesystem;

// Lays out an executable and the help pages a case names, under `root`.
struct Layout {
  const char* executable;
  std::vector<const char*> pages;
  const char* expected;  // the page F1 opens
};

TEST(HelpLookup, FindsThePageInABuildTreeOrAnInstallation) {
  const Layout cases[] = {
      // A build tree: the page is copied next to the executable.
      {"build/app/corvessa", {"build/app/BootP.html"}, "build/app/BootP.html"},
      // Installed: bin/ and share/corvessa/ under one prefix.
      {"usr/bin/corvessa", {"usr/share/corvessa/BootP.html"}, "usr/share/corvessa/BootP.html"},
      {"opt/plant/bin/corvessa", {"opt/plant/share/corvessa/BootP.html"}, "opt/plant/share/corvessa/BootP.html"},
      // A page next to the executable wins over an installed one.
      {"usr/bin/corvessa", {"usr/bin/BootP.html", "usr/share/corvessa/BootP.html"}, "usr/bin/BootP.html"},
      // No page anywhere: the place next to the executable, as always.
      {"usr/bin/corvessa", {}, "usr/bin/BootP.html"},
  };
  for (const Layout& c : cases) {
    TempFolder root("help");
    ASSERT_TRUE(WriteWholeFile(root.Path() / c.executable, "\x7f" "ELF"));
    for (const char* page : c.pages) ASSERT_TRUE(WriteWholeFile(root.Path() / page, "<html></html>"));
    EXPECT_EQ(HelpFilePath((root.Path() / c.executable).string()), (root.Path() / c.expected).string())
        << c.executable << " -> " << c.expected;
  }
}

// An installed program (bin/ and share/corvessa/ under a temporary prefix)
// whose window runs with scripted surroundings.
class InstalledHelpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WriteWholeFile(prefix.Path() / "bin/corvessa", "\x7f" "ELF"));
    ASSERT_TRUE(WriteWholeFile(page, "<html></html>"));
  }

  std::unique_ptr<MainWindow> Window() {
    corvessa::Environment env = surroundings.Environment();
    env.executablePath = (prefix.Path() / "bin/corvessa").string();
    return std::make_unique<MainWindow>(std::move(env));
  }

  TempFolder prefix{"prefix"};
  const fs::path page = prefix.Path() / "share/corvessa/BootP.html";
  Surroundings surroundings;
};

TEST_F(InstalledHelpTest, F1OpensTheInstalledPageAtItsAnchor) {
  auto window = Window();
  window->show();
  QTest::keyClick(window->RelationTableView(), Qt::Key_F1);
  ASSERT_EQ(surroundings.openedUrls.size(), 1u);
  EXPECT_EQ(ToStdString(surroundings.openedUrls[0].toString()), "file://" + page.string() + "#131217");
  EXPECT_TRUE(surroundings.prompts.Shown().empty());
}

TEST_F(InstalledHelpTest, WithoutAProgramToShowItAMessageSaysWhereThePageIs) {
  surroundings.helpViewerInstalled = false;
  auto window = Window();
  for (const int command : {ids::kHelpTopics, ids::kHelp}) {
    surroundings.prompts.ClearShown();
    window->OnCommand(command);
    const std::vector<ShownPrompt> expected = {
        {"The help page could not be opened: no program to show it was found.\n\nThe help page is here:\n" +
             page.string(),
         "", PromptKind::Message}};
    EXPECT_EQ(surroundings.prompts.Shown(), expected) << command;
  }
}

// The real opener against stand-ins for xdg-open on a PATH of the test's own.
class DesktopOpenerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedPath = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(tools.Path().string()));
  }
  void TearDown() override { qputenv("PATH", savedPath); }

  // An xdg-open that notes its arguments and ends with `exitCode`.
  void InstallXdgOpen(int exitCode) {
    const fs::path script = tools.Path() / "xdg-open";
    ASSERT_TRUE(WriteWholeFile(script, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + record.string() + ".part'\n/bin/mv '" +
                                           record.string() + ".part' '" + record.string() + "'\nexit " +
                                           std::to_string(exitCode) + "\n"));
    fs::permissions(script, fs::perms::owner_all);
  }

  // Runs the event loop until `done` holds or ten seconds have passed.
  static bool WaitFor(const std::function<bool()>& done) {
    const QDeadlineTimer deadline(10000);
    while (!done() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return done();
  }

  TempFolder tools{"tools"};
  const fs::path record = tools.Path() / "opened.txt";
  QByteArray savedPath;
  const QUrl url = QUrl("file:///usr/share/corvessa/BootP.html#131217");
};

TEST_F(DesktopOpenerTest, XdgOpenGetsThePageAndSucceeds) {
  InstallXdgOpen(0);
  int unavailable = 0;
  const QPointer<QProcess> process = OpenWithDesktop(url, [&] { ++unavailable; });
  ASSERT_FALSE(process.isNull());
  // Gone once xdg-open has ended and its exit code was read.
  ASSERT_TRUE(WaitFor([&] { return process.isNull(); }));
  EXPECT_EQ(ReadWholeFile(record), "file:///usr/share/corvessa/BootP.html#131217\n");
  EXPECT_EQ(unavailable, 0);
}

TEST_F(DesktopOpenerTest, XdgOpenWithoutAHandlerIsReported) {
  // 3: "a required tool could not be found", xdg-open's word for no browser.
  InstallXdgOpen(3);
  int unavailable = 0;
  const QPointer<QProcess> process = OpenWithDesktop(url, [&] { ++unavailable; });
  ASSERT_TRUE(WaitFor([&] { return process.isNull(); }));
  EXPECT_TRUE(fs::exists(record));
  EXPECT_EQ(unavailable, 1);
}

TEST_F(DesktopOpenerTest, NoXdgOpenAndNoPlatformHandlerIsReported) {
  // The offscreen platform opens no pages, as a desktop without any handler.
  int unavailable = 0;
  EXPECT_EQ(OpenWithDesktop(url, [&] { ++unavailable; }), nullptr);
  EXPECT_EQ(unavailable, 1);
}

}  // namespace
}  // namespace corvessa::app_test
