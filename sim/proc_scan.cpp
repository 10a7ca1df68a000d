#include "sim/proc_scan.h"

#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace sim {

namespace {

std::string ProcPath(pid_t pid, const char* entry) {
  return "/proc/" + std::to_string(pid) + "/" + entry;
}

bool ParsePid(const char* name, pid_t* pid) {
  if (*name == '\0') return false;
  char* end = nullptr;
  errno = 0;
  const long value = strtol(name, &end, 10);
  if (errno != 0 || *end != '\0' || value <= 0 || name[0] < '0' || name[0] > '9') return false;
  *pid = static_cast<pid_t>(value);
  return static_cast<long>(*pid) == value;
}

}  // namespace

std::vector<pid_t> ListProcesses() {
  std::vector<pid_t> pids;
  DIR* dir = opendir("/proc");  // opendir opens close-on-exec
  if (!dir) return pids;
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(dir);
    if (!entry) break;  // end, or an error: what was seen so far stands
    pid_t pid = 0;
    if (ParsePid(entry->d_name, &pid)) pids.push_back(pid);
  }
  closedir(dir);
  return pids;
}

std::string ProcessName(pid_t pid) {
  FILE* file = fopen(ProcPath(pid, "comm").c_str(), "re");
  if (!file) return std::string();
  char buffer[64] = {};
  const bool ok = fgets(buffer, sizeof(buffer), file) != nullptr;
  fclose(file);
  if (!ok) return std::string();
  std::string name(buffer);
  if (!name.empty() && name.back() == '\n') name.pop_back();
  return name;
}

std::string ProcessExecutable(pid_t pid) {
  const std::string link = ProcPath(pid, "exe");
  char buffer[4096];
  const ssize_t length = readlink(link.c_str(), buffer, sizeof(buffer));
  if (length <= 0 || static_cast<size_t>(length) >= sizeof(buffer)) return std::string();
  return std::string(buffer, static_cast<size_t>(length));
}

}  // namespace sim
