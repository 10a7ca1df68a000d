// The program the process tests launch. It writes who it is into "report" in
// its working directory (ids, directory, arguments, one "key=value" per line;
// written under another name and renamed, so a reader never sees half of
// it), then stays alive while a file "hold" exists there, for at most 30
// seconds.

#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

bool WriteReport(const std::string& text) {
  FILE* file = fopen("report.tmp", "we");
  if (!file) return false;
  bool ok = fputs(text.c_str(), file) >= 0;
  ok = (fclose(file) == 0) && ok;
  return ok && rename("report.tmp", "report") == 0;
}

}  // namespace

int main(int argc, char** argv) {
  char cwd[4096];
  if (!getcwd(cwd, sizeof(cwd))) return 1;

  std::string text;
  text += "pid=" + std::to_string(getpid()) + "\n";
  text += "sid=" + std::to_string(getsid(0)) + "\n";
  text += "pgid=" + std::to_string(getpgrp()) + "\n";
  text += std::string("cwd=") + cwd + "\n";
  for (int i = 1; i < argc; ++i) text += std::string("arg=") + argv[i] + "\n";
  if (!WriteReport(text)) return 1;

  const timespec pause = {0, 10 * 1000 * 1000};
  for (int i = 0; i < 3000 && access("hold", F_OK) == 0; ++i)
    nanosleep(&pause, nullptr);
  return 0;
}
