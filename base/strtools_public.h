#pragma once
// Pure string helpers: no state, no I/O, byte strings in the "C" locale.
// None of them reports errors; malformed input yields what the C library's
// own parser would give.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Like strcasecmp: ASCII letters compare without regard to case.
int stricmp(const char* a, const char* b);

// Copies at most size - 1 bytes of `src`, zero-fills the rest of `dest` and
// always zero-terminates. `size` must be at least 1; 0 copies nothing.
char* strcpy_safe(char* dest, size_t size, const char* src);

// Same length; only A-Z change.
std::string StringToLower(const std::string& s);

// strtoull with base 0 ("0x" hex, leading "0" octal): no digits gives 0,
// overflow the largest value.
uint64_t StringToUint64(const std::string& s);

// Cuts at every delimiter, keeping empty pieces: a non-empty text with n
// delimiters yields n + 1 pieces; the empty text yields none.
std::vector<std::string> TokenizeString(const std::string& text, char delimiter);
