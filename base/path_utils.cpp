#include "base/path_utils.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>

namespace {

char SeparatorOrDefault(char slash) { return slash ? slash : Path_GetSlash(); }

bool IsAnySlash(char c) { return c == '/' || c == '\\'; }

bool StatFollowing(const std::string& path, struct stat* st) {
  int rc;
  do {
    rc = stat(path.c_str(), st);
  } while (rc != 0 && errno == EINTR);
  return rc == 0;
}

FILE* OpenFile(const std::string& path, const char* mode) {
  FILE* f;
  do {
    f = fopen(path.c_str(), mode);
  } while (!f && errno == EINTR);
  return f;
}

// Size of an open stream, or -1 when it cannot be had or does not fit.
int32_t StreamSize(FILE* f) {
  if (fseek(f, 0, SEEK_END) != 0) return -1;
  long end = ftell(f);
  if (end < 0 || end > INT32_MAX) return -1;
  return static_cast<int32_t>(end);
}

}  // namespace

std::string Path_GetExecutablePath() {
  char buffer[1024];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (n <= 0) return std::string();
  return std::string(buffer, static_cast<size_t>(n));
}

std::string Path_GetThisModulePath() {
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(&Path_GetThisModulePath), &info) == 0 ||
      !info.dli_fname) {
    return std::string();
  }
  return info.dli_fname;
}

std::string Path_GetExecutableName() {
  return Path_StripExtension(Path_StripDirectory(Path_GetExecutablePath()));
}

char Path_GetSlash() { return '/'; }

std::string Path_FixSlashes(const std::string& path, char slash) {
  const char sep = SeparatorOrDefault(slash);
  std::string result = path;
  for (char& c : result) {
    if (IsAnySlash(c)) c = sep;
  }
  return result;
}

std::string Path_Join(const std::string& first, const std::string& second,
                      char slash) {
  if (first.empty()) return second;
  std::string result = first;
  if (IsAnySlash(result.back())) result.pop_back();
  result += SeparatorOrDefault(slash);
  result += second;
  return result;
}

std::string Path_Join(const std::string& first, const std::string& second,
                      const std::string& third, char slash) {
  return Path_Join(Path_Join(first, second, slash), third, slash);
}

std::string Path_Join(const std::string& first, const std::string& second,
                      const std::string& third, const std::string& fourth,
                      char slash) {
  return Path_Join(Path_Join(first, second, third, slash), fourth, slash);
}

std::string Path_RemoveTrailingSlash(const std::string& path, char slash) {
  const char sep = SeparatorOrDefault(slash);
  size_t end = path.size();
  // Index 0 is never looked at: a lone root separator stays.
  while (end > 1 && path[end - 1] == sep) --end;
  return path.substr(0, end);
}

std::string Path_Compact(const std::string& path, char slash) {
  const char sep = SeparatorOrDefault(slash);
  std::string s = Path_FixSlashes(path, slash);

  // "/./" -> "/". A triple ending at the last byte is left alone on purpose:
  // callers rely on "a/./" and "/./" coming back unchanged.
  for (size_t pos = 0; pos + 3 < s.size();) {
    if (s[pos] == sep && s[pos + 1] == '.' && s[pos + 2] == sep) {
      s.erase(pos + 1, 2);
    } else {
      ++pos;
    }
  }

  // A final "/." loses the dot, a leading "./" goes.
  if (s.size() > 2 && s[s.size() - 2] == sep && s.back() == '.') s.pop_back();
  if (s.size() > 2 && s[0] == '.' && s[1] == sep) s.erase(0, 2);

  // Each ".." cancels the component before it.
  for (size_t i = 1; i + 1 < s.size();) {
    const bool isDotDot = s[i] == '.' && s[i + 1] == '.' && s[i - 1] == sep &&
                          (i + 2 == s.size() || s[i + 2] == sep);
    if (!isDotDot) {
      ++i;
      continue;
    }
    if (i == 1) return std::string();  // climbs above the root

    size_t d = i - 2;
    while (d > 0 && s[d - 1] != sep) --d;
    // A ".." before it has nothing left to cancel, so both stay: otherwise
    // "../../a" would turn into "a".
    if (s.compare(d, i - 1 - d, "..") == 0) {
      ++i;
      continue;
    }
    s.erase(d, (i - d) + 3);
    if (s.empty()) break;
    i = 1;
  }
  return s;
}

std::string Path_MakeAbsolute(const std::string& relativePath,
                              const std::string& basePath) {
  auto isAbsolute = [](const std::string& p) {
    return !p.empty() && IsAnySlash(p[0]);
  };
  if (isAbsolute(relativePath)) return Path_Compact(relativePath, 0);
  if (!isAbsolute(basePath)) return std::string();
  std::string result = Path_Compact(Path_Join(basePath, relativePath, 0), 0);
  return isAbsolute(result) ? result : std::string();
}

bool Path_IsSamePath(const std::string& pathA, const std::string& pathB) {
  return Path_Compact(pathA, 0) == Path_Compact(pathB, 0);
}

std::string Path_StripFilename(const std::string& path, char slash) {
  size_t pos = path.rfind(SeparatorOrDefault(slash));
  if (pos == std::string::npos) return path;
  return path.substr(0, pos);
}

std::string Path_StripDirectory(const std::string& path, char slash) {
  size_t pos = path.rfind(SeparatorOrDefault(slash));
  if (pos == std::string::npos) return path;
  return path.substr(pos + 1);
}

std::string Path_StripExtension(const std::string& path) {
  for (size_t i = path.size(); i-- > 0;) {
    if (IsAnySlash(path[i])) break;
    if (path[i] == '.') return path.substr(0, i);
  }
  return path;
}

bool Path_IsDirectory(const std::string& path) {
  std::string fixed = Path_FixSlashes(path, 0);
  if (fixed.empty()) return false;
  if (fixed.back() == '/') fixed.pop_back();
  struct stat st;
  if (!StatFollowing(fixed, &st)) return false;
  return S_ISDIR(st.st_mode);
}

bool Path_Exists(const std::string& path) {
  if (path.empty()) return false;
  struct stat st;
  return StatFollowing(Path_FixSlashes(path, 0), &st);
}

unsigned char* Path_ReadBinaryFile(const std::string& path, int32_t* size) {
  FILE* f = OpenFile(path, "rbe");
  if (!f) return nullptr;

  // A directory opens for reading, and some file systems report a huge end
  // position for it; it has no bytes to give.
  struct stat st;
  if (fstat(fileno(f), &st) != 0 || S_ISDIR(st.st_mode)) {
    fclose(f);
    return nullptr;
  }

  unsigned char* buffer = nullptr;
  const int32_t fileSize = StreamSize(f);
  if (fileSize > 0 && fseek(f, 0, SEEK_SET) == 0) {
    buffer = new unsigned char[fileSize];
    if (fread(buffer, static_cast<size_t>(fileSize), 1, f) == 1) {
      if (size) *size = fileSize;
    } else {
      delete[] buffer;
      buffer = nullptr;
    }
  }
  fclose(f);
  return buffer;
}

std::string Path_ReadTextFile(const std::string& path) {
  int32_t size = 0;
  unsigned char* bytes = Path_ReadBinaryFile(path, &size);
  if (!bytes) return std::string();

  int32_t start = 0;
  if (size > 2 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
    start = 3;
  }
  std::string text;
  text.reserve(static_cast<size_t>(size - start));
  for (int32_t i = start; i < size; ++i) {
    const char c = static_cast<char>(bytes[i]);
    // The CR was the last byte appended; the LF takes its place.
    if (c == '\n' && i > 0 && bytes[i - 1] == '\r' && !text.empty()) {
      text.back() = '\n';
    } else {
      text += c;
    }
  }
  delete[] bytes;
  return text;
}

bool Path_WriteStringToTextFile(const std::string& path, const char* text) {
  if (!text) return false;
  FILE* f = OpenFile(path, "we");
  if (!f) return false;
  const bool written = fputs(text, f) >= 0;
  // Buffered text reaches the file only at close; a failure there loses it.
  const bool closed = fclose(f) == 0;
  return written && closed;
}
