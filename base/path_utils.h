#pragma once
// Path strings and whole-file helpers.
//
// A path is a byte string; nothing is validated or decoded, only '/', the
// backslash and '.' mean anything. The platform separator is '/'. Functions
// taking `slash` use it as the separator, 0 meaning '/'. A path is absolute
// when its first byte is '/' or a backslash; the empty path is relative.
//
// Pure string helpers, keeping no state: everything from `Path_GetSlash` to
// `Path_StripExtension` below. The location queries, the file-system
// queries and the whole-file functions look at the system at call time.
//
// Failure convention: nothing throws or logs. A failure shows only in the
// result: the empty string, false or a null pointer, as each says.

#include <cstdint>
#include <string>

// Target of /proc/self/exe, at most 1023 bytes (a longer one is cut); "" when
// the link cannot be read.
std::string Path_GetExecutablePath();
// The file the dynamic loader names for the object holding this code (for
// the main program, whatever the C library reports); "" when it names none.
std::string Path_GetThisModulePath();
// The executable's file name without directory and last extension; "" when
// the executable path is unknown.
std::string Path_GetExecutableName();

// Always '/'.
char Path_GetSlash();
// Every '/' and backslash replaced by the separator.
std::string Path_FixSlashes(const std::string& path, char slash = 0);

// `first`, one separator, `second`. One trailing separator of `first` is
// dropped; `second` is taken as it stands (a leading separator doubles).
// An empty `first` gives `second` unchanged.
std::string Path_Join(const std::string& first, const std::string& second,
                      char slash = 0);
std::string Path_Join(const std::string& first, const std::string& second,
                      const std::string& third, char slash = 0);
std::string Path_Join(const std::string& first, const std::string& second,
                      const std::string& third, const std::string& fourth,
                      char slash = 0);

// Removes the trailing run of separators but never the first byte, so "/"
// and "//" give "/". Only the chosen separator counts.
std::string Path_RemoveTrailingSlash(const std::string& path, char slash = 0);

// Resolves "." and ".." components as far as the string allows, without
// looking at the file system. Leading ".." of a relative path stay (a ".."
// never cancels another ".."); doubled separators are not merged. "" when
// the path climbs above its root ("/..") or a ".." cancels a relative path's
// only component ("a/..").
std::string Path_Compact(const std::string& path, char slash = 0);

// An absolute relative path is compacted; otherwise it is joined to an
// absolute `basePath` and compacted. "" when the base is not absolute or the
// result climbs above the root. The working directory is never used.
std::string Path_MakeAbsolute(const std::string& relativePath,
                              const std::string& basePath);

// Whether both paths compact to the same bytes (case-sensitive; no links
// resolved, nothing made absolute).
bool Path_IsSamePath(const std::string& pathA, const std::string& pathB);

// Everything before the last separator; the path unchanged without one.
std::string Path_StripFilename(const std::string& path, char slash = 0);
// Everything after the last separator; the path unchanged without one.
std::string Path_StripDirectory(const std::string& path, char slash = 0);
// The path without its last extension (from the last '.' of the last
// component on); unchanged when the last component has no '.'.
std::string Path_StripExtension(const std::string& path);

// Whether the path names an existing directory (links followed). One
// trailing separator is ignored, so "/" alone reads as "" and gives false.
bool Path_IsDirectory(const std::string& path);
// Whether anything exists at the path (links followed); false for "".
bool Path_Exists(const std::string& path);

// The whole file in an array the caller releases with delete[]; no
// terminating zero. Null for a missing, unreadable or empty file and for one
// of 2 GiB or more; `size` (may be null) is written only on success.
unsigned char* Path_ReadBinaryFile(const std::string& path, int32_t* size);
// The file's text without a UTF-8 byte-order mark and with CR LF turned into
// LF; "" when the file cannot be read or is empty.
std::string Path_ReadTextFile(const std::string& path);
// Creates or truncates the file and writes `text`. False when it cannot be
// opened, the text is null, or writing or closing fails.
bool Path_WriteStringToTextFile(const std::string& path, const char* text);
