// The simulated platform client library: tells whether the platform client
// runs by looking for a process named "tolva".

#include "sim/proc_scan.h"
#include "tandem_api/tolva_api.h"

bool TolvaAPI_IsTolvaRunning() {
  for (pid_t pid : sim::ListProcesses()) {
    if (sim::ProcessName(pid) == "tolva") return true;
  }
  return false;
}
