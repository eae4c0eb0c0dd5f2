// The file commands of the main window without a server socket: loading and
// saving .bpc and .csv files through scripted file dialogs, the boxes of a
// failed load, the save question of New, Open and Exit, and the Save item
// that follows the file name and the changes.

#include <signal.h>
#include <sys/resource.h>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>

#include "app/command_ids.h"
#include "tests/app/test_file_commands_support.h"
#include "ui/widgets/qt_text.h"
#include "ui/widgets/table.h"

namespace corvessa::app_test {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kLoadFilter =
    "Bootp Config Files (*.bpc)|*.bpc|Comma-Separated Value Files (*.csv)|*.csv|"
    "All Possible Config Files (*.bpc; *.csv)|*.bpc;*.csv|All Files (*.*)|*.*||";
constexpr std::string_view kSaveFilter =
    "Bootp Config Files (*.bpc)|*.bpc|Comma-Separated Value Files (*.csv)|*.csv||";

constexpr std::string_view kLoading = "Loading...";
constexpr std::string_view kLoadFailed = "Load file failed: exception caught while trying to read file";
constexpr std::string_view kLoadComplete = "Load file complete";
constexpr std::string_view kSaving = "Saving...";
constexpr std::string_view kSaveFailed = "Save file failed: exception caught while trying to save file";
constexpr std::string_view kSaveComplete = "Save file complete";
constexpr std::string_view kLoadAborted = "Unable to load file or load aborted.";

const ShownPrompt kSaveQuestion{"Would you like to save your changes?", "Save Changes", PromptKind::YesNoCancel};

ShownPrompt Box(std::string text, std::string caption) {
  return ShownPrompt{std::move(text), std::move(caption), PromptKind::Message};
}

class FileCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override { NewWindow(); }

  void NewWindow() {
    window.reset();
    window = std::make_unique<CProvanDlg>(surroundings.Environment());
    window->SetupLists();
    window->Settings() = ValidSettings();
    window->UpdateRelationCounter();
  }

  std::string PathOf(std::string_view name) const { return (surroundings.folder.Path() / name).string(); }

  // Opens the file through the Open command and its dialog.
  void Open(const std::string& path) {
    surroundings.fileDialogs.QueueAnswer(path);
    window->OnCommand(ids::kFileOpen);
  }

  // plant.bpc with the three relations, loaded without a question.
  std::string LoadThree() {
    const std::string path = PathOf("plant.bpc");
    WriteBytes(path, ThreeRelationsBpc());
    surroundings.fileDialogs.QueueAnswer(path);
    EXPECT_TRUE(window->LoadConfiguration(true));
    return path;
  }

  // Relations entered in this run, not loaded from a file.
  void Enter(std::initializer_list<const FileRelation*> relations) {
    for (const FileRelation* r : relations) window->Relations().Append(ToRelation(*r));
    window->RefreshRelationList();
    window->UpdateRelationCounter();
    window->SetModified(true);
  }

  void AddHistoryRow() {
    RecordingSender sender;
    window->Runtime().SetSender(&sender);
    const std::vector<std::uint8_t> request = BootpRequest({0x02, 0x00, 0x00, 0x00, 0x00, 0x99});
    window->Runtime().HandleDatagram(request.data(), request.size());
    window->Runtime().SetSender(nullptr);
    ASSERT_EQ(window->History().RowCount(), 1);
  }

  std::vector<std::string> RowMacs() const {
    std::vector<std::string> macs;
    const RowTableModel* rows = window->RelationTableView()->Rows();
    for (int row = 0; row < rows->RowCount(); ++row) macs.push_back(rows->CellText(row, 0));
    return macs;
  }
  std::string Cell(int row, int column) const { return window->RelationTableView()->Rows()->CellText(row, column); }
  std::string Counter() const {
    return ToStdString(qobject_cast<QLabel*>(window->Control(ids::kRelationCounter))->text());
  }
  std::string Title() const { return ToStdString(window->windowTitle()); }

  // Whether Save is enabled when the File menu opens.
  bool SaveEnabled() const {
    QMenu* file = window->MenuBar()->actions().at(0)->menu();
    file->popup(QPoint(0, 0));
    const bool enabled = window->MenuAction(ids::kFileSave)->isEnabled();
    file->hide();
    return enabled;
  }

  std::vector<std::string> FolderEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(surroundings.folder.Path())) {
      if (entry.path().filename() != "corvessa.conf") names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  Surroundings surroundings;
  std::unique_ptr<CProvanDlg> window;
};

// --- Loading ---

TEST_F(FileCommandsTest, OpenShowsTheLastRelationOnTopAndNamesTheFile) {
  const std::string path = PathOf("plant.bpc");
  WriteBytes(path, ThreeRelationsBpc());
  Open(path);

  EXPECT_EQ(surroundings.fileDialogs.Requests(),
            (std::vector<RecordedFileDialog>{{FileDialogKind::Open, {std::string(kLoadFilter), "bpc"}}}));
  EXPECT_EQ(RowMacs(), (std::vector<std::string>{kThird.macText, kSecond.macText, kFirst.macText}));
  EXPECT_EQ(Cell(0, 2), "192.168.1.12");
  EXPECT_EQ(Cell(0, 4), "Spare");
  EXPECT_EQ(Cell(2, 1), "");
  EXPECT_EQ(Cell(2, 3), "plc-a");
  EXPECT_EQ(Cell(2, 4), "Line 1");
  // The table keeps the file's order.
  EXPECT_EQ(window->Relations().At(0)->ipAddress, kFirst.ip);
  EXPECT_EQ(Counter(), "3 of 256");
  EXPECT_EQ(Title(), "Corvessa - " + path);
  EXPECT_EQ(window->CurrentFileName(), path);
  EXPECT_EQ(window->StatusText(), kLoadComplete);
  EXPECT_TRUE(surroundings.prompts.Shown().empty());

  const NetworkSettings& settings = window->Settings();
  EXPECT_EQ(settings.subnetMask, kFileMask);
  EXPECT_EQ(settings.gateway, kFileGateway);
  EXPECT_EQ(settings.dns1, kFileDns1);
  EXPECT_EQ(settings.dns2, 0u);
  EXPECT_EQ(settings.DomainName(), kFileDomain);

  EXPECT_FALSE(window->Modified());
  EXPECT_FALSE(SaveEnabled());
  window->RelationTableView()->SelectRow(0, false);
  window->OnCommand(ids::kDeleteRelation);
  EXPECT_TRUE(SaveEnabled());
}

TEST_F(FileCommandsTest, CsvLoadKeepsTheSettingsClearsModifiedAndCountsOmittedRecords) {
  const std::string path = PathOf("devices.csv");
  WriteText(path,
            "MAC,IP,Hostname,Description\r\n"
            "00:1D:9C:C8:12:34,192.168.1.10,plc-a,Line 1\r\n"
            "not-a-mac,192.168.1.99,x,y\r\n"
            "00:1D:9C:C8:12:35,192.168.1.11,plc-b,Line 2\r\n");
  Enter({&kThird});
  surroundings.prompts.QueueAnswer(PromptAnswer::No);
  Open(path);

  EXPECT_EQ(surroundings.prompts.Shown(), std::vector<ShownPrompt>{kSaveQuestion});
  EXPECT_EQ(RowMacs(), (std::vector<std::string>{kSecond.macText, kFirst.macText}));
  EXPECT_EQ(window->StatusText(), "Load file complete. 1 records were omitted because of errors or duplicates.");
  EXPECT_EQ(window->Settings().gateway, ValidSettings().gateway);
  EXPECT_EQ(window->Settings().DomainName(), "plant.local");
  EXPECT_FALSE(window->Modified());
  EXPECT_EQ(Counter(), "2 of 256");
  EXPECT_EQ(Title(), "Corvessa - " + path);
}

TEST_F(FileCommandsTest, OlderFormatsLoadAndStayModified) {
  FileBytes format22 = BpcHeader(kVersion22, 2);
  AppendRecord(format22, kFirst, false);
  AppendRecord(format22, kSecond, false);

  FileBytes headerless;
  headerless.Le32(kFileMask)  // subnet mask
      .Le32(kFileGateway)     // gateway
      .Le32(2);               // record count
  for (const FileRelation* r : {&kFirst, &kSecond}) {
    headerless.Text(std::string_view(reinterpret_cast<const char*>(r->mac.data()), 6), 16)  // hardware address
        .U8(6)                                                                             // its length
        .Le32(r->ip)                                                                       // IP address
        .Le32(0x11111111)                                                                  // ignored
        .Le32(0x22222222);                                                                 // ignored
  }

  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    std::string secondHostname;
    std::uint32_t dns1;  // headerless files carry no name servers
    std::string domain;
  };
  const std::uint32_t kOwnDns = Ip(192, 168, 77, 53);
  const Case cases[] = {
      {"old22.bpc", format22.Bytes(), "plc-b", kFileDns1, kFileDomain},
      {"oldest.bpc", headerless.Bytes(), "", kOwnDns, "plant.local"},
  };
  for (const Case& c : cases) {
    NewWindow();
    window->Settings().dns1 = kOwnDns;
    const std::string path = PathOf(c.name);
    WriteBytes(path, c.bytes);
    Open(path);
    EXPECT_EQ(RowMacs(), (std::vector<std::string>{kSecond.macText, kFirst.macText})) << c.name;
    EXPECT_EQ(Cell(0, 3), c.secondHostname) << c.name;
    EXPECT_EQ(Cell(0, 4), "") << c.name;
    EXPECT_EQ(window->StatusText(), kLoadComplete) << c.name;
    EXPECT_EQ(Title(), "Corvessa - " + path) << c.name;
    EXPECT_EQ(window->Settings().subnetMask, kFileMask) << c.name;
    EXPECT_EQ(window->Settings().gateway, kFileGateway) << c.name;
    EXPECT_EQ(window->Settings().dns1, c.dns1) << c.name;
    EXPECT_EQ(window->Settings().DomainName(), c.domain) << c.name;
    // Not yet saved as the current format.
    EXPECT_TRUE(window->Modified()) << c.name;
    EXPECT_TRUE(SaveEnabled()) << c.name;
  }
}

TEST_F(FileCommandsTest, FailedLoadShowsItsBoxEmptiesTheListAndKeepsTheRest) {
  FileBytes badMask = BpcHeader(kVersion3, 0, HeaderFields{.mask = 0});
  std::vector<std::uint8_t> trailing = ThreeRelationsBpc();
  trailing.push_back(0x00);

  struct Case {
    const char* name;
    std::optional<std::vector<std::uint8_t>> bytes;  // nothing: the file does not exist
    std::string text;                                // %s stands for the path
    std::string caption;
  };
  const std::string corrupt = "File '%s' is corrupt and cannot be opened.";
  const Case cases[] = {
      {"mask0.bpc", badMask.Bytes(), corrupt, "File Format Error"},
      {"trailing.bpc", trailing, corrupt, "File Format Error"},
      // Chosen through "All Files": read as the headerless layout.
      {"notes.txt", std::vector<std::uint8_t>{'h', 'e', 'l', 'l', 'o', '\n'}, corrupt, "File Format Error"},
      {"empty.csv", std::vector<std::uint8_t>{'M', 'A', 'C', ',', 'I', 'P'},
       "Error loading file '%s': Unexpected end of file.\nPlease check file format and try again.",
       "CSV Format Error"},
      {"vanished.bpc", std::nullopt,
       "The file '%s' does not exist or cannot be accessed.\nPlease check the filename and try again.",
       "File Format Error"},
  };
  for (const Case& c : cases) {
    const std::string loaded = LoadThree();
    window->SetModified(true);
    window->Settings().dns2 = Ip(192, 168, 1, 3);
    const std::string path = PathOf(c.name);
    if (c.bytes) WriteBytes(path, *c.bytes);
    surroundings.prompts.ClearShown();

    surroundings.fileDialogs.QueueAnswer(path);
    EXPECT_FALSE(window->LoadConfiguration(true)) << c.name;

    std::string text = c.text;
    text.replace(text.find("%s"), 2, path);
    EXPECT_EQ(surroundings.prompts.Shown(), std::vector<ShownPrompt>{Box(text, c.caption)}) << c.name;
    EXPECT_EQ(window->StatusText(), kLoadFailed) << c.name;
    EXPECT_EQ(window->Relations().Count(), 0) << c.name;
    EXPECT_EQ(window->RelationTableView()->RowCount(), 0) << c.name;
    EXPECT_EQ(Counter(), "0 of 256") << c.name;
    EXPECT_EQ(window->CurrentFileName(), loaded) << c.name;
    EXPECT_EQ(Title(), "Corvessa - " + loaded) << c.name;
    EXPECT_TRUE(window->Modified()) << c.name;
    EXPECT_EQ(window->Settings().subnetMask, kFileMask) << c.name;
    EXPECT_EQ(window->Settings().dns2, Ip(192, 168, 1, 3)) << c.name;
  }
}

TEST_F(FileCommandsTest, FailedOrCancelledOpenEndsWithTheAbortText) {
  LoadThree();
  // The dialog cancelled: nothing is touched.
  window->OnCommand(ids::kFileOpen);
  EXPECT_EQ(window->StatusText(), kLoadAborted);
  EXPECT_EQ(window->Relations().Count(), 3);

  const std::string path = PathOf("gone.csv");
  Open(path);
  EXPECT_EQ(window->StatusText(), kLoadAborted);
  EXPECT_EQ(window->Relations().Count(), 0);
  EXPECT_EQ(surroundings.prompts.Shown().size(), 1u);

  // Without the command around it, a cancelled dialog leaves "Loading...".
  EXPECT_FALSE(window->LoadConfiguration(true));
  EXPECT_EQ(window->StatusText(), kLoading);
}

TEST_F(FileCommandsTest, UnsupportedVersionShowsItsBoxAndLoadsNothing) {
  const std::string loaded = LoadThree();
  FileBytes file = BpcHeader({0x00, 0x00, 0x01, 0x00}, 0);  // version 0x00010000
  const std::string path = PathOf("future.bpc");
  WriteBytes(path, file.Bytes());
  surroundings.fileDialogs.QueueAnswer(path);
  EXPECT_FALSE(window->LoadConfiguration(true));

  EXPECT_EQ(surroundings.prompts.Shown(),
            std::vector<ShownPrompt>{Box("Version 3.06.00 of the BOOTP/DHCP server utility is not capable of "
                                         "opening files from Version 0.1.0.0.",
                                         "File Format Error")});
  EXPECT_EQ(window->StatusText(), kLoading);
  EXPECT_EQ(window->Relations().Count(), 0);
  EXPECT_EQ(window->RelationTableView()->RowCount(), 0);
  EXPECT_EQ(Counter(), "0 of 256");
  EXPECT_EQ(window->CurrentFileName(), loaded);
  EXPECT_EQ(Title(), "Corvessa - " + loaded);
}

TEST_F(FileCommandsTest, StartUpNameMustEndInCsvOrBpc) {
  const std::string loaded = LoadThree();
  // Neither: refused before the list is touched; the name stays for a later Save.
  ASSERT_TRUE(window->SetCurrentFileName("data.xyz"));
  EXPECT_FALSE(window->LoadConfiguration(false));
  EXPECT_EQ(window->StatusText(), kLoadFailed);
  EXPECT_EQ(window->CurrentFileName(), "data.xyz");
  EXPECT_EQ(window->Relations().Count(), 3);

  // Case does not matter.
  const std::string upper = PathOf("PLANT.BPC");
  fs::copy_file(loaded, upper);
  ASSERT_TRUE(window->SetCurrentFileName(upper));
  EXPECT_TRUE(window->LoadConfiguration(false));
  EXPECT_EQ(window->StatusText(), kLoadComplete);
  EXPECT_EQ(Title(), "Corvessa - " + upper);
  EXPECT_TRUE(surroundings.prompts.Shown().empty());
}

TEST_F(FileCommandsTest, NameTooLongToKeepIsRefusedBeforeAnythingChanges) {
  const std::string loaded = LoadThree();
  // Longer than the 512 characters the file name can hold.
  const std::string longPath =
      (surroundings.folder.Path() / std::string(250, 'a') / std::string(250, 'b') / "plant.bpc").string();
  ASSERT_GT(longPath.size(), 512u);

  surroundings.fileDialogs.QueueAnswer(longPath);
  EXPECT_FALSE(window->LoadConfiguration(true));
  EXPECT_EQ(surroundings.prompts.Shown().size(), 1u);
  EXPECT_EQ(surroundings.prompts.Shown()[0].caption, "File Format Error");
  EXPECT_EQ(window->StatusText(), kLoadFailed);
  EXPECT_EQ(window->Relations().Count(), 3);
  EXPECT_EQ(window->CurrentFileName(), loaded);

  window->SetModified(true);
  surroundings.fileDialogs.QueueAnswer(longPath);
  window->OnCommand(ids::kFileSaveAs);
  EXPECT_EQ(window->StatusText(), kSaveFailed);
  EXPECT_EQ(window->CurrentFileName(), loaded);
  EXPECT_TRUE(window->Modified());
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"plant.bpc"});
}

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
    EXPECT_EQ(ReadFile(path), c.bytes) << c.name;
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
  EXPECT_EQ(ReadFile(path), std::string(expected.Bytes().begin(), expected.Bytes().end()));
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
    window->Settings().subnetMask = 0;
    ASSERT_TRUE(window->SetCurrentFileName(PathOf(c.name)));
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
  const std::string before = ReadFile(path);
  window->Settings().dns2 = Ip(192, 168, 1, 3);
  window->SetModified(true);
  {
    // The new file is 991 bytes; writing stops after the first 100.
    const FileSizeLimit limit(100);
    ASSERT_TRUE(limit.Active());
    window->OnCommand(ids::kFileSave);
  }
  EXPECT_EQ(ReadFile(path), before);
  EXPECT_EQ(window->StatusText(), kSaveFailed);
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
  EXPECT_EQ(window->StatusText(), kSaveFailed);
  EXPECT_EQ(window->CurrentFileName(), path);
  EXPECT_EQ(Title(), "Corvessa - " + path);
  EXPECT_TRUE(window->Modified());
}

// --- The save question of Open ---

TEST_F(FileCommandsTest, OpenWithChangesYesAndCancelledSaveDialogAbortsTheLoad) {
  Enter({&kFirst, &kSecond});
  const std::string other = PathOf("other.bpc");
  WriteBytes(other, ThreeRelationsBpc());
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
  WriteBytes(other, ThreeRelationsBpc());
  const std::string current = PathOf("current.csv");
  for (const Case& c : cases) {
    NewWindow();
    fs::remove(current);
    Enter({&kFirst});
    ASSERT_TRUE(window->SetCurrentFileName(current));
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
  EXPECT_EQ(ReadFile(current), "MAC,IP,Hostname,Description\n00:1D:9C:C8:12:34,192.168.1.10,plc-a,Line 1");
}

// --- New ---

TEST_F(FileCommandsTest, NewWithAnEmptyListDoesNothingEvenWithAFileOpen) {
  ASSERT_TRUE(window->SetCurrentFileName(PathOf("plant.bpc")));
  window->UpdateTitle();
  window->SetModified(true);  // the network settings changed
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
  ASSERT_TRUE(window->SetCurrentFileName(PathOf("no-such-folder/plant.bpc")));
  window->UpdateTitle();
  AddHistoryRow();
  surroundings.prompts.QueueAnswer(PromptAnswer::Yes);

  window->OnCommand(ids::kFileNew);
  EXPECT_EQ(surroundings.prompts.Shown(), std::vector<ShownPrompt>{kSaveQuestion});
  EXPECT_EQ(window->StatusText(), kSaveFailed);
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
    window->SetModified(c.modified);
    ASSERT_TRUE(window->SetCurrentFileName(path));
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
    window->SetModified(c.modified);
    if (*c.fileName != '\0') {
      ASSERT_TRUE(window->SetCurrentFileName(PathOf(c.fileName)));
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
