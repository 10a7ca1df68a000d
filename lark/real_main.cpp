#include "lark/real_main.h"

#include <csignal>
#include <string>

#include <json/value.h>

#include "lark/first_app.h"
#include "lark/options.h"
#include "lark/runtime_session.h"
#include "lark/startup_info.h"
#include "tandem_api/tandem_api.h"

namespace {

// A deliberate fault, so that crash handling can be tried out for real. A
// handler that returns does not keep the process alive: the second raise
// meets the default action.
void CrashIfAsked(int argc, char** argv) {
  if (!BHasOption(argc, argv, k_pchOptionCrash)) return;
  raise(SIGSEGV);
  signal(SIGSEGV, SIG_DFL);
  raise(SIGSEGV);
}

}  // namespace

int RealMain(int argc, char** argv) {
  if (BHasOption(argc, argv, k_pchOptionShutdown)) return RunShutdownMode();

  CrashIfAsked(argc, argv);

  const Json::Value startupInfo = BuildStartupInfo(argc, argv);
  const std::string sStartupInfo = SerializeStartupInfo(startupInfo);

  vr::IVRSystem* pSystem = nullptr;
  int nExitStatus = 0;
  if (!BOpenBootstrapperSession(sStartupInfo, &pSystem, &nExitStatus)) {
    return nExitStatus;
  }

  if (!BBindInternalInterfaces()) return -1;

  return RunFirstApplicationLaunch(pSystem);
}
