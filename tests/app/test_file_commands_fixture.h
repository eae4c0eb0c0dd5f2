#pragma once
// The main window without a server socket, its relation list set up, for the
// file command tests: scripted file dialogs and boxes, files in a temporary
// folder, and the texts the commands write.

#include <algorithm>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>

#include "app/command_ids.h"
#include "tests/app/test_file_commands_support.h"
#include "ui/widgets/qt_text.h"
#include "ui/widgets/table.h"

namespace corvessa::app_test {

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
// The failure text with its cause behind it, as the status line shows it.
inline std::string SaveFailedBecause(std::string_view cause) {
  return std::string(kSaveFailed) + " (" + std::string(cause) + ")";
}
constexpr std::string_view kSaveComplete = "Save file complete";
constexpr std::string_view kLoadAborted = "Unable to load file or load aborted.";

inline const ShownPrompt kSaveQuestion{"Would you like to save your changes?", "Save Changes", PromptKind::YesNoCancel};

inline ShownPrompt Box(std::string text, std::string caption) {
  return ShownPrompt{std::move(text), std::move(caption), PromptKind::Message};
}

class FileCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override { NewWindow(); }

  void NewWindow() {
    window.reset();
    window = std::make_unique<MainWindow>(surroundings.Environment());
    window->SetupLists();
    window->CurrentSession().SetSettings(ValidSettings(), false);
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
    WriteWholeFile(path, ThreeRelationsBpc());
    surroundings.fileDialogs.QueueAnswer(path);
    EXPECT_TRUE(window->Files().LoadConfiguration(true));
    return path;
  }

  // Relations entered in this run, not loaded from a file.
  void Enter(std::initializer_list<const FileRelation*> relations) {
    for (const FileRelation* r : relations) window->Relations().Append(ToRelation(*r));
    window->RefreshRelationList();
    window->UpdateRelationCounter();
    window->CurrentSession().SetModified(true);
  }

  void AddHistoryRow() {
    RecordingSender sender;
    window->Runtime().SetSender(&sender);
    const std::vector<std::uint8_t> request = BootpRequest({0x02, 0x00, 0x00, 0x00, 0x00, 0x99});
    window->HandleDatagram(request.data(), request.size());
    window->Runtime().SetSender(nullptr);
    ASSERT_EQ(window->History().RowCount(), 1);
  }

  std::vector<std::string> RowMacs() const {
    std::vector<std::string> macs;
    const Table& rows = *window->RelationTableView();
    for (int row = 0; row < rows.RowCount(); ++row) macs.push_back(rows.CellText(row, 0));
    return macs;
  }
  std::string Cell(int row, int column) const { return window->RelationTableView()->CellText(row, column); }
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
    for (const auto& entry : std::filesystem::directory_iterator(surroundings.folder.Path())) {
      if (entry.path().filename() != "corvessa.conf") names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  Surroundings surroundings;
  std::unique_ptr<MainWindow> window;
};

}  // namespace corvessa::app_test
