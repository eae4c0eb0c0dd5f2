// The file dialogs: filter conversion, the scripted implementation, and Qt's
// dialog driven as a user would: the path comes back as chosen, with the
// extension added only to a name typed into the save dialog.

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "ui/widgets/file_filter.h"
#include "ui/widgets/qt_file_dialogs.h"
#include "ui/scripted_file_dialogs.h"

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

// Clicks `name` in the dialog's list once the list shows it (the folder is
// read in the background; the wait is bounded).
void PickFromList(QFileDialog* dialog, const QString& name) {
  auto* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
  ASSERT_NE(list, nullptr);
  QModelIndex item;
  const bool shown = QTest::qWaitFor(
      [&] {
        const QAbstractItemModel* model = list->model();
        for (int row = 0; row < model->rowCount(list->rootIndex()); ++row) {
          const QModelIndex index = model->index(row, 0, list->rootIndex());
          if (index.data().toString() == name) item = index;
        }
        return item.isValid();
      },
      5000);
  ASSERT_TRUE(shown) << "the list never showed " << name.toStdString();
  list->scrollTo(item);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(item).center());
}

// The dialog's Open or Save button.
void PressAccept(QFileDialog* dialog) { QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection); }

// Answers the next message box (Qt's overwrite question) with Yes and keeps
// its text; gives up after a bounded time.
void AnswerNextBoxYes(QString* text) {
  auto* poll = new QTimer;
  auto waited = std::make_shared<int>(0);
  QObject::connect(poll, &QTimer::timeout, [poll, text, waited] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      *text = box->text();
      box->button(QMessageBox::Yes)->click();
      poll->deleteLater();
    } else if (++*waited > 500) {
      poll->deleteLater();
    }
  });
  poll->start(10);
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

// A file without an extension is opened by its own name, even when a file
// of that name with the default extension exists beside it.
TEST_F(QtFileDialogsTest, OpenTakesAnExtensionlessFileAsChosen) {
  std::ofstream(Path("plant")) << "x";
  std::ofstream(Path("plant.bpc")) << "y";
  for (const bool typed : {true, false}) {
    SCOPED_TRACE(typed ? "typed" : "picked from the list");
    WhenDialogOpens([&](QFileDialog* dialog) {
      dialog->setDirectory(dir.path());
      if (typed) {
        TypeNameAndAccept(dialog, QStringLiteral("plant"));
      } else {
        dialog->selectNameFilter(QStringLiteral("All Files (*)"));
        PickFromList(dialog, QStringLiteral("plant"));
        PressAccept(dialog);
      }
    });
    EXPECT_EQ(dialogs.Open({kLoadFilter, "bpc"}), std::optional<std::string>(Path("plant")));
  }
}

// Saving over an existing extensionless file picked from the list writes
// that file, the one the overwrite question named.
TEST_F(QtFileDialogsTest, SaveOverAnExtensionlessFileKeepsItsName) {
  std::ofstream(Path("plant")) << "x";
  QString question;
  WhenDialogOpens([&](QFileDialog* dialog) {
    dialog->setDirectory(dir.path());
    // The save filters show .bpc and .csv files only; a user types "*" into
    // the name field to see every file, which this stands for.
    dialog->setNameFilter(QStringLiteral("All (*)"));
    PickFromList(dialog, QStringLiteral("plant"));
    AnswerNextBoxYes(&question);
    PressAccept(dialog);
  });
  EXPECT_EQ(dialogs.Save({kSaveFilter, "bpc"}), std::optional<std::string>(Path("plant")));
  EXPECT_TRUE(question.startsWith(QStringLiteral("plant already exists"))) << question.toStdString();
}

// A typed name gets the extension before Qt's own overwrite question, so the
// question names the file that is written.
TEST_F(QtFileDialogsTest, TypedSaveNameGetsTheExtensionBeforeTheQuestion) {
  std::ofstream(Path("plant.bpc")) << "x";
  QString question;
  WhenDialogOpens([&](QFileDialog* dialog) {
    dialog->setDirectory(dir.path());
    AnswerNextBoxYes(&question);
    TypeNameAndAccept(dialog, QStringLiteral("plant"));
  });
  EXPECT_EQ(dialogs.Save({kSaveFilter, "bpc"}), std::optional<std::string>(Path("plant.bpc")));
  EXPECT_TRUE(question.startsWith(QStringLiteral("plant.bpc already exists"))) << question.toStdString();
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
