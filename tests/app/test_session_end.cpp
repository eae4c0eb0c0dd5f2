// Ending from outside: a signal or the end of the desktop session ends the
// window without a question and keeps unsaved relations as a recovery copy;
// the next start offers it; a save or a clean exit removes it. The window
// runs in a network namespace of the test's own; nothing is sent.

#include <QTimer>

#include "netconfig/startup_settings.h"
#include "app/command_ids.h"
#include "core/settings_names.h"
#include "files/recovery_copy.h"
#include "tests/app/netns_fixture.h"
#include "tests/app/test_file_commands_support.h"
#include "ui/network_settings_store.h"
#include "ui/widgets/qt_text.h"
#include "ui/widgets/table.h"

namespace corvessa::app_test {
namespace {

const auto* const kNamespaces = ::testing::AddGlobalTestEnvironment(new NamespaceEnvironment);

namespace names = settings_names;

const ShownPrompt kSaveQuestion{"Would you like to save your changes?", "Save Changes", PromptKind::YesNoCancel};

std::string AsText(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

// plant.bpc without its third relation, as a copy of it holds it: the
// file's settings, then the first two relations.
std::string FirstTwoBpc() {
  FileBytes expected = BpcHeader(kVersion3, 2);
  AppendRecord(expected, kFirst);
  AppendRecord(expected, kSecond);
  return AsText(expected.Bytes());
}

class SessionEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    (void)kNamespaces;
    REQUIRE_NAMESPACES();
    const std::string a = Namespaces().link.serverIf;
    surroundings.host.interfaces = {
        MakeInterface("lo", 1, kLoopbackLinkType, true, {{Ip(127, 0, 0, 1), Ip(255, 0, 0, 0)}}),
        MakeInterface(a, 10, kEthernetLinkType, true, {{Ip(192, 168, 77, 1), Ip(255, 255, 255, 0)}})};
    SettingsStore& store = surroundings.store;
    store.SetDword(startup_settings::kApplicationSection, startup_settings::kFirstStart, startup_settings::kFirstStartDone);
    store.SetString(names::kVersionSection, names::kLastAdapter, a);
    store.SetString(a, names::kIpAddress, "192.168.77.1");
    SaveNetworkSettings(store, a, ValidSettings());
    plant = PathOf("plant.bpc");
    WriteWholeFile(plant, ThreeRelationsBpc());
  }

  std::string PathOf(std::string_view name) const { return (surroundings.folder.Path() / name).string(); }
  std::string Adapter() const { return Namespaces().link.serverIf; }
  RecoveryStore Recovery() const { return RecoveryStore(surroundings.StateFolder()); }
  std::string CopyPath() const { return (std::filesystem::path(surroundings.StateFolder()) / "plant.bpc").string(); }

  std::unique_ptr<MainWindow> Start(std::vector<std::string> arguments = {}) {
    corvessa::Environment env = surroundings.Environment();
    env.arguments = std::move(arguments);
    auto window = std::make_unique<MainWindow>(std::move(env));
    EXPECT_TRUE(window->OnInitDialog());
    return window;
  }

  // plant.bpc opened and its top row (the third relation) deleted: unsaved.
  void OpenAndChange(MainWindow& window) {
    surroundings.fileDialogs.QueueAnswer(plant);
    ASSERT_TRUE(window.Files().LoadConfiguration(true));
    window.RelationTableView()->SelectRow(0, false);
    window.OnCommand(ids::kDeleteRelation);
    ASSERT_TRUE(window.Modified());
    surroundings.prompts.ClearShown();
  }

  // A first run that changed plant.bpc and was ended from outside.
  void EndWithUnsavedChanges() {
    auto first = Start();
    OpenAndChange(*first);
    first->EndSession();
    first->FinishSession();
  }

  Surroundings surroundings;
  std::string plant;
};

TEST_F(SessionEndTest, EndWithUnsavedChangesKeepsACopyWithoutAQuestion) {
  corvessa::Environment env = surroundings.Environment();
  auto window = std::make_unique<MainWindow>(std::move(env));
  // The signal comes while the window's loop runs.
  QTimer::singleShot(0, window.get(), [&] {
    OpenAndChange(*window);
    window->EndSession();
  });
  window->DoModal();
  EXPECT_TRUE(surroundings.prompts.Shown().empty());
  EXPECT_EQ(surroundings.endedModalLoops, 1);
  EXPECT_EQ(ReadWholeFile(CopyPath()), FirstTwoBpc());
  EXPECT_EQ(ReadWholeFile(std::filesystem::path(surroundings.StateFolder()) / "recovery"), "plant.bpc\n" + plant);
  EXPECT_EQ(ReadWholeFile(plant), AsText(ThreeRelationsBpc()));  // the file itself is not touched
  // The network settings are saved as on every end: those of the file.
  window.reset();
  EXPECT_EQ(surroundings.store.GetDword(Adapter(), names::kGateway), kFileGateway);
  EXPECT_EQ(surroundings.store.GetString(Adapter(), names::kDomainName), kFileDomain);
}

TEST_F(SessionEndTest, EndWithoutChangesLeavesNoCopy) {
  auto window = Start();
  ASSERT_TRUE(Recovery().Keep(ValidSettings(), window->Relations(), plant));  // left from an earlier end
  window->EndSession();
  window->FinishSession();
  EXPECT_FALSE(Recovery().Find().has_value());
  EXPECT_FALSE(std::filesystem::exists(CopyPath()));
}

TEST_F(SessionEndTest, NextStartOffersTheCopyBeforeTheFileOnTheCommandLine) {
  EndWithUnsavedChanges();
  const std::string other = PathOf("other.bpc");
  WriteWholeFile(other, ThreeRelationsBpc());
  surroundings.prompts.ClearShown();
  surroundings.prompts.QueueAnswer(PromptAnswer::Yes);  // Restore
  auto window = Start({other});

  const std::string offer = "The relations of '" + plant +
                            "' were not saved when Corvessa was last ended.\nRestore them now, or discard them?";
  EXPECT_EQ(surroundings.prompts.Shown(), (std::vector<ShownPrompt>{{offer, "Unsaved Relations", PromptKind::Choice}}));
  EXPECT_EQ(window->Relations().Count(), 2);
  EXPECT_EQ(window->RelationTableView()->CellText(0, 0), kSecond.macText);
  EXPECT_EQ(window->CurrentFileName(), plant);
  EXPECT_EQ(ToStdString(window->windowTitle()), "Corvessa - " + plant);
  EXPECT_TRUE(window->Modified());
  EXPECT_EQ(window->Settings().gateway, kFileGateway);
  EXPECT_EQ(window->StatusText(),
            "Restored the unsaved relations of '" + plant + "'. The file '" + other + "' was not opened.");
  EXPECT_TRUE(Recovery().Find().has_value());  // until it is saved

  window->OnCommand(ids::kFileSave);
  EXPECT_EQ(window->StatusText(), "Save file complete");
  EXPECT_EQ(ReadWholeFile(plant), FirstTwoBpc());
  EXPECT_FALSE(Recovery().Find().has_value());
  EXPECT_FALSE(std::filesystem::exists(CopyPath()));
}

TEST_F(SessionEndTest, DiscardRemovesTheCopyAndTheFileIsOpened) {
  EndWithUnsavedChanges();
  surroundings.prompts.QueueAnswer(PromptAnswer::No);  // Discard
  auto window = Start({plant});
  EXPECT_FALSE(Recovery().Find().has_value());
  EXPECT_FALSE(std::filesystem::exists(CopyPath()));
  EXPECT_EQ(window->Relations().Count(), 3);
  EXPECT_EQ(window->StatusText(), "Load file complete");
  EXPECT_FALSE(window->Modified());
}

TEST_F(SessionEndTest, UnreadableCopyIsReportedAndNotOfferedAgain) {
  RelationTable none;
  ASSERT_TRUE(Recovery().Keep(ValidSettings(), none, plant));
  WriteWholeFile(CopyPath(), AsText(ThreeRelationsBpc()) + "trailing bytes");
  surroundings.prompts.QueueAnswer(PromptAnswer::Yes);
  auto window = Start({plant});
  ASSERT_EQ(surroundings.prompts.Shown().size(), 2u);
  EXPECT_EQ(surroundings.prompts.Shown()[1].text, "The unsaved relations kept in '" + CopyPath() + "' could not be read.");
  EXPECT_FALSE(Recovery().Find().has_value());
  EXPECT_EQ(window->Relations().Count(), 3);  // the command-line file, as if there had been no copy
}

TEST_F(SessionEndTest, SessionWithoutInteractionGetsTheCopyAndTheSettings) {
  auto window = Start();
  OpenAndChange(*window);
  EXPECT_TRUE(window->OnCommitData(false));
  EXPECT_TRUE(surroundings.prompts.Shown().empty());
  EXPECT_EQ(ReadWholeFile(CopyPath()), FirstTwoBpc());
  // Saved at once: the session may end the process without another word.
  EXPECT_EQ(surroundings.store.GetDword(Adapter(), names::kGateway), kFileGateway);
}

TEST_F(SessionEndTest, SessionThatMayAskAsksTheSaveQuestion) {
  struct Case {
    PromptAnswer answer;
    bool endGoesOn;
    std::string file;   // plant.bpc afterwards
    bool copyAtTheEnd;  // after the signal that follows
  };
  const Case cases[] = {
      {PromptAnswer::Yes, true, FirstTwoBpc(), false},
      {PromptAnswer::No, true, AsText(ThreeRelationsBpc()), false},
      {PromptAnswer::Cancel, false, AsText(ThreeRelationsBpc()), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.answer));
    WriteWholeFile(plant, ThreeRelationsBpc());
    Recovery().Remove();
    auto window = Start();
    OpenAndChange(*window);
    surroundings.prompts.QueueAnswer(c.answer);
    EXPECT_EQ(window->OnCommitData(true), c.endGoesOn);
    EXPECT_EQ(surroundings.prompts.Shown(), std::vector<ShownPrompt>{kSaveQuestion});
    EXPECT_EQ(ReadWholeFile(plant), c.file);
    window->EndSession();
    window->FinishSession();
    EXPECT_EQ(Recovery().Find().has_value(), c.copyAtTheEnd);
  }
}

TEST_F(SessionEndTest, ChangesAfterADeclinedSaveAreKeptAgain) {
  auto window = Start();
  OpenAndChange(*window);
  surroundings.prompts.QueueAnswer(PromptAnswer::No);
  ASSERT_TRUE(window->OnCommitData(true));
  // The end of the session was called off elsewhere; the work goes on.
  window->RelationTableView()->SelectRow(0, false);
  window->OnCommand(ids::kDeleteRelation);
  window->EndSession();
  window->FinishSession();
  const std::optional<RecoveryCopy> copy = Recovery().Find();
  ASSERT_TRUE(copy.has_value());
  FileBytes expected = BpcHeader(kVersion3, 1);
  AppendRecord(expected, kFirst);
  EXPECT_EQ(copy->bytes, expected.Bytes());
}

TEST_F(SessionEndTest, CleanExitRemovesARestoredCopy) {
  EndWithUnsavedChanges();
  surroundings.prompts.QueueAnswer(PromptAnswer::Yes);  // Restore
  auto window = Start();
  ASSERT_EQ(window->Relations().Count(), 2);
  surroundings.prompts.QueueAnswer(PromptAnswer::No);  // the save question at exit
  window->OnCommand(ids::kFileExit);
  EXPECT_FALSE(Recovery().Find().has_value());
  EXPECT_EQ(ReadWholeFile(plant), AsText(ThreeRelationsBpc()));
}

}  // namespace
}  // namespace corvessa::app_test
