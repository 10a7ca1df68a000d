#include "base/file_utils.h"

#include "base/scoped_temp_dir.h"

#include <fcntl.h>
#include <ftw.h>
#include <grp.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::set<std::string>* g_pEntries = nullptr;
size_t g_nBaseLength = 0;

int CollectEntry(const char* path, const struct stat*, int, struct FTW* ftw) {
  if (ftw->level > 0) g_pEntries->insert(path + g_nBaseLength + 1);
  return 0;
}

// Every entry below `dir`, as paths relative to it.
std::set<std::string> ListTree(const std::string& dir) {
  std::set<std::string> entries;
  g_pEntries = &entries;
  g_nBaseLength = dir.size();
  EXPECT_EQ(nftw(dir.c_str(), CollectEntry, 16, FTW_PHYS), 0) << dir;
  g_pEntries = nullptr;
  return entries;
}

bool IsDirectoryOnDisk(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

mode_t ModeOf(const std::string& path) {
  struct stat st;
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

// A fresh directory per test, removed with everything in it afterwards; the
// working directory is put back when a test changed it.
class FileUtilsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(m_temp.path().empty()) << strerror(errno);
    m_dir = m_temp.path();
  }
  void TearDown() override {
    if (!m_oldCwd.empty()) {
      EXPECT_EQ(chdir(m_oldCwd.c_str()), 0);
    }
  }

  std::string At(const std::string& name) const { return m_temp.At(name); }

  void WriteFile(const std::string& path, const std::string& bytes) {
    ASSERT_TRUE(ScopedTempDir::WriteFile(path, bytes)) << path << ": " << strerror(errno);
  }

  void ChangeDirectory(const std::string& dir) {
    if (m_oldCwd.empty()) {
      char buffer[PATH_MAX];
      ASSERT_NE(getcwd(buffer, sizeof(buffer)), nullptr);
      m_oldCwd = buffer;
    }
    ASSERT_EQ(chdir(dir.c_str()), 0) << dir;
  }

  ScopedTempDir m_temp;
  std::string m_dir;
  std::string m_oldCwd;
};

TEST_F(FileUtilsTest, CreateDirectory) {
  ASSERT_EQ(mkdir(At("existing").c_str(), 0755), 0);
  WriteFile(At("file"), "x");
  struct Row {
    std::string name;  // under the temporary directory, except ""
    bool expected;
    bool directoryAfter;
  };
  const Row rows[] = {
      {"new", true, true},
      {"existing", true, true},
      {"file", true, false},  // something of that name is enough
      {"missing/child", false, false},
      {"file/child", false, false},
      {"", false, false},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    const std::string path = rows[i].name.empty() ? "" : At(rows[i].name);
    SCOPED_TRACE("row " + std::to_string(i) + ": \"" + path + "\"");
    EXPECT_EQ(BCreateDirectory(path.c_str()), rows[i].expected);
    EXPECT_EQ(IsDirectoryOnDisk(path), rows[i].directoryAfter);
  }
  EXPECT_FALSE(BCreateDirectory(nullptr));
}

TEST_F(FileUtilsTest, CreateDirectoryRecursive) {
  const std::string tooLong(NAME_MAX + 10, 'z');
  struct Row {
    std::vector<std::string> dirs;   // made beforehand
    std::vector<std::string> files;  // made beforehand
    std::string path;
    bool absolute;  // else relative to the row's directory as working one
    bool expected;
    std::set<std::string> after;  // every entry of the row's directory
  };
  const Row rows[] = {
      {{"a"}, {}, "a/b/c", true, true, {"a", "a/b", "a/b/c"}},
      {{"x"}, {}, "x/y/", true, true, {"x", "x/y"}},
      {{}, {}, "a/b", false, true, {"a", "a/b"}},
      {{"a"}, {}, "a", true, true, {"a"}},
      {{}, {}, "a//b", false, true, {"a", "a/b"}},
      {{}, {}, "n//", true, true, {"n"}},
      {{}, {}, "a\\b", false, true, {"a\\b"}},  // an ordinary byte here
      {{}, {"f"}, "f/g/h", false, false, {"f"}},
      // Parents made before the final failure stay behind.
      {{}, {}, "p/q/" + tooLong, false, false, {"p", "p/q"}},
      {{}, {}, "", false, false, {}},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    const Row& r = rows[i];
    const std::string rowDir = At("row" + std::to_string(i));
    ASSERT_EQ(mkdir(rowDir.c_str(), 0755), 0);
    for (const auto& d : r.dirs) ASSERT_EQ(mkdir((rowDir + "/" + d).c_str(), 0755), 0);
    for (const auto& f : r.files) WriteFile(rowDir + "/" + f, "x");
    ChangeDirectory(rowDir);

    const std::string path = r.absolute ? rowDir + "/" + r.path : r.path;
    SCOPED_TRACE("row " + std::to_string(i) + ": \"" + path + "\"");
    EXPECT_EQ(BCreateDirectoryRecursive(path.c_str()), r.expected);
    EXPECT_EQ(ListTree(rowDir), r.after);
    if (r.expected) {
      EXPECT_TRUE(IsDirectoryOnDisk(path));
    }
  }
  EXPECT_FALSE(BCreateDirectoryRecursive(nullptr));
}

TEST_F(FileUtilsTest, GetFileLength) {
  ASSERT_EQ(mkdir(At("dir").c_str(), 0755), 0);
  WriteFile(At("empty"), "");
  WriteFile(At("five"), "12345");
  ASSERT_EQ(symlink(At("five").c_str(), At("link").c_str()), 0);
  // A socket's type bits share the regular-file bit; it still has no length.
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  const std::string socketPath = At("socket");
  ASSERT_LT(socketPath.size(), sizeof(addr.sun_path));
  strcpy(addr.sun_path, socketPath.c_str());
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
  ASSERT_EQ(close(fd), 0);

  struct Row {
    std::string name;
    int64_t expected;
  };
  const Row rows[] = {
      {"missing", -1}, {"dir", -1}, {"empty", 0},   {"five", 5},
      {"link", 5},     {"socket", -1}, {"five/x", -1},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_EQ(GetFileLength(At(rows[i].name).c_str()), rows[i].expected)
        << "row " << i << ": " << rows[i].name;
  }
  EXPECT_EQ(GetFileLength(nullptr), -1);
}

TEST_F(FileUtilsTest, MakeFileWriteable) {
  ASSERT_EQ(mkdir(At("dir").c_str(), 0755), 0);
  struct Row {
    std::string name;
    int mode;  // -1: no such file; otherwise created with it
    bool expected;
    int modeAfter;
  };
  const Row rows[] = {
      {"write_only", 0200, true, 0600},
      {"nothing", 0000, true, 0400},
      {"readable", 0644, true, 0644},
      {"read_only", 0444, true, 0444},  // the bit handled is owner read
      {"keeps_others", 04025, true, 04425},
      {"dir", 0300, true, 0700},
      {"missing", -1, false, -1},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    const Row& r = rows[i];
    const std::string path = At(r.name);
    SCOPED_TRACE("row " + std::to_string(i) + ": " + r.name);
    if (r.mode >= 0) {
      if (!IsDirectoryOnDisk(path)) WriteFile(path, "x");
      ASSERT_EQ(chmod(path.c_str(), r.mode), 0);
    }
    EXPECT_EQ(MakeFileWriteable(path.c_str()), r.expected);
    if (r.modeAfter >= 0) {
      EXPECT_EQ(ModeOf(path), mode_t(r.modeAfter));
    }
  }
  ASSERT_EQ(chmod(At("dir").c_str(), 0755), 0);
  EXPECT_FALSE(MakeFileWriteable(nullptr));
}

TEST_F(FileUtilsTest, DeleteFileIfExists) {
  ASSERT_EQ(mkdir(At("dir").c_str(), 0755), 0);
  WriteFile(At("file"), "x");
  WriteFile(At("no_rights"), "x");
  ASSERT_EQ(chmod(At("no_rights").c_str(), 0), 0);
  ASSERT_EQ(symlink(At("missing").c_str(), At("dangling").c_str()), 0);
  struct Row {
    std::string name;
    bool expected;
    bool existsAfter;
  };
  const Row rows[] = {
      {"missing", true, false},
      {"file", true, false},
      {"no_rights", true, false},  // the file's own mode does not matter
      {"dangling", true, false},   // the link itself goes
      {"file/x", true, false},     // nothing can be there
      {"dir", false, true},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    const std::string path = At(rows[i].name);
    SCOPED_TRACE("row " + std::to_string(i) + ": " + rows[i].name);
    EXPECT_EQ(BDeleteFileIfExists(path.c_str()), rows[i].expected);
    struct stat st;
    EXPECT_EQ(lstat(path.c_str(), &st) == 0, rows[i].existsAfter);
  }
  EXPECT_FALSE(BDeleteFileIfExists(nullptr));
}

constexpr uid_t kNobody = 65534;

// Runs `fn` without the power to ignore directory permissions: directly for
// an ordinary user, in a child switched to the nobody account for root.
// Returns fn's result as 0 or 1, or -1 when rights could not be dropped.
int RunUnprivileged(const std::function<bool()>& fn) {
  if (geteuid() != 0) return fn() ? 1 : 0;
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 ||
        setuid(kNobody) != 0) {
      _exit(3);
    }
    _exit(fn() ? 1 : 0);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) return -1;
  return WEXITSTATUS(status);
}

// Files the process may not remove are reported as still there.
TEST_F(FileUtilsTest, DeleteFileIfExistsWithoutRights) {
  const bool root = geteuid() == 0;
  ASSERT_EQ(chmod(m_dir.c_str(), 0755), 0);
  struct Row {
    std::string file;
    int fileMode;
    int dirMode;  // of the file's directory, set after the file is made
    bool expected;
    int fileModeAfter;
  };
  const Row rows[] = {
      // No write right on the directory: one try after adding owner read.
      {"locked/write_only", 0200, 0555, false, 0600},
      {"locked/readable", 0644, 0555, false, 0644},
      // No search right: whether the file is there cannot be told.
      {"hidden/file", 0644, root ? 0700 : 0000, false, 0644},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    const Row& r = rows[i];
    SCOPED_TRACE("row " + std::to_string(i) + ": " + r.file);
    const std::string path = At(r.file);
    const std::string dir = At(r.file.substr(0, r.file.find('/')));
    if (!IsDirectoryOnDisk(dir)) {
      ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    }
    WriteFile(path, "x");
    ASSERT_EQ(chmod(path.c_str(), r.fileMode), 0);
    if (root) {
      ASSERT_EQ(chown(path.c_str(), kNobody, kNobody), 0);
    }
    ASSERT_EQ(chmod(dir.c_str(), r.dirMode), 0);

    const int result =
        RunUnprivileged([&] { return BDeleteFileIfExists(path.c_str()); });
    ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
    if (result < 0) GTEST_SKIP() << "cannot drop root rights here";
    EXPECT_EQ(result, r.expected ? 1 : 0);
    EXPECT_EQ(ModeOf(path), mode_t(r.fileModeAfter));
  }
}

TEST_F(FileUtilsTest, RenameFile) {
  struct Row {
    const char* source;  // contents, or null for no file
    const char* target;  // contents before, or null for no file
    std::string targetName;
    bool expected;
    const char* targetAfter;
  };
  const Row rows[] = {
      {"new", nullptr, "target", true, "new"},
      {"replacing", "old", "target", true, "replacing"},
      {nullptr, "old", "target", false, "old"},
      {"x", nullptr, "missing/target", false, nullptr},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    const Row& r = rows[i];
    SCOPED_TRACE("row " + std::to_string(i) + ": to " + r.targetName);
    const std::string source = At("source" + std::to_string(i));
    const std::string target = At(r.targetName + std::to_string(i));
    if (r.source) WriteFile(source, r.source);
    if (r.target) WriteFile(target, r.target);

    EXPECT_EQ(BRenameFile(source.c_str(), target.c_str()), r.expected);
    EXPECT_EQ(access(source.c_str(), F_OK) == 0, r.source && !r.expected);
    if (r.targetAfter) {
      EXPECT_EQ(GetFileLength(target.c_str()),
                int64_t(strlen(r.targetAfter)));
      FILE* f = fopen(target.c_str(), "re");
      ASSERT_NE(f, nullptr);
      char buffer[64] = {};
      EXPECT_GT(fread(buffer, 1, sizeof(buffer) - 1, f), 0u);
      EXPECT_EQ(fclose(f), 0);
      EXPECT_STREQ(buffer, r.targetAfter);
    }
  }
  EXPECT_FALSE(BRenameFile(nullptr, At("x").c_str()));
}

TEST_F(FileUtilsTest, GetFileWriteTime) {
  const int64_t kStamp = 1234567890;
  ASSERT_EQ(mkdir(At("dir").c_str(), 0755), 0);
  WriteFile(At("file"), "x");
  const timespec times[2] = {{kStamp, 0}, {kStamp, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, At("file").c_str(), times, 0), 0);
  ASSERT_EQ(utimensat(AT_FDCWD, At("dir").c_str(), times, 0), 0);

  struct Row {
    std::string name;
    bool passTime;
    int32_t expected;
    int64_t timeAfter;
  };
  const int64_t kUntouched = -5;
  const Row rows[] = {
      {"file", true, 0, kStamp},
      {"dir", true, 0, kStamp},
      {"file", false, 0, kUntouched},
      {"missing", true, ENOENT, kUntouched},
      {"file/x", true, ENOTDIR, kUntouched},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i) + ": " + rows[i].name);
    int64_t time = kUntouched;
    EXPECT_EQ(GetFileWriteTime(At(rows[i].name).c_str(),
                               rows[i].passTime ? &time : nullptr),
              rows[i].expected);
    EXPECT_EQ(time, rows[i].timeAfter);
  }
  int64_t time = kUntouched;
  EXPECT_EQ(GetFileWriteTime(nullptr, &time), EINVAL);
  EXPECT_EQ(time, kUntouched);
}

}  // namespace
