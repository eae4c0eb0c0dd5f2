// The message box of each load error, with the file's path in it.

#include "files/load_error.h"

#include <gtest/gtest.h>

namespace corvessa {
namespace {

TEST(LoadErrorTest, CodesAndBoxes) {
  EXPECT_EQ(static_cast<int>(LoadError::UnexpectedEnd), 1);
  EXPECT_EQ(static_cast<int>(LoadError::CorruptSettings), 7);
  EXPECT_EQ(static_cast<int>(LoadError::TrailingData), 8);

  struct Case {
    LoadError error;
    std::string_view text;
    std::string_view caption;
  };
  const Case cases[] = {
      {LoadError::UnexpectedEnd,
       "Error loading file '/home/eng/a.csv': Unexpected end of file.\nPlease check file format and try again.",
       "CSV Format Error"},
      {LoadError::CorruptSettings, "File '/home/eng/a.csv' is corrupt and cannot be opened.", "File Format Error"},
      {LoadError::TrailingData, "File '/home/eng/a.csv' is corrupt and cannot be opened.", "File Format Error"},
      {LoadError::Access,
       "The file '/home/eng/a.csv' does not exist or cannot be accessed.\nPlease check the filename and try again.",
       "File Format Error"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.error));
    const LoadErrorBox box = LoadErrorMessage(c.error, "/home/eng/a.csv");
    EXPECT_EQ(box.text, c.text);
    EXPECT_EQ(box.caption, c.caption);
  }
}

TEST(LoadErrorTest, PercentSignsInThePathAreNotFormatted) {
  EXPECT_EQ(LoadErrorMessage(LoadError::CorruptSettings, "/tmp/100%d.bpc").text,
            "File '/tmp/100%d.bpc' is corrupt and cannot be opened.");
}

}  // namespace
}  // namespace corvessa
