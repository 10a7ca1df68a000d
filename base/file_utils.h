#pragma once
// File and directory helpers over the C library's file calls.
//
// They take zero-terminated byte strings ('/' separates; a backslash is an
// ordinary byte), keep no state, and report failure only through their
// results: false, -1 or an error number, as each says. Nothing logs or
// throws. A null path is a failure like a missing file.

#include <cstdint>

// Like mkdir with mode 0777 (narrowed by the umask); also true when
// something of that name already exists, even if it is not a directory.
bool BCreateDirectory(const char* path);
// Like mkdir -p. True when the path is, or has become, a directory (or the
// last creation met an existing entry); false for "". Parents created before
// a failure stay behind.
bool BCreateDirectoryRecursive(const char* path);
// Size in bytes of a regular file (links followed); -1 for anything else,
// missing files and directories included.
int64_t GetFileLength(const char* path);
// Adds the owner-read bit when it is missing. False when the file cannot be
// queried or chmod fails; true when the bit was already there.
bool MakeFileWriteable(const char* path);
// Removes the file. True when it was removed or nothing is there; false when
// it is still there (after a second try with the owner-read bit added) or
// cannot be reached to tell.
bool BDeleteFileIfExists(const char* path);
// Like rename: an existing file at `newPath` is replaced.
bool BRenameFile(const char* oldPath, const char* newPath);
// 0 after storing the modification time in seconds since 1970 (UTC) through
// `writeTime` when it is not null; otherwise the failed query's error number
// (EINVAL for a null path), with nothing stored.
int32_t GetFileWriteTime(const char* path, int64_t* writeTime);
