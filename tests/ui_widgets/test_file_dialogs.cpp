// The file dialogs: filter conversion, default extension, the scripted
// implementation, and Qt's dialog driven as a user would.

#include <fstream>
#include <string>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "ui/widgets/file_filter.h"
#include "ui/widgets/qt_file_dialogs.h"
#include "ui/widgets/scripted_file_dialogs.h"

namespace corvessa {
namespace {

constexpr const char* kLoadFilter =
    "Bootp Config Files (*.bpc)|*.bpc|Comma-Separated Value Files (*.csv)|*.csv|"
    "All Possible Config Files (*.bpc; *.csv)|*.bpc;*.csv|All Files (*.*)|*.*||";
constexpr const char* kSaveFilter =
    "Bootp Config Files (*.bpc)|*.bpc|Comma-Separated Value Files (*.csv)|*.csv||";

TEST(FileFilter, LoadFilterBecomesQtNameFilters) {
  EXPECT_EQ(ToQtNameFilters(kLoadFilter),
            (std::vector<std::string>{"Bootp Config Files (*.bpc)",
                                      "Comma-Separated Value Files (*.csv)",
                                      "All Possible Config Files (*.bpc *.csv)",
                                      "All Files (*)"}));
}

TEST(FileFilter, SaveFilterBecomesQtNameFilters) {
  EXPECT_EQ(ToQtNameFilters(kSaveFilter),
            (std::vector<std::string>{"Bootp Config Files (*.bpc)",
                                      "Comma-Separated Value Files (*.csv)"}));
}

TEST(FileFilter, OddListsAreReadAsFarAsTheyGo) {
  struct Case {
    const char* filter;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"", {}},
      {"||", {}},
      {"Text|*.txt", {"Text (*.txt)"}},                  // no "||" at the end
      {"Text|*.txt|Orphan", {"Text (*.txt)"}},           // text without pattern
      {"Text|*.txt||Hidden|*.h||", {"Text (*.txt)"}},    // nothing after "||"
      {"Logs (old)|*.log ; *.old|", {"Logs (*.log *.old)"}},
      {"|*.x||", {}},                                    // an empty first text ends the list
      {"Nothing|;|Text|*.txt||", {"Text (*.txt)"}},
  };
  for (const Case& c : cases) EXPECT_EQ(ToQtNameFilters(c.filter), c.names) << c.filter;
}

TEST(FileFilter, DefaultExtensionOnlyForNamesWithoutOne) {
  struct Case {
    const char* path;
    const char* expected;
  };
  const Case cases[] = {
      {"/home/u/plant", "/home/u/plant.bpc"},
      {"/home/u/plant.bpc", "/home/u/plant.bpc"},
      {"/home/u/plant.CSV", "/home/u/plant.CSV"},
      {"/home/u/report.txt", "/home/u/report.txt"},
      {"/home/u.d/plant", "/home/u.d/plant.bpc"},  // a dot in a folder does not count
      {"plant", "plant.bpc"},
      {"/home/u/", "/home/u/"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(WithDefaultExtension(c.path, "bpc"), c.expected) << c.path;
  EXPECT_EQ(WithDefaultExtension("/home/u/plant", ""), "/home/u/plant");
}

TEST(ScriptedFileDialogs, AnswersInOrderThenCancelsAndRecords) {
  ScriptedFileDialogs dialogs;
  dialogs.QueueAnswer("/tmp/a.bpc");
  dialogs.QueueAnswer(std::nullopt);
  const FileDialogRequest load{kLoadFilter, "bpc"};
  const FileDialogRequest save{kSaveFilter, "bpc"};
  EXPECT_EQ(dialogs.Open(load), std::optional<std::string>("/tmp/a.bpc"));
  EXPECT_EQ(dialogs.Save(save), std::nullopt);
  EXPECT_EQ(dialogs.Save(save), std::nullopt);  // queue empty: Cancel
  EXPECT_EQ(dialogs.PendingAnswers(), 0u);
  ASSERT_EQ(dialogs.Requests().size(), 3u);
  EXPECT_EQ(dialogs.Requests()[0], (RecordedFileDialog{FileDialogKind::Open, load}));
  EXPECT_EQ(dialogs.Requests()[2], (RecordedFileDialog{FileDialogKind::Save, save}));
}

// Runs `step` on the file dialog once it is up.
void WhenDialogOpens(std::function<void(QFileDialog*)> step) {
  QTimer::singleShot(0, [step] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    step(dialog);
  });
}

// Types a name into the dialog's name field and presses Enter, as a user does.
void TypeNameAndAccept(QFileDialog* dialog, const QString& name) {
  auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  ASSERT_NE(field, nullptr);
  field->setText(name);
  QTest::keyClick(field, Qt::Key_Return);
}

class QtFileDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.isValid()); }
  std::string Path(const char* name) const { return QDir(dir.path()).filePath(name).toStdString(); }
  QTemporaryDir dir;
  QtFileDialogs dialogs;
};

TEST_F(QtFileDialogsTest, SaveAppendsTheDefaultExtensionAndPreselectsTheFirstFilter) {
  QStringList filters;
  QString selected;
  WhenDialogOpens([&](QFileDialog* dialog) {
    filters = dialog->nameFilters();
    selected = dialog->selectedNameFilter();
    dialog->setDirectory(dir.path());
    TypeNameAndAccept(dialog, QStringLiteral("plant"));
  });
  EXPECT_EQ(dialogs.Save({kSaveFilter, "bpc"}), std::optional<std::string>(Path("plant.bpc")));
  EXPECT_EQ(filters, (QStringList{"Bootp Config Files (*.bpc)", "Comma-Separated Value Files (*.csv)"}));
  EXPECT_EQ(selected, QStringLiteral("Bootp Config Files (*.bpc)"));
}

TEST_F(QtFileDialogsTest, CancelAnswersNothing) {
  WhenDialogOpens([](QFileDialog* dialog) { dialog->reject(); });
  EXPECT_EQ(dialogs.Open({kLoadFilter, "bpc"}), std::nullopt);
}

TEST_F(QtFileDialogsTest, OpenTakesAnExistingFile) {
  std::ofstream(Path("relations.csv")) << "MAC,IP,Hostname,Description\r\n";
  QFileDialog::FileMode mode = QFileDialog::AnyFile;
  WhenDialogOpens([&](QFileDialog* dialog) {
    mode = dialog->fileMode();
    dialog->setDirectory(dir.path());
    TypeNameAndAccept(dialog, QStringLiteral("relations.csv"));
  });
  EXPECT_EQ(dialogs.Open({kLoadFilter, "bpc"}), std::optional<std::string>(Path("relations.csv")));
  EXPECT_EQ(mode, QFileDialog::ExistingFile);
}

TEST_F(QtFileDialogsTest, SaveRefusesANameLongerThanTheFileCommandsHold) {
  // Folders of 100 characters each put the full path past 512 bytes while
  // every single name stays within what the file system allows.
  QString deep = dir.path();
  for (int i = 0; i < 6; ++i) deep += QLatin1Char('/') + QString(100, QLatin1Char('a' + i));
  ASSERT_TRUE(QDir().mkpath(deep));
  WhenDialogOpens([&](QFileDialog* dialog) {
    dialog->setDirectory(deep);
    TypeNameAndAccept(dialog, QStringLiteral("plant"));
  });
  EXPECT_EQ(dialogs.Save({kSaveFilter, "bpc"}), std::nullopt);
}

}  // namespace
}  // namespace corvessa
