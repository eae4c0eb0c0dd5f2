// A settings write that fails is no silent loss: the status line names the
// file and the cause, whoever wrote.

#include "tests/app/window_fixture.h"

namespace corvessa::app_test {
namespace {

TEST(SettingsFailureTest, AFailedWriteIsShownInTheStatusLine) {
  Surroundings surroundings;
  MainWindow window(surroundings.Environment());
  // Something that is no settings file stands at its path.
  std::filesystem::create_directories(surroundings.SettingsPath());
  EXPECT_FALSE(window.Store().SetString("Version 3.06.00", "lastadapter", "eth0"));
  EXPECT_EQ(window.StatusText(), "The settings could not be saved to '" + surroundings.SettingsPath() + "': Is a directory");
}

}  // namespace
}  // namespace corvessa::app_test
