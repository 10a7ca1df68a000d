#include "base/strtools_public.h"

#include <cstdlib>
#include <cstring>

namespace {

// ASCII only, whatever locale the process may have set.
unsigned char AsciiLower(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

}  // namespace

int stricmp(const char* a, const char* b) {
  const unsigned char* pa = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* pb = reinterpret_cast<const unsigned char*>(b);
  for (;; ++pa, ++pb) {
    const int diff = AsciiLower(*pa) - AsciiLower(*pb);
    if (diff != 0 || *pa == '\0') return diff;
  }
}

char* strcpy_safe(char* dest, size_t size, const char* src) {
  if (size == 0) return dest;  // nowhere to put even the terminator
  strncpy(dest, src, size - 1);
  dest[size - 1] = '\0';
  return dest;
}

std::string StringToLower(const std::string& s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(AsciiLower(static_cast<unsigned char>(c)));
  return out;
}

uint64_t StringToUint64(const std::string& s) {
  return strtoull(s.c_str(), nullptr, 0);
}

std::vector<std::string> TokenizeString(const std::string& text, char delimiter) {
  std::vector<std::string> pieces;
  if (text.empty()) return pieces;
  size_t start = 0;
  for (;;) {
    size_t pos = text.find(delimiter, start);
    if (pos == std::string::npos) {
      pieces.push_back(text.substr(start));
      break;
    }
    pieces.push_back(text.substr(start, pos - start));
    start = pos + 1;
  }
  return pieces;
}
