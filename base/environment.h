#pragma once
// Environment variables. An unset variable and one set to "" read the same,
// as the empty string. No locking: the C library's rules apply.

#include <string>

// The value, or "" when unset.
std::string GetEnvironmentVariable(const char* name);

// Reads y/yes/true and n/no/false in any letter case, and a value starting
// with a digit as atoi (non-zero is true). Empty or unset: `defaultValue`
// silently; anything else: `defaultValue` and one line on standard error.
bool GetEnvironmentVariableAsBool(const char* name, bool defaultValue);

// Sets (overwriting; "" stays set and empty) or, with a null value, removes
// the variable. False when the C library refuses, e.g. for an empty name or
// one holding '='.
bool SetEnvironmentVariable(const char* name, const char* value);
