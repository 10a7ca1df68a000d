#include "lark/options.h"

#include "base/strtools_public.h"

int GetArgumentIndex(int argc, char** argv, const char* name) {
  if (argc <= 1 || !argv || !name) return 0;
  for (int i = 1; i < argc; ++i) {
    if (argv[i] && stricmp(argv[i], name) == 0) return i;
  }
  return 0;
}

bool BHasOption(int argc, char** argv, const char* name) {
  return GetArgumentIndex(argc, argv, name) > 0;
}

const char* GetOptionValue(int argc, char** argv, const char* name) {
  int index = GetArgumentIndex(argc, argv, name);
  if (index <= 0 || index + 1 >= argc) return nullptr;
  return argv[index + 1];
}
