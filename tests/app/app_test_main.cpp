// The main window's tests need one QApplication for the whole binary, created
// before any test runs and destroyed at the end. Offscreen is the default so
// the binaries also run outside ctest without a display.

#include <stdlib.h>

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // A window whose test names no folder of its own for recovery copies must
  // not touch the user's: the state folder is a scratch one for the binary.
  QTemporaryDir state;
  if (state.isValid()) ::setenv("XDG_STATE_HOME", state.path().toLocal8Bit().constData(), 1);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
