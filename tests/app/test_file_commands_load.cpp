// Loading through the Open command and at start-up, without a server socket:
// rows, counter, title and settings after a load, the older formats, and the
// boxes and states after each kind of failed load.

#include "tests/app/test_file_commands_fixture.h"

namespace corvessa::app_test {
namespace {

namespace fs = std::filesystem;

// --- Loading ---

TEST_F(FileCommandsTest, OpenShowsTheLastRelationOnTopAndNamesTheFile) {
  const std::string path = PathOf("plant.bpc");
  WriteWholeFile(path, ThreeRelationsBpc());
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
  WriteWholeFile(path,
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
    ChangeSettings(*window, [&](NetworkSettings& s) { s.dns1 = kOwnDns; });
    const std::string path = PathOf(c.name);
    WriteWholeFile(path, c.bytes);
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
    window->CurrentSession().SetModified(true);
    ChangeSettings(*window, [&](NetworkSettings& s) { s.dns2 = Ip(192, 168, 1, 3); });
    const std::string path = PathOf(c.name);
    if (c.bytes) WriteWholeFile(path, *c.bytes);
    surroundings.prompts.ClearShown();

    surroundings.fileDialogs.QueueAnswer(path);
    EXPECT_FALSE(window->Files().LoadConfiguration(true)) << c.name;

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
  EXPECT_FALSE(window->Files().LoadConfiguration(true));
  EXPECT_EQ(window->StatusText(), kLoading);
}

TEST_F(FileCommandsTest, UnsupportedVersionShowsItsBoxAndLoadsNothing) {
  const std::string loaded = LoadThree();
  FileBytes file = BpcHeader({0x00, 0x00, 0x01, 0x00}, 0);  // version 0x00010000
  const std::string path = PathOf("future.bpc");
  WriteWholeFile(path, file.Bytes());
  surroundings.fileDialogs.QueueAnswer(path);
  EXPECT_FALSE(window->Files().LoadConfiguration(true));

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
  ASSERT_TRUE(window->CurrentSession().SetCurrentFileName("data.xyz"));
  EXPECT_FALSE(window->Files().LoadConfiguration(false));
  EXPECT_EQ(window->StatusText(), kLoadFailed);
  EXPECT_EQ(window->CurrentFileName(), "data.xyz");
  EXPECT_EQ(window->Relations().Count(), 3);

  // Case does not matter.
  const std::string upper = PathOf("PLANT.BPC");
  fs::copy_file(loaded, upper);
  ASSERT_TRUE(window->CurrentSession().SetCurrentFileName(upper));
  EXPECT_TRUE(window->Files().LoadConfiguration(false));
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
  EXPECT_FALSE(window->Files().LoadConfiguration(true));
  EXPECT_EQ(surroundings.prompts.Shown().size(), 1u);
  EXPECT_EQ(surroundings.prompts.Shown()[0].caption, "File Format Error");
  EXPECT_EQ(window->StatusText(), kLoadFailed);
  EXPECT_EQ(window->Relations().Count(), 3);
  EXPECT_EQ(window->CurrentFileName(), loaded);

  window->CurrentSession().SetModified(true);
  surroundings.fileDialogs.QueueAnswer(longPath);
  window->OnCommand(ids::kFileSaveAs);
  EXPECT_EQ(window->StatusText(), SaveFailedBecause("File name too long"));
  EXPECT_EQ(window->CurrentFileName(), loaded);
  EXPECT_TRUE(window->Modified());
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"plant.bpc"});
}

}  // namespace
}  // namespace corvessa::app_test
