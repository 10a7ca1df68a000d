#pragma once
// Looking at the machine's other processes through /proc, for the simulated
// platform libraries.
//
// Failure convention: a process that cannot be examined (gone, a zombie,
// another user's) is answered with an empty string; an unreadable /proc
// gives an empty list. Nothing here throws or writes to standard error.

#include <sys/types.h>

#include <string>
#include <vector>

namespace sim {

// Ids of the processes running now, the caller included.
std::vector<pid_t> ListProcesses();

// The process's short name as the kernel keeps it (at most 15 characters).
std::string ProcessName(pid_t pid);

// The absolute path of the process's executable.
std::string ProcessExecutable(pid_t pid);

}  // namespace sim
