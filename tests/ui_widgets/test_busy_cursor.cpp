// The wait cursor guard: it nests, and every path out of a command ends it.

#include <stdexcept>

#include <QApplication>
#include <QCursor>

#include <gtest/gtest.h>

#include "ui/widgets/busy_cursor.h"

namespace corvessa {
namespace {

bool CursorIsOverridden() { return QApplication::overrideCursor() != nullptr; }

TEST(BusyCursor, ShowsTheWaitCursorWhileItLives) {
  ASSERT_FALSE(CursorIsOverridden());
  {
    BusyCursor busy;
    ASSERT_TRUE(CursorIsOverridden());
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  }
  EXPECT_FALSE(CursorIsOverridden());
}

TEST(BusyCursor, NestedGuardsRestoreTheOuterOne) {
  {
    BusyCursor outer;
    {
      BusyCursor inner;
      EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    // The outer guard's entry is still on the stack.
    ASSERT_TRUE(CursorIsOverridden());
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  }
  EXPECT_FALSE(CursorIsOverridden());
}

TEST(BusyCursor, AnExceptionEndsIt) {
  EXPECT_THROW(
      {
        BusyCursor outer;
        BusyCursor inner;
        throw std::runtime_error("device did not answer");
      },
      std::runtime_error);
  EXPECT_FALSE(CursorIsOverridden());
}

TEST(BusyCursor, SitsAboveACursorSetByOthers) {
  QApplication::setOverrideCursor(Qt::CrossCursor);
  {
    BusyCursor busy;
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  }
  ASSERT_TRUE(CursorIsOverridden());
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::CrossCursor);
  QApplication::restoreOverrideCursor();
  EXPECT_FALSE(CursorIsOverridden());
}

}  // namespace
}  // namespace corvessa
