#include "base/environment.h"

#include <cstdio>
#include <cstdlib>

#include "base/strtools_public.h"

std::string GetEnvironmentVariable(const char* name) {
  const char* value = name ? getenv(name) : nullptr;
  return value ? std::string(value) : std::string();
}

bool GetEnvironmentVariableAsBool(const char* name, bool defaultValue) {
  std::string value = GetEnvironmentVariable(name);
  if (value.empty()) return defaultValue;

  value = StringToLower(value);
  if (value == "y" || value == "yes" || value == "true") return true;
  if (value == "n" || value == "no" || value == "false") return false;
  if (value[0] >= '0' && value[0] <= '9') return atoi(value.c_str()) != 0;

  fprintf(stderr,
          "GetEnvironmentVariableAsBool(%s): Unable to parse value '%s', using "
          "default %d\n",
          name, value.c_str(), defaultValue ? 1 : 0);
  return defaultValue;
}

bool SetEnvironmentVariable(const char* name, const char* value) {
  if (value) return setenv(name, value, 1) == 0;
  return unsetenv(name) == 0;
}
