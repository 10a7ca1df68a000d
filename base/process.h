#pragma once
// Starting other programs fully detached, and asking whether a program or a
// process runs and whether a tracer is attached to this process.
//
// A launched program is not a child of the caller: it is started by the
// double-fork method, runs in a session of its own and leaves nothing for the
// caller to reap. Launch failures are reported as false plus a log line (Info
// level); the process id reported is 0 when no child process could be made
// and 0xFFFFFFFF when the intermediate child failed. The queries log nothing:
// a failure reads as "not running" or "no tracer".

#include <cstdint>
#include <string>
#include <vector>

// Starts argv[0] (searched on PATH when it holds no slash) with the
// null-terminated `argv`, in `workingDirectory` when that is neither null nor
// empty, else in the caller's directory. Stores the new process id through
// `pid` when given. True when an id greater than 0 came back; a program that
// cannot be executed still counts as started (its process ends at once with
// status 0). The flag and `output` are accepted for callers written against
// other platforms and ignored: `output` is never written.
bool BCreateProcess(const char* workingDirectory, char* const* argv,
                    uint32_t* pid, bool flag, std::string* output);

// `program` followed by `arguments`. An empty `workingDirectory` means the
// program's own directory; a program named without any directory (found on
// PATH) then runs in the caller's directory. Failures as above.
bool BCreateProcess(const std::string& program,
                    const std::vector<std::string>& arguments,
                    std::string workingDirectory, uint32_t* pid, bool flag,
                    std::string* output);

// `arguments` cut at every blank, without quoting: two adjacent blanks give an
// empty argument, the empty text none. Otherwise as the vector form.
bool BCreateProcess(const std::string& program, const std::string& arguments,
                    std::string workingDirectory, uint32_t* pid, bool flag,
                    std::string* output);

// True when `pidof` finds a process of that name (run through the shell with
// the runtime container's variables cleared). Anything else, including a
// shell that cannot be started, is false. The flag is ignored.
bool BProcessRunning(const char* name, bool flag);

// True when the id can be signalled, or exists but belongs to another user.
// 0 and 0xFFFFFFFF reach kill() as they are (the caller's process group, and
// every process it may signal), so both read as running.
bool BProcessRunning(uint32_t pid);

// True when the TracerPid of /proc/self/status is non-zero. The file is kept
// open after the first successful call and re-read each time; false when it
// cannot be opened (the next call tries again).
bool Plat_IsInDebugSession();
