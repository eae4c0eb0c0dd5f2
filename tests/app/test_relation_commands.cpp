// Adding and editing relations through the main window: the commands and
// notifications that open the relation editor, what it is opened with, and
// what the table, the rows, the counter and Modified show afterwards.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/app/test_relation_commands_support.h"

namespace corvessa::app_test {
namespace {

constexpr const char* kMacExists =
    "The specified hardware address (MAC)\nis already in the relation list. Please change\nthe MAC and try again.";

const std::vector<std::uint8_t> kListedMac = {0x00, 0x1D, 0x9C, 0xC8, 0x12, 0x34};
const std::vector<std::uint8_t> kOtherMac = {0x00, 0x1D, 0x9C, 0x00, 0x00, 0x09};

using Driver = RelationEditorDriver;

TEST_F(RelationCommandsTest, EditorFillsTheTableToItsLimitAndNoFurther) {
  for (int i = 0; i < 255; ++i) {
    window->Relations().Append(MakeRelation({0x02, 0x00, 0x00, 0x00, static_cast<std::uint8_t>(i >> 8),
                                             static_cast<std::uint8_t>(i)},
                                            Ip(10, 0, static_cast<unsigned>(i / 200), static_cast<unsigned>(i % 200 + 1))));
  }
  window->RefreshRelationList();
  window->UpdateRelationCounter();
  ASSERT_EQ(Counter(), "255 of 256");

  editors.Queue(Driver::EnterAndOk("001d9cc81234", "192.168.1.60", "plc-256", "last one"));
  window->OnCommand(ids::kAddRelation);
  ASSERT_EQ(editors.Shown().size(), 1u);
  EXPECT_EQ(editors.Shown()[0], (ShownEditor{"New Entry", "", "0.0.0.0", "", ""}));
  EXPECT_TRUE(surroundings.prompts.Shown().empty());
  EXPECT_EQ(window->Relations().Count(), 256);
  EXPECT_EQ(Counter(), "256 of 256");
  EXPECT_TRUE(window->Modified());
  // On top of the list, at the end of the table.
  EXPECT_EQ(RelationList().CellText(0, 0), "00:1D:9C:C8:12:34");
  EXPECT_EQ(window->Rows().At(0), window->Relations().At(255));

  // Full: the box, and no editor.
  window->OnCommand(ids::kAddRelationButton);
  EXPECT_EQ(editors.Shown().size(), 1u);
  const std::vector<ShownPrompt> limit = {{"The relation list only allows 256 entries.", "Limit Reached",
                                           PromptKind::Message}};
  EXPECT_EQ(surroundings.prompts.Shown(), limit);
  EXPECT_EQ(window->Relations().Count(), 256);
}

TEST_F(RelationCommandsTest, RequestOfAListedDeviceOffersItsAddressThenRefusesTheDuplicate) {
  Listed(kListedMac, Ip(192, 168, 1, 50), "plc1");
  Request(kListedMac);
  ASSERT_EQ(HistoryList().RowCount(), 1);
  ASSERT_TRUE(HistoryList().SelectRow(0, false));
  window->CurrentSession().SetModified(false);

  editors.Queue(Driver::PressOk());
  window->OnCommand(ids::kAddRelation);
  ASSERT_EQ(editors.Shown().size(), 1u);
  EXPECT_EQ(editors.Shown()[0], (ShownEditor{"New Entry", "00:1D:9C:C8:12:34", "192.168.1.50", "", ""}));
  EXPECT_EQ(surroundings.prompts.ShownTexts(), std::vector<std::string>{kMacExists});
  EXPECT_EQ(window->Relations().Count(), 1);
  EXPECT_FALSE(window->Modified());
}

TEST_F(RelationCommandsTest, NoRequestSelectedOpensAnEmptyEditor) {
  Request(kOtherMac);
  HistoryList().ClearSelectionOfRows();
  editors.Queue(Driver::PressCancel());
  window->OnCommand(ids::kAddRelationContext);
  ASSERT_EQ(editors.Shown().size(), 1u);
  EXPECT_EQ(editors.Shown()[0], (ShownEditor{"New Entry", "", "0.0.0.0", "", ""}));
  // Cancel changes nothing.
  EXPECT_EQ(window->Relations().Count(), 0);
  EXPECT_EQ(RelationList().RowCount(), 0);
  EXPECT_EQ(Counter(), "0 of 256");
  EXPECT_FALSE(window->Modified());
  EXPECT_TRUE(surroundings.prompts.Shown().empty());
}

TEST_F(RelationCommandsTest, HistoryDoubleClickAddsTheRequestingDevice) {
  Request(kOtherMac);
  editors.Queue(Driver::EnterAndOk(nullptr, "192.168.1.61", "drive"));
  DoubleClickRow(HistoryList(), 0);
  ASSERT_EQ(editors.Shown().size(), 1u);
  EXPECT_EQ(editors.Shown()[0], (ShownEditor{"New Entry", "00:1D:9C:00:00:09", "0.0.0.0", "", ""}));
  ASSERT_EQ(window->Relations().Count(), 1);
  const Relation& added = *window->Relations().At(0);
  EXPECT_EQ(added.ipAddress, Ip(192, 168, 1, 61));
  EXPECT_EQ(Column(0), std::vector<std::string>{"00:1D:9C:00:00:09"});
  EXPECT_EQ(Counter(), "1 of 256");
}

TEST_F(RelationCommandsTest, ShortHardwareAddressOfARequestIsOfferedAsItConverted) {
  // Three bytes do not make a relation's address, but the editor still shows them.
  Request({0x00, 0x1D, 0x9C});
  ASSERT_TRUE(HistoryList().SelectRow(0, false));
  window->OnCommand(ids::kAddRelation);
  ASSERT_EQ(editors.Shown().size(), 1u);
  EXPECT_EQ(editors.Shown()[0].mac, "00:1D:9C");
  EXPECT_EQ(editors.Shown()[0].ip, "0.0.0.0");
}

TEST_F(RelationCommandsTest, EverySpellingOfAListedAddressIsTheSameRelation) {
  Listed(kListedMac, Ip(192, 168, 1, 50));
  for (const char* spelling : {"00:1D:9C:C8:12:34", "00-1d-9c-c8-12-34", "001D9CC81234"}) {
    SCOPED_TRACE(spelling);
    surroundings.prompts.ClearShown();
    editors.Queue(Driver::EnterAndOk(spelling, "192.168.1.70"));
    window->OnCommand(ids::kAddRelation);
    EXPECT_EQ(surroundings.prompts.ShownTexts(), std::vector<std::string>{kMacExists});
  }
  EXPECT_EQ(window->Relations().Count(), 1);
}

TEST_F(RelationCommandsTest, RelationEnteredInLowerCaseIsServed) {
  editors.Queue(Driver::EnterAndOk("00-1d-9c-c8-12-34", "192.168.1.50"));
  window->OnCommand(ids::kAddRelation);
  ASSERT_EQ(window->Relations().Count(), 1);
  Request(kListedMac);
  EXPECT_EQ(window->Relations().At(0)->type, kRelationTypeBootp);
  EXPECT_EQ(Column(1), std::vector<std::string>{"BOOTP"});
  EXPECT_EQ(sender.sent.size(), 1u);
}

TEST_F(RelationCommandsTest, NewRowGoesOnTopWhateverTheSort) {
  Listed({0x02, 0, 0, 0, 0, 1}, Ip(192, 168, 1, 20), "b");
  Listed({0x02, 0, 0, 0, 0, 2}, Ip(192, 168, 1, 30), "c");
  ClickHeader(2);  // IP descending
  ASSERT_EQ(Column(2), (std::vector<std::string>{"192.168.1.30", "192.168.1.20"}));
  editors.Queue(Driver::EnterAndOk("02:00:00:00:00:03", "192.168.1.10", "a"));
  window->OnCommand(ids::kAddRelation);
  EXPECT_EQ(Column(2), (std::vector<std::string>{"192.168.1.10", "192.168.1.30", "192.168.1.20"}));
}

TEST_F(RelationCommandsTest, PropertiesOkMovesTheRelationToTheEndAndClearsItsType) {
  Listed({0x02, 0, 0, 0, 0, 1}, Ip(192, 168, 1, 11), "a", "first");
  Listed(kListedMac, Ip(192, 168, 1, 12), "b", "second");
  Listed({0x02, 0, 0, 0, 0, 3}, Ip(192, 168, 1, 13), "c", "third");
  Request(kListedMac);
  ASSERT_EQ(Column(1), (std::vector<std::string>{"", "BOOTP", ""}));
  window->CurrentSession().SetModified(false);
  SelectRelationRows({1});

  editors.Queue(Driver::EnterAndOk(nullptr, nullptr, nullptr, "moved"));
  window->OnCommand(ids::kProperties);
  ASSERT_EQ(editors.Shown().size(), 1u);
  EXPECT_EQ(editors.Shown()[0], (ShownEditor{"Properties", "00:1D:9C:C8:12:34", "192.168.1.12", "b", "second"}));
  EXPECT_TRUE(surroundings.prompts.Shown().empty());

  EXPECT_EQ(TableHostnames(), (std::vector<std::string>{"a", "c", "b"}));
  const Relation& edited = *window->Relations().At(2);
  EXPECT_EQ(edited.type, kRelationTypeNone);
  EXPECT_EQ(std::string(edited.description.data(), edited.descriptionLength), "moved");
  EXPECT_EQ(Column(0), (std::vector<std::string>{"02:00:00:00:00:01", "02:00:00:00:00:03", "00:1D:9C:C8:12:34"}));
  EXPECT_EQ(Column(1), (std::vector<std::string>{"", "", ""}));
  EXPECT_EQ(Column(4), (std::vector<std::string>{"first", "third", "moved"}));
  EXPECT_EQ(window->Rows().At(2), &edited);
  EXPECT_TRUE(window->Modified());
  EXPECT_EQ(Counter(), "3 of 256");
  // The rows were rebuilt without a selection: the relation buttons hide.
  EXPECT_TRUE(window->Control(ids::kDeleteRelationButton)->isHidden());
}

TEST_F(RelationCommandsTest, PropertiesCancelStillMarksModifiedAndRebuildsTheRows) {
  Relation* first = Listed({0x02, 0, 0, 0, 0, 1}, Ip(192, 168, 1, 11), "b");
  Listed({0x02, 0, 0, 0, 0, 2}, Ip(192, 168, 1, 12), "a");
  ClickHeader(3);  // hostname descending: b, a
  ASSERT_EQ(Column(3), (std::vector<std::string>{"b", "a"}));
  // The cells show the relations as they are.
  first->type = kRelationTypeDhcp;
  ASSERT_EQ(Column(1), (std::vector<std::string>{"DHCP", ""}));
  window->CurrentSession().SetModified(false);
  SelectRelationRows({1});

  editors.Queue(Driver::PressCancel());
  window->OnCommand(ids::kProperties);
  ASSERT_EQ(editors.Shown().size(), 1u);
  EXPECT_EQ(editors.Shown()[0].title, "Properties");
  EXPECT_EQ(editors.Shown()[0].hostname, "a");
  EXPECT_TRUE(window->Modified());
  // Untouched, still first in the table, and the rows rebuilt in the same sort.
  EXPECT_EQ(window->Relations().At(0), first);
  EXPECT_EQ(TableHostnames(), (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(Column(3), (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(Column(1), (std::vector<std::string>{"DHCP", ""}));
}

TEST_F(RelationCommandsTest, PropertiesWithoutASelectionDoesNothing) {
  Listed(kListedMac, Ip(192, 168, 1, 12), "b");
  RelationList().ClearSelectionOfRows();
  window->OnCommand(ids::kProperties);
  EXPECT_TRUE(editors.Shown().empty());
  EXPECT_FALSE(window->Modified());
}

TEST_F(RelationCommandsTest, EditedRelationKeepsItsOwnValuesButNotAnothers) {
  Listed({0x02, 0, 0, 0, 0, 1}, Ip(192, 168, 1, 11), "a");
  Listed({0x02, 0, 0, 0, 0, 2}, Ip(192, 168, 1, 12), "b");
  SelectRelationRows({1});
  editors.Queue(Driver::EnterAndOk(nullptr, nullptr, "a"));
  window->OnCommand(ids::kProperties);
  EXPECT_EQ(surroundings.prompts.ShownTexts(),
            std::vector<std::string>{"The specified hostname is already in the\nrelation list. Please change the "
                                     "hostname\nand try again."});
  EXPECT_EQ(TableHostnames(), (std::vector<std::string>{"a", "b"}));
}

TEST_F(RelationCommandsTest, RelationListDoubleClickEditsARowOrAddsOnTheEmptyPart) {
  Listed(kListedMac, Ip(192, 168, 1, 12), "b");
  editors.Queue(Driver::PressCancel());
  DoubleClickRow(RelationList(), 0);
  editors.Queue(Driver::PressCancel());
  DoubleClickRow(RelationList(), -1);
  ASSERT_EQ(editors.Shown().size(), 2u);
  EXPECT_EQ(editors.Shown()[0].title, "Properties");
  EXPECT_EQ(editors.Shown()[0].mac, "00:1D:9C:C8:12:34");
  EXPECT_EQ(editors.Shown()[1], (ShownEditor{"New Entry", "", "0.0.0.0", "", ""}));
}

}  // namespace
}  // namespace corvessa::app_test
