#include "base/file_utils.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "base/path_utils.h"

namespace {

// Runs a system call that returns 0 on success until it is not interrupted.
template <typename Fn>
int RetryOnEintr(Fn fn) {
  int rc;
  do {
    rc = fn();
  } while (rc != 0 && errno == EINTR);
  return rc;
}

// 0 or the error number of the failed query.
int StatFollowing(const char* path, struct stat* st) {
  if (!path) return EINVAL;
  return RetryOnEintr([&] { return stat(path, st); }) == 0 ? 0 : errno;
}

}  // namespace

bool BCreateDirectory(const char* path) {
  if (!path) return false;
  if (RetryOnEintr([&] { return mkdir(path, 0777); }) == 0) return true;
  return errno == EEXIST;
}

bool BCreateDirectoryRecursive(const char* path) {
  if (!path) return false;
  if (Path_IsDirectory(path)) return true;
  if (!*path) return false;

  std::string work = path;
  const char sep = Path_GetSlash();

  // Skip the leading part that exists already; index 0 is never a candidate.
  size_t start = 0;
  for (size_t i = work.size() - 1; i >= 1; --i) {
    if (work[i] == sep && Path_IsDirectory(work.substr(0, i))) {
      start = i + 1;
      break;
    }
  }

  // Intermediate failures show in the final creation.
  for (size_t i = start; i < work.size(); ++i) {
    if (work[i] == sep) BCreateDirectory(work.substr(0, i).c_str());
  }
  return BCreateDirectory(work.c_str());
}

int64_t GetFileLength(const char* path) {
  struct stat st;
  if (StatFollowing(path, &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool MakeFileWriteable(const char* path) {
  struct stat st;
  if (StatFollowing(path, &st) != 0) return false;
  if (st.st_mode & S_IRUSR) return true;
  const mode_t mode = (st.st_mode & 07777) | S_IRUSR;
  return RetryOnEintr([&] { return chmod(path, mode); }) == 0;
}

bool BDeleteFileIfExists(const char* path) {
  if (!path) return false;
  if (RetryOnEintr([&] { return unlink(path); }) == 0) return true;
  // Only a path with nothing behind it counts as deleted; one that cannot be
  // reached may still hold the file. The entry itself is asked about, so a
  // dangling link that stayed is not taken for nothing.
  struct stat st;
  if (RetryOnEintr([&] { return lstat(path, &st); }) != 0) {
    return errno == ENOENT || errno == ENOTDIR;
  }
  MakeFileWriteable(path);
  return RetryOnEintr([&] { return unlink(path); }) == 0;
}

bool BRenameFile(const char* oldPath, const char* newPath) {
  if (!oldPath || !newPath) return false;
  return RetryOnEintr([&] { return rename(oldPath, newPath); }) == 0;
}

int32_t GetFileWriteTime(const char* path, int64_t* writeTime) {
  struct stat st;
  const int err = StatFollowing(path, &st);
  if (err != 0) return err;
  if (writeTime) *writeTime = static_cast<int64_t>(st.st_mtime);
  return 0;
}
