// Whole-file replacement: links are written through, the old file's mode,
// owner and group stay, locks held by other programs refuse the write, and a
// failure names its cause and leaves nothing behind.

#include "core/atomic_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <set>
#include <string>

#include "tests/support/lock_holder.h"
#include "tests/support/temp_folder.h"

namespace corvessa {
namespace {

namespace fs = std::filesystem;
using testsupport::ReadWholeFile;
using testsupport::WriteWholeFile;

class AtomicFileTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder_.ok()); }
  std::string PathOf(const std::string& name) const { return folder_.File(name); }
  std::set<std::string> Names() const { return folder_.Names(); }
  static struct stat StatOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info;
  }

  testsupport::TempFolder folder_{"atomic"};
};

TEST_F(AtomicFileTest, LinksAreWrittenThroughAndStayLinks) {
  // plant.bpc -> sub/../chain.bpc -> /abs/real.bpc (relative, then absolute),
  // and a link to a file that does not exist yet.
  fs::create_directory(folder_.Path() / "sub");
  ASSERT_TRUE(WriteWholeFile(PathOf("real.bpc"), "old"));
  fs::create_symlink(PathOf("real.bpc"), PathOf("chain.bpc"));
  fs::create_symlink("sub/../chain.bpc", PathOf("plant.bpc"));
  fs::create_symlink("later.bpc", PathOf("dangling.bpc"));

  EXPECT_TRUE(ReplaceFileAtomically(PathOf("plant.bpc"), std::string_view("new")));
  EXPECT_TRUE(ReplaceFileAtomically(PathOf("dangling.bpc"), std::string_view("first")));

  for (const char* link : {"plant.bpc", "chain.bpc", "dangling.bpc"}) EXPECT_TRUE(fs::is_symlink(PathOf(link))) << link;
  EXPECT_EQ(ReadWholeFile(PathOf("real.bpc")), "new");
  EXPECT_EQ(ReadWholeFile(PathOf("later.bpc")), "first");
  EXPECT_EQ(Names(), (std::set<std::string>{"sub", "real.bpc", "chain.bpc", "plant.bpc", "dangling.bpc", "later.bpc"}));
}

TEST_F(AtomicFileTest, FailuresNameTheirCauseAndLeaveNothingBehind) {
  fs::create_directory(folder_.Path() / "folder.bpc");
  ASSERT_EQ(::mkfifo(PathOf("fifo.bpc").c_str(), 0600), 0);  // must not block the open
  fs::create_symlink("loop-b", PathOf("loop-a"));
  fs::create_symlink("loop-a", PathOf("loop-b"));
  struct Case {
    std::string path;
    int error;
    std::string cause;
  };
  const Case cases[] = {
      {PathOf("missing/plant.bpc"), ENOENT, "No such file or directory"},
      {PathOf("folder.bpc"), EISDIR, "Is a directory"},
      {PathOf("fifo.bpc"), EINVAL, "not a regular file"},
      {PathOf("loop-a"), ELOOP, "Too many levels of symbolic links"},
      {"", ENOENT, "No such file or directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const AtomicWriteResult result = ReplaceFileAtomically(c.path, std::string_view("x"));
    EXPECT_FALSE(result);
    EXPECT_EQ(result.error, c.error);
    EXPECT_EQ(result.cause, c.cause);
  }
  EXPECT_EQ(Names(), (std::set<std::string>{"folder.bpc", "fifo.bpc", "loop-a", "loop-b"}));
  EXPECT_TRUE(fs::is_empty(folder_.Path() / "folder.bpc"));
}

TEST_F(AtomicFileTest, NewFilesGetTheirModeUnderTheUmaskAndFoldersOnRequest) {
  const mode_t saved = ::umask(022);
  AtomicWriteOptions shared;
  AtomicWriteOptions own;
  own.newFileMode = 0600;
  own.createFolder = true;
  const AtomicWriteResult plain = ReplaceFileAtomically(PathOf("shared.csv"), std::string_view("a"), shared);
  const AtomicWriteResult nested = ReplaceFileAtomically(PathOf("a/b/own.conf"), std::string_view("b"), own);
  const AtomicWriteResult refused = ReplaceFileAtomically(PathOf("c/d.conf"), std::string_view("c"), shared);
  ::umask(saved);
  ASSERT_TRUE(plain);
  ASSERT_TRUE(nested);
  EXPECT_EQ(refused.error, ENOENT);
  EXPECT_EQ(StatOf(PathOf("shared.csv")).st_mode & 07777, 0644u);
  EXPECT_EQ(StatOf(PathOf("a/b/own.conf")).st_mode & 07777, 0600u);
  EXPECT_EQ(ReadWholeFile(PathOf("a/b/own.conf")), "b");
}

TEST_F(AtomicFileTest, OwnerGroupAndModeOfTheOldFileStay) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a file to another owner";
  const std::string path = PathOf("plant.bpc");
  ASSERT_TRUE(WriteWholeFile(path, "old"));
  ASSERT_EQ(::chown(path.c_str(), 1234, 2345), 0);
  ASSERT_EQ(::chmod(path.c_str(), 02640), 0);  // set-group-id survives the change of owner
  for (const bool lock : {false, true}) {
    AtomicWriteOptions options;
    options.lockExisting = lock;
    ASSERT_TRUE(ReplaceFileAtomically(path, std::string_view(lock ? "locked" : "plain"), options));
    const struct stat info = StatOf(path);
    EXPECT_EQ(info.st_uid, 1234u);
    EXPECT_EQ(info.st_gid, 2345u);
    EXPECT_EQ(info.st_mode & 07777, 02640u);
  }
  EXPECT_EQ(ReadWholeFile(path), "locked");
}

TEST_F(AtomicFileTest, AnOwnerThatCannotBeSetDoesNotStopTheWrite) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  // A shared folder, and a file of someone else that every user may write.
  constexpr uid_t kNobody = 65534;
  const std::string path = PathOf("shared.bpc");
  ASSERT_TRUE(WriteWholeFile(path, "old"));
  ASSERT_EQ(::chown(path.c_str(), 1234, 1234), 0);
  ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
  // Not sticky: there only the owner of a file may rename over it.
  ASSERT_EQ(::chmod(folder_.Path().c_str(), 0777), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(2);
    ::_exit(ReplaceFileAtomically(path, std::string_view("new")) ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadWholeFile(path), "new");
  const struct stat info = StatOf(path);
  EXPECT_EQ(info.st_uid, kNobody);
  EXPECT_EQ(info.st_mode & 07777, 0666u);
}

// Locks of another program, of the kinds other programs take: flock, a
// classic POSIX record lock and an open file description lock.
TEST_F(AtomicFileTest, LocksOfOtherProgramsRefuseALockingWrite) {
  const std::string path = PathOf("plant.bpc");
  ASSERT_TRUE(WriteWholeFile(path, "old"));
  struct Case {
    const char* name;
    int command;  // 0: flock
    int type;
  };
  const Case cases[] = {
      {"flock shared", 0, LOCK_SH},        {"flock exclusive", 0, LOCK_EX},
      {"POSIX read lock", F_SETLK, F_RDLCK}, {"POSIX write lock", F_SETLK, F_WRLCK},
      {"OFD read lock", F_OFD_SETLK, F_RDLCK}, {"OFD write lock", F_OFD_SETLK, F_WRLCK},
  };
  AtomicWriteOptions locking;
  locking.lockExisting = true;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AtomicWriteResult result;
    {
      const testsupport::LockHolder holder(path, c.command, c.type);
      ASSERT_TRUE(holder.held());
      result = ReplaceFileAtomically(path, std::string_view("new"), locking);
    }
    EXPECT_EQ(result.error, EWOULDBLOCK);
    EXPECT_EQ(result.cause, "the file is locked by another program");
    EXPECT_EQ(ReadWholeFile(path), "old");
    EXPECT_EQ(Names(), std::set<std::string>{"plant.bpc"});
  }
  // Without the lock the next write goes through.
  EXPECT_TRUE(ReplaceFileAtomically(path, std::string_view("new"), locking));
  EXPECT_EQ(ReadWholeFile(path), "new");
}

}  // namespace
}  // namespace corvessa
