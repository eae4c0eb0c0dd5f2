// Locked whole-file reading and the atomic save: a failed save leaves the old
// file byte for byte as it was and no temporary file behind.

#include "files/file_access.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "tests/support/lock_holder.h"
#include "tests/support/temp_folder.h"

namespace corvessa {
namespace {

namespace fs = std::filesystem;
using testsupport::ReadWholeFile;
using testsupport::WriteWholeFile;

class FileAccessTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder_.ok()); }

  std::string PathOf(const std::string& name) const { return folder_.File(name); }

  std::set<std::string> Names() const { return folder_.Names(); }

  testsupport::TempFolder folder_{"files"};
};

// Some content that differs from the new one at every length.
std::string OldContent() {
  std::string s;
  for (int i = 0; i < 1000; ++i) s += static_cast<char>(i * 7);
  return s;
}

// Lowers the file-size limit so that writes past it fail with EFBIG instead
// of raising SIGXFSZ; both are restored when the guard ends.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ok_ = ::getrlimit(RLIMIT_FSIZE, &saved_) == 0;
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lowered = saved_;
    lowered.rlim_cur = bytes;
    ok_ = ok_ && ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previousHandler_);
  }
  bool ok() const { return ok_; }

 private:
  rlimit saved_{};
  void (*previousHandler_)(int) = nullptr;
  bool ok_ = false;
};

// --- Saving ---------------------------------------------------------------------

TEST_F(FileAccessTest, SaveReplacesTheFile) {
  const std::string path = PathOf("plant.bpc");
  ASSERT_TRUE(WriteWholeFile(path, OldContent()));
  EXPECT_TRUE(SaveFileAtomically(path, std::string_view("new content")));
  EXPECT_EQ(ReadWholeFile(path), "new content");
  EXPECT_EQ(Names(), std::set<std::string>{"plant.bpc"});
}

TEST_F(FileAccessTest, SaveCreatesAMissingFile) {
  const std::string path = PathOf("new.csv");
  EXPECT_TRUE(SaveFileAtomically(path, std::string_view("MAC,IP,Hostname,Description")));
  EXPECT_EQ(ReadWholeFile(path), "MAC,IP,Hostname,Description");
  EXPECT_EQ(Names(), std::set<std::string>{"new.csv"});
}

TEST_F(FileAccessTest, EmptyContentMakesAnEmptyFile) {
  const std::string path = PathOf("empty.bpc");
  ASSERT_TRUE(WriteWholeFile(path, OldContent()));
  EXPECT_TRUE(SaveFileAtomically(path, std::string_view()));
  EXPECT_TRUE(fs::exists(path));
  EXPECT_EQ(fs::file_size(path), 0u);
}

TEST_F(FileAccessTest, FailedWriteLeavesTheOldFileByteIdentical) {
  const std::string path = PathOf("plant.bpc");
  const std::string old = OldContent();
  ASSERT_TRUE(WriteWholeFile(path, old));
  const std::string big(64 * 1024, 'n');
  bool saved = true;
  {
    FileSizeLimit limit(4096);  // the new content fails halfway
    ASSERT_TRUE(limit.ok());
    saved = static_cast<bool>(SaveFileAtomically(path, std::string_view(big)));
  }
  EXPECT_FALSE(saved);
  EXPECT_EQ(ReadWholeFile(path), old);
  EXPECT_EQ(Names(), std::set<std::string>{"plant.bpc"});
  // And with the limit gone the same save succeeds.
  EXPECT_TRUE(SaveFileAtomically(path, std::string_view(big)));
  EXPECT_EQ(ReadWholeFile(path), big);
}

TEST_F(FileAccessTest, FileLockedByAnotherWriterIsNeitherSavedNorRead) {
  const std::string path = PathOf("plant.bpc");
  const std::string old = OldContent();
  ASSERT_TRUE(WriteWholeFile(path, old));
  const int holder = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  EXPECT_FALSE(SaveFileAtomically(path, std::string_view("new")));
  EXPECT_FALSE(ReadFileLocked(path).has_value());
  ::close(holder);
  EXPECT_EQ(ReadWholeFile(path), old);
  EXPECT_EQ(Names(), std::set<std::string>{"plant.bpc"});
}

// Other programs lock with POSIX record locks rather than flock.
TEST_F(FileAccessTest, RecordLockOfAnotherWriterRefusesReadingAndSaving) {
  const std::string path = PathOf("plant.bpc");
  ASSERT_TRUE(WriteWholeFile(path, "old"));
  {
    const testsupport::LockHolder writer(path, F_SETLK, F_WRLCK);
    ASSERT_TRUE(writer.held());
    EXPECT_FALSE(ReadFileLocked(path).has_value());
    const AtomicWriteResult saved = SaveFileAtomically(path, std::string_view("new"));
    EXPECT_FALSE(saved);
    EXPECT_EQ(saved.cause, "the file is locked by another program");
  }
  {
    const testsupport::LockHolder reader(path, F_SETLK, F_RDLCK);
    ASSERT_TRUE(reader.held());
    EXPECT_TRUE(ReadFileLocked(path).has_value());
    EXPECT_FALSE(SaveFileAtomically(path, std::string_view("new")));
  }
  EXPECT_EQ(ReadWholeFile(path), "old");
  EXPECT_TRUE(SaveFileAtomically(path, std::string_view("new")));
}

TEST_F(FileAccessTest, FileBeingReadIsReadButNotSaved) {
  const std::string path = PathOf("plant.bpc");
  ASSERT_TRUE(WriteWholeFile(path, "old"));
  const int reader = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  ASSERT_EQ(::flock(reader, LOCK_SH), 0);
  const auto bytes = ReadFileLocked(path);
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(std::string(bytes->begin(), bytes->end()), "old");
  EXPECT_FALSE(SaveFileAtomically(path, std::string_view("new")));
  ::close(reader);
  EXPECT_EQ(ReadWholeFile(path), "old");
}

TEST_F(FileAccessTest, UnwritablePlacesFailCleanly) {
  struct Case {
    const char* name;
    std::string path;
  };
  fs::create_directory(folder_.Path() / "folder.bpc");
  const Case cases[] = {
      {"missing folder", PathOf("missing/plant.bpc")},
      {"target is a folder", PathOf("folder.bpc")},
      {"empty path", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(SaveFileAtomically(c.path, std::string_view("x")));
    EXPECT_EQ(Names(), std::set<std::string>{"folder.bpc"});
    EXPECT_TRUE(fs::is_empty(folder_.Path() / "folder.bpc"));
  }
}

TEST_F(FileAccessTest, SaveThroughALinkReplacesTheLinkedFile) {
  const std::string real = PathOf("real.bpc");
  const std::string link = PathOf("link.bpc");
  ASSERT_TRUE(WriteWholeFile(real, "old"));
  fs::create_symlink(real, link);
  EXPECT_TRUE(SaveFileAtomically(link, std::string_view("new")));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadWholeFile(real), "new");
  EXPECT_EQ(Names(), (std::set<std::string>{"link.bpc", "real.bpc"}));
}

TEST_F(FileAccessTest, SaveKeepsThePermissions) {
  const std::string path = PathOf("plant.bpc");
  ASSERT_TRUE(WriteWholeFile(path, "old"));
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  EXPECT_TRUE(SaveFileAtomically(path, std::string_view("new")));
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
}

// --- Reading --------------------------------------------------------------------

TEST_F(FileAccessTest, ReadsTheWholeFile) {
  const std::string path = PathOf("plant.bpc");
  const std::string content = OldContent() + std::string(20000, '\0') + OldContent();
  ASSERT_TRUE(WriteWholeFile(path, content));
  const auto bytes = ReadFileLocked(path);
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(std::string(bytes->begin(), bytes->end()), content);

  ASSERT_TRUE(WriteWholeFile(path, ""));
  const auto empty = ReadFileLocked(path);
  ASSERT_TRUE(empty.has_value());
  EXPECT_TRUE(empty->empty());
}

TEST_F(FileAccessTest, RefusesWhatIsNotARelationFile) {
  fs::create_directory(folder_.Path() / "folder.bpc");
  ASSERT_EQ(::mkfifo(PathOf("fifo.bpc").c_str(), 0600), 0);  // must not block the open
  {
    std::ofstream(PathOf("huge.bpc")).close();
    ASSERT_EQ(::truncate(PathOf("huge.bpc").c_str(), static_cast<off_t>(kMaxRelationFileSize + 1)), 0);
  }
  for (const char* name : {"missing.bpc", "folder.bpc", "fifo.bpc", "huge.bpc"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(ReadFileLocked(PathOf(name)).has_value());
  }
}

}  // namespace
}  // namespace corvessa
