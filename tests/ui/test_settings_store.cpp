#include "ui/settings_store.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

namespace corvessa {
namespace {

namespace fs = std::filesystem;
using testsupport::ReadWholeFile;
using testsupport::TempFolder;
using testsupport::WriteWholeFile;

class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder_.ok()); }
  // The settings folder does not exist yet: the first write creates it.
  fs::path FilePath() const { return folder_.Path() / "Merrowin Software" / "corvessa.conf"; }
  SettingsStore Store() const { return SettingsStore(FilePath().string()); }
  std::vector<std::string> FolderEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(FilePath().parent_path())) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  TempFolder folder_{"settings"};
};

// --- Reading ----------------------------------------------------------------------

TEST_F(SettingsStoreTest, MissingFileReadsAsEmptyAndZero) {
  const SettingsStore store = Store();
  EXPECT_EQ(store.GetString("Version 3.06.00", "lastadapter"), "");
  EXPECT_EQ(store.GetDword("eth0", "subnetmask"), 0u);
  EXPECT_FALSE(fs::exists(FilePath()));  // reading creates nothing
}

TEST_F(SettingsStoreTest, HandWrittenFileIsRead) {
  // As another program or a person would write it.
  const std::string file =
      "\xEF\xBB\xBF"                        // byte order mark of an editor
      "; settings written by hand\n"
      "\"orphan\"=\"outside any section\"\n"
      "\n"
      "[Version 3.06.00]\r\n"                 // CRLF line end
      "\"lastadapter\"=\"eth1\"\r\n"
      "   \n"                                  // blank but for spaces
      "[eth1]  \n"                             // trailing blanks
      "\"ipaddress\"=\"10.0.0.7\"\n"
      "\"subnetmask\"=dword:FFFFFF00\n"        // upper-case digits
      "\"gateway\"=dword:0a000001\n"
      "\"dns1\"=dword:0a00002\n"               // seven digits: not a value
      "\"dns2\"=dword:0a0000021\n"             // nine digits: not a value
      "\"domainname\"=\"plant.local\" junk\n"  // text after the value
      "\"mode\"=\"a\\x\"\n"                   // unknown escape
      "\"path\"=\"C:\\\\dir \\\"x\\\"\"\n"     // escaped backslash and quotes
      "this line means nothing\n"
      "\"count\"=dword:00000001\n"
      "\"count\"=dword:00000002\n"             // the later line wins
      "[broken\n"                              // its values must not land in [eth1]
      "\"ipaddress\"=\"10.9.9.9\"\n"
      "[ETH1]\n"                               // another section: names are exact
      "\"ipaddress\"=\"10.0.0.8\"\n"
      "[]\n"
      "\"\"=\"default value\"\n"
      "[eth1]\n"                               // the same section again adds to it
      "\"dns1\"=dword:0a000003";               // no line end at the end of the file
  ASSERT_TRUE(WriteWholeFile(FilePath(), file));
  const SettingsStore store = Store();

  struct StringCase {
    const char* section;
    const char* name;
    const char* expected;
  };
  const StringCase strings[] = {
      {"Version 3.06.00", "lastadapter", "eth1"},
      {"eth1", "ipaddress", "10.0.0.7"},
      {"eth1", "domainname", ""},
      {"eth1", "mode", ""},
      {"eth1", "path", "C:\\dir \"x\""},
      {"ETH1", "ipaddress", "10.0.0.8"},
      {"eth1 ", "ipaddress", ""},
      {"", "", "default value"},
      {"", "orphan", ""},
      {"broken", "ipaddress", ""},
      {"eth1", "subnetmask", ""},  // a dword read as a string
  };
  for (const auto& tc : strings) {
    SCOPED_TRACE(std::string(tc.section) + " / " + tc.name);
    EXPECT_EQ(store.GetString(tc.section, tc.name), tc.expected);
  }

  struct DwordCase {
    const char* section;
    const char* name;
    std::uint32_t expected;
  };
  const DwordCase dwords[] = {
      {"eth1", "subnetmask", 0xFFFFFF00u},
      {"eth1", "gateway", 0x0A000001u},
      {"eth1", "dns1", 0x0A000003u},
      {"eth1", "dns2", 0u},
      {"eth1", "count", 2u},
      {"eth1", "ipaddress", 0u},  // a string read as a dword
      {"eth0", "subnetmask", 0u},
  };
  for (const auto& tc : dwords) {
    SCOPED_TRACE(std::string(tc.section) + " / " + tc.name);
    EXPECT_EQ(store.GetDword(tc.section, tc.name), tc.expected);
  }
}

TEST_F(SettingsStoreTest, EveryReadSeesTheFileAsItIsNow) {
  const SettingsStore store = Store();
  ASSERT_TRUE(WriteWholeFile(FilePath(), "[eth0]\n\"gateway\"=dword:c0a80101\n"));
  EXPECT_EQ(store.GetDword("eth0", "gateway"), 0xC0A80101u);
  ASSERT_TRUE(WriteWholeFile(FilePath(), "[eth0]\n\"gateway\"=dword:c0a801fe\n"));
  EXPECT_EQ(store.GetDword("eth0", "gateway"), 0xC0A801FEu);
  fs::remove(FilePath());
  EXPECT_EQ(store.GetDword("eth0", "gateway"), 0u);
}

// --- Writing ----------------------------------------------------------------------

TEST_F(SettingsStoreTest, WritesTheExampleFileByteForByte) {
  SettingsStore store = Store();
  ASSERT_TRUE(store.SetString("Version 3.06.00", "lastadapter", "eth0"));
  ASSERT_TRUE(store.SetString("eth0", "ipaddress", "192.168.1.5"));
  ASSERT_TRUE(store.SetDword("eth0", "subnetmask", 0xFFFFFF00u));
  ASSERT_TRUE(store.SetDword("eth0", "gateway", 0xC0A80101u));
  ASSERT_TRUE(store.SetDword("eth0", "dns1", 0));
  ASSERT_TRUE(store.SetDword("eth0", "dns2", 0));
  ASSERT_TRUE(store.SetString("eth0", "domainname", "plant.local"));
  const std::string expected =
      "[Version 3.06.00]\n"
      "\"lastadapter\"=\"eth0\"\n"
      "\n"  // a blank line between sections
      "[eth0]\n"
      "\"ipaddress\"=\"192.168.1.5\"\n"
      "\"subnetmask\"=dword:ffffff00\n"
      "\"gateway\"=dword:c0a80101\n"
      "\"dns1\"=dword:00000000\n"
      "\"dns2\"=dword:00000000\n"
      "\"domainname\"=\"plant.local\"\n";
  EXPECT_EQ(ReadWholeFile(FilePath()), expected);
}

TEST_F(SettingsStoreTest, StringsAndDwordsRoundTrip) {
  SettingsStore store = Store();
  const std::string awkward = "C:\\Program Files\\\"quoted\" \\\\ end\\";
  ASSERT_TRUE(store.SetString("Section \"A\"", "na\\me", awkward));
  ASSERT_TRUE(store.SetString("eth0", "empty", ""));
  ASSERT_TRUE(store.SetString("eth0", "utf8", "Gr\xC3\xBC\xC3\x9F" "e"));
  ASSERT_TRUE(store.SetDword("eth0", "max", 0xFFFFFFFFu));
  ASSERT_TRUE(store.SetDword("eth0", "zero", 0));
  ASSERT_TRUE(store.SetDword("eth0", "mixed", 0x0123ABCDu));

  EXPECT_EQ(store.GetString("Section \"A\"", "na\\me"), awkward);
  EXPECT_EQ(store.GetString("eth0", "empty"), "");
  EXPECT_EQ(store.GetString("eth0", "utf8"), "Gr\xC3\xBC\xC3\x9F" "e");
  EXPECT_EQ(store.GetDword("eth0", "max"), 0xFFFFFFFFu);
  EXPECT_EQ(store.GetDword("eth0", "zero"), 0u);
  EXPECT_EQ(store.GetDword("eth0", "mixed"), 0x0123ABCDu);

  const std::string expected =
      "[Section \"A\"]\n"
      "\"na\\\\me\"=\"C:\\\\Program Files\\\\\\\"quoted\\\" \\\\\\\\ end\\\\\"\n"
      "\n"
      "[eth0]\n"
      "\"empty\"=\"\"\n"
      "\"utf8\"=\"Gr\xC3\xBC\xC3\x9F" "e\"\n"
      "\"max\"=dword:ffffffff\n"
      "\"zero\"=dword:00000000\n"
      "\"mixed\"=dword:0123abcd\n";
  EXPECT_EQ(ReadWholeFile(FilePath()), expected);
}

TEST_F(SettingsStoreTest, EmptySectionNameIsTheApplicationKey) {
  SettingsStore store = Store();
  ASSERT_TRUE(store.SetDword("", "subnetmask", 0xFFFF0000u));
  ASSERT_TRUE(store.SetString("", "domainname", "x"));
  EXPECT_EQ(ReadWholeFile(FilePath()),
            "[]\n"
            "\"subnetmask\"=dword:ffff0000\n"
            "\"domainname\"=\"x\"\n");
  EXPECT_EQ(store.GetDword("", "subnetmask"), 0xFFFF0000u);
  EXPECT_EQ(store.GetString("", "domainname"), "x");
  EXPECT_EQ(store.GetDword("eth0", "subnetmask"), 0u);
}

TEST_F(SettingsStoreTest, ChangingAValueKeepsEverythingElseInPlace) {
  SettingsStore store = Store();
  ASSERT_TRUE(store.SetString("a", "one", "1"));
  ASSERT_TRUE(store.SetString("a", "two", "2"));
  ASSERT_TRUE(store.SetString("b", "three", "3"));
  ASSERT_TRUE(store.SetString("a", "one", "uno"));  // same place, new text
  ASSERT_TRUE(store.SetDword("a", "two", 2));       // same place, new type
  ASSERT_TRUE(store.SetString("a", "four", "4"));   // end of its own section
  EXPECT_EQ(ReadWholeFile(FilePath()),
            "[a]\n"
            "\"one\"=\"uno\"\n"
            "\"two\"=dword:00000002\n"
            "\"four\"=\"4\"\n"
            "\n"
            "[b]\n"
            "\"three\"=\"3\"\n");
  EXPECT_EQ(store.GetString("a", "two"), "");
  EXPECT_EQ(store.GetDword("a", "two"), 2u);
}

TEST_F(SettingsStoreTest, RewritingAHandWrittenFileKeepsEveryOtherLine) {
  // Comments, lines that do not parse, values outside any section and the
  // values of a broken section stay where they are; only the written value's
  // line changes or is added, in the file's own line ends.
  const std::string handWritten =
      "\xEF\xBB\xBF; comment\r\n"
      "\"orphan\"=\"outside\"\r\n"
      "[eth0]  \r\n"
      "\"ipaddress\"=\"10.0.0.7\"\r\n"
      "garbage\r\n"
      "\r\n"
      "[broken\r\n"
      "\"gateway\"=dword:00000009\r\n"
      "[Version 3.06.00]\r\n"
      "\"lastadapter\"=\"eth0\"\r\n"
      "; keep me\r\n";
  ASSERT_TRUE(WriteWholeFile(FilePath(), handWritten));
  SettingsStore store = Store();
  ASSERT_TRUE(store.SetDword("eth0", "gateway", 0x0A000001u));
  ASSERT_TRUE(store.SetString("Version 3.06.00", "lastadapter", "eth1"));
  ASSERT_TRUE(store.SetString("eth1", "ipaddress", "10.0.1.7"));
  EXPECT_EQ(ReadWholeFile(FilePath()),
            "\xEF\xBB\xBF; comment\r\n"
            "\"orphan\"=\"outside\"\r\n"
            "[eth0]  \r\n"
            "\"ipaddress\"=\"10.0.0.7\"\r\n"
            "\"gateway\"=dword:0a000001\r\n"  // after the last value of its section
            "garbage\r\n"
            "\r\n"
            "[broken\r\n"
            "\"gateway\"=dword:00000009\r\n"
            "[Version 3.06.00]\r\n"
            "\"lastadapter\"=\"eth1\"\r\n"  // in its own place
            "; keep me\r\n"
            "\r\n"
            "[eth1]\r\n"
            "\"ipaddress\"=\"10.0.1.7\"\r\n");
  EXPECT_EQ(store.GetDword("eth0", "gateway"), 0x0A000001u);
  EXPECT_EQ(store.GetString("", "orphan"), "");
}

TEST_F(SettingsStoreTest, ASectionNamedTwiceGetsTheValueWhereItIsRead) {
  ASSERT_TRUE(WriteWholeFile(FilePath(),
                             "[eth0]\n\"dns1\"=dword:00000001\n\"dns1\"=dword:00000002\n"
                             "[eth1]\n\"dns1\"=dword:00000003\n[eth0]\n"));
  SettingsStore store = Store();
  ASSERT_TRUE(store.SetDword("eth0", "dns1", 7));  // the later line is the one that counts
  ASSERT_TRUE(store.SetDword("eth0", "dns2", 8));  // the later [eth0]
  EXPECT_EQ(ReadWholeFile(FilePath()),
            "[eth0]\n\"dns1\"=dword:00000001\n\"dns1\"=dword:00000007\n"
            "[eth1]\n\"dns1\"=dword:00000003\n[eth0]\n\"dns2\"=dword:00000008\n");
  EXPECT_EQ(store.GetDword("eth0", "dns1"), 7u);
}

TEST_F(SettingsStoreTest, KeepsThePermissionsOfAnExistingFile) {
  ASSERT_TRUE(WriteWholeFile(FilePath(), "[eth0]\n"));
  fs::permissions(FilePath(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  SettingsStore store = Store();
  ASSERT_TRUE(store.SetString("eth0", "ipaddress", "10.0.0.7"));
  EXPECT_EQ(fs::status(FilePath()).permissions() & fs::perms::mask,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// --- Failed writes leave the old file ----------------------------------------------

constexpr char kOldFile[] =
    "[eth0]\n"
    "\"ipaddress\"=\"10.0.0.7\"\n";

TEST_F(SettingsStoreTest, TextWithALineBreakIsRefused) {
  // Written as is, the rest of the text would read as a line of its own.
  ASSERT_TRUE(WriteWholeFile(FilePath(), kOldFile));
  SettingsStore store = Store();
  EXPECT_FALSE(store.SetString("eth0", "domainname", "x\"\n\"subnetmask\"=dword:ffffffff"));
  EXPECT_FALSE(store.SetString("eth0\n[evil]", "domainname", "x"));
  EXPECT_FALSE(store.SetDword("eth0", "a\nb", 1));
  EXPECT_EQ(ReadWholeFile(FilePath()), kOldFile);
}

TEST_F(SettingsStoreTest, TargetThatIsAFolderIsNotReplaced) {
  fs::create_directories(FilePath());
  SettingsStore store = Store();
  EXPECT_FALSE(store.SetDword("eth0", "gateway", 1));
  EXPECT_TRUE(fs::is_directory(FilePath()));
  EXPECT_EQ(store.GetDword("eth0", "gateway"), 0u);
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"corvessa.conf"});  // no temporary left
}

TEST_F(SettingsStoreTest, FolderPathThroughARegularFileFails) {
  // "Merrowin Software" is a file here, so the settings folder cannot exist.
  ASSERT_TRUE(WriteWholeFile(FilePath().parent_path(), "not a folder"));
  SettingsStore store = Store();
  EXPECT_FALSE(store.SetString("eth0", "ipaddress", "10.0.0.7"));
  EXPECT_EQ(ReadWholeFile(FilePath().parent_path()), "not a folder");
  EXPECT_EQ(store.GetString("eth0", "ipaddress"), "");
}

// Lowers the file size limit for the scope so that writing the temporary file
// fails part-way (root is not exempt from it); SIGXFSZ is ignored meanwhile so
// the write returns EFBIG instead of ending the process.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ok_ = ::getrlimit(RLIMIT_FSIZE, &saved_) == 0;
    savedHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lowered = saved_;
    lowered.rlim_cur = bytes;
    ok_ = ok_ && ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, savedHandler_);
  }
  bool ok() const { return ok_; }

 private:
  rlimit saved_{};
  void (*savedHandler_)(int) = nullptr;
  bool ok_ = false;
};

TEST_F(SettingsStoreTest, FailedWriteLeavesTheOldFileByteIdentical) {
  ASSERT_TRUE(WriteWholeFile(FilePath(), kOldFile));
  SettingsStore store = Store();
  {
    FileSizeLimit limit(64);
    ASSERT_TRUE(limit.ok());
    EXPECT_FALSE(store.SetString("eth0", "domainname", std::string(200, 'd')));
  }
  EXPECT_EQ(ReadWholeFile(FilePath()), kOldFile);
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"corvessa.conf"});  // no temporary left
  // The same write succeeds once there is room.
  EXPECT_TRUE(store.SetString("eth0", "domainname", std::string(200, 'd')));
  EXPECT_EQ(store.GetString("eth0", "domainname"), std::string(200, 'd'));
}

// --- Files that are not what they seem ---------------------------------------------

TEST_F(SettingsStoreTest, FifoOrDeviceAtThePathNeitherHangsNorIsReplaced) {
  fs::create_directories(FilePath().parent_path());
  ASSERT_EQ(::mkfifo(FilePath().c_str(), 0600), 0);  // nobody writes to it: an open without O_NONBLOCK hangs
  SettingsStore store = Store();
  std::vector<std::string> failures;
  store.SetWriteFailureHandler([&](const std::string& path, const std::string& cause) {
    failures.push_back(path + ": " + cause);
  });
  EXPECT_EQ(store.GetString("Version 3.06.00", "lastadapter"), "");
  EXPECT_FALSE(store.SetString("Version 3.06.00", "lastadapter", "eth0"));
  struct stat info {};
  ASSERT_EQ(::lstat(FilePath().c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
  EXPECT_EQ(failures, std::vector<std::string>{FilePath().string() + ": not a regular file"});

  const SettingsStore device("/dev/zero");  // reads would never end
  EXPECT_EQ(device.GetDword("eth0", "gateway"), 0u);
}

TEST_F(SettingsStoreTest, LinkedSettingsFileIsWrittenThrough) {
  // A settings file kept elsewhere (dotfiles under version control).
  const fs::path real = folder_.Path() / "dotfiles" / "corvessa.conf";
  ASSERT_TRUE(WriteWholeFile(real, "; mine\n[eth0]\n"));
  fs::create_directories(FilePath().parent_path());
  fs::create_symlink(real, FilePath());
  SettingsStore store = Store();
  ASSERT_TRUE(store.SetString("eth0", "ipaddress", "10.0.0.7"));
  EXPECT_TRUE(fs::is_symlink(FilePath()));
  EXPECT_EQ(ReadWholeFile(real), "; mine\n[eth0]\n\"ipaddress\"=\"10.0.0.7\"\n");
}

TEST_F(SettingsStoreTest, EveryFailedWriteIsReportedWithItsCause) {
  ASSERT_TRUE(WriteWholeFile(FilePath().parent_path(), "not a folder"));
  SettingsStore store = Store();
  std::vector<std::string> causes;
  store.SetWriteFailureHandler([&](const std::string&, const std::string& cause) { causes.push_back(cause); });
  EXPECT_FALSE(store.SetDword("eth0", "gateway", 1));
  EXPECT_FALSE(store.SetString("eth0", "domainname", "a\nb"));
  EXPECT_EQ(causes, (std::vector<std::string>{"Not a directory", "a setting with a line break cannot be stored"}));
}

// --- Default path -------------------------------------------------------------------

// Sets or unsets an environment variable for the scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  ~ScopedEnv() {
    if (saved_) {
      ::setenv(name_, saved_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

TEST(SettingsStoreDefaultPathTest, FollowsXdgConfigHomeElseHome) {
  struct Case {
    const char* xdg;  // nullptr: unset
    const char* expected;
  };
  const Case cases[] = {
      {"/srv/cfg", "/srv/cfg/Merrowin Software/corvessa.conf"},
      {nullptr, "/home/engineer/.config/Merrowin Software/corvessa.conf"},
      {"", "/home/engineer/.config/Merrowin Software/corvessa.conf"},
      {"relative/cfg", "/home/engineer/.config/Merrowin Software/corvessa.conf"},
  };
  const ScopedEnv home("HOME", "/home/engineer");
  for (const auto& tc : cases) {
    SCOPED_TRACE(tc.xdg ? tc.xdg : "(unset)");
    const ScopedEnv xdg("XDG_CONFIG_HOME", tc.xdg);
    EXPECT_EQ(SettingsStore::DefaultPath(), tc.expected);
  }
}

}  // namespace
}  // namespace corvessa
