// Saving, and the save question of New, Open and Exit, without a server
// socket: the format chosen by the name, the settings check, a save cut short
// by the file size limit, and the Save item that follows the file name and
// the changes.

#include <signal.h>
#include <sys/resource.h>

#include "tests/app/test_file_commands_fixture.h"

namespace corvessa::app_test {
namespace {

namespace fs = std::filesystem;

// --- Saving ---

TEST_F(FileCommandsTest, SaveAsChoosesTheFormatByTheName) {
  const std::string csv =
      "MAC,IP,Hostname,Description\n"                 // header
      "00:1D:9C:C8:12:34,192.168.1.10,plc-a,Line 1\n"  // first relation
      "00:1D:9C:C8:12:35,192.168.1.11,plc-b,Line 2";   // no line end after the last
  FileBytes bpc = BpcHeader(kVersion3, 2,
                            HeaderFields{.mask = Ip(255, 255, 255, 0), .gateway = Ip(192, 168, 77, 254),
                                         .dns1 = 0, .domain = "plant.local"});
  AppendRecord(bpc, kFirst);
  AppendRecord(bpc, kSecond);

  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"export.CSV", csv},
      {"report.txt", std::string(bpc.Bytes().begin(), bpc.Bytes().end())},
  };
  for (const Case& c : cases) {
    NewWindow();
    Enter({&kFirst, &kSecond});
    const std::size_t asked = surroundings.fileDialogs.Requests().size();
    const std::string path = PathOf(c.name);
    surroundings.fileDialogs.QueueAnswer(path);
    window->OnCommand(ids::kFileSaveAs);

    ASSERT_EQ(surroundings.fileDialogs.Requests().size(), asked + 1) << c.name;
    EXPECT_EQ(surroundings.fileDialogs.Requests().back(),
              (RecordedFileDialog{FileDialogKind::Save, {std::string(kSaveFilter), "bpc"}}));
    EXPECT_EQ(ReadWholeFile(path), c.bytes) << c.name;
    EXPECT_EQ(window->StatusText(), kSaveComplete) << c.name;
    EXPECT_EQ(window->CurrentFileName(), path) << c.name;
    EXPECT_EQ(Title(), "Corvessa - " + path) << c.name;
    EXPECT_FALSE(window->Modified()) << c.name;
    EXPECT_FALSE(SaveEnabled()) << c.name;
  }
}

TEST_F(FileCommandsTest, SaveWritesTheNamedFileWithoutAsking) {
  const std::string path = LoadThree();
  window->RelationTableView()->SelectRow(0, false);  // the third relation
  window->OnCommand(ids::kDeleteRelation);
  ASSERT_TRUE(SaveEnabled());

  window->OnCommand(ids::kFileSave);
  FileBytes expected = BpcHeader(kVersion3, 2);
  AppendRecord(expected, kFirst);
  AppendRecord(expected, kSecond);
  EXPECT_EQ(ReadWholeFile(path), std::string(expected.Bytes().begin(), expected.Bytes().end()));
  EXPECT_EQ(surroundings.fileDialogs.Requests().size(), 1u);  // only the Open of LoadThree
  EXPECT_EQ(window->StatusText(), kSaveComplete);
  EXPECT_FALSE(SaveEnabled());
}

TEST_F(FileCommandsTest, WithoutAFileNameSaveIsGreyedAndAsks) {
  Enter({&kFirst});
  EXPECT_FALSE(SaveEnabled());
  window->OnCommand(ids::kFileSave);  // as the keyboard could still send it
  ASSERT_EQ(surroundings.fileDialogs.Requests().size(), 1u);
  EXPECT_EQ(surroundings.fileDialogs.Requests()[0].kind, FileDialogKind::Save);
  EXPECT_EQ(window->StatusText(), kSaving);
  EXPECT_EQ(Title(), "Corvessa");
  EXPECT_TRUE(window->Modified());
  EXPECT_TRUE(FolderEntries().empty());
}

TEST_F(FileCommandsTest, InvalidSettingsRefuseEverySaveBeforeTheDialog) {
  struct Case {
    int command;
    const char* name;
  };
  const Case cases[] = {{ids::kFileSave, "plant.bpc"},
                        {ids::kFileSave, "plant.csv"},
                        {ids::kFileSaveAs, "plant.bpc"},
                        {ids::kFileSaveAs, "plant.csv"}};
  for (const Case& c : cases) {
    NewWindow();
    Enter({&kFirst});
    ChangeSettings(*window, [&](NetworkSettings& s) { s.subnetMask = 0; });
    ASSERT_TRUE(window->CurrentSession().SetCurrentFileName(PathOf(c.name)));
    surroundings.prompts.ClearShown();
    surroundings.fileDialogs.QueueAnswer(PathOf(c.name));
    const std::size_t asked = surroundings.fileDialogs.Requests().size();

    window->OnCommand(c.command);
    EXPECT_EQ(surroundings.prompts.Shown(),
              std::vector<ShownPrompt>{Box("Cannot save network configuration, due to invalid global network "
                                           "settings.\nPlease check the subnet mask, gateway, and primary and "
                                           "secondary domain\nname server settings under \"Tools\"->\"Network "
                                           "Settings\".",
                                           "Save File Failure")})
        << c.name;
    EXPECT_EQ(surroundings.fileDialogs.Requests().size(), asked) << c.name;
    EXPECT_EQ(window->StatusText(), kSaving) << c.name;
    EXPECT_TRUE(FolderEntries().empty()) << c.name;
    EXPECT_TRUE(window->Modified()) << c.name;
    surroundings.fileDialogs = ScriptedFileDialogs();
  }
}

// Lowers the file size limit of this process and ignores the signal that
// would otherwise end it, so that a write past the limit fails with EFBIG.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previousHandler_ = signal(SIGXFSZ, SIG_IGN);
    rlimit lowered = saved_;
    lowered.rlim_cur = bytes;
    active_ = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, previousHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  bool Active() const { return active_; }

 private:
  rlimit saved_{};
  sighandler_t previousHandler_ = SIG_DFL;
  bool active_ = false;
};

TEST_F(FileCommandsTest, SaveThatFailsHalfwayLeavesThePreviousFileAsItWas) {
  const std::string path = LoadThree();
  const std::string before = ReadWholeFile(path);
  ChangeSettings(*window, [&](NetworkSettings& s) { s.dns2 = Ip(192, 168, 1, 3); });
  window->CurrentSession().SetModified(true);
  {
    // The new file is 991 bytes; writing stops after the first 100.
    const FileSizeLimit limit(100);
    ASSERT_TRUE(limit.Active());
    window->OnCommand(ids::kFileSave);
  }
  EXPECT_EQ(ReadWholeFile(path), before);
  EXPECT_EQ(window->StatusText(), SaveFailedBecause("File too large"));
  EXPECT_TRUE(window->Modified());
  EXPECT_TRUE(SaveEnabled());
  // No half-written file is left beside it.
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"plant.bpc"});
}

TEST_F(FileCommandsTest, SaveAsThatFailsStillNamesTheChosenFile) {
  Enter({&kFirst});
  const std::string path = PathOf("no-such-folder/plant.bpc");
  surroundings.fileDialogs.QueueAnswer(path);
  window->OnCommand(ids::kFileSaveAs);
  EXPECT_EQ(window->StatusText(), SaveFailedBecause("No such file or directory"));
  EXPECT_EQ(window->CurrentFileName(), path);
  EXPECT_EQ(Title(), "Corvessa - " + path);
  EXPECT_TRUE(window->Modified());
}

// --- The save question of Open ---

TEST_F(FileCommandsTest, OpenWithChangesYesAndCancelledSaveDialogAbortsTheLoad) {
  Enter({&kFirst, &kSecond});
  const std::string other = PathOf("other.bpc");
  WriteWholeFile(other, ThreeRelationsBpc());
  surroundings.prompts.QueueAnswer(PromptAnswer::Yes);
  surroundings.fileDialogs.QueueAnswer(std::nullopt);  // the save dialog
  surroundings.fileDialogs.QueueAnswer(other);         // an open dialog would take this

  window->OnCommand(ids::kFileOpen);
  EXPECT_EQ(surroundings.prompts.Shown(), std::vector<ShownPrompt>{kSaveQuestion});
  ASSERT_EQ(surroundings.fileDialogs.Requests().size(), 1u);
  EXPECT_EQ(surroundings.fileDialogs.Requests()[0].kind, FileDialogKind::Save);
  EXPECT_EQ(window->StatusText(), "Unable to save changes: aborting load");
  EXPECT_EQ(RowMacs(), (std::vector<std::string>{kFirst.macText, kSecond.macText}));
  EXPECT_TRUE(window->Modified());
  EXPECT_EQ(window->CurrentFileName(), "");
}

TEST_F(FileCommandsTest, OpenWithChangesFollowsTheAnswer) {
  struct Case {
    PromptAnswer answer;
    bool saved;
    bool opened;
  };
  const Case cases[] = {
      {PromptAnswer::Cancel, false, false},
      {PromptAnswer::No, false, true},
      {PromptAnswer::Yes, true, true},
  };
  const std::string other = PathOf("other.bpc");
  WriteWholeFile(other, ThreeRelationsBpc());
  const std::string current = PathOf("current.csv");
  for (const Case& c : cases) {
    NewWindow();
    fs::remove(current);
    Enter({&kFirst});
    ASSERT_TRUE(window->CurrentSession().SetCurrentFileName(current));
    surroundings.prompts.ClearShown();
    surroundings.prompts.QueueAnswer(c.answer);
    surroundings.fileDialogs = ScriptedFileDialogs();
    surroundings.fileDialogs.QueueAnswer(other);

    window->OnCommand(ids::kFileOpen);
    const int answer = static_cast<int>(c.answer);
    EXPECT_EQ(surroundings.prompts.Shown(), std::vector<ShownPrompt>{kSaveQuestion}) << answer;
    EXPECT_EQ(fs::exists(current), c.saved) << answer;
    // Saving to the named file needs no dialog; only Open asks.
    EXPECT_EQ(surroundings.fileDialogs.Requests().size(), c.opened ? 1u : 0u) << answer;
    EXPECT_EQ(window->Relations().Count(), c.opened ? 3 : 1) << answer;
    EXPECT_EQ(window->CurrentFileName(), c.opened ? other : current) << answer;
    EXPECT_EQ(window->Modified(), !c.opened) << answer;
  }
  EXPECT_EQ(ReadWholeFile(current), "MAC,IP,Hostname,Description\n00:1D:9C:C8:12:34,192.168.1.10,plc-a,Line 1");
}

// --- New ---

TEST_F(FileCommandsTest, NewWithAnEmptyListDoesNothingEvenWithAFileOpen) {
  ASSERT_TRUE(window->CurrentSession().SetCurrentFileName(PathOf("plant.bpc")));
  window->UpdateTitle();
  window->CurrentSession().SetModified(true);  // the network settings changed
  AddHistoryRow();

  window->OnCommand(ids::kFileNew);
  EXPECT_TRUE(surroundings.prompts.Shown().empty());
  EXPECT_EQ(window->CurrentFileName(), PathOf("plant.bpc"));
  EXPECT_EQ(Title(), "Corvessa - " + PathOf("plant.bpc"));
  EXPECT_EQ(window->History().RowCount(), 1);
  EXPECT_TRUE(window->Modified());
}

TEST_F(FileCommandsTest, NewWithChangesYesAndAFailingSaveKeepsTheRelationsButForgetsTheFile) {
  Enter({&kFirst, &kSecond});
  ASSERT_TRUE(window->CurrentSession().SetCurrentFileName(PathOf("no-such-folder/plant.bpc")));
  window->UpdateTitle();
  AddHistoryRow();
  surroundings.prompts.QueueAnswer(PromptAnswer::Yes);

  window->OnCommand(ids::kFileNew);
  EXPECT_EQ(surroundings.prompts.Shown(), std::vector<ShownPrompt>{kSaveQuestion});
  EXPECT_EQ(window->StatusText(), SaveFailedBecause("No such file or directory"));
  EXPECT_EQ(window->Relations().Count(), 2);
  EXPECT_EQ(window->RelationTableView()->RowCount(), 2);
  EXPECT_TRUE(window->Modified());
  EXPECT_EQ(window->History().RowCount(), 0);
  EXPECT_EQ(Title(), "Corvessa");
  EXPECT_EQ(window->CurrentFileName(), "");
}

TEST_F(FileCommandsTest, NewFollowsTheAnswer) {
  struct Case {
    bool modified;
    std::optional<PromptAnswer> answer;  // nothing: no question
    bool cleared;
  };
  const Case cases[] = {
      {false, std::nullopt, true},
      {true, PromptAnswer::No, true},
      {true, PromptAnswer::Yes, true},
      {true, PromptAnswer::Cancel, false},
  };
  const std::string path = PathOf("plant.bpc");
  for (const Case& c : cases) {
    NewWindow();
    fs::remove(path);
    Enter({&kFirst, &kSecond});
    window->CurrentSession().SetModified(c.modified);
    ASSERT_TRUE(window->CurrentSession().SetCurrentFileName(path));
    window->UpdateTitle();
    AddHistoryRow();
    surroundings.prompts.ClearShown();
    if (c.answer) surroundings.prompts.QueueAnswer(*c.answer);

    window->OnCommand(ids::kFileNew);
    const std::string label = c.answer ? std::to_string(static_cast<int>(*c.answer)) : "not modified";
    EXPECT_EQ(surroundings.prompts.Shown(),
              c.answer ? std::vector<ShownPrompt>{kSaveQuestion} : std::vector<ShownPrompt>{})
        << label;
    EXPECT_EQ(fs::exists(path), c.answer == PromptAnswer::Yes) << label;
    EXPECT_EQ(window->Relations().Count(), c.cleared ? 0 : 2) << label;
    EXPECT_EQ(window->RelationTableView()->RowCount(), c.cleared ? 0 : 2) << label;
    EXPECT_EQ(Counter(), c.cleared ? "0 of 256" : "2 of 256") << label;
    EXPECT_EQ(window->Modified(), !c.cleared) << label;
    EXPECT_EQ(window->History().RowCount(), c.cleared ? 0 : 1) << label;
    EXPECT_EQ(window->CurrentFileName(), c.cleared ? "" : path) << label;
    EXPECT_EQ(Title(), c.cleared ? "Corvessa" : "Corvessa - " + path) << label;
    // The network settings are no part of New.
    EXPECT_EQ(window->Settings().gateway, ValidSettings().gateway) << label;
  }
}

// --- Exit ---

TEST_F(FileCommandsTest, ExitFollowsTheSaveQuestion) {
  struct Case {
    const char* label;
    bool modified;
    std::optional<PromptAnswer> answer;  // nothing: no question
    const char* fileName;                // "" for none
    std::optional<std::string> saveDialog;
    bool ends;
    std::string_view status;
  };
  const Case cases[] = {
      {"unchanged", false, std::nullopt, "", std::nullopt, true, "Listening for connected devices..."},
      {"cancel", true, PromptAnswer::Cancel, "", std::nullopt, false, "Listening for connected devices..."},
      {"no", true, PromptAnswer::No, "", std::nullopt, true, "Listening for connected devices..."},
      {"yes, named", true, PromptAnswer::Yes, "plant.bpc", std::nullopt, true, kSaveComplete},
      {"yes, dialog cancelled", true, PromptAnswer::Yes, "", std::nullopt, false,
       "Unable to save file: aborting save"},
      {"yes, write fails", true, PromptAnswer::Yes, "no-such-folder/plant.bpc", std::nullopt, false,
       "Unable to save file: aborting save"},
      {"yes, dialog names the file", true, PromptAnswer::Yes, "", "chosen.csv", true, kSaveComplete},
  };
  for (const Case& c : cases) {
    NewWindow();
    Enter({&kFirst});
    window->CurrentSession().SetModified(c.modified);
    if (*c.fileName != '\0') {
      ASSERT_TRUE(window->CurrentSession().SetCurrentFileName(PathOf(c.fileName)));
    }
    surroundings.prompts.ClearShown();
    if (c.answer) surroundings.prompts.QueueAnswer(*c.answer);
    surroundings.fileDialogs = ScriptedFileDialogs();
    if (c.saveDialog) surroundings.fileDialogs.QueueAnswer(PathOf(*c.saveDialog));
    window->show();

    window->OnCommand(ids::kFileExit);
    EXPECT_EQ(surroundings.prompts.Shown(),
              c.answer ? std::vector<ShownPrompt>{kSaveQuestion} : std::vector<ShownPrompt>{})
        << c.label;
    EXPECT_EQ(!window->isVisible(), c.ends) << c.label;
    EXPECT_EQ(window->StatusText(), c.status) << c.label;
    EXPECT_EQ(window->Relations().Count(), 1) << c.label;
  }
  EXPECT_TRUE(fs::exists(PathOf("plant.bpc")));
  EXPECT_TRUE(fs::exists(PathOf("chosen.csv")));
}

}  // namespace
}  // namespace corvessa::app_test
