// The four-field address control: reading and writing, blank fields, typing
// with the moves between fields, refused input and naming.

#include <cstdint>

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include "ui/widgets/ip_address_edit.h"

namespace corvessa {
namespace {

class IpAddressEditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    edit.show();
    QApplication::setActiveWindow(&edit);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&edit));
  }
  QString FieldText(int i) const { return edit.Field(i)->text(); }
  IpAddressEdit edit;
};

TEST_F(IpAddressEditTest, SetAddressShowsOneByteInEachFieldAndReadsBack) {
  struct Case {
    std::uint32_t address;
    const char* fields[4];
  };
  const Case cases[] = {
      {0xC0A80132u, {"192", "168", "1", "50"}},
      {0x00000000u, {"0", "0", "0", "0"}},
      {0xFFFFFF00u, {"255", "255", "255", "0"}},
      {0x0A00003Cu, {"10", "0", "0", "60"}},
  };
  for (const Case& c : cases) {
    edit.SetAddress(c.address);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(FieldText(i), QString::fromLatin1(c.fields[i])) << i;
    EXPECT_EQ(edit.Address(), c.address);
    EXPECT_FALSE(edit.IsBlank());
  }
}

TEST_F(IpAddressEditTest, BlankFieldsReadAsZero) {
  EXPECT_TRUE(edit.IsBlank());
  EXPECT_EQ(edit.Address(), 0u);
  edit.Field(0)->setText("10");
  edit.Field(3)->setText("7");
  EXPECT_FALSE(edit.IsBlank());
  EXPECT_EQ(edit.Address(), 0x0A000007u);
  edit.Field(1)->setText("300");  // set by a program, past the validator
  EXPECT_EQ(edit.Address(), 0x0AFF0007u);
}

TEST_F(IpAddressEditTest, ClearEmptiesAllFields) {
  edit.SetAddress(0x01020304u);
  edit.Clear();
  EXPECT_TRUE(edit.IsBlank());
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(FieldText(i).isEmpty());
}

TEST_F(IpAddressEditTest, TypingMovesOnAfterThreeDigitsOrADot) {
  edit.setFocus();
  ASSERT_TRUE(edit.Field(0)->hasFocus());
  // "192" moves on by itself, so the dot after it lands in an empty field and
  // is dropped; "1." moves on by the dot.
  QTest::keyClicks(QApplication::focusWidget(), "192.");
  QTest::keyClicks(QApplication::focusWidget(), "168.");
  QTest::keyClicks(QApplication::focusWidget(), "1.");
  QTest::keyClicks(QApplication::focusWidget(), "50");
  EXPECT_EQ(FieldText(0), "192");
  EXPECT_EQ(FieldText(1), "168");
  EXPECT_EQ(FieldText(2), "1");
  EXPECT_EQ(FieldText(3), "50");
  EXPECT_EQ(edit.Address(), 0xC0A80132u);
}

TEST_F(IpAddressEditTest, OnlyDigitsUpTo255AreTaken) {
  edit.Field(1)->setFocus();
  QTest::keyClicks(edit.Field(1), "2a-5 6");
  EXPECT_EQ(FieldText(1), "25");  // the 6 would make 256
  edit.Field(2)->setFocus();
  QTest::keyClicks(edit.Field(2), "9");
  QTest::keyClicks(edit.Field(2), "99");
  EXPECT_EQ(FieldText(2), "99");  // 999 is refused at its third digit
  EXPECT_EQ(edit.Address(), 0x00196300u);
}

TEST_F(IpAddressEditTest, BackspaceInAnEmptyFieldGoesBack) {
  edit.Field(1)->setFocus();
  QTest::keyClick(edit.Field(1), Qt::Key_Backspace);
  EXPECT_TRUE(edit.Field(0)->hasFocus());
}

TEST_F(IpAddressEditTest, FocusOnTheControlGoesToTheFirstField) {
  edit.Field(2)->setFocus();
  edit.setFocus();
  EXPECT_TRUE(edit.Field(0)->hasFocus());
}

TEST_F(IpAddressEditTest, NamesFollowTheCaptionAndTheIdIsAProperty) {
  edit.SetAccessibleCaption(QStringLiteral("Gateway"));
  edit.SetControlId(1012);
  EXPECT_EQ(edit.accessibleName(), QStringLiteral("Gateway"));
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(edit.Field(i)->accessibleName(), QStringLiteral("Gateway octet %1").arg(i + 1));
  }
  EXPECT_EQ(edit.property("controlId").toInt(), 1012);
}

TEST_F(IpAddressEditTest, ChangesAreAnnounced) {
  int changes = 0;
  QObject::connect(&edit, &IpAddressEdit::AddressChanged, [&] { ++changes; });
  edit.Field(0)->setFocus();
  QTest::keyClicks(edit.Field(0), "7");
  EXPECT_EQ(changes, 1);
  edit.Clear();
  EXPECT_EQ(changes, 2);
}

}  // namespace
}  // namespace corvessa
